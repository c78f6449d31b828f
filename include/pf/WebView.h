#ifndef PF_WEBVIEW_H
#define PF_WEBVIEW_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <pf/WebPage.h>
#include <pf/WebViewObserver.h>
#include <functional>
#include <string>
#include <vector>

namespace pf
{
class WebViewImpl;

/**
 * A web page over the game's view. Pages call back through navigations to
 * "js-call:<call>" (to the observer's callLuaFunction) and "wv-call:<name>"
 * (the view's own show and hide); after each load the bridge functions
 * callLuaFunction, callWebViewFunction and Tarvel.Platform.WebView are put
 * into the page. A view starts hidden.
 */
class WebView : public lang::Object
{
public:
	/** Throws lang::Exception when no web engine is available. */
	WebView(int x, int y, int w, int h);
	~WebView() override;

	void loadUrl(const std::string& url);
	/**
	 * Loads a bundle file as HTML with its own file URL as base. A missing,
	 * unreadable or non-UTF-8 file, or a path leaving the bundle, loads nothing.
	 */
	void loadLocalUrl(const std::string& path);
	void reload();
	void show();
	void hide();
	bool visible() const;

	/** Ignored for null. The observer is not owned. */
	void setObserver(WebViewObserver* observer);
	WebViewObserver* getObserver() const;

	/**
	 * Evaluates the script and waits for it at most two seconds (running the
	 * main loop); the caller deletes the result. Null on failure, timeout,
	 * undefined or null. Page events during the wait reach the observer after it.
	 */
	std::string* executeJavaScript(const std::string& script);
	/** Runs the script from a zero timer in the page; no result. */
	void asyncExecuteJavaScript(const std::string& script);

	/** Whether a page was ever made. */
	static bool pagesMade();
	/**
	 * Once a page was made, runs the web engine's pending work a bounded
	 * amount without blocking; the host loop calls it every turn.
	 */
	static void runPages();
	/** Whether a web engine is installed and can show pages here. */
	static bool isWebViewSupported();
	/**
	 * Installs the web engine: the page maker, the check whether pages can be
	 * shown (asked on each isWebViewSupported) and the engine's turn that
	 * runPages runs. Null factory uninstalls.
	 */
	static void setPageFactory(WebPageFactory factory, std::function<bool()> supported,
		std::function<void()> pump = nullptr);
	/**
	 * Where the game's window is on the screen (its top-left); null or false:
	 * no window, pages are drawn offscreen.
	 */
	typedef std::function<bool(int& x, int& y)> WindowLocator;
	static void setWindowLocator(WindowLocator locator);
	/** The game window's top-left on the screen; false when there is no window. */
	static bool locateWindow(int& x, int& y);
	/** How links answered LOAD_POLICY_OPEN_EXTERNALLY are opened (default: pf::Launcher). */
	static void setUrlOpener(std::function<bool(const std::string&)> opener);

	/** The Tarvel-style namespace code put into pages: guarded levels, version, functions. */
	static std::string assembleInjectionCode(const std::string& ns, const std::vector<std::string>& functions,
		int version);

	/** Script registry references of the callbacks, -1 for none; kept for the script binding. */
	int m_pageLoadedRef;
	int m_linkClickedRef;

private:
	lang::Ptr<WebViewImpl> m_this;
};
}

#endif
