#ifndef ANALYTICS_ANALYTICSDEVICE_H
#define ANALYTICS_ANALYTICSDEVICE_H

#include <pf/DeviceFacts.h>
#include <string>
#include <vector>

namespace analytics
{
/** Facts about the device the reports carry, and the hooks tests and the host replace. */
class AnalyticsDevice
{
public:
	typedef pf::DeviceFacts::Interface Interface;
	typedef std::vector<Interface> (*InterfaceLister)();

	/** The hardware model (machine name of uname). */
	static std::string platform();
	/** Locale identifier from LC_ALL or LANG without its encoding. */
	static std::string locale();
	/** Time zone name from TZ, /etc/timezone or the /etc/localtime link. */
	static std::string timeZone();
	/** The application version compiled in. */
	static std::string bundleVersion();

	/** Screen size in points, 0 x 0 until the host gives it. */
	static void setScreenSize(int width, int height);
	static int screenWidth();
	static int screenHeight();

	/** The link-layer addresses of the interfaces (getifaddrs, AF_PACKET). */
	static std::vector<Interface> interfaces();
	/** Replaces the interface list (null restores getifaddrs). */
	static void setInterfaceLister(InterfaceLister lister);
	/** The interface whose address names the device; empty picks one. */
	static void setMacInterface(const std::string& name);
	/**
	 * The configured interface, else by name the first non-loopback Ethernet
	 * one with a non-zero address, physical adapters first; empty when none.
	 */
	static std::string macInterface();

	/** $XDG_CACHE_HOME (or ~/.cache) / the name of the user-file folder. */
	static std::string cachesDirectory();
	/** $XDG_DATA_HOME or ~/.local/share: where shared pasteboards live. */
	static std::string sharedDataDirectory();
};

/** Writes the MAC text ("00:1A:...", upper-case) of the named Ethernet interface into buffer (at least 18 bytes); empty when none. */
char* analyticsGetMacAddress(char* buffer, const char* interfaceName);
}

#endif
