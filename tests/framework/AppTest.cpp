#include <framework/App.h>
#include "NullOSInterface.h"
#include <gtest/gtest.h>

namespace
{
typedef NullOSInterface NullOS;


class TestApp : public framework::App
{
public:
	explicit TestApp(framework::OSInterface* os) : framework::App(os) {}
	void update(float, gr::Context*, int) override {}
};

typedef framework::App App;

std::vector<int> ids(const App& app)
{
	std::vector<int> result;
	for (const framework::TouchEvent& t : app.touches())
		result.push_back(t.id);
	return result;
}
}

TEST(App, TouchesFollowIdsInArrivalOrder)
{
	NullOS os;
	TestApp app(&os);
	app.touchBegan({5, 1, 1});
	app.touchBegan({7, 2, 2});
	app.touchBegan({5, 3, 3});
	app.touchMoved({5, 10, 20});
	EXPECT_EQ(10, app.touches()[0].x);
	EXPECT_EQ(20, app.touches()[0].y);
	EXPECT_EQ(3, app.touches()[2].x);
	app.touchMoved({9, 50, 50});
	EXPECT_EQ((std::vector<int>{5, 7, 5}), ids(app));
	app.touchEnded({5, 0, 0});
	EXPECT_EQ((std::vector<int>{7}), ids(app));
}

TEST(App, ActivationClearsKeysAndTouches)
{
	NullOS os;
	for (bool active : {true, false})
	{
		TestApp app(&os);
		app.setKeyDown(App::KEY_LBUTTON, true);
		app.setKeyDown(App::KEY_SHIFT, true);
		app.touchBegan({1, 0, 0});
		app.activate(active);
		EXPECT_FALSE(app.isKeyDown(App::KEY_LBUTTON));
		EXPECT_FALSE(app.isKeyDown(App::KEY_SHIFT));
		EXPECT_TRUE(app.touches().empty());
	}
}

TEST(App, KeyNamesAndSingleInstance)
{
	EXPECT_STREQ("LBUTTON", App::toString(App::KEY_LBUTTON));
	EXPECT_EQ(57, App::KEY_LBUTTON);
	EXPECT_STREQ("0", App::toString(static_cast<App::KeyType>(60)));
	EXPECT_STREQ("KEY_ZOOM", App::toString(static_cast<App::KeyType>(90)));
	EXPECT_STREQ("VOLUME_UP", App::toString(static_cast<App::KeyType>(82)));
	EXPECT_STREQ("KEY_BACK", App::toString(static_cast<App::KeyType>(86)));
	EXPECT_EQ(91, App::KEY_COUNT);

	NullOS os;
	EXPECT_FALSE(App::initialized());
	App* app = new TestApp(&os);
	EXPECT_EQ(app, App::get());
	EXPECT_DEATH(TestApp second(&os), "");
	App::deleteApp();
	EXPECT_FALSE(App::initialized());
}

TEST(App, DefaultConfigurationAndPaths)
{
	App::Configuration c;
	EXPECT_EQ(16, c.bits);
	EXPECT_EQ(60, c.framerate);
	EXPECT_TRUE(c.fullscreen);
	EXPECT_TRUE(c.showCursor);
	EXPECT_TRUE(c.autoOrientations.empty());
	EXPECT_TRUE(c.renderer.empty());

	NullOS os;
	TestApp app(&os);
	app.setDataPath("data_iphone");
	EXPECT_EQ("data_iphone/scripts/a.lua", app.path("scripts/a.lua"));
	os.dataPath = "/root";
	EXPECT_EQ("/root/data_iphone/levels/x.lua", app.path("levels/x.lua"));
}
