#ifndef FRAMEWORK_LINUX_LINUXOSINTERFACE_H
#define FRAMEWORK_LINUX_LINUXOSINTERFACE_H

#include <framework/OSInterface.h>

namespace framework
{
class LinuxHost;

/** The platform services of the Linux host; without a window they behave as on the device. */
class LinuxOSInterface : public OSInterface
{
public:
	explicit LinuxOSInterface(LinuxHost* host);

	void loadShaders(const std::string& path, bool reload) override;
	std::string getDefaultDataPath() override;
	void setResolution(int width, int height) override;
	void setOrientation(gr::Context::OrientationType orientation) override;
	void allowSleep(bool allow) override;
	bool isSilentProfile() override;
	void startUpdate() override;
	void stopUpdate() override;
	void setFullscreen(bool fullscreen) override;
	bool isFullscreen() override;
	bool captureMouse(bool capture) override;
	bool isMouseCaptured() override;
	void setMousePosition(int x, int y) override;
	void setCursor(const std::string& name) override;

	gr::Context::OrientationType orientation() const { return m_orientation; }
	bool isUpdateStopped() const { return m_updateStopped; }

private:
	LinuxHost* m_host;
	gr::Context::OrientationType m_orientation;
	std::string m_defaultDataPath;
	bool m_updateStopped;
};
}

#endif
