#ifndef FRAMEWORK_OSINTERFACE_H
#define FRAMEWORK_OSINTERFACE_H

#include <gr/Context.h>
#include <string>
#include <vector>

namespace framework
{
/** Platform services the application asks of its host. */
class OSInterface
{
public:
	virtual ~OSInterface() {}

	virtual void loadShaders(const std::string& path, bool reload) = 0;
	virtual std::string getDefaultDataPath() = 0;
	virtual void setResolution(int width, int height) = 0;
	virtual void setOrientation(gr::Context::OrientationType orientation) = 0;
	virtual void allowSleep(bool allow) = 0;
	virtual bool isSilentProfile() = 0;
	virtual void startUpdate() = 0;
	virtual void stopUpdate() = 0;
	virtual void setFullscreen(bool fullscreen) = 0;
	virtual bool isFullscreen() = 0;
	virtual bool captureMouse(bool capture) = 0;
	virtual bool isMouseCaptured() = 0;
	virtual void setMousePosition(int x, int y) = 0;
	virtual void setCursor(const std::string& name) = 0;

protected:
	std::vector<std::string> m_args;
};
}

#endif
