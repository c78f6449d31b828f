#include "GameFixture.h"
#include "HostServices.h"
#include <framework/linux/LinuxHost.h>
#include <io/ByteArrayInputStream.h>
#include <lang/Exception.h>

namespace
{
class LinuxHostTest : public ::testing::Test
{
protected:
	ScratchDir m_dir;

	LinuxHostTest() { isolateAnalytics(m_dir.path()); }

	framework::LinuxHost::Options options(int w = 960, int h = 640)
	{
		framework::LinuxHost::Options o;
		o.dataRoot = TEST_BUNDLE;
		o.userRoot = m_dir.path();
		o.width = w;
		o.height = h;
		addPlatformServices(o);
		return o;
	}

	static GameLua* lua() { return static_cast<GameApp*>(framework::App::get())->gameLua(); }
	static std::vector<std::string> calls()
	{
		std::vector<std::string> result;
		lua::LuaTable t = lua()->getTable("calls");
		for (int i = 1; !t.isNil(i); ++i)
			result.push_back(t.getString(i));
		return result;
	}
};
}

TEST_F(LinuxHostTest, APortraitSizeForTheLandscapeGameIsRefusedWithTheReason)
{
	try
	{
		framework::LinuxHost host(options(640, 960));
		ADD_FAILURE() << "a portrait surface for the landscape game was made";
	}
	catch (lang::Exception& e)
	{
		EXPECT_NE(std::string::npos, e.getMessage().format().find("The game is landscape")) << e.getMessage().format();
	}
	framework::LinuxHost host(options(960, 640));
	EXPECT_EQ(gr::Context::ORIENTATION_LANDSCAPE_RIGHT, host.config().orientation);
	EXPECT_EQ(960, host.context()->width());
	EXPECT_EQ(640, host.context()->height());
	EXPECT_EQ(gr::Context::PLATFORM_GLES2, host.context()->platform());
}

TEST_F(LinuxHostTest, FramesRunOnTheSimulatedClock)
{
	framework::LinuxHost host(options());
	host.becomeActive();
	const int64_t start = framework::LinuxHost::simulatedTimeMicros();
	for (int i = 0; i < 30; ++i)
		host.tick();
	EXPECT_EQ(30 * (1000000 / 60), framework::LinuxHost::simulatedTimeMicros() - start);
	EXPECT_NEAR(0.5f, host.context()->time(), 1e-3f);
	EXPECT_EQ(30.f, lua()->getNumber("frames"));
}

TEST_F(LinuxHostTest, ActivationReachesTheScriptsUnlessTheAppStoppedUpdates)
{
	framework::LinuxHost host(options());
	host.becomeActive();
	host.resignActive();
	host.tick();
	EXPECT_EQ(0.f, lua()->getNumber("frames"));
	host.becomeActive();
	host.os()->stopUpdate();
	host.resignActive();
	host.becomeActive();
	EXPECT_FALSE(host.isUpdating());
	const std::vector<std::string> expected = {"updateValues", "createStartUpAssets", "gameResumed", "gamePaused",
		"gameResumed", "gamePaused"};
	EXPECT_EQ(expected, calls());
	host.os()->startUpdate();
	EXPECT_TRUE(host.isUpdating());
}

TEST_F(LinuxHostTest, AStopRequestEndsTheRunAndStillSaves)
{
	{
		framework::LinuxHost host(options());
		framework::LinuxHost::requestStop();
		host.run(100);
		EXPECT_FALSE(framework::App::initialized());
	}
	EXPECT_TRUE(GameTest::exists(m_dir.path() + "/settings.lua"));
}

TEST_F(LinuxHostTest, TheLastFrameIsCaptured)
{
	framework::LinuxHost::Options o = options(96, 64);
	o.captureFile = m_dir.path() + "/frame.png";
	{
		framework::LinuxHost host(o);
		host.run(3);
	}
	const std::vector<unsigned char> png = GameTest::readBytes(o.captureFile);
	ASSERT_GT(png.size(), 8u);
	EXPECT_EQ(0x89, png[0]);
	EXPECT_EQ('P', png[1]);
}

TEST_F(LinuxHostTest, AScriptErrorInAFrameEndsTheLoop)
{
	framework::LinuxHost host(options());
	host.becomeActive();
	// Replaces "update" with a function that raises an error.
	const std::string code = "update = function() _G.error('boom') end";
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	lua()->getState()->compile(in, "crash", lua());
	EXPECT_THROW(host.tick(), lang::Exception);
	const auto events = loggedEvents();
	ASSERT_FALSE(events.empty());
	EXPECT_EQ("Game crashed", events.back().name());
	EXPECT_NE(std::string::npos, events.back().parameters().at("exception").find("boom"));
}

TEST_F(LinuxHostTest, TurningToTheOtherLandscapeKeepsTheSurface)
{
	framework::LinuxHost host(options());
	host.os()->setOrientation(gr::Context::ORIENTATION_LANDSCAPE_LEFT);
	EXPECT_EQ(gr::Context::ORIENTATION_LANDSCAPE_LEFT, host.context()->orientation());
	EXPECT_EQ(960, host.context()->width());
	EXPECT_EQ(640, host.context()->height());
	// The game hears of the new size.
	EXPECT_EQ("resolutionChanged", calls().back());
}

TEST_F(LinuxHostTest, FrameStepsAreClampedToATenthOfASecond)
{
	framework::LinuxHost host(options());
	host.becomeActive();
	const struct
	{
		int64_t gap;
		float step;
	} cases[] = {{2000000 - 16666, 0.1f}, {-1000000 - 16666, 0.f}, {50000 - 16666, 0.05f}};
	for (const auto& c : cases)
	{
		const float before = host.context()->time();
		framework::LinuxHost::advanceClock(c.gap);
		host.tick();
		EXPECT_NEAR(c.step, host.context()->time() - before, 1e-4f) << c.gap;
	}
}
