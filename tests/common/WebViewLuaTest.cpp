#include "FakeWebPage.h"
#include "WebViewLuaInterface.h"
#include <gtest/gtest.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaState.h>
#include <lua.hpp>
#include <memory>

namespace
{
class WebViewLua : public ::testing::Test
{
protected:
	void SetUp() override
	{
		fakeweb::install();
		pf::WebView::setUrlOpener([this](const std::string& url) {
			opened.push_back(url);
			return true;
		});
		state = new lua::LuaState();
		webViews.reset(new lua::WebViewLuaInterface(nullptr, state));
		run("h = WebView.new(1, 2, 300, 200)");
	}
	void TearDown() override
	{
		webViews.reset();
		state = nullptr;
		fakeweb::uninstall();
	}

	/** Runs a chunk; returns "" or the error text. */
	std::string run(const std::string& code)
	{
		lua_State* lua = state->getLua();
		if (luaL_dostring(lua, code.c_str()) != 0)
		{
			std::string error = lua_tostring(lua, -1);
			lua_pop(lua, 1);
			return error;
		}
		return "";
	}
	std::string eval(const std::string& expression)
	{
		lua_State* lua = state->getLua();
		const std::string error = run("_result = tostring(" + expression + ")");
		if (!error.empty())
			return "error: " + error;
		lua_getglobal(lua, "_result");
		std::string text = lua_tostring(lua, -1);
		lua_pop(lua, 1);
		return text;
	}
	fakeweb::FakePage& page() { return fakeweb::lastPage(); }
	pf::WebPageListener& events() { return *page().listener; }
	void finishLoad(const std::string& title)
	{
		events().loadStarted();
		events().loadFinished();
		page().answerAll(title);
	}

	lang::Ptr<lua::LuaState> state;
	std::unique_ptr<lua::WebViewLuaInterface> webViews;
	std::vector<std::string> opened;
};

TEST_F(WebViewLua, PublishesTheTableAndHandleMethods)
{
	EXPECT_TRUE(webViews->registered());
	EXPECT_EQ(webViews.get(), lua::WebViewLuaInterface::s_instance);
	EXPECT_EQ("string 0 1 2", eval("type(WebView.DONT_LOAD_PAGE) .. ' ' .. WebView.DONT_LOAD_PAGE .. ' ' .. "
		"WebView.LOAD_PAGE_INTO_WEBVIEW .. ' ' .. WebView.LOAD_PAGE_INTO_EXTERNAL_BROWSER"));
	EXPECT_EQ("userdata", eval("type(h)"));
	EXPECT_EQ("true", eval("getmetatable(h).__index == getmetatable(h)"));
	lua_State* lua = state->getLua();
	lua_getglobal(lua, "h");
	lua_getmetatable(lua, -1);
	luaL_getmetatable(lua, "tarvel.webview");
	EXPECT_TRUE(lua_rawequal(lua, -1, -2));
	lua_pop(lua, 3);
	EXPECT_EQ("", run("h:loadPage('about:blank'); h:reloadPage(); h:show()"));
	EXPECT_EQ("url:about:blank", page().loads.back());
	EXPECT_EQ(1, page().reloads);
	EXPECT_TRUE(page().visible);
	EXPECT_EQ("", run("h:hide()"));
	EXPECT_FALSE(page().visible);
	EXPECT_EQ("", run("h:asyncExecuteJavaScript('x()')"));
	EXPECT_EQ("function asyncExec() {x()}setTimeout(asyncExec, 0);", page().scripts.back());
}

TEST_F(WebViewLua, BadHandlesAndArgumentsAreScriptErrors)
{
	struct Case
	{
		const char* code;
		const char* error;
	};
	const Case cases[] = {
		{"WebView.new(1, 2)", "bad argument #3"},
		{"h.show(nil)", "bad argument #1"},
		{"h.show(17)", "tarvel.webview expected"},
		{"h.show(io.stdout)", "tarvel.webview expected"},
		{"h.loadPage(h)", "bad argument #2"},
		{"h.executeJavaScript(h, {})", "bad argument #2"},
	};
	for (const Case& c : cases)
		EXPECT_NE(std::string::npos, run(c.code).find(c.error)) << c.code << ": " << run(c.code);
}

// A page the platform cannot make (no display, a module that does not load) is refused with an
// answer the script can test; the script goes on.
TEST_F(WebViewLua, ARefusedPageIsNilAndWhyNotAScriptError)
{
	pf::WebView::setPageFactory([](int, int, int, int) -> std::unique_ptr<pf::WebPage> {
		lang::throwError(lang::Exception(lang::Format("Module pf_webkit could not be loaded: pf_webkit.so: file too short")));
		return nullptr;
	}, nullptr);
	EXPECT_EQ("", run("v, why = WebView.new(0, 0, 64, 64) after = true"));
	EXPECT_EQ("nil", eval("tostring(v)"));
	EXPECT_EQ("WebView.new: Module pf_webkit could not be loaded: pf_webkit.so: file too short", eval("why"));
	EXPECT_EQ("true", eval("tostring(after)"));
	pf::WebView::setPageFactory([](int, int, int, int) { return std::unique_ptr<pf::WebPage>(); }, nullptr);
	EXPECT_EQ("", run("v, why = WebView.new(0, 0, 64, 64)"));
	EXPECT_EQ("nil", eval("tostring(v)"));
	EXPECT_EQ("WebView.new: Web view 64x64 could not be created", eval("why"));
	// The views made before are not touched.
	EXPECT_EQ("", run("h:show()"));
}

TEST_F(WebViewLua, DeleteForgetsTheViewAndItsCallbacks)
{
	run("seen = setmetatable({}, {__mode = 'k'}); local cb = {}; seen[cb] = true;"
		"h:setOnPageLoadedCallback(function() return cb end);"
		"h:setOnLinkClickedCallback(function() return cb end)");
	fakeweb::FakePage* p = &page();
	EXPECT_EQ("", run("h:delete()"));
	EXPECT_EQ(nullptr, fakeweb::pages().back());
	EXPECT_EQ(0, webViews->views());
	EXPECT_EQ("", run("h:delete()"));
	for (const char* code : {"h:show()", "h:hide()", "h:loadPage('x')", "h:loadLocalPage('x')", "h:reloadPage()",
			 "h:setOnLinkClickedCallback(nil)", "h:setOnPageLoadedCallback(nil)", "h:allowCallsFromJavaScript('A')",
			 "h:executeJavaScript('1')", "h:asyncExecuteJavaScript('1')"})
		EXPECT_NE(std::string::npos, run(code).find("WebView handle was deleted")) << code;
	run("collectgarbage(); collectgarbage()");
	EXPECT_EQ("nil", eval("next(seen)"));
	(void)p;
}

TEST_F(WebViewLua, ReplacingACallbackReleasesTheOldOne)
{
	run("seen = setmetatable({}, {__mode = 'k'}); local cb = {}; seen[cb] = true;"
		"h:setOnPageLoadedCallback(function() return cb end); h:setOnPageLoadedCallback(false)");
	run("collectgarbage(); collectgarbage()");
	EXPECT_EQ("nil", eval("next(seen)"));
	finishLoad("T");
	EXPECT_EQ("", run("h:show()"));
}

TEST_F(WebViewLua, PageLoadedCallbackGetsTheScriptsHandle)
{
	run("h:setOnPageLoadedCallback(function(v, ok, title) got = {v == h, ok, title} end)");
	finishLoad("Help");
	EXPECT_EQ("true true Help", eval("tostring(got[1]) .. ' ' .. tostring(got[2]) .. ' ' .. got[3]"));
	events().loadStarted();
	events().loadFailed(false);
	EXPECT_EQ("false ", eval("tostring(got[2]) .. ' ' .. got[3]"));

	// A failing callback is printed and swallowed; the view goes on.
	run("h:setOnPageLoadedCallback(function() error('boom') end)");
	testing::internal::CaptureStdout();
	finishLoad("T");
	const std::string out = testing::internal::GetCapturedStdout();
	EXPECT_EQ(0u, out.find("WebView Lua: ")) << out;
	EXPECT_NE(std::string::npos, out.find("boom"));
	EXPECT_EQ(0, lua_gettop(state->getLua()));
	EXPECT_EQ("", run("h:show()"));

	// Deleting the view from its own callback.
	run("h:setOnPageLoadedCallback(function(v) v:delete() end)");
	finishLoad("T");
	EXPECT_EQ(0, webViews->views());
}

TEST_F(WebViewLua, LinkCallbackAnswers)
{
	struct Case
	{
		const char* body;
		int allowed;
		bool external;
		const char* printed;
	};
	const Case cases[] = {
		{"return WebView.LOAD_PAGE_INTO_EXTERNAL_BROWSER", 0, true, ""},
		{"return WebView.DONT_LOAD_PAGE", 0, false, ""},
		{"return WebView.LOAD_PAGE_INTO_WEBVIEW", 1, false, ""},
		{"return 2", 0, true, ""},
		{"", 0, false, ""},
		{"return 'soon'", 0, false, ""},
		{"return 5", 1, false, "WebView Lua: unknown return code from onLinkClicked()\n"},
		{"error('no')", 1, false, "WebView Lua: "},
	};
	for (const Case& c : cases)
	{
		opened.clear();
		run(std::string("h:setOnLinkClickedCallback(function(v, url) same = v == h; clicked = url; ") + c.body + " end)");
		testing::internal::CaptureStdout();
		EXPECT_EQ(c.allowed, page().navigate("http://127.0.0.1/a", true)) << c.body;
		const std::string out = testing::internal::GetCapturedStdout();
		EXPECT_EQ(0u, out.find(c.printed)) << c.body << ": " << out;
		EXPECT_EQ(c.external, !opened.empty()) << c.body;
		EXPECT_EQ("true", eval("same")) << c.body;
	}
	run("h:setOnLinkClickedCallback(nil)");
	EXPECT_EQ(1, page().navigate("http://127.0.0.1/a", true));

	run("h:setOnLinkClickedCallback(function(v, url) clicked = url; return 1 end)");
	const std::string longUrl = "http://127.0.0.1/" + std::string(200, 'x');
	page().navigate(longUrl, true);
	EXPECT_EQ(longUrl.substr(0, 150), eval("clicked"));
}

TEST_F(WebViewLua, ParsesCalls)
{
	struct Case
	{
		const char* text;
		bool valid;
		const char* name;
		std::vector<std::string> args;
		std::vector<bool> numbers;
	};
	const Case cases[] = {
		{"buy('gold', 5)", true, "buy", {"gold", "5"}, {false, true}},
		{"f()", true, "f", {}, {}},
		{"f(,)", true, "f", {"", ""}, {true, true}},
		{"say('a,b')", true, "say", {"a", "b"}, {false, false}},
		{"q(\"x', ' y\")", true, "q", {"x", " y"}, {false, false}},
		{"f( 1.5 )", true, "f", {"1.5"}, {true}},
		{"f(')", true, "f", {""}, {false}},
		{"f(1", false, "", {}, {}},
		{"f(1)x", false, "", {}, {}},
		{"(1)", false, "", {}, {}},
		{"f", false, "", {}, {}},
		{"f(a)(b)", false, "", {}, {}},
	};
	for (const Case& c : cases)
	{
		const lua::WebViewLuaObserver::Call call = lua::WebViewLuaObserver::parseCall(c.text);
		EXPECT_EQ(c.valid, call.valid) << c.text;
		EXPECT_EQ(c.name, call.name) << c.text;
		EXPECT_EQ(c.args, call.args) << c.text;
		EXPECT_EQ(c.numbers, call.numbers) << c.text;
	}
}

TEST_F(WebViewLua, PageCallsReachOnlyTheAllowedTable)
{
	run("Game = {Web = {buy = function(a, b) log = log .. type(a) .. ':' .. tostring(a) .. ',' .. type(b) .. ':' .. "
		"tostring(b) .. ';' end, f = function(...) log = log .. select('#', ...) .. ':' .. tostring((...)) .. ';' end,"
		"fail = function() error('oops') end}}; log = ''; buy = Game.Web.buy");
	auto call = [this](const std::string& text) {
		run("log = ''");
		EXPECT_EQ(0, page().navigate("js-call:" + text, false)) << text;
		return eval("log");
	};
	// Nothing before the script names its table.
	EXPECT_EQ("", call("buy('gold',%205)"));
	run("h:allowCallsFromJavaScript('Game.Web')");
	EXPECT_EQ("string:gold,number:5;", call("buy('gold',%205)"));
	EXPECT_EQ("0:nil;", call("f()"));
	EXPECT_EQ("2:0;", call("f(,)"));
	EXPECT_EQ("1:0.25;", call("f(2.5e-1)"));
	EXPECT_EQ("", call("f(1"));
	EXPECT_EQ("", call("f(1)x"));

	// Errors are printed and swallowed; the stack stays as it was.
	for (const char* text : {"fail()", "missing()"})
	{
		testing::internal::CaptureStdout();
		call(text);
		const std::string out = testing::internal::GetCapturedStdout();
		EXPECT_EQ(0u, out.find("WebView Lua: ")) << text << ": " << out;
		EXPECT_EQ(0, lua_gettop(state->getLua()));
	}
	// A path through something that is no table ends the call quietly.
	for (const char* ns : {"Game.Web.buy", "Nothing.Here", "log"})
	{
		run(std::string("h:allowCallsFromJavaScript('") + ns + "')");
		testing::internal::CaptureStdout();
		EXPECT_EQ("", call("f(1)")) << ns;
		EXPECT_EQ("", testing::internal::GetCapturedStdout()) << ns;
	}
	// A table whose lookup raises an error: caught.
	run("Trap = setmetatable({}, {__index = function() error('trap') end}); h:allowCallsFromJavaScript('Trap.x')");
	testing::internal::CaptureStdout();
	call("f()");
	EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("trap"));
	// Empty components are skipped; the globals are the start.
	run("h:allowCallsFromJavaScript('.Game..Web.')");
	EXPECT_EQ("1:7;", call("f(7)"));
}

// A page decides how many arguments a call carries: more than the interpreter can hold
// must not overrun its stack; the call is refused quietly and the page and game go on.
TEST_F(WebViewLua, PageCallsWithManyArgumentsDoNotOverrunTheStack)
{
	run("Game = {n = function(...) got = select('#', ...); last = select(got, ...) end}; got = -1");
	run("h:allowCallsFromJavaScript('Game')");
	const struct
	{
		size_t args;
		bool delivered;
	} cases[] = {{100, true}, {138, true}, {1000, true}, {100000, false}};
	for (const auto& c : cases)
	{
		run("got = -1; last = nil");
		std::string text = "n(";
		for (size_t i = 0; i + 1 < c.args; ++i)
			text += ",";
		text += "'end')";
		testing::internal::CaptureStdout();
		EXPECT_EQ(0, page().navigate("js-call:" + text, false)) << c.args;
		EXPECT_EQ("", testing::internal::GetCapturedStdout()) << c.args;
		EXPECT_EQ(c.delivered ? std::to_string(c.args) : "-1", eval("got")) << c.args;
		EXPECT_EQ(c.delivered ? "end" : "nil", eval("last")) << c.args;
		EXPECT_EQ(0, lua_gettop(state->getLua())) << c.args;
		// The next call of the page still arrives.
		EXPECT_EQ(0, page().navigate("js-call:n(1,2)", false));
		EXPECT_EQ("2", eval("got")) << c.args;
	}
}

TEST_F(WebViewLua, ExecuteJavaScriptAnswersAString)
{
	page().onWait = [](fakeweb::FakePage& p) { p.answer(true, "42"); };
	EXPECT_EQ("42", eval("h:executeJavaScript('6*7')"));
	page().onWait = [](fakeweb::FakePage& p) { p.answer(false); };
	EXPECT_EQ("string:", eval("type(h:executeJavaScript('null')) .. ':' .. h:executeJavaScript('null')"));
	// The view deleted by a page event held back during the wait.
	run("h:allowCallsFromJavaScript('Ops'); Ops = {bye = function() h:delete() end}");
	page().onWait = [](fakeweb::FakePage& p) {
		p.navigate("js-call:bye()", false);
		p.answer(true, "r");
	};
	EXPECT_EQ("r", eval("h:executeJavaScript('1')"));
	EXPECT_EQ(0, webViews->views());
}

TEST_F(WebViewLua, ClosingTheInterfaceClosesItsViews)
{
	run("h:setOnPageLoadedCallback(function() called = true end)");
	run("h2 = WebView.new(0, 0, 10, 10)");
	EXPECT_EQ(2, webViews->views());
	webViews.reset();
	EXPECT_EQ(nullptr, fakeweb::pages()[0]);
	EXPECT_EQ(nullptr, fakeweb::pages()[1]);
	EXPECT_EQ(nullptr, lua::WebViewLuaInterface::s_instance);
	EXPECT_NE(std::string::npos, run("h:show()").find("WebView handle was deleted"));
	EXPECT_EQ("", run("h:delete()"));
}

TEST_F(WebViewLua, EachInterpreterGetsItsOwnTable)
{
	lang::Ptr<lua::LuaState> other = new lua::LuaState();
	{
		lua::WebViewLuaInterface second(nullptr, other);
		EXPECT_TRUE(second.registered());
		EXPECT_EQ(&second, lua::WebViewLuaInterface::s_instance);
		lua_State* lua = other->getLua();
		ASSERT_EQ(0, luaL_dostring(lua, "h = WebView.new(0, 0, 1, 1); h:show()"));
		EXPECT_EQ(1, second.views());
		// A handle of one interpreter is unknown to the other's table.
		EXPECT_EQ(1, webViews->views());
	}
	EXPECT_EQ(nullptr, lua::WebViewLuaInterface::s_instance);

	// Without web views there is no table.
	fakeweb::uninstall();
	lang::Ptr<lua::LuaState> third = new lua::LuaState();
	lua::WebViewLuaInterface none(nullptr, third);
	EXPECT_FALSE(none.registered());
	lua_getglobal(third->getLua(), "WebView");
	EXPECT_TRUE(lua_isnil(third->getLua(), -1));
	lua_pop(third->getLua(), 1);
}
}
