#include "GameFixture.h"
#include <framework/OSInterface.h>
#include "HostServices.h"
#include <framework/linux/LinuxHost.h>
#include <io/ByteArrayInputStream.h>
#include <pf/MainThreadQueue.h>
#include <pf/LocalNotifications.h>
#include <pf/UserDefaults.h>
#include <pf/VideoPlayer.h>
#include <pf/WebKit.h>
#include <pf/WebView.h>
#include <pf/detail/ModuleReset.h>
#include <io/detail/paths.h>
#include <lua/LuaException.h>
#include <cstdio>
#include <fstream>
#include <memory>

namespace
{
const char* kLevelPack = "com.tarvel.Zephyra.levelpackrimward";
const char* kSmall = "com.tarvel.Zephyra.novaburstsmall";

// The catalogue lies at the bundle root, which the tests share: written whole, then moved in place.
void writeCatalogue()
{
	const std::string path = std::string(TEST_BUNDLE) + "/store-catalogue.json";
	const std::string temp = path + "." + std::to_string(getpid());
	std::ofstream(temp) << R"({"paymentsAllowed": true, "products": [
		{"id": "com.tarvel.Zephyra.novaburstsmall", "title": "Small", "description": "A few", "price": "0,99 €", "consumable": true},
		{"id": "com.tarvel.Zephyra.levelpackrimward", "title": "Rimward", "description": "Levels", "price": "2,99 €"},
		{"id": "com.tarvel.ZephyraHD.novabursthuge", "title": "Huge", "outcome": "cancel"}]})";
	std::rename(temp.c_str(), path.c_str());
}
}

class PlatformGlueTest : public GameTest
{
protected:
	void SetUp() override
	{
		writeCatalogue();
		start();
		run("results = {} "
			"function onStore(id, status, err) results[#results + 1] = id .. ',' .. status .. ',' .. err end "
			"function onOther(id, status, err) results[#results + 1] = 'other:' .. id .. ',' .. status .. ',' .. err end");
	}
	std::string results() { return eval("_G.table.concat(results, ';')"); }
};

TEST_F(PlatformGlueTest, ItemsComeInTheGamesOrderAndScriptsSeeThem)
{
	EXPECT_EQ(eval("iapIsAllowed()"), "true");
	EXPECT_EQ(eval("g_iapEnabled"), "true");
	EXPECT_EQ(eval("iapInitItemPurchase('onStore')"), "true");
	EXPECT_EQ(eval("iapGetItemCount()"), "0");
	frame();
	// Seven of the game's ten ids are not in the catalogue.
	EXPECT_EQ(results(), ",2,5");
	ASSERT_EQ(eval("iapGetItemCount()"), "3");
	EXPECT_EQ(eval("iapGetItemAt(2).id"), "com.tarvel.ZephyraHD.novabursthuge");
	EXPECT_EQ(eval("iapGetItemAt(0).id"), kLevelPack);
	const std::string second = "(function() local t = iapGetItemAt(1.9) return t.id .. '|' .. t.name .. '|' .. t.description .. '|' .. t.type .. '|' .. t.quantity .. '|' .. t.price end)()";
	EXPECT_EQ(eval(second), std::string(kSmall) + "|Small|A few|1|0|0,99 €");
	EXPECT_EQ(eval("_G.next(iapGetItemAt(3))"), "nil");
	// Truncated toward zero, -0.5 is index 0.
	EXPECT_EQ(eval("iapGetItemAt(-0.5).id"), kLevelPack);
	EXPECT_EQ(eval("_G.next(iapGetItemAt(-1))"), "nil");
	run("iapSetItemDescription(1, 'Changed') iapSetItemDescription(5, 'Nowhere')");
	EXPECT_EQ(eval("iapGetItemAt(1).description"), "Changed");
}

TEST_F(PlatformGlueTest, ResultsGoToTheFunctionNamedLast)
{
	EXPECT_EQ(eval(std::string("iapBuyItem('") + kLevelPack + "', 'onStore')"), "true");
	frame();
	EXPECT_EQ(results(), std::string(kLevelPack) + ",1,0");
	EXPECT_EQ(eval("iapBuyItem('', 'onStore')"), "false");
	run("iapBuyItem('com.tarvel.ZephyraHD.novabursthuge', 'onStore') iapRestoreItems('onOther')");
	frame();
	EXPECT_EQ(results(), std::string(kLevelPack) + ",1,0;,2,5;other:,2,2;other:" + kLevelPack + ",3,0;other:,1,0");
}

TEST_F(PlatformGlueTest, CallsWithoutACallbackNameAreDroppedAndAMissingFunctionIsAScriptError)
{
	lua()->paymentFinished("x", pf::CommerceListener::PAYMENT_COMPLETED, pf::Commerce::ERROR_NONE);
	lua()->initFinished(pf::CommerceListener::PROVIDER_UNAVAILABLE);
	run("function inAppPurchasingBecameAvailable() results[#results + 1] = 'available' end");
	lua()->initFinished(pf::CommerceListener::PROVIDER_AVAILABLE);
	EXPECT_EQ(results(), "available");

	run(std::string("iapBuyItem('") + kLevelPack + "', 'noSuchFunction')");
	EXPECT_THROW(lua()->update(1.f / 60.f), lua::LuaException);
	// The purchase stays in the ledger for the next start.
	std::ifstream ledger(m_dir.path() + "/state/engine/store-ledger.json");
	const std::string text((std::istreambuf_iterator<char>(ledger)), std::istreambuf_iterator<char>());
	EXPECT_NE(text.find("\"delivering\""), std::string::npos);
}

TEST_F(PlatformGlueTest, NotificationsReachTheNamedFunctionAndFollowTheSettings)
{
	lua()->notificationReceived("early");
	run("function onNote(name) results[#results + 1] = 'note:' .. name end setNotificationCallback('onNote')");
	pf::LocalNotifications::notifyListeners("welcome");
	EXPECT_EQ(results(), "note:welcome");

	EXPECT_EQ(eval("addNotificationAfter('later', 60, 'Come back')"), "true");
	EXPECT_EQ(pf::LocalNotifications::pending().size(), 1u);
	EXPECT_EQ(eval("removeNotification('later')"), "true");
	EXPECT_EQ(eval("removeNotification('later')"), "false");
	pf::UserDefaults::setBoolean("notifications", false);
	EXPECT_EQ(eval("addNotificationAfter('later', 60, 'Come back')"), "false");
	EXPECT_TRUE(pf::LocalNotifications::pending().empty());
}

TEST_F(PlatformGlueTest, PlatformSwitchesAndIdleOperations)
{
	EXPECT_EQ(eval("playVideo('missing.ogv')"), "false");
	EXPECT_EQ(eval("doesMouseClickSetsTouchCount()"), "false");
	EXPECT_EQ(eval("getClipboardText()"), "");
	EXPECT_EQ(eval("isInFullScreenMode()"), "true");
	run("setChannelCountLimit(2, 1) setGameOn(true) setResolution(1023.9, 767.2) captureMouse(true) "
		"setIsMultitouchMouseWheelSimulationEnabled(true) enableSmoothZooming(true) "
		"openPartnerShop('x') checkForUpdates() showBannerAd() disableiAds() requestBannerAd()");
	EXPECT_TRUE(lua()->multitouchMouseWheelSimulation());
	run("requestExit()");
	EXPECT_TRUE(app()->quitRequested());
}


namespace
{
/** A headless host's options on the given game data, with the game's platform services; the
 * services' files go under dir. */
framework::LinuxHost::Options hostOptions(const std::string& dir, const std::string& dataRoot = TEST_BUNDLE)
{
	setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
	setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
	framework::LinuxHost::Options o;
	o.dataRoot = dataRoot;
	o.userRoot = dir;
	addPlatformServices(o);
	return o;
}
}

// The headless host's turns: tasks run and due notifications reach the script, also while the loop is stopped.
TEST(PlatformHostTurns, TasksAndNotificationsArriveEveryTurn)
{
	ScratchDir dir;
	framework::LinuxHost host(hostOptions(dir.path()));
	host.setNotificationHandler(&pf::LocalNotifications::notifyListeners);
	host.becomeActive();
	GameLua* game = static_cast<GameApp*>(framework::App::get())->gameLua();
	const std::string code = "notes = {} function onNote(name) notes[#notes + 1] = name end setNotificationCallback('onNote') "
		"addNotificationAfter('soon', 0, 'x') addNotificationAfter('later', 3600, 'y')";
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	game->getState()->compile(in, "notes", game);

	framework::App::get()->getOSInterface()->stopUpdate();
	ASSERT_FALSE(host.isUpdating());
	const int64_t clock = framework::LinuxHost::simulatedTimeMicros();
	bool ran = false;
	pf::MainThreadQueue::post([&]() { ran = true; });
	host.tick();
	EXPECT_TRUE(ran);
	EXPECT_EQ(game->getTable("notes").getString(1), "soon");
	EXPECT_TRUE(game->getTable("notes").isNil(2));
	// A stopped turn draws no frame and moves no clock.
	EXPECT_EQ(clock, framework::LinuxHost::simulatedTimeMicros());
	// The end of a video restarts the loop from a task.
	pf::MainThreadQueue::post([game]() { game->videoPlayEnded(); });
	host.tick();
	EXPECT_TRUE(host.isUpdating());
	EXPECT_EQ(pf::LocalNotifications::pending().size(), 1u);
}

// The host hands a due notification over while it is still stored: a run ending inside the handler loses nothing.
TEST(PlatformHostTurns, ADueNotificationIsStillStoredWhileTheGameHearsIt)
{
	ScratchDir dir;
	framework::LinuxHost host(hostOptions(dir.path()));
	std::vector<std::string> heard;
	host.setNotificationHandler([&heard](const std::string& name) {
		const auto stored = pf::LocalNotifications::pending();
		heard.push_back(name + ":" + std::to_string(stored.size()));
	});
	host.becomeActive();
	pf::LocalNotifications notes;
	ASSERT_TRUE(notes.addNotificationAfter("soon", -1, "x"));
	host.tick();
	EXPECT_EQ(heard, std::vector<std::string>{"soon:1"});
	EXPECT_TRUE(pf::LocalNotifications::pending().empty());
	host.tick();
	EXPECT_EQ(heard.size(), 1u);
}

namespace
{
/** A game on the bundle's scripts whose modules are looked for in modules/ of dir only. */
struct ModuleGame
{
	std::unique_ptr<framework::LinuxHost> host;
	GameLua* game = nullptr;

	explicit ModuleGame(const std::string& dir)
	{
		// Whatever earlier tests of this program loaded or refused is forgotten.
		pf::detail::resetModules();
		setenv("ENGINE_MODULE_DIR", (dir + "/modules").c_str(), 1);
		// Pages need a display name only to be offered; none is opened.
		setenv("DISPLAY", ":97", 1);
		EXPECT_EQ(0, std::system(("cp -r '" TEST_BUNDLE "' '" + dir + "/bundle'").c_str()));
		pf::webkit::install();
		host.reset(new framework::LinuxHost(hostOptions(dir, dir + "/bundle")));
		host->becomeActive();
		game = static_cast<GameApp*>(framework::App::get())->gameLua();
	}
	~ModuleGame()
	{
		host.reset();
		pf::WebView::setPageFactory(nullptr, nullptr);
		pf::detail::resetModules();
		unsetenv("ENGINE_MODULE_DIR");
	}
	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		game->getState()->compile(in, "modules", game);
	}
};
}

// Pages and videos come from modules loaded at first use. One of this build that does not load is
// refused at that moment, naming the module and the loader's error: WebView.new answers nil and
// why, the video is refused, and the game plays on.
TEST(PlatformHostTurns, WithoutItsModulesTheGameIsRefusedPagesAndVideosAndPlaysOn)
{
	ScratchDir dir;
	ASSERT_EQ(0, std::system(("mkdir -p '" + dir.path() + "/modules' && cp '" PF_TEST_MODULE_UNRESOLVED "' '" + dir.path() +
		"/modules/pf_webkit.so'").c_str()));
	testing::internal::CaptureStdout();
	ModuleGame g(dir.path());
	std::string clip = framework::App::get()->path("clip.ogv");
	if (clip.empty() || clip[0] != '/')
		clip = io::detail::bundlePath() + "/" + clip;
	std::ofstream(clip) << "a video file";
	g.run("hasTable = _G.WebView ~= nil "
		"made, pageError = _G.WebView.new(0, 0, 64, 64) "
		"again, againError = _G.WebView.new(0, 0, 64, 64) "
		"played = playVideo('clip.ogv') frames = 0 update = function() frames = frames + 1 end");
	g.host->tick();
	g.host->tick();
	const std::string out = testing::internal::GetCapturedStdout();
	GameLua* game = g.game;
	EXPECT_TRUE(game->getBoolean("hasTable")) << "offering pages loads nothing";
	EXPECT_EQ(lua::LuaState::TYPE_NIL, game->typeOf("made"));
	EXPECT_EQ(lua::LuaState::TYPE_NIL, game->typeOf("again"));
	const std::string broken = "WebView.new: Module pf_webkit could not be loaded: " + dir.path() +
		"/modules/pf_webkit.so: undefined symbol: engine_test_function_nobody_defines";
	for (const char* error : {"pageError", "againError"})
		EXPECT_EQ(broken, game->getString(error));
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	EXPECT_FALSE(game->getBoolean("played"));
	EXPECT_NE(out.find("Video " + clip + " refused: Module pf_video could not be loaded: " + dir.path() +
		"/modules/pf_video.so: cannot open shared object file"), std::string::npos) << out;
	// The game plays on.
	EXPECT_TRUE(g.host->isUpdating());
	EXPECT_EQ(game->getNumber("frames"), 2.f);
}

// A web module that is not there, or whose file is no module of this build: the scripts get no
// WebView table, and the log says why once.
TEST(PlatformHostTurns, WithoutAWebModuleTheScriptsHaveNoWebViewTable)
{
	for (const bool present : {false, true})
	{
		SCOPED_TRACE(present);
		ScratchDir dir;
		if (present)
		{
			ASSERT_EQ(0, std::system(("mkdir -p '" + dir.path() + "/modules' && echo broken > '" + dir.path() +
				"/modules/pf_webkit.so'").c_str()));
		}
		testing::internal::CaptureStdout();
		ModuleGame g(dir.path());
		g.run("hasTable = _G.WebView ~= nil");
		const std::string out = testing::internal::GetCapturedStdout();
		EXPECT_FALSE(g.game->getBoolean("hasTable"));
		const std::string path = dir.path() + "/modules/pf_webkit.so";
		const std::string line = present ? "Web views are not available: Module pf_webkit could not be loaded: " + path + ": file too short\n"
										 : "Web views are not available: module pf_webkit is not at " + path + "\n";
		EXPECT_NE(out.find(line), std::string::npos) << out;
		EXPECT_EQ(out.find(line), out.rfind(line)) << "said once";
	}
}

// Videos are drawn over the game in its window. Only an X11 window has an id to give: the
// gamecore_x11_window test runs this under a virtual X server and requires one.
TEST(PlatformHostTurns, VideosAreDrawnIntoTheGameWindow)
{
	ScratchDir dir;
	framework::LinuxHost::Options o = hostOptions(dir.path());
	o.window = true;
	{
		framework::LinuxHost host(o);
		ASSERT_NE(nullptr, host.view());
		const unsigned long id = host.view()->x11Window();
		if (id == 0 && !getenv("ENGINE_REQUIRE_X11"))
			GTEST_SKIP() << "not an X11 window";
		ASSERT_NE(0ul, id);
		EXPECT_EQ(id, pf::VideoPlayer::windowHandle());
	}
	EXPECT_EQ(0ul, pf::VideoPlayer::windowHandle());
}
