#include <pf/DeviceFacts.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace pf
{
namespace
{
std::atomic<DeviceFacts::InterfaceLister> s_lister{nullptr};

std::vector<DeviceFacts::Interface> systemInterfaces()
{
	std::vector<DeviceFacts::Interface> out;
	ifaddrs* list = nullptr;
	if (getifaddrs(&list) != 0)
		return out;
	for (const ifaddrs* a = list; a; a = a->ifa_next)
	{
		if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || !a->ifa_name)
			continue;
		const sockaddr_ll* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
		DeviceFacts::Interface i;
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

bool isEthernet(const DeviceFacts::Interface& i)
{
	return i.hardwareType == ARPHRD_ETHER && i.address.size() == 6;
}

bool usableEthernet(const DeviceFacts::Interface& i)
{
	return isEthernet(i) && !i.loopback &&
		std::any_of(i.address.begin(), i.address.end(), [](uint8_t b) { return b != 0; });
}
} // namespace

std::string DeviceFacts::machine()
{
	utsname u;
	if (uname(&u) != 0)
		return std::string();
	return u.machine;
}

std::string DeviceFacts::osVersion()
{
	std::ifstream in("/etc/os-release");
	std::string line;
	while (std::getline(in, line))
	{
		if (line.compare(0, 11, "VERSION_ID=") != 0)
			continue;
		std::string value = line.substr(11);
		if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
			value = value.substr(1, value.size() - 2);
		if (!value.empty())
			return value;
	}
	utsname u;
	if (uname(&u) == 0)
		return u.release;
	return std::string();
}

std::vector<DeviceFacts::Interface> DeviceFacts::interfaces()
{
	const InterfaceLister lister = s_lister.load();
	return lister ? lister() : systemInterfaces();
}

void DeviceFacts::setInterfaceLister(InterfaceLister lister)
{
	s_lister.store(lister);
}

std::string DeviceFacts::macInterface()
{
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

std::string DeviceFacts::macAddress(const std::string& interfaceName)
{
	std::string text;
	for (const Interface& i : interfaces())
	{
		if (!isEthernet(i) || i.name != interfaceName)
			continue;
		char buffer[18] = {0};
		for (size_t k = 0; k < 6; ++k)
			std::snprintf(buffer + (k ? 3 * k - 1 : 0), 4, k ? ":%02X" : "%02X", i.address[k]);
		text = buffer;
	}
	return text;
}
} // namespace pf
