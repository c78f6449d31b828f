#include <analytics/AnalyticsDevice.h>
#include "../Classes/AnalyticsState.h"
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <pf/DeviceFacts.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits.h>
#include <unistd.h>

#ifndef ENGINE_BUNDLE_VERSION
#define ENGINE_BUNDLE_VERSION "1.0"
#endif

namespace analytics
{
using detail::state;

namespace
{
// An XDG base folder; without a home folder a path under the root, where writing then fails and
// the client records nothing.
std::string xdgFolder(const char* variable, const char* fallback)
{
	try
	{
		return io::detail::xdgBaseFolder(variable, fallback);
	}
	catch (const io::IOException&)
	{
		return std::string("/") + fallback;
	}
}
} // namespace

std::string AnalyticsDevice::platform()
{
	return pf::DeviceFacts::machine();
}

std::string AnalyticsDevice::locale()
{
	const char* names[] = {"LC_ALL", "LANG"};
	for (const char* name : names)
	{
		const char* value = std::getenv(name);
		if (!value || !value[0])
			continue;
		std::string text(value);
		const size_t dot = text.find('.');
		if (dot != std::string::npos)
		{
			const size_t at = text.find('@', dot);
			text.erase(dot, at == std::string::npos ? std::string::npos : at - dot);
		}
		return text;
	}
	return std::string();
}

std::string AnalyticsDevice::timeZone()
{
	const char* tz = std::getenv("TZ");
	if (tz && tz[0])
		return tz[0] == ':' ? std::string(tz + 1) : std::string(tz);
	std::ifstream in("/etc/timezone");
	std::string line;
	if (std::getline(in, line) && !line.empty())
		return line;
	char buf[PATH_MAX];
	const ssize_t n = readlink("/etc/localtime", buf, sizeof(buf) - 1);
	if (n > 0)
	{
		const std::string target(buf, static_cast<size_t>(n));
		const size_t pos = target.find("zoneinfo/");
		if (pos != std::string::npos)
			return target.substr(pos + 9);
	}
	return std::string();
}

std::string AnalyticsDevice::bundleVersion()
{
	return ENGINE_BUNDLE_VERSION;
}

void AnalyticsDevice::setScreenSize(int width, int height)
{
	state().screenWidth = width;
	state().screenHeight = height;
}

int AnalyticsDevice::screenWidth()
{
	return state().screenWidth;
}

int AnalyticsDevice::screenHeight()
{
	return state().screenHeight;
}

std::vector<AnalyticsDevice::Interface> AnalyticsDevice::interfaces()
{
	return pf::DeviceFacts::interfaces();
}

void AnalyticsDevice::setInterfaceLister(InterfaceLister lister)
{
	pf::DeviceFacts::setInterfaceLister(lister);
}

void AnalyticsDevice::setMacInterface(const std::string& name)
{
	state().macInterface = name;
}

std::string AnalyticsDevice::macInterface()
{
	if (!state().macInterface.empty())
		return state().macInterface;
	return pf::DeviceFacts::macInterface();
}

std::string AnalyticsDevice::cachesDirectory()
{
	return xdgFolder("XDG_CACHE_HOME", ".cache") + "/" + io::detail::appdataName();
}

std::string AnalyticsDevice::sharedDataDirectory()
{
	return xdgFolder("XDG_DATA_HOME", ".local/share");
}

char* analyticsGetMacAddress(char* buffer, const char* interfaceName)
{
	const std::string text = pf::DeviceFacts::macAddress(interfaceName);
	std::snprintf(buffer, 18, "%s", text.c_str());
	return buffer;
}
}
