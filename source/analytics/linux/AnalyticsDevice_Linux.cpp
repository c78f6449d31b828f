#include <analytics/AnalyticsDevice.h>
#include "../Classes/AnalyticsState.h"
#include <io/detail/paths.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <limits.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#ifndef ENGINE_BUNDLE_VERSION
#define ENGINE_BUNDLE_VERSION "1.0"
#endif

namespace analytics
{
using detail::state;

namespace
{
std::string homeFolder()
{
	const char* home = std::getenv("HOME");
	if (home && home[0])
		return home;
	const passwd* pw = getpwuid(getuid());
	return pw && pw->pw_dir ? pw->pw_dir : "";
}

// An XDG base folder: the variable when absolute, else the fallback under the home folder.
std::string xdgFolder(const char* variable, const char* fallback)
{
	const char* value = std::getenv(variable);
	std::string base = value && value[0] == '/' ? std::string(value) : homeFolder() + "/" + fallback;
	while (base.size() > 1 && base.back() == '/')
		base.pop_back();
	return base;
}

std::vector<AnalyticsDevice::Interface> systemInterfaces()
{
	std::vector<AnalyticsDevice::Interface> out;
	ifaddrs* list = nullptr;
	if (getifaddrs(&list) != 0)
		return out;
	for (const ifaddrs* a = list; a; a = a->ifa_next)
	{
		if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || !a->ifa_name)
			continue;
		const sockaddr_ll* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
		AnalyticsDevice::Interface i;
		i.name = a->ifa_name;
		i.hardwareType = ll->sll_hatype;
		i.address.assign(ll->sll_addr, ll->sll_addr + std::min<size_t>(ll->sll_halen, sizeof(ll->sll_addr)));
		i.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
		struct stat st;
		i.physical = ::stat(("/sys/class/net/" + i.name + "/device").c_str(), &st) == 0;
		out.push_back(i);
	}
	freeifaddrs(list);
	return out;
}

bool usableEthernet(const AnalyticsDevice::Interface& i)
{
	return i.hardwareType == ARPHRD_ETHER && i.address.size() == 6 && !i.loopback &&
		std::any_of(i.address.begin(), i.address.end(), [](uint8_t b) { return b != 0; });
}
}

std::string AnalyticsDevice::platform()
{
	utsname u;
	if (uname(&u) != 0)
		return std::string();
	return u.machine;
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
	return state().interfaceLister ? state().interfaceLister() : systemInterfaces();
}

void AnalyticsDevice::setInterfaceLister(InterfaceLister lister)
{
	state().interfaceLister = lister;
}

void AnalyticsDevice::setMacInterface(const std::string& name)
{
	state().macInterface = name;
}

std::string AnalyticsDevice::macInterface()
{
	if (!state().macInterface.empty())
		return state().macInterface;
	std::vector<Interface> list = interfaces();
	std::sort(list.begin(), list.end(), [](const Interface& a, const Interface& b) {
		if (a.physical != b.physical)
			return a.physical;
		return a.name < b.name;
	});
	for (const Interface& i : list)
	{
		if (usableEthernet(i))
			return i.name;
	}
	return std::string();
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
	buffer[0] = '\0';
	for (const AnalyticsDevice::Interface& i : AnalyticsDevice::interfaces())
	{
		if (i.hardwareType != ARPHRD_ETHER || i.address.size() != 6 || i.name != interfaceName)
			continue;
		buffer[0] = '\0';
		for (size_t k = 0; k < 6; ++k)
			std::snprintf(buffer + (k ? 3 * k - 1 : 0), 4, k ? ":%02X" : "%02X", i.address[k]);
	}
	return buffer;
}
}
