#ifndef TESTS_FRAMEWORK_LINUX_HOSTFIXTURE_H
#define TESTS_FRAMEWORK_LINUX_HOSTFIXTURE_H

#include <framework/App.h>
#include <framework/linux/LinuxHost.h>
#include <gtest/gtest.h>
#include <SDL.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

/** An App that writes down every call the host makes, as text. */
class RecordingApp : public framework::App
{
public:
	std::vector<std::string> calls;
	std::vector<float> steps;
	/** Runs inside update, before the frame is presented. */
	std::function<void()> onUpdate;
	/** Call names that throw a lang::Exception. */
	std::vector<std::string> failing;
	bool* deleted = nullptr;

	explicit RecordingApp(framework::OSInterface* os) : framework::App(os) {}
	~RecordingApp() override;

	void update(float dt, gr::Context* context, int flags) override;
	void keyDown(KeyType key) override { record(std::string("keyDown ") + toString(key)); }
	void keyUp(KeyType key) override { record(std::string("keyUp ") + toString(key)); }
	void orientationChanged() override { record("orientationChanged"); }
	void resolutionChanged() override { record("resolutionChanged"); }
	void mouseMove(int x, int y) override { record("mouseMove " + std::to_string(x) + " " + std::to_string(y)); }
	void mouseWheel(int delta) override { record("mouseWheel " + std::to_string(delta)); }
	void touchBegan(const framework::TouchEvent& t) override;
	void touchMoved(const framework::TouchEvent& t) override;
	void touchEnded(const framework::TouchEvent& t) override;
	void activate(bool active) override;
	bool activateAudio(bool active) override;
	void loadFromUrl(const std::string& url) override { record("loadFromUrl " + url); }
	void setMouseAvailable(bool available) override { record(available ? "setMouseAvailable 1" : "setMouseAvailable 0"); }

	/** The calls since the last take, which forgets them. */
	std::vector<std::string> take();

private:
	void record(const std::string& call);
};

/**
 * A windowed host on SDL's offscreen driver with a recording App, a clock
 * that only the loop's sleeps advance, and the configuration the test sets.
 */
class HostTest : public ::testing::Test
{
protected:
	static int64_t s_now;
	std::vector<int64_t> m_sleeps;
	std::unique_ptr<framework::LinuxHost> m_host;

	HostTest();
	~HostTest() override;

	/** Changes the configuration the next start gets from configure. */
	static void configureWith(const std::function<void(framework::App::Configuration&)>& change);
	framework::LinuxHost::Options options(int width = 960, int height = 640);
	RecordingApp* start(int width = 960, int height = 640);
	RecordingApp* start(const framework::LinuxHost::Options& o);
	RecordingApp* app() const;

public:
	void push(SDL_Event event);
	void pushWindowEvent(Uint8 which);
	void pushKey(SDL_Keycode key, bool down, bool repeat = false);
	void pushMouseButton(Uint8 button, bool down, int x, int y, Uint32 which = 0);
	void pushMouseMotion(int x, int y, Uint32 state, Uint32 which = 0);
	void pushFinger(Uint32 type, SDL_FingerID finger, float x, float y);
	/** One turn of the loop: the pushed events, then a frame while the loop runs. */
	void tick();
	/** Turns of the loop until every pushed event has been handled (a press or a release ends a turn's input). */
	void drain();
};

#endif
