#include "FakeWebPage.h"
#include <gtest/gtest.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <pf/WebView.h>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct Recorder : pf::WebViewObserver
{
	std::vector<std::string> events;
	int linkAnswer = 1;
	std::function<void()> onEvent;

	void onUrlLoadCompleted(bool ok, const std::string& title, pf::WebView* view) override
	{
		events.push_back(std::string(ok ? "loaded:" : "failed:") + title + (view == webView() ? "" : " (other view)"));
		if (onEvent)
			onEvent();
	}
	int onLinkClicked(const std::string& url, pf::WebView*) override
	{
		events.push_back("link:" + url);
		return linkAnswer;
	}
	void callLuaFunction(const std::string& callText) override
	{
		events.push_back("call:" + callText);
		if (onEvent)
			onEvent();
	}
};

class WebViewTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		fakeweb::install();
		pf::WebView::setUrlOpener([this](const std::string& url) {
			opened.push_back(url);
			return true;
		});
		view.reset(new pf::WebView(10, 20, 300, 200));
		view->setObserver(&observer);
	}
	void TearDown() override
	{
		view.reset();
		fakeweb::uninstall();
	}
	fakeweb::FakePage& page() { return fakeweb::lastPage(); }

	Recorder observer;
	std::vector<std::string> opened;
	std::unique_ptr<pf::WebView, void (*)(pf::WebView*)> view{nullptr, [](pf::WebView* v) { delete v; }};
};

const char* const kNamespaceCode =
	"if (typeof(Tarvel) == 'undefined') { Tarvel = {}; };\n"
	"if (typeof(Tarvel.Platform) == 'undefined') { Tarvel.Platform = {}; };\n"
	"if (typeof(Tarvel.Platform.WebView) == 'undefined') { Tarvel.Platform.WebView = {}; };\n"
	"Tarvel.Platform.WebView.version = 1;\n"
	"Tarvel.Platform.WebView.show = function() { callWebViewFunction('Tarvel.Platform.WebView.show');};\n"
	"Tarvel.Platform.WebView.hide = function() { callWebViewFunction('Tarvel.Platform.WebView.hide');};\n";

TEST(WebViewCode, AssemblesTheNamespaceCodeExactly)
{
	EXPECT_EQ(kNamespaceCode, pf::WebView::assembleInjectionCode("Tarvel.Platform.WebView", {"show", "hide"}, 1));
	EXPECT_EQ("if (typeof(A) == 'undefined') { A = {}; };\nA.version = 3;\n",
		pf::WebView::assembleInjectionCode("A", {}, 3));
}

TEST(WebViewCode, NoEngineMeansNoWebViews)
{
	fakeweb::uninstall();
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	EXPECT_THROW(pf::WebView(0, 0, 1, 1), lang::Exception);
	pf::WebView::setPageFactory([](int, int, int, int) { return std::unique_ptr<pf::WebPage>(); },
		[] { return false; });
	EXPECT_FALSE(pf::WebView::isWebViewSupported());
	pf::WebView::setPageFactory([](int, int, int, int) { return std::unique_ptr<pf::WebPage>(); }, nullptr);
	EXPECT_TRUE(pf::WebView::isWebViewSupported());
	// A page the engine could not make is an error, not a view without a page.
	EXPECT_THROW(pf::WebView(0, 0, 1, 1), lang::Exception);
	fakeweb::uninstall();
}

TEST_F(WebViewTest, StartsHiddenAndShowsAndHides)
{
	EXPECT_FALSE(page().visible);
	EXPECT_FALSE(view->visible());
	view->show();
	EXPECT_TRUE(page().visible);
	view->hide();
	EXPECT_FALSE(page().visible);
	EXPECT_EQ(&observer, view->getObserver());
	view->setObserver(nullptr);
	EXPECT_EQ(&observer, view->getObserver());
}

TEST_F(WebViewTest, CompletionInjectsThenReadsTheTitle)
{
	page().listener->loadStarted();
	page().listener->loadFinished();
	ASSERT_EQ(3u, page().scripts.size());
	EXPECT_EQ(0u, page().scripts[0].find("function callLuaFunction(functionName) {  var iframe = "));
	EXPECT_NE(std::string::npos, page().scripts[0].find("'js-call:' + functionName"));
	EXPECT_EQ(0u, page().scripts[1].find("function callWebViewFunction(functionName) {"));
	EXPECT_EQ(page().scripts[1].size() - std::string(kNamespaceCode).size(), page().scripts[1].find(kNamespaceCode));
	EXPECT_EQ("document.title", page().scripts[2]);
	// The observer hears only once the evaluations before it have run.
	page().answer(false);
	page().answer(false);
	EXPECT_TRUE(observer.events.empty());
	page().answer(true, "Help");
	EXPECT_EQ(std::vector<std::string>{"loaded:Help"}, observer.events);

	// No title (undefined) reads as empty.
	page().listener->loadStarted();
	page().listener->loadFinished();
	page().answerAll("");
	page().pending.clear();
	EXPECT_EQ("loaded:", observer.events.back());
}

TEST_F(WebViewTest, FailuresCancellationsAndSupersededLoads)
{
	struct Case
	{
		const char* name;
		std::function<void(pf::WebPageListener&)> events;
		std::vector<std::string> expected;
	};
	const Case cases[] = {
		{"failed", [](pf::WebPageListener& l) { l.loadStarted(); l.loadFailed(false); }, {"failed:"}},
		{"cancelled", [](pf::WebPageListener& l) { l.loadStarted(); l.loadFailed(true); }, {"loaded:T"}},
		{"superseded",
			[](pf::WebPageListener& l) {
				l.loadStarted();
				l.loadStarted();
				l.loadFinished();
			},
			{"loaded:T", "loaded:T"}},
	};
	for (const Case& c : cases)
	{
		observer.events.clear();
		c.events(*page().listener);
		page().answerAll("T");
		EXPECT_EQ(c.expected, observer.events) << c.name;
	}
	// The failure asks nothing of the page.
	page().scripts.clear();
	page().listener->loadStarted();
	page().listener->loadFailed(false);
	EXPECT_TRUE(page().scripts.empty());
}

TEST_F(WebViewTest, WithoutObserverLoadsOnlyInject)
{
	view.reset(new pf::WebView(0, 0, 10, 10));
	page().listener->loadStarted();
	page().listener->loadFinished();
	EXPECT_EQ(2u, page().scripts.size());
	page().listener->loadStarted();
	page().listener->loadFailed(false);
	EXPECT_EQ(2u, page().scripts.size());
	// Page calls and links: refused calls, allowed links.
	EXPECT_EQ(0, page().navigate("js-call:f()", false));
	EXPECT_EQ(1, page().navigate("http://127.0.0.1/x", true));
}

TEST_F(WebViewTest, NavigationDecisions)
{
	struct Case
	{
		const char* url;
		bool click;
		int linkAnswer;
		int allowed;
		const char* event; // what the observer hears, "" nothing
		bool visibleAfter;
		const char* opened;
	};
	const Case cases[] = {
		{"js-call:Menu.open(1)", false, 1, 0, "call:Menu.open(1)", false, ""},
		{"js-call:say('a%20b')", true, 1, 0, "call:say('a b')", false, ""},
		{"js-call:f(%zz%4)", false, 1, 0, "call:f(%zz%4)", false, ""},
		{"js-call:f(%C3%A9)", false, 1, 0, "call:f(\xC3\xA9)", false, ""},
		{"wv-call:Tarvel.Platform.WebView.show", false, 1, 0, "", true, ""},
		{"wv-call:Tarvel.Platform.WebView.hide", false, 1, 0, "", false, ""},
		{"wv-call:Tarvel.Platform.WebView.explode", false, 1, 0, "", false, ""},
		{"file:///b/next.html", false, 0, 1, "", false, ""},
		{"file:///b/next.html", true, 0, 0, "link:file:///b/next.html", false, ""},
		{"file:///b/next.html", true, 1, 1, "link:file:///b/next.html", false, ""},
		{"http://127.0.0.1/ext", true, 2, 0, "link:http://127.0.0.1/ext", false, "http://127.0.0.1/ext"},
		{"file:///b/odd.html", true, 7, 1, "link:file:///b/odd.html", false, ""},
	};
	for (const Case& c : cases)
	{
		observer.events.clear();
		opened.clear();
		observer.linkAnswer = c.linkAnswer;
		EXPECT_EQ(c.allowed, page().navigate(c.url, c.click)) << c.url;
		EXPECT_EQ(c.event[0] ? std::vector<std::string>{c.event} : std::vector<std::string>{}, observer.events) << c.url;
		EXPECT_EQ(c.visibleAfter, page().visible) << c.url;
		EXPECT_EQ(c.opened[0] ? std::vector<std::string>{c.opened} : std::vector<std::string>{}, opened) << c.url;
	}
}

TEST_F(WebViewTest, ExecuteJavaScriptWaitsAndHoldsEventsBack)
{
	page().onWait = [](fakeweb::FakePage& p) { p.answer(true, "42"); };
	std::unique_ptr<std::string> result(view->executeJavaScript("6*7"));
	ASSERT_TRUE(result);
	EXPECT_EQ("42", *result);

	page().onWait = [](fakeweb::FakePage& p) { p.answer(false); };
	EXPECT_EQ(nullptr, view->executeJavaScript("undefined"));

	// Timed out: null, and the late answer harms nothing.
	page().onWait = nullptr;
	EXPECT_EQ(nullptr, view->executeJavaScript("while(true);"));
	page().answer(true, "late");

	// A page call and a link during the wait reach the observer after it, in order.
	int linkAllowed = -1;
	page().onWait = [this, &linkAllowed](fakeweb::FakePage& p) {
		EXPECT_EQ(0, p.navigate("js-call:a()", false));
		p.listener->decideNavigation("file:///l", true, [&linkAllowed](bool allow) { linkAllowed = allow; });
		EXPECT_TRUE(observer.events.empty());
		EXPECT_EQ(-1, linkAllowed);
		p.answer(true, "x");
	};
	result.reset(view->executeJavaScript("1"));
	EXPECT_EQ((std::vector<std::string>{"call:a()", "link:file:///l"}), observer.events);
	EXPECT_EQ(1, linkAllowed);
}

TEST_F(WebViewTest, AsyncExecutionRunsFromATimer)
{
	view->asyncExecuteJavaScript("go();");
	EXPECT_EQ("function asyncExec() {go();}setTimeout(asyncExec, 0);", page().scripts.back());
}

TEST_F(WebViewTest, DeletingTheViewFromItsOwnEventIsSafe)
{
	observer.onEvent = [this] { view.reset(); };
	fakeweb::FakePage* p = &page();
	p->listener->loadStarted();
	p->listener->loadFinished();
	p->answer(false);
	p->answer(false);
	p->answer(true, "T");
	EXPECT_EQ(std::vector<std::string>{"loaded:T"}, observer.events);
	EXPECT_EQ(nullptr, fakeweb::pages().back()); // the page went with the view

	view.reset(new pf::WebView(0, 0, 1, 1));
	view->setObserver(&observer);
	EXPECT_EQ(0, page().navigate("js-call:bye()", false));
	EXPECT_EQ(nullptr, fakeweb::pages().back());
}

class LocalPageTest : public WebViewTest
{
protected:
	void SetUp() override
	{
		char folder[] = "/tmp/webview-bundle-XXXXXX";
		ASSERT_NE(nullptr, mkdtemp(folder));
		root = folder;
		oldBundle = io::detail::bundlePath();
		io::detail::setBundlePath(root);
		mkdir((root + "/web").c_str(), 0700);
		write("web/help.html", "<p>h\xC3\xA9lp</p>");
		write("help.html", "top");
		write("web/help", "bare");
		write("web/bad.html", "\xFF\xFE");
		write("my page.html", "spaced");
		WebViewTest::SetUp();
	}
	void TearDown() override
	{
		WebViewTest::TearDown();
		io::detail::setBundlePath(oldBundle);
		std::system(("rm -rf '" + root + "'").c_str());
	}
	void write(const std::string& name, const std::string& text)
	{
		std::ofstream(root + "/" + name, std::ios::binary) << text;
	}
	std::string root, oldBundle;
};

TEST_F(LocalPageTest, LoadsBundleFilesWithTheirOwnUrlAsBase)
{
	struct Case
	{
		const char* path;
		const char* base; // "" loads nothing
		const char* html;
	};
	const Case cases[] = {
		{"web/help.html", "/web/help.html", "<p>h\xC3\xA9lp</p>"},
		{"/web/help.html", "/web/help.html", "<p>h\xC3\xA9lp</p>"},
		{"help.html", "/help.html", "top"},
		{"web/help", "/web/help", "bare"},
		{"my page.html", "/my%20page.html", "spaced"},
		{"web/missing.html", "", ""},
		{"web/bad.html", "", ""},
		{"web/../help.html", "", ""},
		{"../etc/passwd", "", ""},
		{"", "", ""},
		{"web", "", ""},
	};
	for (const Case& c : cases)
	{
		page().loads.clear();
		page().lastHtml.clear();
		view->loadLocalUrl(c.path);
		if (!c.base[0])
		{
			EXPECT_TRUE(page().loads.empty()) << c.path;
			continue;
		}
		ASSERT_EQ(1u, page().loads.size()) << c.path;
		EXPECT_EQ("html:file://" + root + c.base, page().loads[0]) << c.path;
		EXPECT_EQ(c.html, page().lastHtml) << c.path;
	}
	view->loadUrl("about:blank");
	view->reload();
	EXPECT_EQ("url:about:blank", page().loads.back());
	EXPECT_EQ(1, page().reloads);
}
}
