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
#include <chrono>
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
	// The purchase stays in the ledger for the next start (its delivery's step in the ledger's journal).
	std::ifstream ledger(m_dir.path() + "/state/engine/store-ledger.json.journal");
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

namespace
{
void runScript(GameLua* game, const std::string& code)
{
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	game->getState()->compile(in, "test", game);
}

void writeStateFile(const std::string& dir, const std::string& name, const std::string& text)
{
	ASSERT_EQ(0, std::system(("mkdir -p '" + dir + "/state/engine'").c_str()));
	std::ofstream(dir + "/state/engine/" + name) << text;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The engine's host as the program makes it: due notifications reach the game once its script listens.
std::unique_ptr<framework::LinuxHost> gameHost(const std::string& dir)
{
	std::unique_ptr<framework::LinuxHost> host(new framework::LinuxHost(hostOptions(dir)));
	host->setNotificationHandler(&pf::LocalNotifications::notifyListeners, &pf::LocalNotifications::hasListener);
	host->becomeActive();
	return host;
}

// As the demo: the script names its callbacks in its first frame, after the host's first turn began.
const char* kListenAtStart = "local plain = update "
	"function update(s, dt) if not started then started = true startServices() end plain(s, dt) end ";
}

// A notification that fell due while the game was closed waits until the script has named its callback.
TEST(PlatformHostTurns, ANotificationDueWhileClosedReachesTheScriptThatListensAtItsStart)
{
	ScratchDir dir;
	writeStateFile(dir.path(), "notifications.json",
		R"({"notifications": [{"eventName": "while-closed", "fireTime": 1000, "text": "Come back", "sound": false}]})");
	auto host = gameHost(dir.path());
	GameLua* game = static_cast<GameApp*>(framework::App::get())->gameLua();
	runScript(game, std::string("notes = {} function onNote(name) notes[#notes + 1] = name end "
		"function startServices() setNotificationCallback('onNote') end ") + kListenAtStart);
	const auto start = std::chrono::steady_clock::now();
	while (game->getTable("notes").isNil(1) && secondsSince(start) < 20)
		host->tick();
	EXPECT_EQ(game->getTable("notes").getString(1), "while-closed");
	EXPECT_TRUE(pf::LocalNotifications::pending().empty());
}

// 30,000 purchases left unfinished and 30,000 notifications due while the game was closed: the game
// draws its first frame at once and hears them over the following frames, each once.
TEST(PlatformHostTurns, ABacklogArrivesOverManyFramesEachOnce)
{
	const int count = 30000;
	ScratchDir dir;
	writeCatalogue();
	std::string ledger = "{\"nextTransaction\": " + std::to_string(count + 1) + ", \"transactions\": [";
	std::string notes = "{\"notifications\": [";
	for (int i = 1; i <= count; ++i)
	{
		const std::string id = "T" + std::to_string(i);
		ledger += std::string(i > 1 ? "," : "") + "{\"id\": \"" + id + "\", \"product\": \"" + kSmall +
			"\", \"quantity\": 1, \"date\": \"2025-01-01T00:00:00Z\", \"consumable\": true, \"state\": \"pending\", \"receipt\": "
			"\"{\\\"product\\\":\\\"" + kSmall + "\\\",\\\"transaction\\\":\\\"" + id + "\\\"}\"}";
		notes += std::string(i > 1 ? "," : "") + "{\"eventName\": \"n" + std::to_string(i) + "\", \"fireTime\": " + std::to_string(1000 + i) +
			", \"text\": \"\", \"sound\": false}";
	}
	writeStateFile(dir.path(), "store-ledger.json", ledger + "]}");
	writeStateFile(dir.path(), "notifications.json", notes + "]}");

	// A line for every purchase: kept out of the test's log.
	testing::internal::CaptureStdout();
	const auto start = std::chrono::steady_clock::now();
	auto host = gameHost(dir.path());
	GameLua* game = static_cast<GameApp*>(framework::App::get())->gameLua();
	runScript(game, std::string("bought = 0 heard = {} heardCount = 0 repeats = 0 "
		"function onStore(id, status, err) if id ~= '' and status == 1 then bought = bought + 1 end end "
		"function onNote(name) if heard[name] then repeats = repeats + 1 else heard[name] = true heardCount = heardCount + 1 end end "
		"function startServices() iapInitItemPurchase('onStore') setNotificationCallback('onNote') end ") + kListenAtStart);
	host->tick();
	const double firstFrame = secondsSince(start);
	int frames = 1;
	double longest = 0;
	const auto delivering = std::chrono::steady_clock::now();
	while ((game->getNumber("bought") < count || game->getNumber("heardCount") < count) && secondsSince(start) < 240)
	{
		const auto tick = std::chrono::steady_clock::now();
		host->tick();
		longest = std::max(longest, secondsSince(tick));
		++frames;
	}
	const double all = secondsSince(delivering);
	const float bought = game->getNumber("bought");
	const float heard = game->getNumber("heardCount");
	const float repeats = game->getNumber("repeats");
	host.reset();
	testing::internal::GetCapturedStdout();
	std::cout << "backlog of " << count << " purchases and " << count << " notifications: first frame after " << firstFrame * 1000
			  << " ms, all heard after " << frames << " frames and " << all << " s more, longest frame " << longest * 1000 << " ms" << std::endl;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
	// Instrumented runs check memory, not time.
	EXPECT_LT(firstFrame, 2.0);
#endif
	EXPECT_EQ(bought, count);
	EXPECT_EQ(heard, count);
	EXPECT_EQ(repeats, 0);
	// Over many frames, not in a frozen few.
	EXPECT_GT(frames, 10);
	// Each purchase finished once: none left for the next start, and each written out once the backlog was through.
	std::ifstream ledgerFile(dir.path() + "/state/engine/store-ledger.json");
	const std::string left((std::istreambuf_iterator<char>(ledgerFile)), std::istreambuf_iterator<char>());
	EXPECT_EQ(left.find(kSmall), std::string::npos);
	EXPECT_TRUE(pf::LocalNotifications::pending().empty());
	EXPECT_FALSE(GameTest::exists(dir.path() + "/state/engine/store-ledger.json.journal"));
	EXPECT_FALSE(GameTest::exists(dir.path() + "/state/engine/notifications.json.journal"));
}
