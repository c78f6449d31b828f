#include <support/ScriptedHttpServer.h>
#include "GameFixture.h"
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>
#include <net/HttpRequest.h>
#include <chrono>
#include <fstream>
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

std::string png(int w, int h)
{
	std::vector<uint8_t> pixels(size_t(w * h * 4), 0x80);
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
};

TEST_F(WorkerTest, UrlRepliesArriveInUrlOrderWithTheLatestReplyPerUrl)
{
	int count = 0;
	m_server.on("/b", ScriptedHttpServer::answer("200 OK", "B"));
	m_server.on("/a", [&count](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::RAW, ScriptedHttpServer::answer("200 OK", "A" + std::to_string(++count))};
	});
	m_server.on("/missing", ScriptedHttpServer::answer("404 Not Found", "gone"));
	startWithCallbacks();
	const std::string closed = "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::closedPort()) + "/";
	run("native_startURLThread('" + path("/b") + "') native_startURLThread('" + path("/a") + "')"
		" native_startURLThread('" + path("/a") + "') native_startURLThread('" + closed + "')"
		" native_startURLThread('" + path("/missing") + "')");
	EXPECT_EQ("", eval("replies")); // nothing reaches the scripts inside the call
	finishWorkers();
	// The error page is a reply; the refused connection is never heard of.
	EXPECT_EQ("[" + path("/a") + "=A2][" + path("/b") + "=B][" + path("/missing") + "=gone]", eval("replies"));
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
