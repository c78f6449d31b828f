#ifndef PF_WEBVIEWOBSERVER_H
#define PF_WEBVIEWOBSERVER_H

#include <string>

namespace pf
{
class WebView;

/** What a web view answers for a clicked link. */
enum LoadPolicy
{
	LOAD_POLICY_DONT_LOAD = 0,
	LOAD_POLICY_LOAD_IN_VIEW = 1,
	LOAD_POLICY_OPEN_EXTERNALLY = 2,
};

/** Hears a web view's page events. Not owned by the view. */
class WebViewObserver
{
public:
	WebViewObserver() : m_webView(nullptr) {}
	virtual ~WebViewObserver() {}

	/** After every load: ok false for a failed one (title then ""). */
	virtual void onUrlLoadCompleted(bool ok, const std::string& title, WebView* view) = 0;
	/** A link click; answers a LoadPolicy. */
	virtual int onLinkClicked(const std::string& url, WebView* view) = 0;
	/** A page's "js-call:" text, percent escapes replaced. */
	virtual void callLuaFunction(const std::string& callText) = 0;

	/** The view this observer serves, set by WebView::setObserver. */
	WebView* webView() const { return m_webView; }

private:
	friend class WebView;
	WebView* m_webView;
};
}

#endif
