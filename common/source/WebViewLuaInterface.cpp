// The script table WebView and the handles' methods. Script errors are
// raised only after every C++ object of the call is gone: the interpreter
// unwinds with longjmp.
#include "WebViewLuaInterface.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/string.h>
#include <lua/LuaState.h>
#include <lua.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lua
{
framework::App* WebViewLuaInterface::s_app = nullptr;
WebViewLuaInterface* WebViewLuaInterface::s_instance = nullptr;
const char* const WebViewLuaInterface::s_tableName = "WebView";
const char* const WebViewLuaInterface::s_metaTableName = "tarvel.webview";

namespace
{
// Registry key of the interface serving an interpreter.
char s_registryKey;
const size_t kMaxLinkBytes = 150;
// Far below the interpreter's own stack limit (8000 slots).
const int kMaxCallArguments = 4000;

struct Handle
{
	int id;
};

bool isQuote(char c)
{
	return c == '"' || c == '\'';
}

void printError(lua_State* lua)
{
	const char* text = lua_tostring(lua, -1);
	lang::Debug::printf("WebView Lua: %s\n", text ? text : "(error object is not a string)");
	lua_pop(lua, 1);
}

struct CallData
{
	const std::vector<std::string>* path;
	const WebViewLuaObserver::Call* call;
};

// Runs under lua_cpcall: looks the function up along the path and calls it.
int lookUpAndCall(lua_State* lua)
{
	const CallData* data = static_cast<const CallData*>(lua_touserdata(lua, 1));
	lua_settop(lua, 0);
	lua_pushvalue(lua, LUA_GLOBALSINDEX);
	for (const std::string& part : *data->path)
	{
		if (part.empty())
			continue;
		lua_pushlstring(lua, part.data(), part.size());
		lua_gettable(lua, -2);
		lua_remove(lua, -2);
		// Nothing callable lies below a value that is no table.
		if (!lua_istable(lua, -1))
			return 0;
	}
	const WebViewLuaObserver::Call& call = *data->call;
	lua_pushlstring(lua, call.name.data(), call.name.size());
	lua_gettable(lua, -2);
	// The page decides how many arguments there are: more than the stack can take end
	// the call quietly, like any other bad call.
	if (call.args.size() > static_cast<size_t>(kMaxCallArguments) || !lua_checkstack(lua, static_cast<int>(call.args.size()) + 1))
		return 0;
	for (size_t i = 0; i < call.args.size(); ++i)
	{
		if (call.numbers[i])
			lua_pushnumber(lua, std::strtod(call.args[i].c_str(), nullptr));
		else
			lua_pushlstring(lua, call.args[i].data(), call.args[i].size());
	}
	lua_call(lua, static_cast<int>(call.args.size()), 0);
	return 0;
}
}

WebViewLuaObserver::WebViewLuaObserver(pf::WebView* view, lua_State* lua, int handleRef) :
	m_view(view), m_lua(lua), m_handleRef(handleRef)
{
}

// The callbacks may delete this observer: after the script call only locals are used.
void WebViewLuaObserver::onUrlLoadCompleted(bool ok, const std::string& title, pf::WebView*)
{
	lua_State* lua = m_lua;
	if (m_view->m_pageLoadedRef == -1)
		return;
	const int top = lua_gettop(lua);
	lua_rawgeti(lua, LUA_REGISTRYINDEX, m_view->m_pageLoadedRef);
	lua_rawgeti(lua, LUA_REGISTRYINDEX, m_handleRef);
	lua_pushboolean(lua, ok);
	lua_pushlstring(lua, title.data(), title.size());
	if (lua_pcall(lua, 3, 0, 0) != 0)
		printError(lua);
	lua_settop(lua, top);
}

int WebViewLuaObserver::onLinkClicked(const std::string& url, pf::WebView*)
{
	lua_State* lua = m_lua;
	if (m_view->m_linkClickedRef == -1)
		return pf::LOAD_POLICY_LOAD_IN_VIEW;
	const int top = lua_gettop(lua);
	lua_rawgeti(lua, LUA_REGISTRYINDEX, m_view->m_linkClickedRef);
	lua_rawgeti(lua, LUA_REGISTRYINDEX, m_handleRef);
	lua_pushlstring(lua, url.data(), std::min(url.size(), kMaxLinkBytes));
	if (lua_pcall(lua, 2, 1, 0) != 0)
	{
		printError(lua);
		lua_settop(lua, top);
		return pf::LOAD_POLICY_LOAD_IN_VIEW;
	}
	const lua_Integer answer = lua_tointeger(lua, -1);
	lua_settop(lua, top);
	if (answer >= 0 && answer <= 2)
		return static_cast<int>(answer);
	lang::Debug::printf("WebView Lua: unknown return code from onLinkClicked()\n");
	return pf::LOAD_POLICY_LOAD_IN_VIEW;
}

void WebViewLuaObserver::callLuaFunction(const std::string& callText)
{
	if (m_namespace.empty())
		return;
	lua_State* lua = m_lua;
	const std::vector<std::string> path = lang::string::split(m_namespace, ".");
	const Call call = parseCall(callText);
	if (!call.valid)
		return;
	const int top = lua_gettop(lua);
	CallData data{&path, &call};
	if (lua_cpcall(lua, lookUpAndCall, &data) != 0)
		printError(lua);
	lua_settop(lua, top);
}

WebViewLuaObserver::Call WebViewLuaObserver::parseCall(const std::string& callText)
{
	Call call;
	const size_t open = callText.find('(');
	if (open == std::string::npos || open == 0)
		return call;
	const size_t close = callText.find(')', open);
	if (close == std::string::npos || close != callText.size() - 1)
		return call;
	call.valid = true;
	call.name = callText.substr(0, open);
	const std::vector<std::string> pieces = lang::string::split(callText.substr(open + 1, close - open - 1), ",");
	if (pieces.size() == 1 && pieces[0].empty())
		return call;
	for (const std::string& piece : pieces)
	{
		std::string arg = lang::string::trim(piece);
		bool number = true;
		if (!arg.empty() && isQuote(arg[0]))
		{
			arg.erase(0, 1);
			number = false;
		}
		// A closing quote marks a string too: "say('a,b')" is split before quotes count, and its
		// second half is the string "b", not a number read from it.
		if (!arg.empty() && isQuote(arg.back()))
		{
			arg.pop_back();
			number = false;
		}
		call.args.push_back(arg);
		call.numbers.push_back(number);
	}
	return call;
}

WebViewLuaInterface::WebViewLuaInterface(framework::App* app, LuaState* state) :
	m_state(state), m_lua(state->getLua()), m_registered(false), m_nextId(1)
{
	s_app = app;
	if (!pf::WebView::isWebViewSupported())
		return;
	lua_State* lua = m_lua;
	static const luaL_Reg methods[] = {
		{"delete", deleteView},
		{"show", show},
		{"hide", hide},
		{"loadPage", loadPage},
		{"loadLocalPage", loadLocalPage},
		{"reloadPage", reloadPage},
		{"setOnLinkClickedCallback", setOnLinkClickedCallback},
		{"setOnPageLoadedCallback", setOnPageLoadedCallback},
		{"allowCallsFromJavaScript", allowCallsFromJavaScript},
		{"executeJavaScript", executeJavaScript},
		{"asyncExecuteJavaScript", asyncExecuteJavaScript},
		{nullptr, nullptr},
	};
	static const luaL_Reg functions[] = {{"new", newView}, {nullptr, nullptr}};
	luaL_newmetatable(lua, s_metaTableName);
	lua_pushvalue(lua, -1);
	lua_setfield(lua, -2, "__index");
	luaL_register(lua, nullptr, methods);
	lua_pop(lua, 1);
	luaL_register(lua, s_tableName, functions);
	lua_pushstring(lua, "0");
	lua_setfield(lua, -2, "DONT_LOAD_PAGE");
	lua_pushstring(lua, "1");
	lua_setfield(lua, -2, "LOAD_PAGE_INTO_WEBVIEW");
	lua_pushstring(lua, "2");
	lua_setfield(lua, -2, "LOAD_PAGE_INTO_EXTERNAL_BROWSER");
	lua_pop(lua, 1);
	lua_pushlightuserdata(lua, &s_registryKey);
	lua_pushlightuserdata(lua, this);
	lua_rawset(lua, LUA_REGISTRYINDEX);
	m_registered = true;
	s_instance = this;
}

WebViewLuaInterface::~WebViewLuaInterface()
{
	if (m_registered)
	{
		lua_State* lua = m_lua;
		lua_pushlightuserdata(lua, &s_registryKey);
		lua_pushnil(lua);
		lua_rawset(lua, LUA_REGISTRYINDEX);
		// No page event may reach the interpreter once its interface is gone.
		for (auto& item : m_entries)
			release(item.second);
		m_entries.clear();
	}
	if (s_instance == this)
		s_instance = nullptr;
	if (s_instance == nullptr)
		s_app = nullptr;
}

WebViewLuaInterface* WebViewLuaInterface::fromState(lua_State* lua)
{
	lua_pushlightuserdata(lua, &s_registryKey);
	lua_rawget(lua, LUA_REGISTRYINDEX);
	WebViewLuaInterface* self = static_cast<WebViewLuaInterface*>(lua_touserdata(lua, -1));
	lua_pop(lua, 1);
	return self;
}

void WebViewLuaInterface::release(Entry& entry)
{
	lua_State* lua = m_lua;
	luaL_unref(lua, LUA_REGISTRYINDEX, entry.view->m_pageLoadedRef);
	luaL_unref(lua, LUA_REGISTRYINDEX, entry.view->m_linkClickedRef);
	entry.view->m_pageLoadedRef = -1;
	entry.view->m_linkClickedRef = -1;
	luaL_unref(lua, LUA_REGISTRYINDEX, entry.handleRef);
	entry.handleRef = -1;
	entry.view = nullptr;
	entry.observer.reset();
}

int WebViewLuaInterface::newView(lua_State* lua)
{
	const int x = static_cast<int>(luaL_checkinteger(lua, 1));
	const int y = static_cast<int>(luaL_checkinteger(lua, 2));
	const int w = static_cast<int>(luaL_checkinteger(lua, 3));
	const int h = static_cast<int>(luaL_checkinteger(lua, 4));
	WebViewLuaInterface* self = fromState(lua);
	if (!self)
		return luaL_error(lua, "WebView is closed");
	char error[512] = "";
	{
		lang::Ptr<pf::WebView> view;
		try
		{
			view = new pf::WebView(x, y, w, h);
		}
		catch (const std::exception& e)
		{
			std::snprintf(error, sizeof(error), "WebView.new: %s", e.what());
		}
		catch (const lang::Throwable& e)
		{
			std::snprintf(error, sizeof(error), "WebView.new: %s", e.getMessage().format().c_str());
		}
		if (view)
		{
			const int id = self->m_nextId++;
			Handle* handle = static_cast<Handle*>(lua_newuserdata(lua, sizeof(Handle)));
			handle->id = id;
			luaL_getmetatable(lua, s_metaTableName);
			lua_setmetatable(lua, -2);
			lua_pushvalue(lua, -1);
			Entry& entry = self->m_entries[id];
			entry.handleRef = luaL_ref(lua, LUA_REGISTRYINDEX);
			entry.view = view;
			entry.observer.reset(new WebViewLuaObserver(view, lua, entry.handleRef));
			view->setObserver(entry.observer.get());
		}
	}
	if (error[0])
	{
		// A page that cannot be made is an answer the script can test (nil and why), not an
		// error that ends it: the game plays on without the page.
		lang::Debug::printf("%s\n", error);
		lua_pushnil(lua);
		lua_pushstring(lua, error);
		return 2;
	}
	return 1;
}

// Runs action(self, entry) for the live handle at position 1; a deleted handle is a script error.
template <class F> int WebViewLuaInterface::withView(lua_State* lua, F action)
{
	const Handle* handle = static_cast<const Handle*>(luaL_checkudata(lua, 1, s_metaTableName));
	WebViewLuaInterface* self = fromState(lua);
	auto it = self ? self->m_entries.find(handle->id) : std::map<int, Entry>::iterator();
	if (!self || it == self->m_entries.end())
		return luaL_error(lua, "WebView handle was deleted");
	return action(self, it->second);
}

int WebViewLuaInterface::deleteView(lua_State* lua)
{
	const Handle* handle = static_cast<const Handle*>(luaL_checkudata(lua, 1, s_metaTableName));
	WebViewLuaInterface* self = fromState(lua);
	if (!self)
		return 0;
	auto it = self->m_entries.find(handle->id);
	if (it == self->m_entries.end())
		return 0;
	// Moved out first: the view's own event may be what is running.
	Entry entry = std::move(it->second);
	self->m_entries.erase(it);
	self->release(entry);
	return 0;
}

int WebViewLuaInterface::show(lua_State* lua)
{
	return withView(lua, [](WebViewLuaInterface*, Entry& e) { e.view->show(); return 0; });
}

int WebViewLuaInterface::hide(lua_State* lua)
{
	return withView(lua, [](WebViewLuaInterface*, Entry& e) { e.view->hide(); return 0; });
}

int WebViewLuaInterface::loadPage(lua_State* lua)
{
	const char* url = luaL_checkstring(lua, 2);
	return withView(lua, [url](WebViewLuaInterface*, Entry& e) { e.view->loadUrl(url); return 0; });
}

int WebViewLuaInterface::loadLocalPage(lua_State* lua)
{
	const char* path = luaL_checkstring(lua, 2);
	return withView(lua, [path](WebViewLuaInterface*, Entry& e) { e.view->loadLocalUrl(path); return 0; });
}

int WebViewLuaInterface::reloadPage(lua_State* lua)
{
	return withView(lua, [](WebViewLuaInterface*, Entry& e) { e.view->reload(); return 0; });
}

int WebViewLuaInterface::setCallback(lua_State* lua, bool pageLoaded)
{
	return withView(lua, [lua, pageLoaded](WebViewLuaInterface*, Entry& e) {
		int& ref = pageLoaded ? e.view->m_pageLoadedRef : e.view->m_linkClickedRef;
		luaL_unref(lua, LUA_REGISTRYINDEX, ref);
		ref = -1;
		if (lua_isfunction(lua, 2))
		{
			lua_pushvalue(lua, 2);
			ref = luaL_ref(lua, LUA_REGISTRYINDEX);
		}
		return 0;
	});
}

int WebViewLuaInterface::setOnLinkClickedCallback(lua_State* lua)
{
	return setCallback(lua, false);
}

int WebViewLuaInterface::setOnPageLoadedCallback(lua_State* lua)
{
	return setCallback(lua, true);
}

int WebViewLuaInterface::allowCallsFromJavaScript(lua_State* lua)
{
	const char* ns = luaL_checkstring(lua, 2);
	return withView(lua, [ns](WebViewLuaInterface*, Entry& e) { e.observer->setNamespace(ns); return 0; });
}

int WebViewLuaInterface::executeJavaScript(lua_State* lua)
{
	size_t length = 0;
	const char* script = luaL_checklstring(lua, 2, &length);
	// The view may be deleted by an event delivered after the wait: only the handle's id is kept.
	return withView(lua, [lua, script, length](WebViewLuaInterface*, Entry& e) {
		lang::Ptr<pf::WebView> view = e.view;
		std::unique_ptr<std::string> result(view->executeJavaScript(std::string(script, length)));
		if (result)
			lua_pushlstring(lua, result->data(), result->size());
		else
			lua_pushstring(lua, "");
		return 1;
	});
}

int WebViewLuaInterface::asyncExecuteJavaScript(lua_State* lua)
{
	size_t length = 0;
	const char* script = luaL_checklstring(lua, 2, &length);
	return withView(lua, [script, length](WebViewLuaInterface*, Entry& e) {
		e.view->asyncExecuteJavaScript(std::string(script, length));
		return 0;
	});
}
}
