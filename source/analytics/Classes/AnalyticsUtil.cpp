#include "AnalyticsUtil.h"
#include "AnalyticsState.h"
#include <lang/Throwable.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <typeinfo>

namespace analytics
{
using detail::state;

void AnalyticsUtil::setDebugLogEnabled(bool enabled)
{
	state().debugLog = enabled;
}

bool AnalyticsUtil::isDebugLogEnabled()
{
	return state().debugLog;
}

void AnalyticsUtil::setShowErrorInLogEnabled(bool enabled)
{
	state().showErrors = enabled;
}

bool AnalyticsUtil::isShowErrorInLogEnabled()
{
	return state().showErrors;
}

void AnalyticsUtil::setLogSink(LogSink sink)
{
	state().logSink = sink;
}

namespace
{
void writeErrorLines(const std::string& head, const std::string& detailLine, const std::string& info)
{
	if (!state().showErrors || !state().debugLog)
		return;
	AnalyticsUtil::log("Analytics: " + head);
	if (!detailLine.empty())
	{
		AnalyticsUtil::log("Analytics: -----------------------------------------");
		AnalyticsUtil::log("Analytics: " + detailLine);
	}
	AnalyticsUtil::log("Analytics: " + info);
}
}

void AnalyticsUtil::handleException(const lang::Throwable& e)
{
	try
	{
		writeErrorLines("Caught Exception in Analytics Analytics Code",
			std::string("Name:") + detail::typeName(typeid(e)) + " Reason:" + e.getMessage().format(), "");
	}
	catch (...)
	{
	}
}

void AnalyticsUtil::handleException(const std::exception& e)
{
	try
	{
		writeErrorLines("Caught Exception in Analytics Analytics Code", std::string("Name:") + detail::typeName(typeid(e)) + " Reason:" + e.what(), "");
	}
	catch (...)
	{
	}
}

void AnalyticsUtil::handleException(const std::error_code& e)
{
	try
	{
		writeErrorLines("Caught Error in Analytics Analytics Code",
			"Code:" + std::to_string(e.value()) + " Domain:" + e.category().name(), e.message());
	}
	catch (...)
	{
	}
}

void AnalyticsUtil::handleException(const std::string& what)
{
	try
	{
		writeErrorLines("Caught Error in Analytics Analytics Code", "", what);
	}
	catch (...)
	{
	}
}

bool AnalyticsUtil::isIPad()
{
	return false;
}

int AnalyticsUtil::systemVersionAsInteger(const std::string& version)
{
	int result = 0;
	int scale = 10000;
	size_t pos = 0;
	for (int i = 0; i < 3 && pos <= version.size(); ++i)
	{
		size_t dot = version.find('.', pos);
		if (dot == std::string::npos)
			dot = version.size();
		result += std::atoi(version.substr(pos, dot - pos).c_str()) * scale;
		scale /= 100;
		pos = dot + 1;
		if (dot == version.size())
			break;
	}
	return result;
}

int AnalyticsUtil::getSystemVersionAsAnInteger()
{
	int cached = state().systemVersionInteger;
	if (cached == 0)
	{
		cached = systemVersionAsInteger(systemVersion());
		state().systemVersionInteger = cached;
	}
	return cached;
}

void AnalyticsUtil::setSystemVersion(const std::string& version)
{
	state().systemVersionOverride = version;
	state().systemVersionInteger = 0;
}

void AnalyticsUtil::setStatusBarOrientation(int orientation)
{
	state().statusBarOrientation = orientation;
}

namespace
{
bool sameName(const std::optional<std::string>& name, const char* expected)
{
	return strcasecmp(name->c_str(), expected) == 0;
}
}

bool AnalyticsUtil::canvasInLandscapeRight(const std::optional<std::string>& orientation)
{
	return orientation ? sameName(orientation, "landscapeRight") : state().statusBarOrientation == 3;
}

bool AnalyticsUtil::canvasInLandscapeLeft(const std::optional<std::string>& orientation)
{
	return orientation ? sameName(orientation, "landscapeLeft") : state().statusBarOrientation == 4;
}

bool AnalyticsUtil::canvasInPortraitUpsideDown(const std::optional<std::string>& orientation)
{
	return orientation ? sameName(orientation, "portraitUpsideDown") : state().statusBarOrientation == 2;
}

bool AnalyticsUtil::canvasInLandscape(const std::optional<std::string>& orientation)
{
	return canvasInLandscapeRight(orientation) || canvasInLandscapeLeft(orientation);
}

std::string AnalyticsUtil::getCanvasOrientation()
{
	if (canvasInLandscapeRight())
		return "landscapeRight";
	if (canvasInLandscapeLeft())
		return "landscapeLeft";
	if (canvasInPortraitUpsideDown())
		return "portraitUpsideDown";
	return "portrait";
}

AnalyticsUtil::Rect AnalyticsUtil::screenBounds()
{
	return screenBounds(std::nullopt);
}

AnalyticsUtil::Rect AnalyticsUtil::screenBounds(const std::optional<std::string>& orientation)
{
	Rect r = isIPad() ? Rect{0, 0, 768.0f, 1024.1f} : Rect{0, 0, 320.0f, 480.1f};
	if (canvasInLandscape(orientation))
		std::swap(r.width, r.height);
	return r;
}

std::optional<double> AnalyticsUtil::convertStrToNum(const std::string& text)
{
	if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
		return std::nullopt;
	errno = 0;
	char* end = nullptr;
	const double v = std::strtod(text.c_str(), &end);
	// Only plain decimal text: no hexadecimal, infinity or NaN forms.
	if (end != text.c_str() + text.size() || errno == ERANGE || text.find_first_of("xXnN") != std::string::npos)
		return std::nullopt;
	return v;
}

bool AnalyticsUtil::addToSet(std::set<std::string>& set, const std::string& value)
{
	return set.insert(value).second;
}
}
