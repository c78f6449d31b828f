#ifndef WEBVIEWLUAINTERFACE_H
#define WEBVIEWLUAINTERFACE_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <pf/WebView.h>
#include <pf/WebViewObserver.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct lua_State;

namespace framework
{
class App;
}

namespace lua
{
class LuaState;

/**
 * Turns one web view's events into script callbacks and runs the page calls
 * ("js-call:") of the functions under one dotted table path of the globals.
 */
class WebViewLuaObserver : public pf::WebViewObserver
{
public:
	/** handleRef: registry reference of the script's handle, passed to the callbacks. */
	WebViewLuaObserver(pf::WebView* view, lua_State* lua, int handleRef);

	void onUrlLoadCompleted(bool ok, const std::string& title, pf::WebView* view) override;
	int onLinkClicked(const std::string& url, pf::WebView* view) override;
	void callLuaFunction(const std::string& callText) override;

	void setNamespace(const std::string& ns) { m_namespace = ns; }
	const std::string& getNamespace() const { return m_namespace; }

	struct Call
	{
		bool valid = false;
		std::string name;
		std::vector<std::string> args;
		std::vector<bool> numbers;
	};
	/** name(arg, ...): commas split before quotes are looked at; quoted arguments are strings, others numbers. */
	static Call parseCall(const std::string& callText);

private:
	pf::WebView* m_view;
	lua_State* m_lua;
	std::string m_namespace;
	int m_handleRef;
};

/**
 * The script table "WebView" (function new and the three load-policy
 * constants) and the methods of web-view handles (full userdata with the
 * metatable "tarvel.webview") in one interpreter's globals. Nothing is
 * registered where web views are not supported. Destroying the interface
 * destroys its views; handles then raise "WebView handle was deleted".
 */
class WebViewLuaInterface : public lang::Object
{
public:
	WebViewLuaInterface(framework::App* app, LuaState* state);
	~WebViewLuaInterface() override;

	/** The application of the live interface, or null. */
	static framework::App* s_app;
	/** The latest live interface, or null. */
	static WebViewLuaInterface* s_instance;
	static const char* const s_tableName;
	static const char* const s_metaTableName;

	/** Whether this interface registered the table (web views supported). */
	bool registered() const { return m_registered; }
	/** Views still open. */
	int views() const { return static_cast<int>(m_entries.size()); }

private:
	struct Entry
	{
		lang::Ptr<pf::WebView> view;
		std::unique_ptr<WebViewLuaObserver> observer;
		int handleRef = -1;
	};

	LuaState* m_state;
	lua_State* m_lua;
	bool m_registered;
	int m_nextId;
	std::map<int, Entry> m_entries;

	static WebViewLuaInterface* fromState(lua_State* lua);
	void release(Entry& entry);

	static int newView(lua_State* lua);
	static int deleteView(lua_State* lua);
	static int show(lua_State* lua);
	static int hide(lua_State* lua);
	static int loadPage(lua_State* lua);
	static int loadLocalPage(lua_State* lua);
	static int reloadPage(lua_State* lua);
	static int setOnLinkClickedCallback(lua_State* lua);
	static int setOnPageLoadedCallback(lua_State* lua);
	static int allowCallsFromJavaScript(lua_State* lua);
	static int executeJavaScript(lua_State* lua);
	static int asyncExecuteJavaScript(lua_State* lua);
	static int setCallback(lua_State* lua, bool pageLoaded);
	template <class F> static int withView(lua_State* lua, F action);
};
}

#endif
