#ifndef FRAMEWORK_LINUX_LINUXHOST_H
#define FRAMEWORK_LINUX_LINUXHOST_H

#include <framework/App.h>
#include <framework/linux/LinuxGLView.h>
#include <framework/linux/LinuxOSInterface.h>
#include <framework/linux/LinuxViewController.h>
#include <gr/Context.h>
#include <lang/Ptr.h>
#include <lang/System.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

union SDL_Event;

namespace gr
{
namespace gl
{
class EGLHeadlessView;
}
} // namespace gr

namespace framework
{
/**
 * The program's host: starts the game, drives its frame loop and hands it
 * the platform's events. Headless by default: an EGL surface of its own and
 * frames of 1/framerate s on a simulated clock. With a window: an SDL2
 * window and GL view, frames paced by sleeping to the next tick, input,
 * activation and orientation from the window's events.
 */
class LinuxHost
{
public:
	struct Options
	{
		/** Bundle root: the folder holding the data folder. */
		std::string dataRoot;
		/** Documents root. */
		std::string userRoot;
		int width = 960;
		int height = 640;
		/** Written by the present callback of the last frame run() steps; empty: none. */
		std::string captureFile;
		/** Opens a window instead of running headless. */
		bool window = false;
		/** Delivered to the new App right after start-up; empty: a normal launch. */
		std::string url;
		/** Monotonic microseconds of the windowed loop; empty: the system's monotonic clock. */
		std::function<int64_t()> clock;
		/** Sleeps the windowed loop for the given microseconds; empty: the system's sleep. */
		std::function<void(int64_t)> sleep;
		/** Makes the window's GL context; empty: SDL's. */
		LinuxGLView::ContextFactory contextFactory;
		/**
		 * Runs at the start of every turn of the loop, also while it is stopped: the
		 * platform services' tasks, pages and due notifications. Empty: none.
		 */
		std::function<void(LinuxHost& host)> servicePump;
		/**
		 * Called with the window once it exists and with null before it goes, for the
		 * services that show dialogs or pages over it. Empty: none.
		 */
		std::function<void(LinuxGLView* window)> windowServices;
	};

	/**
	 * The start-up: roots, configure, view and context, init, then the host
	 * becomes active. Exceptions of the game's construction pass to the
	 * caller after the host is torn down.
	 */
	explicit LinuxHost(const Options& options);
	/** Terminates, if not done yet. */
	~LinuxHost();

	LinuxHost(const LinuxHost&) = delete;
	LinuxHost& operator=(const LinuxHost&) = delete;

	/** Frames may run; the loop starts unless the App stopped updates itself. Nothing when already active. */
	void becomeActive();
	/** Frames stop; nothing when already inactive. */
	void resignActive();
	bool isActive() const { return m_active; }

	/**
	 * One turn of the loop, each starting with the service pump. Headless: the simulated clock advances by 1/framerate,
	 * then a frame; while the loop is stopped, a short wait, not counted. Windowed: the pending events, then a frame
	 * and a sleep to the next tick, or, while the loop is stopped, a wait for
	 * events. Returns false once termination was asked for.
	 */
	bool tick();
	/**
	 * Runs frames (0 in a window: until closed), stopping early when asked
	 * to, then terminates. Returns the exit code: the App's quit code, else 0.
	 */
	int run(int frames);
	/** Stops the loop, deletes the App (which saves); the context must then be the host's alone. */
	void terminate();
	/** The game asked to quit, the window was closed or a stop was requested. */
	bool stopping() const;

	/** Asks the loop to stop before its next frame, also when asked during start-up (safe from a signal handler). */
	static void requestStop();

	/** The URL entry of a running App. */
	void openURL(const std::string& url);
	/** A local notification with the given event name arrived; handed to the notification handler. */
	void receivedLocalNotification(const std::string& name);
	/**
	 * The handler of local notifications, and what tells whether it would hear one now (empty: whenever a
	 * handler is set).
	 */
	void setNotificationHandler(const std::function<void(const std::string&)>& handler,
		const std::function<bool()>& listening = std::function<bool()>())
	{
		m_notificationHandler = handler;
		m_notificationListening = listening;
	}
	/** Whether a notification handed over now would be heard; due ones wait until then. */
	bool hearsNotifications() const { return m_notificationHandler && (!m_notificationListening || m_notificationListening()); }

	/** Device orientation 1..4 (portrait, upside down, landscape, other landscape); others are refused. */
	void deviceOrientationChanged(int deviceOrientation);
	/** The window's events; input goes to the view controller. */
	void handleEvent(const SDL_Event& event);
	/** Events taken from the window and left for the next turns: each turn's input ends at a press or a release. */
	size_t pendingEvents() const;

	void startUpdate();
	void stopUpdate();
	bool isUpdating() const { return m_running; }

	gr::Context* context() const { return m_context; }
	App* app() const { return m_app; }
	LinuxOSInterface* os() const { return m_os.get(); }
	/** Null when headless. */
	LinuxGLView* view() const { return m_glView.get(); }
	LinuxViewController* viewController() const { return m_viewController.get(); }
	const App::Configuration& config() const { return m_config; }
	int surfaceWidth() const { return m_surfaceWidth; }
	int surfaceHeight() const { return m_surfaceHeight; }
	/** Microseconds between ticks: (60 / framerate, at least 1) sixtieths of a second. */
	int64_t tickMicros() const;
	/** The simulated time, in microseconds. */
	static int64_t simulatedTimeMicros();
	/** Moves the simulated clock without running a frame (either way: clocks can step back). */
	static void advanceClock(int64_t micros);

private:

	Options m_options;
	App::Configuration m_config;
	std::unique_ptr<LinuxOSInterface> m_os;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	std::unique_ptr<LinuxGLView> m_glView;
	std::unique_ptr<LinuxViewController> m_viewController;
	lang::Ptr<gr::Context> m_context;
	App* m_app;
	int m_surfaceWidth;
	int m_surfaceHeight;
	/** Where the surface sits in the window's drawable: its bars when the window has the other shape. */
	int m_surfaceLeft = 0;
	int m_surfaceTop = 0;
	/** The start's surface, whose shape a letterboxed window keeps. */
	int m_startShortSide = 1;
	int m_startLongSide = 1;
	int64_t m_oldtime;
	int64_t m_nextTick;
	bool m_allowUpdate;
	/** Follows activation events, which act only on a change. */
	bool m_active;
	bool m_insideUpdate;
	bool m_running;
	bool m_terminated;
	bool m_captureNext;
	bool m_closed;
	int m_exitCode;
	/** Loop turns that ran (or, headless, offered) a frame. */
	int m_ticks;
	lang::System::TimeSource m_previousTimeSource;
	std::function<int64_t()> m_clock;
	std::function<void(int64_t)> m_sleep;
	std::function<void(const std::string&)> m_notificationHandler;
	std::function<bool()> m_notificationListening;
	std::vector<SDL_Event> m_pendingEvents;

	void startUp();
	void makeHeadlessView(int width, int height);
	void makeWindow(int width, int height);
	void update();
	void pace();
	void drainEvents();
	void takeEvent(const SDL_Event& event);
	void windowEvent(const SDL_Event& event);
	void sizeChanged();
	/** Whether the configuration allows a landscape (or a portrait) orientation; an empty list allows all. */
	bool allowsShape(bool landscape) const;
	bool isAllowedDeviceOrientation(int deviceOrientation) const;
	static void present();
	static bool isAllowedContextOrientation(const App::Configuration& config, gr::Context::OrientationType o);
};
}

#endif
