// WebKitGTK pages with real JavaScript, under a virtual X server (run-webkit.sh).
#include "PfTestSupport.h"
#include <pf/WebKit.h>
#include <pf/WebView.h>
#include <glib.h>
#include <gdk/gdk.h>
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <memory>
#include <thread>

namespace
{
struct Recorder : pf::WebViewObserver
{
	std::vector<std::string> loads, calls, links;
	int linkAnswer = 1;
	void onUrlLoadCompleted(bool ok, const std::string& title, pf::WebView*) override
	{
		loads.push_back(std::string(ok ? "ok:" : "failed:") + title);
	}
	int onLinkClicked(const std::string& url, pf::WebView*) override
	{
		links.push_back(url);
		return linkAnswer;
	}
	void callLuaFunction(const std::string& callText) override { calls.push_back(callText); }
};

bool pump(const std::function<bool()>& done, int millis = 10000)
{
	const gint64 end = g_get_monotonic_time() + gint64(millis) * 1000;
	while (!done() && g_get_monotonic_time() < end)
		if (!g_main_context_iteration(nullptr, FALSE))
			g_usleep(2000);
	return done();
}

// A server on 127.0.0.1 that accepts and never answers: its page stays loading.
class SilentServer
{
public:
	SilentServer()
	{
		m_socket = socket(AF_INET, SOCK_STREAM, 0);
		sockaddr_in addr = {};
		addr.sin_family = AF_INET;
		addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
		socklen_t length = sizeof(addr);
		getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &length);
		m_port = ntohs(addr.sin_port);
		listen(m_socket, 8);
	}
	~SilentServer() { close(m_socket); }
	std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/slow"; }

private:
	int m_socket;
	int m_port;
};

// First in the program: no page was made yet.
TEST(WebKitStart, AskingForSupportLeavesGtkUnstarted)
{
	pf::webkit::install();
	ASSERT_TRUE(pf::WebView::isWebViewSupported()) << "no display: run under xvfb-run";
	EXPECT_EQ(nullptr, gdk_display_get_default()) << "GTK starts with the first page, not with the question";
	EXPECT_EQ(nullptr, dlopen("libwebkit2gtk-4.1.so.0", RTLD_LAZY | RTLD_NOLOAD)) << "WebKit comes with the first page";
}

class WebKitPage : public PfTest
{
protected:
	void SetUp() override
	{
		PfTest::SetUp();
		// WebKit's helper processes need the system's GSettings schemas and MIME database.
		unsetenv("XDG_DATA_DIRS");
		pf::webkit::install();
		ASSERT_TRUE(pf::WebView::isWebViewSupported()) << "no display: run under xvfb-run";
		pf::WebView::setUrlOpener([this](const std::string& url) {
			opened.push_back(url);
			return true;
		});
		makeFolder("bundle/web");
		writeFile(m_home / "bundle/web/page.html",
			"<html><head><title>Page</title></head><body>"
			"<a id='next' href='next.html'>next</a> <a id='ext' href='http://127.0.0.1:65000/ext'>ext</a>"
			"<script>var Tarvel = {mine: 7};</script></body></html>");
		writeFile(m_home / "bundle/web/next.html", "<html><head><title>Next</title></head><body>n</body></html>");
		view.reset(new pf::WebView(0, 0, 320, 240));
		view->setObserver(&observer);
	}
	void TearDown() override
	{
		view.reset();
		pf::WebView::setUrlOpener(nullptr);
		pf::WebView::setWindowLocator(nullptr);
		PfTest::TearDown();
	}
	std::string js(const std::string& script)
	{
		std::unique_ptr<std::string> result(view->executeJavaScript(script));
		return result ? *result : "(null)";
	}
	/** A new view, over a game window at (40, 30) on the screen. */
	void overAGameWindow()
	{
		pf::WebView::setWindowLocator([](int& x, int& y) {
			x = 40;
			y = 30;
			return true;
		});
		view.reset(new pf::WebView(10, 10, 200, 100));
		view->setObserver(&observer);
	}
	void loadPage()
	{
		view->loadLocalUrl("web/page.html");
		ASSERT_TRUE(pump([this] { return !observer.loads.empty(); }));
		ASSERT_EQ("ok:Page", observer.loads.back());
	}

	Recorder observer;
	std::vector<std::string> opened;
	std::unique_ptr<pf::WebView> view;
};

TEST_F(WebKitPage, LocalPageGetsTheBridgeAndKeepsItsOwnNamespaceObject)
{
	loadPage();
	EXPECT_EQ("file://" + (m_home / "bundle/web/page.html"), js("document.URL"));
	EXPECT_EQ("function function function", js("typeof callLuaFunction + ' ' + typeof callWebViewFunction + ' ' + "
		"typeof Tarvel.Platform.WebView.show"));
	EXPECT_EQ("7 1", js("Tarvel.mine + ' ' + Tarvel.Platform.WebView.version"));
	EXPECT_EQ("(null)", js("undefined"));
	EXPECT_EQ("(null)", js("null"));
	EXPECT_EQ("(null)", js("this is not javascript"));
	EXPECT_EQ("42", js("6*7"));
	EXPECT_EQ("text", js("'text'"));
}

TEST_F(WebKitPage, PageCallsAndNativeCalls)
{
	loadPage();
	js("callLuaFunction(\"Menu.open(1)\"); callLuaFunction('say(%20x)'); callLuaFunction(\"t('a b')\"); 0");
	ASSERT_TRUE(pump([this] { return observer.calls.size() == 3; }));
	EXPECT_EQ((std::vector<std::string>{"Menu.open(1)", "say( x)", "t('a b')"}), observer.calls);

	view->show();
	EXPECT_TRUE(view->visible());
	js("Tarvel.Platform.WebView.hide(); 0");
	ASSERT_TRUE(pump([this] { return !view->visible(); }));
	js("Tarvel.Platform.WebView.show(); 0");
	ASSERT_TRUE(pump([this] { return view->visible(); }));
	// The refused navigations leave the page where it was, with no failure reported.
	EXPECT_EQ("Page", js("document.title"));
	EXPECT_EQ(1u, observer.loads.size());

	view->asyncExecuteJavaScript("window.later = 5;");
	ASSERT_TRUE(pump([this] { return js("String(window.later)") == "5"; }));
}

TEST_F(WebKitPage, LinkClicksFollowTheObserversAnswer)
{
	loadPage();
	observer.linkAnswer = pf::LOAD_POLICY_OPEN_EXTERNALLY;
	js("document.getElementById('ext').click(); 0");
	ASSERT_TRUE(pump([this] { return !opened.empty(); }));
	EXPECT_EQ("http://127.0.0.1:65000/ext", opened[0]);
	EXPECT_EQ(std::vector<std::string>{"http://127.0.0.1:65000/ext"}, observer.links);

	observer.linkAnswer = pf::LOAD_POLICY_DONT_LOAD;
	js("document.getElementById('next').click(); 0");
	ASSERT_TRUE(pump([this] { return observer.links.size() == 2; }));
	EXPECT_EQ("file://" + (m_home / "bundle/web/next.html"), observer.links[1]);
	pump([] { return false; }, 300);
	EXPECT_EQ("Page", js("document.title"));
	EXPECT_EQ(1u, observer.loads.size());

	observer.linkAnswer = pf::LOAD_POLICY_LOAD_IN_VIEW;
	js("document.getElementById('next').click(); 0");
	ASSERT_TRUE(pump([this] { return observer.loads.size() == 2; }));
	EXPECT_EQ("ok:Next", observer.loads[1]);
	// The next page has the bridge too.
	EXPECT_EQ("function", js("typeof Tarvel.Platform.WebView.hide"));
}

TEST_F(WebKitPage, FailedSupersededAndMissingLoads)
{
	// Nothing listens on a port that was just closed: a real failure.
	int s = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in addr = {};
	addr.sin_family = AF_INET;
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
	socklen_t length = sizeof(addr);
	getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length);
	close(s);
	view->loadUrl("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
	ASSERT_TRUE(pump([this] { return !observer.loads.empty(); }));
	EXPECT_EQ("failed:", observer.loads[0]);

	// A load still waiting for its server, replaced by another, counts as completed.
	SilentServer server;
	view->loadUrl(server.url());
	pump([] { return false; }, 500);
	view->loadLocalUrl("web/next.html");
	ASSERT_TRUE(pump([this] { return observer.loads.size() >= 3; }));
	EXPECT_EQ("ok:", observer.loads[1].substr(0, 3));
	EXPECT_EQ("ok:Next", observer.loads.back());

	// A missing bundle page loads nothing and says nothing.
	view->loadLocalUrl("web/missing.html");
	pump([] { return false; }, 300);
	EXPECT_EQ(3u, observer.loads.size());
	EXPECT_EQ("Next", js("document.title"));
}

TEST_F(WebKitPage, ExecuteJavaScriptGivesUpAfterTwoSeconds)
{
	loadPage();
	const gint64 start = g_get_monotonic_time();
	EXPECT_EQ("(null)", js("var t = Date.now(); while (Date.now() - t < 2600); 1"));
	const gint64 waited = (g_get_monotonic_time() - start) / 1000;
	EXPECT_GE(waited, 1900);
	EXPECT_LT(waited, 2500);
	EXPECT_EQ("2", js("1+1"));
}

TEST_F(WebKitPage, DestroyingAViewWithWorkPendingIsQuiet)
{
	view->loadLocalUrl("web/page.html");
	view->asyncExecuteJavaScript("callLuaFunction('late()');");
	view.reset();
	pump([] { return false; }, 500);
	EXPECT_TRUE(observer.loads.empty());
	EXPECT_TRUE(observer.calls.empty());
}
}

namespace
{
TEST_F(WebKitPage, OverAGameWindowThePageWorksHiddenAndShown)
{
	overAGameWindow();
	// Loaded while hidden, then shown and hidden by the page itself.
	loadPage();
	view->show();
	EXPECT_EQ("1", js("Tarvel.Platform.WebView.version"));
	js("Tarvel.Platform.WebView.hide(); 0");
	ASSERT_TRUE(pump([this] { return !view->visible(); }));
	js("callLuaFunction('still()'); 0");
	ASSERT_TRUE(pump([this] { return !observer.calls.empty(); }));
	EXPECT_EQ("still()", observer.calls[0]);
}
}

namespace
{
/** Whether a popup page window of this process is on screen. */
bool popupOnScreen()
{
	GdkScreen* screen = gdk_screen_get_default();
	if (!screen)
		return false;
	GList* windows = gdk_screen_get_toplevel_windows(screen);
	bool shown = false;
	for (GList* w = windows; w; w = w->next)
		if (gdk_window_get_window_type(GDK_WINDOW(w->data)) == GDK_WINDOW_TEMP && gdk_window_is_visible(GDK_WINDOW(w->data)))
			shown = true;
	g_list_free(windows);
	return shown;
}

// Shown before it has loaded, a page over the game would be an empty grey window: it comes
// on screen once its load has ended, and after that show and hide act at once.
TEST_F(WebKitPage, OverAGameWindowAPageShownBeforeItsLoadAppearsOnceLoaded)
{
	overAGameWindow();
	view->show();
	pump([] { return false; }, 300);
	EXPECT_TRUE(view->visible());
	EXPECT_FALSE(popupOnScreen());
	loadPage();
	ASSERT_TRUE(pump(popupOnScreen));
	view->hide();
	EXPECT_FALSE(popupOnScreen());
	view->show();
	EXPECT_TRUE(popupOnScreen());
}
}
