#include <support/ScriptedHttpServer.h>
#include "GameFixture.h"
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>
#include <net/HttpRequest.h>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>
#include <EGL/egl.h>
#include <sys/stat.h>

using net_test::ScriptedHttpServer;

namespace
{
const char* const CALLBACKS = R"(
replies = ""
function nativecallback_urlResponse(url, reply)
  replies = replies .. "[" .. url .. "=" .. reply .. "]"
  if again then native_startURLThread(again) again = nil end
end
)";

std::string png(int w, int h, uint32_t abgr = 0x80808080u)
{
	std::vector<uint8_t> pixels(size_t(w * h * 4));
	for (size_t i = 0; i < pixels.size(); ++i)
		pixels[i] = static_cast<uint8_t>(abgr >> (8 * (i % 4)));
	io::ByteArrayOutputStream out;
	img::ImageWriter::writePNG(out, pixels.data(), w, h, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8B8G8R8));
	return std::string(out.data().begin(), out.data().end());
}
}

class WorkerTest : public GameTest
{
protected:
	ScriptedHttpServer m_server;

	void startWithCallbacks()
	{
		start();
		run(CALLBACKS);
	}
	/** Waits for the workers, then hands their results over as a frame does. */
	void finishWorkers()
	{
		lua()->joinWorkers();
		frame();
	}
	std::string path(const std::string& p) const { return m_server.url(p); }
	/** Runs frames until done() holds or the time is up; says whether it held. */
	bool frameUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5))
	{
		const auto deadline = std::chrono::steady_clock::now() + limit;
		while (!done())
		{
			if (std::chrono::steady_clock::now() > deadline)
				return false;
			frame();
			std::this_thread::sleep_for(std::chrono::milliseconds(5));
		}
		return true;
	}
	static ScriptedHttpServer::Script stalled(ScriptedHttpServer::Kind kind)
	{
		return [kind](const net_test::Request&) {
			return ScriptedHttpServer::Reply{kind, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"};
		};
	}
};

namespace
{
/** The process's peak resident size in KiB, from /proc. */
long peakRssKib()
{
	std::ifstream status("/proc/self/status");
	std::string line;
	while (std::getline(status, line))
		if (line.compare(0, 6, "VmHWM:") == 0)
			return std::stol(line.substr(6));
	return -1;
}

/** Starts the peak over from the current size. */
bool resetPeakRss()
{
	std::ofstream clear("/proc/self/clear_refs");
	clear << "5";
	clear.flush();
	return static_cast<bool>(clear);
}
}

TEST_F(WorkerTest, UrlRepliesArriveInUrlOrderWithTheLatestReplyPerUrl)
{
	// The first check of /a is answered only once the second one has reached the server, so
	// its stale reply lands last; the later check's reply must still be the one kept.
	std::atomic<int> count{0};
	m_server.on("/b", ScriptedHttpServer::answer("200 OK", "B"));
	m_server.on("/a", [&count](const net_test::Request&) {
		const int n = ++count;
		const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
		while (n == 1 && count.load() < 2 && std::chrono::steady_clock::now() < deadline)
			std::this_thread::sleep_for(std::chrono::milliseconds(1));
		return ScriptedHttpServer::Reply{ScriptedHttpServer::RAW, ScriptedHttpServer::answer("200 OK", "A" + std::to_string(n))};
	});
	m_server.on("/missing", ScriptedHttpServer::answer("404 Not Found", "gone"));
	startWithCallbacks();
	const std::string closed = "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::closedPort()) + "/";
	run("native_startURLThread('" + path("/b") + "') native_startURLThread('" + path("/a") + "')");
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
	while (count.load() < 1 && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	ASSERT_EQ(1, count.load());
	run("native_startURLThread('" + path("/a") + "') native_startURLThread('" + closed + "')"
		" native_startURLThread('" + path("/missing") + "')");
	EXPECT_EQ("", eval("replies")); // nothing reaches the scripts inside the call
	finishWorkers();
	// Neither the error page nor the refused connection is a reply.
	EXPECT_EQ("[" + path("/a") + "=A2][" + path("/b") + "=B]", eval("replies"));
}

TEST_F(WorkerTest, CallbackMayStartAnotherCheck)
{
	m_server.on("/one", ScriptedHttpServer::answer("200 OK", "1"));
	m_server.on("/two", ScriptedHttpServer::answer("200 OK", "2"));
	startWithCallbacks();
	run("again = '" + path("/two") + "' native_startURLThread('" + path("/one") + "')");
	finishWorkers();
	finishWorkers();
	EXPECT_EQ("[" + path("/one") + "=1][" + path("/two") + "=2]", eval("replies"));
}

TEST_F(WorkerTest, StalledServerDoesNotHoldTheGameForEver)
{
	m_server.on("/stall", [](const net_test::Request&) { return ScriptedHttpServer::Reply{ScriptedHttpServer::STALL, ""}; });
	net::HttpRequest::setTimeoutsForTests(200, 300);
	startWithCallbacks();
	run("native_startURLThread('" + path("/stall") + "')");
	const auto begin = std::chrono::steady_clock::now();
	stop(); // joins the worker
	net::HttpRequest::setTimeoutsForTests(0, 0);
	EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
}

TEST_F(WorkerTest, MainMenuAdBecomesASprite)
{
	m_server.on("/ad.png", ScriptedHttpServer::answer("200 OK", png(6, 4)));
	m_server.on("/ad.json", ScriptedHttpServer::answer("200 OK",
		R"({"timestamp": "t1", "media": {"itemCount": 1, "item0": {"image": ")" + path("/ad.png") +
		R"(", "link": "http://example.invalid/game", "type": "image/png"}}})"));
	startWithCallbacks();
	run("checkMainMenuAd('" + path("/ad.json") + "')");
	finishWorkers();
	EXPECT_EQ("true", eval("mainMenuAdReadyToBeShown"));
	EXPECT_EQ("http://example.invalid/game", eval("mainMenuAdUrl"));
	EXPECT_EQ("t1", eval("mainMenuAdTimeStamp"));
	ASSERT_NE(nullptr, lua()->mainMenuAdSheet());
	game::Sprite* sprite = lua()->mainMenuAdSheet()->getSprite("MAIN_MENU_AD_IMAGE");
	ASSERT_NE(nullptr, sprite);
	EXPECT_EQ(6, sprite->getWidth());
	EXPECT_EQ(4, sprite->getHeight());
}

TEST_F(WorkerTest, MainMenuAdThatCannotBeShown)
{
	m_server.on("/ad.png", ScriptedHttpServer::answer("200 OK", png(2, 2)));
	struct Case
	{
		const char* name;
		std::string json;
	};
	const std::string item = R"("link": "l", "image": ")" + path("/ad.png") + "\"";
	const std::vector<Case> cases = {
		{"no items", R"({"timestamp": "t", "media": {"itemCount": 0}})"},
		{"type without a slash", R"({"timestamp": "t", "media": {"itemCount": 1, "item0": {"type": "png", )" + item + "}}}"},
		{"no time stamp", R"({"media": {"itemCount": 1, "item0": {"type": "image/png", )" + item + "}}}"},
		{"no link", R"({"timestamp": "t", "media": {"itemCount": 1, "item0": {"type": "image/png", "image": "x"}}})"},
		{"not a web image address", R"({"timestamp": "t", "media": {"itemCount": 1, "item0": {"type": "image/png", "link": "l", "image": "file:///etc/passwd"}}})"},
		{"not JSON", "<html>"},
	};
	startWithCallbacks();
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		m_server.on("/ad.json", ScriptedHttpServer::answer("200 OK", c.json));
		run("checkMainMenuAd('" + path("/ad.json") + "')");
		finishWorkers();
		EXPECT_EQ("nil", eval("mainMenuAdReadyToBeShown"));
		EXPECT_FALSE(lua()->mainMenuAdReady());
	}
}

TEST_F(WorkerTest, InstalledAppsAreTheOpenableCandidates)
{
	// Programs for two schemes, registered in the scratch folder's desktop settings only.
	const std::string config = userFile("config");
	mkdir(config.c_str(), 0700);
	std::ofstream(config + "/mimeapps.list") << "[Default Applications]\nx-scheme-handler/alpha=a.desktop\nx-scheme-handler/beta=b.desktop\n";
	setenv("XDG_CONFIG_HOME", config.c_str(), 1);
	setenv("XDG_CONFIG_DIRS", userFile("etc").c_str(), 1);
	setenv("XDG_DATA_DIRS", userFile("share").c_str(), 1);
	struct Case
	{
		const char* name;
		const char* json;
		const char* names;
	};
	const Case cases[] = {
		{"two openable", R"({"ttl": 60, "gameCount": 3, "game_0": {"name": "A", "scheme": "alpha"},
			"game_1": {"name": "N", "scheme": "none"}, "game_2": {"name": "B", "scheme": "beta"}})", "A,B"},
		{"none openable", R"({"gameCount": 1, "game_0": {"name": "N", "scheme": "none"}})", ""},
		{"an entry without a scheme", R"({"gameCount": 3, "game_0": {"name": "A", "scheme": "alpha"},
			"game_1": {"name": "N"}, "game_2": {"name": "B", "scheme": "beta"}})", ""},
		{"an array", "[1, 2]", ""},
	};
	startWithCallbacks();
	run("function setInstalledAppsOffline(names) offline = names end"
		" function setInstalledApps(names, ttl, reply) online = names .. '/' .. ttl end");
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		m_server.on("/apps.json", ScriptedHttpServer::answer("200 OK", c.json));
		run(std::string("offline = nil checkInstalledAppsOffline([==[") + c.json + "]==])");
		EXPECT_EQ(c.names, eval("offline"));
		run("online = nil checkInstalledAppsOnline('" + path("/apps.json") + "')");
		finishWorkers();
		EXPECT_EQ(std::string(c.name) == "an array" ? "nil" : std::string(c.names) + "/" + (c.names[0] ? "60" : "0"), eval("online"));
	}
	unsetenv("XDG_CONFIG_DIRS");
	unsetenv("XDG_DATA_DIRS");
}

TEST_F(WorkerTest, AChecksStartDoesNotWaitForASilentServer)
{
	// Long time-outs: only cancelling can end these transfers quickly.
	net::HttpRequest::setTimeoutsForTests(10000, 10000);
	m_server.on("/stall", stalled(ScriptedHttpServer::STALL));
	m_server.on("/trickle", stalled(ScriptedHttpServer::TRICKLE));
	m_server.on("/ok", ScriptedHttpServer::answer("200 OK", "ok"));
	startWithCallbacks();
	run("function setInstalledApps() end");
	const auto begin = std::chrono::steady_clock::now();
	run("native_startURLThread('" + path("/stall") + "') native_startURLThread('" + path("/trickle") + "')"
		" checkMainMenuAd('" + path("/stall") + "') checkInstalledAppsOnline('" + path("/trickle") + "')"
		" checkMainMenuAd('" + path("/stall") + "') checkInstalledAppsOnline('" + path("/stall") + "')"
		" native_startURLThread('" + path("/ok") + "')");
	frame();
	EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
	// The answer that came is delivered while the others still wait.
	EXPECT_TRUE(frameUntil([this] { return eval("replies") != ""; }));
	EXPECT_EQ("[" + path("/ok") + "=ok]", eval("replies"));
	const auto exitBegin = std::chrono::steady_clock::now();
	stop();
	const auto exitTook = std::chrono::steady_clock::now() - exitBegin;
	net::HttpRequest::setTimeoutsForTests(0, 0);
	EXPECT_LT(exitTook, std::chrono::milliseconds(1500));
}

TEST_F(WorkerTest, OnlyASuccessfulAnswerIsAReply)
{
	m_server.on("/oops", ScriptedHttpServer::answer("500 Internal Server Error", "oops!"));
	m_server.on("/ad.png", ScriptedHttpServer::answer("200 OK", png(2, 2)));
	m_server.on("/ad-bad-image.json", ScriptedHttpServer::answer("200 OK",
		R"({"timestamp": "t", "media": {"itemCount": 1, "item0": {"image": ")" + path("/oops") + R"(", "link": "l", "type": "image/png"}}})"));
	m_server.on("/fine", ScriptedHttpServer::answer("200 OK", "fine"));
	m_server.on("/created", ScriptedHttpServer::answer("201 Created", "made"));
	const std::string refused = "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::closedPort()) + "/";
	startWithCallbacks();
	run("apps = 0 function setInstalledApps() apps = apps + 1 end");
	testing::internal::CaptureStdout();
	for (const std::string& url : {path("/oops"), refused, path("/fine"), path("/created")})
		run("native_startURLThread('" + url + "')");
	for (const std::string& url : {path("/oops"), refused, path("/ad-bad-image.json")})
		run("checkMainMenuAd('" + url + "')");
	for (const std::string& url : {path("/oops"), refused})
		run("checkInstalledAppsOnline('" + url + "')");
	finishWorkers();
	const std::string log = testing::internal::GetCapturedStdout();
	EXPECT_EQ("[" + path("/created") + "=made][" + path("/fine") + "=fine]", eval("replies"));
	EXPECT_EQ("nil", eval("mainMenuAdReadyToBeShown"));
	EXPECT_EQ("0", eval("apps"));
	EXPECT_NE(std::string::npos, log.find("for url [" + path("/oops") + "] no reply: HTTP status 500")) << log;
	EXPECT_NE(std::string::npos, log.find("for url [" + refused + "] no reply: Couldn't connect to server")) << log;
	EXPECT_EQ(std::string::npos, log.find("oops!")) << log;
	EXPECT_NE(std::string::npos, log.find("Failed to load main menu ad image")) << log;
}

TEST_F(WorkerTest, LargeAnswersAreRefusedAndLoggedShort)
{
	// 60 MiB announced, and a body without a length that goes on until the client gives up.
	m_server.on("/announced", [](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::ENDLESS, "HTTP/1.1 200 OK\r\nContent-Length: 62914560\r\n\r\n"};
	});
	m_server.on("/unannounced", [](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::ENDLESS, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"};
	});
	m_server.on("/long", ScriptedHttpServer::answer("200 OK", std::string(60000, 'y')));
	startWithCallbacks();
	run("function setInstalledApps() apps = true end");
	ASSERT_TRUE(resetPeakRss());
	const long before = peakRssKib();
	testing::internal::CaptureStdout();
	for (const char* p : {"/announced", "/unannounced"})
		run(std::string("native_startURLThread('") + path(p) + "') checkMainMenuAd('" + path(p) + "') checkInstalledAppsOnline('" + path(p) + "')");
	finishWorkers();
	const long grown = peakRssKib() - before;
	run("native_startURLThread('" + path("/long") + "')");
	finishWorkers();
	const std::string log = testing::internal::GetCapturedStdout();
	// Six transfers, each refused past its cap; the slack covers the threads and libcurl.
	EXPECT_LT(grown, 6 * GameLua::MAX_WORKER_REPLY_BYTES / 1024 + 16 * 1024) << "KiB";
	EXPECT_TRUE(eval("replies") == "[" + path("/long") + "=" + std::string(60000, 'y') + "]") << eval("#replies");
	EXPECT_EQ("nil", eval("apps"));
	ASSERT_LT(log.size(), 4000u) << log.substr(0, 4000);
	EXPECT_NE(std::string::npos, log.find("for url [" + path("/announced") + "] no reply: Response too large")) << log;
	EXPECT_NE(std::string::npos, log.find("for url [" + path("/unannounced") + "] no reply: Response too large")) << log;
	const std::string shown = "for url [" + path("/long") + "] server responsed [" + std::string(GameLua::MAX_LOGGED_REPLY_BYTES, 'y') + "...]";
	EXPECT_NE(std::string::npos, log.find(shown)) << log;
}

TEST_F(WorkerTest, MainMenuAdIsDrawnThroughTheResources)
{
	m_server.on("/ad.png", ScriptedHttpServer::answer("200 OK", png(16, 8, 0xFF2878C8u)));
	m_server.on("/ad.json", ScriptedHttpServer::answer("200 OK",
		R"({"timestamp": "t1", "media": {"itemCount": 1, "item0": {"image": ")" + path("/ad.png") + R"(", "link": "l", "type": "image/png"}}})"));
	start(64, 32);
	run("setBGColor(0, 0, 0)"
		" function draw() if mainMenuAdReadyToBeShown then _G.res.drawSprite('MAIN_MENU_AD_IMAGE', 32, 16) end end");
	run("checkMainMenuAd('" + path("/ad.json") + "')");
	finishWorkers();
	EXPECT_EQ("true", eval("mainMenuAdReadyToBeShown"));
	run("w, h = _G.res.getSpriteBounds('MAIN_MENU_AD_IMAGE')");
	EXPECT_EQ("16 8", eval("w .. ' ' .. h"));
	frame();
	typedef void (*ReadPixels)(int, int, int, int, unsigned, unsigned, void*);
	const ReadPixels readPixels = reinterpret_cast<ReadPixels>(eglGetProcAddress("glReadPixels"));
	ASSERT_NE(nullptr, readPixels);
	unsigned char inside[4] = {}, outside[4] = {};
	readPixels(32, 16, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, inside);
	readPixels(4, 4, 1, 1, 0x1908, 0x1401, outside);
	EXPECT_EQ("200 120 40", std::to_string(inside[0]) + " " + std::to_string(inside[1]) + " " + std::to_string(inside[2]));
	EXPECT_EQ("0 0 0", std::to_string(outside[0]) + " " + std::to_string(outside[1]) + " " + std::to_string(outside[2]));
}

TEST_F(WorkerTest, AFailingSetInstalledAppsIsLoggedAndTheGameGoesOn)
{
	m_server.on("/apps.json", ScriptedHttpServer::answer("200 OK", R"({"ttl": 5, "gameCount": 0})"));
	startWithCallbacks();
	run("calls = 0 updates = 0 function setInstalledApps() calls = calls + 1 _G.error('no list wanted') end"
		" function update() updates = updates + 1 end");
	run("checkInstalledAppsOnline('" + path("/apps.json") + "')");
	lua()->joinWorkers();
	testing::internal::CaptureStdout();
	frame();
	frame();
	const std::string log = testing::internal::GetCapturedStdout();
	EXPECT_EQ("1", eval("calls"));
	EXPECT_EQ("2", eval("updates"));
	EXPECT_NE(std::string::npos, log.find("Received an invalid game list JSON from the server\n")) << log;
	EXPECT_NE(std::string::npos, log.find("no list wanted")) << log;
}
