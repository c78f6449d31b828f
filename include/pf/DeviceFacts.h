#ifndef PF_DEVICEFACTS_H
#define PF_DEVICEFACTS_H

#include <cstdint>
#include <string>
#include <vector>

namespace pf
{
/** What the operating system says about the device: the platform services and the analytics reports both name it by these. */
class DeviceFacts
{
public:
	/** One link-layer address of a network interface. */
	struct Interface
	{
		std::string name;
		/** Hardware type (ARPHRD_*). */
		int hardwareType;
		std::vector<uint8_t> address;
		bool loopback;
		/** Backed by a device (/sys/class/net/<name>/device). */
		bool physical;
	};
	typedef std::vector<Interface> (*InterfaceLister)();

	/** The hardware model (machine name of uname). */
	static std::string machine();
	/** VERSION_ID of /etc/os-release, else the kernel release. */
	static std::string osVersion();

	/** The link-layer addresses of the interfaces (getifaddrs, AF_PACKET), or the replacement list. */
	static std::vector<Interface> interfaces();
	/** Replaces the interface list (null restores getifaddrs); for tests. */
	static void setInterfaceLister(InterfaceLister lister);
	/** By name the first non-loopback Ethernet interface with a non-zero address, physical adapters first; empty when none. */
	static std::string macInterface();
	/** The MAC text ("00:1A:...", upper-case) of the named Ethernet interface; empty when none. */
	static std::string macAddress(const std::string& interfaceName);
};
} // namespace pf

#endif
