// The pf_webkit module: WebKitGTK behind pf::WebPage, loaded with the first
// page. Pages live in an offscreen GTK window whose opacity follows show and
// hide; the host loop's turn iterates GLib's default context, which drives
// WebKit. Evaluations and deferred policy decisions are cancelled and signals
// disconnected when a page goes.
#include <pf/WebPage.h>
#include <pf/detail/Modules.h>
#include <EGL/egl.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <algorithm>
#include <cstdlib>
#include <list>
#include <memory>

namespace pf
{
namespace webkit
{
namespace
{
const detail::ModuleHost* s_host = nullptr;

class WebKitPage;

/**
 * Restores the thread's current EGL context when it goes: WebKit and GDK
 * make contexts of their own current on the game's thread.
 */
class KeepCurrentContext
{
public:
	KeepCurrentContext() :
		m_display(eglGetCurrentDisplay()), m_draw(eglGetCurrentSurface(EGL_DRAW)),
		m_read(eglGetCurrentSurface(EGL_READ)), m_context(eglGetCurrentContext())
	{
	}
	~KeepCurrentContext()
	{
		if (m_display != EGL_NO_DISPLAY && (eglGetCurrentContext() != m_context ||
			eglGetCurrentSurface(EGL_DRAW) != m_draw || eglGetCurrentSurface(EGL_READ) != m_read))
			eglMakeCurrent(m_display, m_draw, m_read, m_context);
	}

private:
	EGLDisplay m_display;
	EGLSurface m_draw;
	EGLSurface m_read;
	EGLContext m_context;
};

struct Evaluation
{
	WebKitPage* page;
	GCancellable* cancellable;
	WebPage::Evaluated done;
};

class WebKitPage : public WebPage
{
public:
	WebKitPage(int x, int y, int w, int h) :
		m_x(x), m_y(y), m_listener(nullptr), m_started(false), m_failed(false), m_loaded(false), m_wanted(false)
	{
		KeepCurrentContext keep;
		int wx = 0, wy = 0;
		// Over the game window a borderless popup; without one an offscreen window.
		m_windowed = s_host->locateWindow(wx, wy);
		if (m_windowed)
		{
			m_window = gtk_window_new(GTK_WINDOW_POPUP);
			gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
			gtk_window_move(GTK_WINDOW(m_window), wx + x, wy + y);
		}
		else
			m_window = gtk_offscreen_window_new();
		gtk_window_set_default_size(GTK_WINDOW(m_window), w > 0 ? w : 1, h > 0 ? h : 1);
		m_view = WEBKIT_WEB_VIEW(webkit_web_view_new());
		g_object_ref_sink(m_view);
		// Pages draw in software: a GPU compositor would share the thread with the game's context.
		webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(m_view),
			WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
		gtk_widget_set_size_request(GTK_WIDGET(m_view), w > 0 ? w : 1, h > 0 ? h : 1);
		gtk_container_add(GTK_CONTAINER(m_window), GTK_WIDGET(m_view));
		GdkRGBA clear = {0, 0, 0, 0};
		webkit_web_view_set_background_color(m_view, &clear);
		m_signals[0] = g_signal_connect(m_view, "decide-policy", G_CALLBACK(onDecidePolicy), this);
		m_signals[1] = g_signal_connect(m_view, "load-changed", G_CALLBACK(onLoadChanged), this);
		m_signals[2] = g_signal_connect(m_view, "load-failed", G_CALLBACK(onLoadFailed), this);
		gtk_widget_set_opacity(m_window, 0.0);
		if (m_windowed)
			gtk_widget_show(GTK_WIDGET(m_view));
		else
			gtk_widget_show_all(m_window);
	}

	~WebKitPage() override
	{
		KeepCurrentContext keep;
		*m_alive = false;
		for (gulong id : m_signals)
			g_signal_handler_disconnect(m_view, id);
		for (Evaluation* e : m_evaluations)
		{
			// The finish callback sees the cancellation and frees the record.
			e->page = nullptr;
			g_cancellable_cancel(e->cancellable);
		}
		for (WebKitPolicyDecision* d : m_decisions)
		{
			webkit_policy_decision_ignore(d);
			g_object_unref(d);
		}
		webkit_web_view_stop_loading(m_view);
		gtk_widget_destroy(m_window);
		g_object_unref(m_view);
	}

	void setListener(WebPageListener* listener) override { m_listener = listener; }

	void loadUrl(const std::string& url) override { webkit_web_view_load_uri(m_view, url.c_str()); }

	void loadHtml(const std::string& html, const std::string& baseUrl) override
	{
		webkit_web_view_load_html(m_view, html.c_str(), baseUrl.c_str());
	}

	void reload() override { webkit_web_view_reload(m_view); }

	void evaluate(const std::string& script, Evaluated done) override
	{
		Evaluation* e = new Evaluation{this, g_cancellable_new(), std::move(done)};
		m_evaluations.push_back(e);
		webkit_web_view_evaluate_javascript(m_view, script.data(), static_cast<gssize>(script.size()), nullptr,
			nullptr, e->cancellable, onEvaluated, e);
	}

	void setVisible(bool visible) override
	{
		KeepCurrentContext keep;
		m_wanted = visible;
		gtk_widget_set_opacity(m_window, visible ? 1.0 : 0.0);
		if (!m_windowed)
			return;
		// Without a compositor opacity does nothing: a hidden page leaves the screen too. A page
		// shown before its first load has ended would be an empty grey window: it waits for it.
		if (visible && m_loaded)
		{
			int wx = 0, wy = 0;
			if (s_host->locateWindow(wx, wy))
				gtk_window_move(GTK_WINDOW(m_window), wx + m_x, wy + m_y);
			gtk_widget_show(m_window);
		}
		else
			gtk_widget_hide(m_window);
	}

	bool runUntil(const std::function<bool()>& done, int timeoutMillis) override
	{
		const gint64 end = g_get_monotonic_time() + gint64(timeoutMillis) * 1000;
		while (!done())
		{
			if (g_get_monotonic_time() >= end)
				return false;
			KeepCurrentContext keep;
			if (!g_main_context_iteration(nullptr, FALSE))
				g_usleep(1000);
		}
		return true;
	}

private:
	int m_x;
	int m_y;
	bool m_windowed;
	GtkWidget* m_window;
	WebKitWebView* m_view;
	WebPageListener* m_listener;
	gulong m_signals[3];
	std::list<Evaluation*> m_evaluations;
	std::list<WebKitPolicyDecision*> m_decisions;
	bool m_started;
	bool m_failed;
	/** A load has ended (or failed) since the page was made: it has something to show. */
	bool m_loaded;
	/** Shown by its owner (it may still wait for its first load). */
	bool m_wanted;

	/** The first load has ended: a page shown in the meantime comes on screen. */
	void firstLoadEnded()
	{
		if (m_loaded)
			return;
		m_loaded = true;
		if (m_wanted)
			setVisible(true);
	}

	static void onEvaluated(GObject* source, GAsyncResult* result, gpointer data)
	{
		Evaluation* e = static_cast<Evaluation*>(data);
		GError* error = nullptr;
		JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
		WebKitPage* page = e->page;
		WebPage::Evaluated done;
		if (page)
		{
			page->m_evaluations.remove(e);
			done = std::move(e->done);
		}
		g_object_unref(e->cancellable);
		delete e;
		bool ok = false;
		std::string text;
		if (value && !jsc_value_is_undefined(value) && !jsc_value_is_null(value))
		{
			char* s = jsc_value_to_string(value);
			if (s)
			{
				ok = true;
				text = s;
				g_free(s);
			}
		}
		if (value)
			g_object_unref(value);
		if (error)
			g_error_free(error);
		// Last: the callback may destroy the page.
		if (page && done)
			done(ok, text);
	}

	static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
		gpointer data)
	{
		WebKitPage* page = static_cast<WebKitPage*>(data);
		if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE || !page->m_listener)
			return FALSE;
		WebKitNavigationAction* action =
			webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
		const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
		const bool click = webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED;
		g_object_ref(decision);
		page->m_decisions.push_back(decision);
		// The answer may come later (or after the page is gone, when it is dropped).
		WebPageListener::Decision answer = [page, decision, alive = page->m_alive](bool allow) {
			if (!*alive)
				return;
			auto it = std::find(page->m_decisions.begin(), page->m_decisions.end(), decision);
			if (it == page->m_decisions.end())
				return;
			page->m_decisions.erase(it);
			if (allow)
				webkit_policy_decision_use(decision);
			else
				webkit_policy_decision_ignore(decision);
			g_object_unref(decision);
		};
		page->m_listener->decideNavigation(uri ? uri : "", click, answer);
		return TRUE;
	}

	static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data)
	{
		WebKitPage* page = static_cast<WebKitPage*>(data);
		if (!page->m_listener)
			return;
		if (event == WEBKIT_LOAD_STARTED)
		{
			page->m_started = true;
			page->m_failed = false;
			page->m_listener->loadStarted();
		}
		else if (event == WEBKIT_LOAD_FINISHED)
		{
			// A failed load is followed by FINISHED as well: it was reported already.
			const bool report = page->m_started && !page->m_failed;
			page->m_started = false;
			page->firstLoadEnded();
			if (report)
				page->m_listener->loadFinished();
		}
	}

	static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer data)
	{
		WebKitPage* page = static_cast<WebKitPage*>(data);
		if (!page->m_listener || !page->m_started)
			return FALSE;
		page->m_failed = true;
		page->m_started = false;
		page->firstLoadEnded();
		const bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
		page->m_listener->loadFailed(cancelled);
		return TRUE;
	}

public:
	std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

int s_display = -1;

/** GDK runs on X11 here: a display name is needed. */
bool displayNamed()
{
	const char* name = std::getenv("DISPLAY");
	return name && *name;
}

bool displayAvailable()
{
	if (s_display < 0 && !displayNamed())
		s_display = 0;
	if (s_display < 0)
	{
		// WebKit's windows live beside the game's X11 window.
		setenv("GDK_BACKEND", "x11", 0);
		// The engine formats and parses numbers (shader sources, save files) in the C locale.
		gtk_disable_setlocale();
		KeepCurrentContext keep;
		s_display = gtk_init_check(nullptr, nullptr) ? 1 : 0;
	}
	return s_display == 1;
}

class Module : public detail::WebModule
{
public:
	/** The display's name until GTK tried it: GTK starts with the first page. */
	bool supported() override { return s_display < 0 ? displayNamed() : s_display == 1; }

	bool displayAvailable() override { return webkit::displayAvailable(); }

	std::unique_ptr<WebPage> makePage(int x, int y, int w, int h) override
	{
		if (!displayAvailable())
			return nullptr;
		return std::unique_ptr<WebPage>(new WebKitPage(x, y, w, h));
	}

	/** GLib's sources, a bounded number per turn so frames go on. */
	void runPending() override
	{
		KeepCurrentContext keep;
		for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i)
		{
		}
	}
};
}
}
}

extern "C" __attribute__((visibility("default"))) pf::detail::WebModule* ENGINE_PF_WEBKIT_ENTRY_FUNCTION(
	const pf::detail::ModuleHost* host)
{
	static pf::webkit::Module module;
	pf::webkit::s_host = host;
	return &module;
}
