#include "GameFixture.h"
#include <analytics/AnalyticsDevice.h>
#include <framework/linux/LinuxHost.h>
#include <EGL/egl.h>
#include <lang/Exception.h>
#include <lua/LuaState.h>
#include <cmath>

typedef GameTest GameAppTest;

// The bridge reaches its owner without checks: an owner is required from the start.
TEST(GameLuaOwner, ANullOwnerIsRefused)
{
	lang::Ptr<lua::LuaState> state = new lua::LuaState();
	EXPECT_THROW(lang::Ptr<GameLua>(new GameLua(nullptr, nullptr, state, nullptr)), lang::Exception);
}

TEST_F(GameAppTest, KeyFlagsLastOneFrame)
{
	start();
	app()->keyDown(framework::App::KEY_LBUTTON);
	app()->keyUp(framework::App::KEY_LBUTTON);
	app()->keyDown(framework::App::KEY_A);
	app()->setKeyDown(framework::App::KEY_BACK, true);
	frame();
	EXPECT_EQ("true", eval("keyPressed.LBUTTON"));
	EXPECT_EQ("true", eval("keyReleased.LBUTTON"));
	EXPECT_EQ("false", eval("keyHold.LBUTTON"));
	EXPECT_EQ("true", eval("keyHold.KEY_BACK"));
	// Only the five game keys are copied.
	EXPECT_EQ("false", eval("keyPressed.A"));
	EXPECT_EQ("false", eval("keyPressed.KEY_ZOOM"));
	frame();
	EXPECT_EQ("false", eval("keyPressed.LBUTTON"));
	EXPECT_EQ("false", eval("keyReleased.LBUTTON"));
	EXPECT_EQ("2", eval("frames"));
}

TEST_F(GameAppTest, VolumeKeysStepAndClamp)
{
	start();
	struct Case
	{
		float start;
		framework::App::KeyType key;
		float expected;
	};
	const Case cases[] = {
		{0.95f, framework::App::KEY_VOLUME_UP, 1.f},
		{0.5f, framework::App::KEY_VOLUME_UP, 0.6f},
		{0.05f, framework::App::KEY_VOLUME_DOWN, 0.f},
		{0.f, framework::App::KEY_VOLUME_DOWN, 0.f},
	};
	for (const Case& c : cases)
	{
		app()->luaResources()->setMasterVolume(c.start);
		app()->keyDown(c.key);
		frame();
		EXPECT_NEAR(c.expected, app()->luaResources()->getMasterVolume(), 1e-6f) << c.start;
		EXPECT_NEAR(c.expected, std::stof(eval("settings.volume")), 1e-6f) << c.start;
	}
	// Without a settings table the volume still changes and nothing is written.
	run("settings = nil");
	app()->keyDown(framework::App::KEY_VOLUME_UP);
	frame();
	EXPECT_EQ("nil", eval("settings"));
}

TEST_F(GameAppTest, StartVolumeComesFromSettings)
{
	start();
	run("settings.volume = 0.25");
	stop();
	start();
	EXPECT_FLOAT_EQ(0.25f, app()->luaResources()->getMasterVolume());
}

TEST_F(GameAppTest, WheelEasesToItsTargetAndFlagsOneFrame)
{
	start();
	app()->mouseWheel(2);
	EXPECT_EQ("2", eval("cursor.wheel"));
	EXPECT_EQ("true", eval("cursor.wheelTriggered"));
	frame(0.1f);
	// Still set through the first complete frame after the wheel moved.
	EXPECT_EQ("false", eval("cursor.wheelTriggered"));
	EXPECT_GT(app()->zoom(), 1.f);
	EXPECT_LT(app()->zoom(), 1.4f);
	for (int i = 0; i < 6; ++i)
		frame(0.1f);
	EXPECT_FLOAT_EQ(1.4f, app()->zoom());

	// A target beyond the range is clamped when the ease starts.
	app()->mouseWheel(-100);
	for (int i = 0; i < 7; ++i)
		frame(0.1f);
	EXPECT_FLOAT_EQ(0.01f, app()->zoom());
}

TEST_F(GameAppTest, WheelUnderGestureControlsOnlySetsTheFlags)
{
	start();
	run("g_usingGestureControls = true");
	app()->mouseWheel(3);
	EXPECT_EQ("nil", eval("cursor.wheelTriggered"));
	EXPECT_EQ("nil", eval("cursor.wheel"));
	frame(0.1f);
	// The frame flags were still set, so the frame clears the trigger.
	EXPECT_EQ("false", eval("cursor.wheelTriggered"));
	EXPECT_FLOAT_EQ(1.f, app()->zoom());
}

TEST_F(GameAppTest, WheelWithoutSmoothingJumpsUnlessControlIsHeld)
{
	start();
	app()->setSmoothZooming(false);
	app()->setKeyDown(framework::App::KEY_SHIFT, true);
	app()->mouseWheel(1);
	EXPECT_FLOAT_EQ(1.01f, app()->zoom());
	app()->setKeyDown(framework::App::KEY_CONTROL, true);
	app()->mouseWheel(1);
	EXPECT_FLOAT_EQ(1.01f, app()->zoom());
}

TEST_F(GameAppTest, PinchScalesFromTheWorldScale)
{
	start();
	app()->setWorldScale(2.f);
	app()->touchBegan({1, 0, 0});
	app()->touchBegan({2, 100, 0});
	frame();
	EXPECT_FLOAT_EQ(2.f, app()->zoom());
	app()->touchMoved({2, 150, 0});
	frame();
	EXPECT_FLOAT_EQ(3.f, app()->zoom());
	app()->touchEnded({2, 0, 0});
	frame();
	EXPECT_FLOAT_EQ(3.f, app()->zoom());
	// Two touches on one point give no usable start distance.
	app()->touchBegan({3, 0, 0});
	frame();
	EXPECT_FLOAT_EQ(2.f, app()->zoom());
}

TEST_F(GameAppTest, DeviceModelFollowsTheSurface)
{
	const struct
	{
		int w, h;
		const char* model;
	} cases[] = {{960, 640, "iphone4"}, {1136, 640, "iphone4"}, {640, 960, "iphone"}, {480, 320, "iphone"}};
	for (const auto& c : cases)
	{
		start(c.w, c.h);
		EXPECT_EQ(c.model, eval("deviceModel")) << c.w << "x" << c.h;
		EXPECT_EQ(std::to_string(c.w), eval("screenWidth"));
	}
}

TEST_F(GameAppTest, AnalyticsReportsTheDrawingSurfaceSize)
{
	// The reports' screen fields come from the surface the game draws on.
	start(640, 960);
	EXPECT_EQ(640, analytics::AnalyticsDevice::screenWidth());
	EXPECT_EQ(960, analytics::AnalyticsDevice::screenHeight());
}

TEST_F(GameAppTest, FrameClearsToTheScriptsBackground)
{
	start(64, 32);
	run("setBGColor(300, -5, 12.9)");
	run("r, g, b = getBGColor()");
	EXPECT_EQ("255 0 12", eval("r .. ' ' .. g .. ' ' .. b"));
	frame();
	typedef void (*ReadPixels)(int, int, int, int, unsigned, unsigned, void*);
	const ReadPixels readPixels = reinterpret_cast<ReadPixels>(eglGetProcAddress("glReadPixels"));
	ASSERT_NE(nullptr, readPixels);
	unsigned char pixel[4] = {};
	readPixels(10, 10, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, pixel);
	EXPECT_EQ(255, pixel[0]);
	EXPECT_EQ(0, pixel[1]);
	EXPECT_EQ(12, pixel[2]);
	EXPECT_EQ(255, pixel[3]);
}

TEST_F(GameAppTest, ARunningWheelEaseIsExtendedOnlyBelowTheMaximum)
{
	// With no maximum set, a second wheel event starts a fresh ease from the current zoom.
	for (float maximum : {0.f, 5.f})
	{
		start();
		app()->setMaxWheelZoom(maximum);
		app()->mouseWheel(1);
		frame(0.1f);
		const float zoom = app()->zoom();
		app()->mouseWheel(1);
		for (int i = 0; i < 10; ++i)
			frame(0.1f);
		const float expected = maximum > 0.f ? 1.3f : zoom + 0.2f;
		EXPECT_NEAR(expected, app()->zoom(), 1e-5f) << maximum;
	}
}
