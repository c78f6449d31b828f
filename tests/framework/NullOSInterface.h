#ifndef TESTS_FRAMEWORK_NULLOSINTERFACE_H
#define TESTS_FRAMEWORK_NULLOSINTERFACE_H

#include <framework/OSInterface.h>

/** Platform services that do nothing; the data path is settable. */
class NullOSInterface : public framework::OSInterface
{
public:
	std::string dataPath;
	/** Whether the frame loop would run: stopUpdate clears it, startUpdate sets it. */
	bool updating = true;

	void loadShaders(const std::string&, bool) override {}
	std::string getDefaultDataPath() override { return dataPath; }
	void setResolution(int, int) override {}
	void setOrientation(gr::Context::OrientationType) override {}
	void allowSleep(bool) override {}
	bool isSilentProfile() override { return false; }
	void startUpdate() override { updating = true; }
	void stopUpdate() override { updating = false; }
	void setFullscreen(bool) override {}
	bool isFullscreen() override { return true; }
	bool captureMouse(bool) override { return true; }
	bool isMouseCaptured() override { return false; }
	void setMousePosition(int, int) override {}
	void setCursor(const std::string&) override {}
};

#endif
