#ifndef PF_WEBPAGE_H
#define PF_WEBPAGE_H

#include <functional>
#include <memory>
#include <string>

namespace pf
{
/** Events of a web page, on the main thread. */
class WebPageListener
{
public:
	typedef std::function<void(bool allow)> Decision;

	virtual ~WebPageListener() {}
	/**
	 * A navigation of the page or of one of its frames. The answer may be
	 * given later, but exactly once.
	 */
	virtual void decideNavigation(const std::string& url, bool linkClick, Decision answer) = 0;
	/** The main frame began loading; a load still running is superseded and hears nothing more. */
	virtual void loadStarted() = 0;
	virtual void loadFinished() = 0;
	/** cancelled: the load was stopped (by another navigation), not broken. */
	virtual void loadFailed(bool cancelled) = 0;
};

/**
 * The narrow interface a web engine offers the web view: loading, script
 * evaluation, visibility and the main loop. Destroying a page cancels its
 * evaluations (their callbacks never run) and silences its events. A
 * listener call or an evaluation callback may destroy the page: after it
 * returns the page touches nothing of its own.
 */
class WebPage
{
public:
	/** ok false: no result (an error, undefined or null). */
	typedef std::function<void(bool ok, const std::string& result)> Evaluated;

	virtual ~WebPage() {}
	virtual void setListener(WebPageListener* listener) = 0;
	virtual void loadUrl(const std::string& url) = 0;
	virtual void loadHtml(const std::string& html, const std::string& baseUrl) = 0;
	virtual void reload() = 0;
	/** Evaluates asynchronously; evaluations finish in the order they were asked for. */
	virtual void evaluate(const std::string& script, Evaluated done) = 0;
	virtual void setVisible(bool visible) = 0;
	/** Runs the main loop until done() answers true or the time is up; false on timeout. */
	virtual bool runUntil(const std::function<bool()>& done, int timeoutMillis) = 0;
};

/** Makes the page of a new web view with its rectangle in pixels. */
typedef std::function<std::unique_ptr<WebPage>(int x, int y, int w, int h)> WebPageFactory;
}

#endif
