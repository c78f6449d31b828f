#include "AnalyticsImpl_Linux.h"
#include "../Classes/AnalyticsHTTP.h"
#include <analytics/AnalyticsAgent.h>
#include <analytics/AnalyticsDevice.h>

namespace analytics
{
AnalyticsImpl::AnalyticsImpl()
{
	// The main thread, before the client starts any thread of its own.
	curlGlobalInit();
	AnalyticsAgent::setSecureTransportEnabled(true);
}

void AnalyticsImpl::startSession(const std::string& apiKey)
{
	AnalyticsAgent::startSession(validUTF8(apiKey));
	AnalyticsAgent::setSessionReportsOnCloseEnabled(false);
	AnalyticsAgent::setSessionReportsOnPauseEnabled(false);
}

void AnalyticsImpl::endSession()
{
}

void AnalyticsImpl::logEvent(const std::string& name, const std::map<std::string, std::string>& parameters)
{
	// Always with a map, even an empty one.
	AnalyticsAgent::Parameters converted;
	for (const auto& p : parameters)
		converted[validUTF8(p.first)] = validUTF8(p.second);
	AnalyticsAgent::logEvent(validUTF8(name), converted);
}

void AnalyticsImpl::didBecomeActive()
{
	AnalyticsAgent::applicationDidBecomeActive();
}

void AnalyticsImpl::willResignActive()
{
	AnalyticsAgent::applicationWillResignActive();
}

void AnalyticsImpl::willTerminate()
{
	AnalyticsAgent::applicationWillTerminate();
}

void AnalyticsImpl::setScreenSize(int width, int height)
{
	AnalyticsDevice::setScreenSize(width, height);
}

std::string AnalyticsImpl::validUTF8(const std::string& text)
{
	static const char replacement[] = "\xEF\xBF\xBD";
	std::string out;
	out.reserve(text.size());
	const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
	const size_t n = text.size();
	size_t i = 0;
	while (i < n)
	{
		const unsigned char c = s[i];
		size_t length = 0;
		uint32_t min = 0;
		uint32_t cp = 0;
		if (c < 0x80)
		{
			out += static_cast<char>(c);
			++i;
			continue;
		}
		if ((c & 0xE0) == 0xC0)
			length = 2, min = 0x80, cp = c & 0x1F;
		else if ((c & 0xF0) == 0xE0)
			length = 3, min = 0x800, cp = c & 0x0F;
		else if ((c & 0xF8) == 0xF0)
			length = 4, min = 0x10000, cp = c & 0x07;
		bool ok = length != 0 && i + length <= n;
		for (size_t k = 1; ok && k < length; ++k)
		{
			ok = (s[i + k] & 0xC0) == 0x80;
			cp = (cp << 6) | (s[i + k] & 0x3F);
		}
		// Overlong forms, surrogates and values past U+10FFFF have no place in UTF-8.
		ok = ok && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
		if (ok)
		{
			out.append(text, i, length);
			i += length;
		}
		else
		{
			out += replacement;
			++i;
		}
	}
	return out;
}
}
