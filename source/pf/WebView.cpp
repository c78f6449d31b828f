// The web view's page bridge over a WebPage: navigation decisions, the
// "js-call:"/"wv-call:" schemes, the code put into each page after its load,
// load completion, local pages and the synchronous evaluation.
#include <pf/WebView.h>
#include <pf/Launcher.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/string.h>
#include <lang/throwError.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>
#include <sys/stat.h>

namespace pf
{
namespace
{
WebPageFactory s_factory;
std::function<bool()> s_supported;
std::function<void()> s_pump;
std::function<bool(const std::string&)> s_opener;
WebView::WindowLocator s_locator;
bool s_pagesMade = false;

const char* const kLuaInterface =
	"function callLuaFunction(functionName) {  var iframe = document.createElement('IFRAME');  "
	"iframe.setAttribute('src', 'js-call:' + functionName);  document.documentElement.appendChild(iframe);  "
	"iframe.parentNode.removeChild(iframe);  iframe = null;};";
const char* const kNativeInterface =
	"function callWebViewFunction(functionName) {  var iframe = document.createElement('IFRAME');  "
	"iframe.setAttribute('src', 'wv-call:' + functionName);  document.documentElement.appendChild(iframe);  "
	"iframe.parentNode.removeChild(iframe);  iframe = null;};";
const int kExecuteTimeoutMillis = 2000;

bool startsWith(const std::string& s, const char* prefix)
{
	return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

int hexValue(char c)
{
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	return -1;
}

// Escapes that are not two hex digits stay as written.
std::string percentDecode(const std::string& s)
{
	std::string out;
	out.reserve(s.size());
	for (size_t i = 0; i < s.size(); ++i)
	{
		if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0)
		{
			out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
			i += 2;
		}
		else
			out += s[i];
	}
	return out;
}

std::string fileUrl(const std::string& path)
{
	static const char* const hex = "0123456789ABCDEF";
	std::string url = "file://";
	for (unsigned char c : path)
	{
		if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
			c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
			url += static_cast<char>(c);
		else
		{
			url += '%';
			url += hex[c >> 4];
			url += hex[c & 15];
		}
	}
	return url;
}

bool isUtf8(const std::string& s)
{
	size_t i = 0;
	while (i < s.size())
	{
		const unsigned char c = s[i];
		int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
		if (more < 0 || i + more >= s.size())
			return false;
		for (int k = 1; k <= more; ++k)
			if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
				return false;
		i += more + 1;
	}
	return true;
}
}

class WebViewImpl : public lang::Object, public WebPageListener
{
public:
	WebViewImpl(WebView* owner, std::unique_ptr<WebPage> page) :
		m_owner(owner), m_observer(nullptr), m_page(std::move(page)), m_visible(false), m_loading(false), m_waiting(0)
	{
		m_page->setListener(this);
		m_page->setVisible(false);
	}

	~WebViewImpl() override
	{
		// The page cancels its evaluations, whose callbacks hold no reference to this object.
		m_page.reset();
	}

	/** The owner goes: no more events reach its observer. */
	void detach()
	{
		m_owner = nullptr;
		m_observer = nullptr;
		m_deferred.clear();
		m_page->setVisible(false);
	}

	WebView* m_owner;
	WebViewObserver* m_observer;
	std::unique_ptr<WebPage> m_page;
	bool m_visible;
	bool m_loading;
	int m_waiting;
	std::vector<std::function<void()>> m_deferred;

	void show()
	{
		m_visible = true;
		m_page->setVisible(true);
	}

	void hide()
	{
		m_visible = false;
		m_page->setVisible(false);
	}

	// Observer events wait while executeJavaScript runs the loop, so a script
	// never hears a page event in the middle of its own call.
	void deliver(std::function<void()> event)
	{
		if (m_waiting > 0)
			m_deferred.push_back(std::move(event));
		else
			event();
	}

	void flushDeferred()
	{
		lang::Ptr<WebViewImpl> keep(this);
		while (!m_deferred.empty() && m_waiting == 0)
		{
			std::function<void()> event = std::move(m_deferred.front());
			m_deferred.erase(m_deferred.begin());
			event();
		}
	}

	void dispatchCallFromJavaScript(const std::string& name)
	{
		if (name == "Tarvel.Platform.WebView.show")
			show();
		else if (name == "Tarvel.Platform.WebView.hide")
			hide();
	}

	void decideNavigation(const std::string& url, bool linkClick, Decision answer) override
	{
		lang::Ptr<WebViewImpl> keep(this);
		if (startsWith(url, "js-call:"))
		{
			answer(false);
			const std::string call = percentDecode(url.substr(8));
			deliver([this, call] {
				if (m_observer)
					m_observer->callLuaFunction(call);
			});
			return;
		}
		if (startsWith(url, "wv-call:"))
		{
			answer(false);
			dispatchCallFromJavaScript(url.substr(8));
			return;
		}
		if (!linkClick)
		{
			answer(true);
			return;
		}
		deliver([this, url, answer] {
			if (!m_observer)
			{
				answer(true);
				return;
			}
			const int policy = m_observer->onLinkClicked(url, m_owner);
			if (policy == LOAD_POLICY_DONT_LOAD)
				answer(false);
			else if (policy == LOAD_POLICY_OPEN_EXTERNALLY)
			{
				answer(false);
				if (s_opener)
					s_opener(url);
				else
					Launcher().openURL(url);
			}
			else
				answer(true);
		});
	}

	void loadStarted() override
	{
		lang::Ptr<WebViewImpl> keep(this);
		// The engine says nothing more about a load another one replaced: it counts as completed.
		if (m_loading)
			complete(true);
		m_loading = true;
	}

	void loadFinished() override
	{
		lang::Ptr<WebViewImpl> keep(this);
		m_loading = false;
		m_page->evaluate(kLuaInterface, nullptr);
		m_page->evaluate(std::string(kNativeInterface) +
			WebView::assembleInjectionCode("Tarvel.Platform.WebView", {"show", "hide"}, 1), nullptr);
		complete(true);
	}

	void loadFailed(bool cancelled) override
	{
		lang::Ptr<WebViewImpl> keep(this);
		m_loading = false;
		complete(cancelled);
	}

	// Queued behind the evaluations asked before it, so the injection is in place when the observer hears.
	void complete(bool ok)
	{
		if (!m_observer)
			return;
		if (!ok)
		{
			deliver([this] {
				if (m_observer)
					m_observer->onUrlLoadCompleted(false, "", m_owner);
			});
			return;
		}
		// The page drops its evaluations when it goes, and it goes with this object.
		m_page->evaluate("document.title", [this](bool found, const std::string& title) {
			WebViewImpl* impl = this;
			lang::Ptr<WebViewImpl> keep(impl);
			const std::string text = found ? title : std::string();
			impl->deliver([impl, text] {
				if (impl->m_observer)
					impl->m_observer->onUrlLoadCompleted(true, text, impl->m_owner);
			});
		});
	}

	std::string* executeJavaScript(const std::string& script)
	{
		lang::Ptr<WebViewImpl> keep(this);
		struct Result
		{
			bool done = false;
			bool ok = false;
			std::string text;
		};
		std::shared_ptr<Result> result = std::make_shared<Result>();
		m_page->evaluate(script, [result](bool ok, const std::string& text) {
			result->done = true;
			result->ok = ok;
			result->text = text;
		});
		++m_waiting;
		m_page->runUntil([result] { return result->done; }, kExecuteTimeoutMillis);
		--m_waiting;
		if (m_waiting == 0)
			flushDeferred();
		return result->done && result->ok ? new std::string(result->text) : nullptr;
	}
};

WebView::WebView(int x, int y, int w, int h) : m_pageLoadedRef(-1), m_linkClickedRef(-1)
{
	if (!s_factory)
		lang::throwError(lang::Exception(lang::Format("Web views are not available on this system")));
	std::unique_ptr<WebPage> page = s_factory(x, y, w, h);
	if (!page)
		lang::throwError(lang::Exception(lang::Format("Web view {0}x{1} could not be created", w, h)));
	m_this = new WebViewImpl(this, std::move(page));
	s_pagesMade = true;
}

bool WebView::pagesMade()
{
	return s_pagesMade;
}

void WebView::runPages()
{
	if (s_pagesMade && s_pump)
		s_pump();
}

WebView::~WebView()
{
	m_this->detach();
}

void WebView::loadUrl(const std::string& url)
{
	m_this->m_page->loadUrl(url);
}

void WebView::loadLocalUrl(const std::string& path)
{
	// Split at the last '/' (directory) and the name's last '.' (type); names
	// without either load as written. Nothing may climb out of the bundle.
	for (const std::string& part : lang::string::split(path, "/"))
		if (part == "..")
			return;
	std::string relative = path;
	while (!relative.empty() && relative[0] == '/')
		relative.erase(0, 1);
	if (relative.empty())
		return;
	const std::string file = io::detail::bundlePath() + "/" + relative;
	struct stat st;
	if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
		return;
	std::ifstream in(file, std::ios::binary);
	if (!in)
		return;
	std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	if (in.bad() || !isUtf8(html))
		return;
	m_this->m_page->loadHtml(html, fileUrl(file));
}

void WebView::reload()
{
	m_this->m_page->reload();
}

void WebView::show()
{
	m_this->show();
}

void WebView::hide()
{
	m_this->hide();
}

bool WebView::visible() const
{
	return m_this->m_visible;
}

void WebView::setObserver(WebViewObserver* observer)
{
	if (!observer)
		return;
	observer->m_webView = this;
	m_this->m_observer = observer;
}

WebViewObserver* WebView::getObserver() const
{
	return m_this->m_observer;
}

std::string* WebView::executeJavaScript(const std::string& script)
{
	return m_this->executeJavaScript(script);
}

void WebView::asyncExecuteJavaScript(const std::string& script)
{
	m_this->m_page->evaluate("function asyncExec() {" + script + "}" + "setTimeout(asyncExec, 0);", nullptr);
}

bool WebView::isWebViewSupported()
{
	return s_factory && (!s_supported || s_supported());
}

void WebView::setPageFactory(WebPageFactory factory, std::function<bool()> supported, std::function<void()> pump)
{
	s_factory = std::move(factory);
	s_supported = std::move(supported);
	s_pump = std::move(pump);
}

void WebView::setWindowLocator(WindowLocator locator)
{
	s_locator = std::move(locator);
}

bool WebView::locateWindow(int& x, int& y)
{
	return s_locator && s_locator(x, y);
}

void WebView::setUrlOpener(std::function<bool(const std::string&)> opener)
{
	s_opener = std::move(opener);
}

std::string WebView::assembleInjectionCode(const std::string& ns, const std::vector<std::string>& functions,
	int version)
{
	std::string code;
	std::string prefix;
	for (const std::string& part : lang::string::split(ns, "."))
	{
		prefix += prefix.empty() ? part : "." + part;
		code += "if (typeof(" + prefix + ") == 'undefined') { " + prefix + " = {}; };\n";
	}
	std::ostringstream v;
	v << version;
	code += ns + ".version = " + v.str() + ";\n";
	for (const std::string& f : functions)
		code += ns + "." + f + " = function() { callWebViewFunction('" + ns + "." + f + "');};\n";
	return code;
}
}
