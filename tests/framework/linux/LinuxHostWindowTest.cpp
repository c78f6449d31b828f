#include "HostFixture.h"
#include <framework/AppActivationListener.h>
#include <lang/Exception.h>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

typedef std::vector<std::string> Calls;

TEST_F(HostTest, TheWindowOpensInItsOwnShapeAndAPortraitOneForALandscapeGameIsRefused)
{
	// A portrait size is told, never turned into the landscape one.
	try
	{
		start(640, 960);
		ADD_FAILURE() << "a portrait window for a landscape game opened";
	}
	catch (lang::Exception& e)
	{
		EXPECT_EQ("The game is landscape: a 640x960 surface is portrait; ask for 960x640", e.getMessage().format());
	}
	EXPECT_FALSE(framework::App::initialized());

	RecordingApp* a = start(960, 640);
	EXPECT_EQ(gr::Context::ORIENTATION_LANDSCAPE_RIGHT, m_host->config().orientation);
	EXPECT_EQ(960, m_host->view()->drawableWidth());
	EXPECT_EQ(640, m_host->view()->drawableHeight());
	EXPECT_EQ(960, m_host->context()->width());
	EXPECT_EQ(640, m_host->context()->height());
	EXPECT_EQ(gr::Context::PLATFORM_GLES2, m_host->context()->platform());
	EXPECT_FLOAT_EQ(1.f, m_host->view()->contentScale());
	// The mouse is announced once, then the host becomes active as a device after launch.
	EXPECT_EQ((Calls{"setMouseAvailable 1", "activate 1", "activateAudio 1"}), a->take());
	EXPECT_TRUE(m_host->isActive());
	EXPECT_TRUE(m_host->isUpdating());

	// A game that takes portrait gets it.
	m_host.reset();
	configureWith([](framework::App::Configuration& c) { c.autoOrientations.push_back(gr::Context::ORIENTATION_PORTRAIT); });
	start(640, 960);
	EXPECT_EQ(gr::Context::ORIENTATION_PORTRAIT, m_host->config().orientation);
	EXPECT_EQ(640, m_host->context()->width());
	EXPECT_EQ(960, m_host->context()->height());
}

TEST_F(HostTest, TheRendererListIsWalkedInOrder)
{
	// No ES 2.0 here: the list {1, 0} falls back to ES 1.1.
	framework::LinuxHost::Options o = options();
	o.contextFactory = [](SDL_Window* w, int renderer) -> void* {
		return renderer == gr::Context::PLATFORM_GLES2 ? nullptr : SDL_GL_CreateContext(w);
	};
	configureWith([](framework::App::Configuration& c) {
		c.renderer = {gr::Context::PLATFORM_GLES2, gr::Context::PLATFORM_GLES1};
	});
	start(o);
	EXPECT_EQ(gr::Context::PLATFORM_GLES1, m_host->view()->selectedRenderer());
	EXPECT_EQ(gr::Context::PLATFORM_GLES1, m_host->context()->platform());
	tick();
	EXPECT_EQ(1u, app()->steps.size());
}

TEST_F(HostTest, NoUsableRendererIsRefused)
{
	const std::vector<std::vector<gr::Context::PlatformType>> lists = {
		{static_cast<gr::Context::PlatformType>(7)}, {}};
	for (const auto& list : lists)
	{
		configureWith([&](framework::App::Configuration& c) { c.renderer = list; });
		try
		{
			start();
			ADD_FAILURE() << "a host started";
		}
		catch (lang::Exception& e)
		{
			EXPECT_EQ("No renderer was chosen", e.getMessage().format());
		}
		EXPECT_FALSE(framework::App::initialized());
	}
}

TEST_F(HostTest, FramesArePacedBySleepingToTheNextTick)
{
	RecordingApp* a = start();
	for (int i = 0; i < 3; ++i)
		tick();
	ASSERT_EQ(3u, a->steps.size());
	EXPECT_EQ(0.f, a->steps[0]);
	EXPECT_NEAR(1.f / 60.f, a->steps[1], 1e-5f);
	EXPECT_EQ((std::vector<int64_t>{16666, 16666, 16666}), m_sleeps);
	// A slow frame shortens the next sleep.
	m_sleeps.clear();
	a->onUpdate = [] { s_now += 10000; };
	tick();
	EXPECT_EQ((std::vector<int64_t>{6666}), m_sleeps);
	// A frame longer than a tick is followed by the next at once, and the schedule starts afresh.
	m_sleeps.clear();
	a->onUpdate = [] { s_now += 50000; };
	tick();
	a->onUpdate = nullptr;
	tick();
	EXPECT_EQ((std::vector<int64_t>{16666}), m_sleeps);
}

TEST_F(HostTest, TheTickFollowsTheFramerate)
{
	const int rates[][2] = {{60, 16666}, {30, 33333}, {20, 50000}, {45, 16666}, {0, 16666}, {-5, 16666}, {120, 16666}};
	for (const auto& r : rates)
	{
		configureWith([&](framework::App::Configuration& c) { c.framerate = r[0]; });
		start();
		EXPECT_EQ(r[1], m_host->tickMicros()) << "framerate " << r[0];
		m_host.reset();
	}
}

TEST_F(HostTest, TheFrameStepIsClampedAndTheStampAlwaysRenewed)
{
	RecordingApp* a = start();
	tick();
	s_now += 2000000;
	tick();
	ASSERT_EQ(2u, a->steps.size());
	EXPECT_FLOAT_EQ(0.1f, a->steps[1]);
	const float time = m_host->context()->time();
	// A clock stepping backwards gives no time at all.
	s_now -= 5000000;
	tick();
	EXPECT_EQ(0.f, a->steps[2]);
	EXPECT_EQ(time, m_host->context()->time());
}

namespace
{
class CountingListener : public framework::AppActivationListener
{
public:
	std::vector<std::string>& log;
	explicit CountingListener(std::vector<std::string>& l) : log(l) {}
	void didBecomeActive() override { log.push_back("listener active"); }
	void willResignActive() override { log.push_back("listener resign"); }
};
}

TEST_F(HostTest, FocusAndMinimisingActivateOnlyOnAChange)
{
	RecordingApp* a = start();
	CountingListener listener(a->calls);
	framework::AppActivationListeners::add(&listener);
	a->take();
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
	tick();
	EXPECT_EQ((Calls{"activate 0", "activateAudio 0", "listener resign"}), a->take());
	EXPECT_FALSE(m_host->isUpdating());
	// Stopped: the loop waits for events instead of running frames.
	tick();
	EXPECT_TRUE(a->steps.empty());
	pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
	tick();
	EXPECT_EQ((Calls{"activate 1", "activateAudio 1", "listener active", "update"}), a->take());
	framework::AppActivationListeners::remove(&listener);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	tick();
	EXPECT_EQ((Calls{"activate 0", "activateAudio 0"}), a->take());
}

TEST_F(HostTest, AnAppThatStoppedUpdatesStaysStoppedAcrossActivation)
{
	RecordingApp* a = start();
	m_host->os()->stopUpdate();
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
	tick();
	EXPECT_FALSE(m_host->isUpdating());
	EXPECT_TRUE(a->steps.empty());
	m_host->os()->startUpdate();
	tick();
	EXPECT_EQ(1u, a->steps.size());
	// While inactive the App's restart waits for activation.
	pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
	tick();
	m_host->os()->stopUpdate();
	m_host->os()->startUpdate();
	EXPECT_FALSE(m_host->isUpdating());
}

TEST_F(HostTest, ClosingTheWindowTerminatesWithTheQuitCode)
{
	struct Case
	{
		const char* name;
		std::function<void(HostTest&, RecordingApp*)> ask;
		int code;
	};
	const Case cases[] = {
		{"close", [](HostTest& t, RecordingApp*) { t.pushWindowEvent(SDL_WINDOWEVENT_CLOSE); }, 0},
		{"quit event", [](HostTest& t, RecordingApp*) { SDL_Event e = {}; e.type = SDL_QUIT; t.push(e); }, 0},
		{"app quit", [](HostTest&, RecordingApp* a) { a->quit(3); }, 3},
		{"stop request", [](HostTest&, RecordingApp*) { framework::LinuxHost::requestStop(); }, 0},
	};
	for (const Case& c : cases)
	{
		RecordingApp* a = start();
		bool deleted = false;
		a->deleted = &deleted;
		c.ask(*this, a);
		EXPECT_EQ(c.code, m_host->run(0)) << c.name;
		EXPECT_TRUE(deleted) << c.name;
		EXPECT_FALSE(framework::App::initialized());
		m_host.reset();
	}
}

TEST_F(HostTest, AStopRequestedDuringStartUpEndsTheRunOnce)
{
	// As a signal arriving while the game is still being made.
	framework::LinuxHost::requestStop();
	start();
	EXPECT_EQ(0, m_host->run(0));
	EXPECT_FALSE(framework::App::initialized());
	// The request is used up: the next host runs.
	start();
	EXPECT_TRUE(m_host->tick());
	EXPECT_EQ(1u, app()->steps.size());
}

TEST_F(HostTest, AFrameCountEndsTheRunAndTheLastFrameIsCaptured)
{
	char folder[] = "/tmp/hosttest-XXXXXX";
	ASSERT_NE(nullptr, mkdtemp(folder));
	framework::LinuxHost::Options o = options(96, 64);
	o.captureFile = std::string(folder) + "/frame.png";
	RecordingApp* a = start(o);
	bool deleted = false;
	a->deleted = &deleted;
	EXPECT_EQ(0, m_host->run(4));
	EXPECT_TRUE(deleted);
	struct stat st;
	ASSERT_EQ(0, ::stat(o.captureFile.c_str(), &st));
	EXPECT_GT(st.st_size, 8);
	::unlink(o.captureFile.c_str());
	::rmdir(folder);
}

TEST_F(HostTest, AnExceptionFromInputEndsTheLoopAndTheAppIsStillDeleted)
{
	RecordingApp* a = start();
	bool deleted = false;
	a->deleted = &deleted;
	a->failing = {"keyDown"};
	pushKey(SDLK_SPACE, true);
	EXPECT_THROW(m_host->run(0), lang::Exception);
	EXPECT_TRUE(a->steps.empty());
	m_host.reset();
	EXPECT_TRUE(deleted);
}

TEST_F(HostTest, TheUrlIsDeliveredAfterStartUpAndBeforeActivation)
{
	framework::LinuxHost::Options o = options();
	o.url = "engine://level/7";
	RecordingApp* a = start(o);
	EXPECT_EQ((Calls{"setMouseAvailable 1", "loadFromUrl engine://level/7", "activate 1", "activateAudio 1"}), a->take());
}

TEST_F(HostTest, TheDisplaysOrientationTurnsTheContextWithinTheAllowedOnes)
{
	configureWith([](framework::App::Configuration& c) {
		c.autoOrientations = {gr::Context::ORIENTATION_LANDSCAPE_RIGHT, gr::Context::ORIENTATION_LANDSCAPE_LEFT,
			gr::Context::ORIENTATION_PORTRAIT_UPSIDE_DOWN};
	});
	RecordingApp* a = start();
	a->take();
	const struct
	{
		SDL_DisplayOrientation sdl;
		gr::Context::OrientationType expected;
	} cases[] = {
		{SDL_ORIENTATION_LANDSCAPE_FLIPPED, gr::Context::ORIENTATION_LANDSCAPE_LEFT},
		// Not allowed, upside down on a phone, unknown: all refused.
		{SDL_ORIENTATION_PORTRAIT, gr::Context::ORIENTATION_LANDSCAPE_LEFT},
		{SDL_ORIENTATION_PORTRAIT_FLIPPED, gr::Context::ORIENTATION_LANDSCAPE_LEFT},
		{SDL_ORIENTATION_UNKNOWN, gr::Context::ORIENTATION_LANDSCAPE_LEFT},
		{SDL_ORIENTATION_LANDSCAPE, gr::Context::ORIENTATION_LANDSCAPE_RIGHT},
	};
	for (const auto& c : cases)
	{
		SDL_Event e = {};
		e.type = SDL_DISPLAYEVENT;
		e.display.event = SDL_DISPLAYEVENT_ORIENTATION;
		e.display.data1 = c.sdl;
		push(e);
		tick();
		EXPECT_EQ(c.expected, m_host->context()->orientation()) << "SDL orientation " << c.sdl;
		EXPECT_EQ(960, m_host->context()->width());
		EXPECT_EQ(640, m_host->context()->height());
	}
	Calls expected;
	for (const std::string& call : a->take())
		if (call == "resolutionChanged" || call == "orientationChanged")
			expected.push_back(call);
	EXPECT_EQ((Calls{"resolutionChanged", "orientationChanged", "resolutionChanged", "orientationChanged"}), expected);
}

TEST_F(HostTest, ASizeChangeReachesTheContextReadAsPortrait)
{
	RecordingApp* a = start();
	a->take();
	SDL_SetWindowSize(m_host->view()->window(), 800, 600);
	pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
	tick();
	EXPECT_EQ(800, m_host->surfaceWidth());
	EXPECT_EQ(800, m_host->context()->width());
	EXPECT_EQ(600, m_host->context()->height());
	const Calls calls = a->take();
	EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "resolutionChanged"));
}

// The landscape game in a window resized to portrait keeps its shape between black bars; presses
// reach it in its own pixels. Back to landscape, it fills the window again.
TEST_F(HostTest, AWindowResizedToTheOtherShapeIsLetterboxed)
{
	RecordingApp* a = start();
	typedef void (*ReadPixels)(int, int, int, int, unsigned, unsigned, void*);
	const ReadPixels readPixels = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
	ASSERT_NE(nullptr, readPixels);
	// The frame clears the game's surface to red; rows are read from the frame buffer's bottom.
	std::vector<unsigned> rows;
	a->onUpdate = [&] {
		gr::Context* c = m_host->context();
		gr::Context::RenderScene scene(c);
		c->clear(0xFFFF0000, true, false, false);
		c->flush();
		rows.clear();
		for (int y : {699 - 100, 699 - 350, 699 - 600})
		{
			unsigned char rgba[4] = {};
			readPixels(10, y, 1, 1, 0x1908 /* GL_RGBA */, 0x1401 /* GL_UNSIGNED_BYTE */, rgba);
			rows.push_back(unsigned(rgba[0]) << 16 | unsigned(rgba[1]) << 8 | rgba[2]);
		}
	};
	SDL_SetWindowSize(m_host->view()->window(), 450, 700);
	pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
	tick();
	tick();
	EXPECT_EQ(450, m_host->context()->width());
	EXPECT_EQ(300, m_host->context()->height());
	EXPECT_EQ(0, m_host->view()->surfaceLeft());
	EXPECT_EQ(200, m_host->view()->surfaceTop());
	EXPECT_EQ((std::vector<unsigned>{0x000000, 0xFF0000, 0x000000}), rows);
	a->onUpdate = nullptr;
	a->take();
	pushMouseButton(SDL_BUTTON_LEFT, true, 10, 250);
	drain();
	const Calls calls = a->take();
	EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "touchBegan 0 10 50"));

	SDL_SetWindowSize(m_host->view()->window(), 800, 600);
	pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
	tick();
	EXPECT_EQ(800, m_host->context()->width());
	EXPECT_EQ(600, m_host->context()->height());
	EXPECT_EQ(0, m_host->view()->surfaceTop());
}

TEST_F(HostTest, TheWindowServesTheDesktopsOperations)
{
	start();
	framework::OSInterface* os = m_host->os();
	EXPECT_TRUE(os->captureMouse(true));
	EXPECT_EQ(SDL_GetWindowGrab(m_host->view()->window()) == SDL_TRUE, os->isMouseCaptured());
	os->allowSleep(false);
	EXPECT_FALSE(SDL_IsScreenSaverEnabled());
	os->allowSleep(true);
	EXPECT_TRUE(SDL_IsScreenSaverEnabled());
	EXPECT_FALSE(os->isFullscreen());
	os->setFullscreen(true);
	EXPECT_TRUE(os->isFullscreen());
	os->setFullscreen(false);
	EXPECT_FALSE(os->isFullscreen());
}

TEST_F(HostTest, ALocalNotificationReachesTheHandlerByName)
{
	start();
	std::vector<std::string> names;
	m_host->receivedLocalNotification("before a handler");
	m_host->setNotificationHandler([&](const std::string& name) { names.push_back(name); });
	m_host->receivedLocalNotification("daily");
	m_host->receivedLocalNotification("");
	EXPECT_EQ((std::vector<std::string>{"daily"}), names);
}

// The services come in from outside: the pump starts every turn (also a stopped one) before the
// frame, and the window hook sees the window while it exists.
TEST_F(HostTest, TheServicePumpStartsEveryTurnAndTheWindowHookSeesTheWindow)
{
	framework::LinuxHost::Options o = options();
	std::vector<std::string> seen;
	framework::LinuxHost* pumped = nullptr;
	o.servicePump = [&](framework::LinuxHost& host) {
		pumped = &host;
		seen.push_back("pump " + std::to_string(app()->steps.size()));
	};
	o.windowServices = [&](framework::LinuxGLView* window) {
		seen.push_back(window ? "window" : "no window");
		if (window)
		{
			EXPECT_NE(nullptr, window->window());
		}
	};
	start(o);
	EXPECT_EQ((Calls{"window"}), seen);
	seen.clear();
	tick();
	tick();
	EXPECT_EQ((Calls{"pump 0", "pump 1"}), seen);
	EXPECT_EQ(m_host.get(), pumped);
	seen.clear();
	m_host->stopUpdate();
	tick();
	EXPECT_EQ((Calls{"pump 2"}), seen);
	seen.clear();
	m_host.reset();
	EXPECT_EQ((Calls{"no window"}), seen);
}
