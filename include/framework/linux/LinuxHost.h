#ifndef FRAMEWORK_LINUX_LINUXHOST_H
#define FRAMEWORK_LINUX_LINUXHOST_H

#include <framework/App.h>
#include <framework/linux/LinuxOSInterface.h>
#include <gr/Context.h>
#include <gr/gl/EGLHeadlessView.h>
#include <lang/Ptr.h>
#include <lang/System.h>
#include <cstdint>
#include <memory>
#include <string>

namespace framework
{
/**
 * The host without a display: an EGL surface of its own, frames of
 * 1/framerate s on a simulated clock, the last frame optionally captured
 * to an image file from the context's present callback.
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
	};

	/**
	 * The start-up: roots, configure, view and context, init. Exceptions of
	 * the game's construction pass to the caller after the host is torn down.
	 */
	explicit LinuxHost(const Options& options);
	/** Terminates, if not done yet. */
	~LinuxHost();

	LinuxHost(const LinuxHost&) = delete;
	LinuxHost& operator=(const LinuxHost&) = delete;

	void becomeActive();
	void resignActive();
	/** One tick of the frame loop: the simulated clock advances by 1/framerate first. */
	void tick();
	/** Becomes active, runs frames (stopping early when asked to), terminates. */
	void run(int frames);
	/** Stops the loop, deletes the App (which saves); the context must then be the host's alone. */
	void terminate();

	/** Asks a running loop to stop before its next frame (safe from a signal handler). */
	static void requestStop();

	void startUpdate();
	void stopUpdate();
	bool isUpdating() const { return m_running; }

	gr::Context* context() const { return m_context; }
	App* app() const { return m_app; }
	LinuxOSInterface* os() const { return m_os.get(); }
	const App::Configuration& config() const { return m_config; }
	int surfaceWidth() const { return m_surfaceWidth; }
	int surfaceHeight() const { return m_surfaceHeight; }
	/** The simulated time, in microseconds. */
	static int64_t simulatedTimeMicros();
	/** Moves the simulated clock without running a frame (either way: clocks can step back). */
	static void advanceClock(int64_t micros);

private:
	Options m_options;
	App::Configuration m_config;
	std::unique_ptr<LinuxOSInterface> m_os;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
	App* m_app;
	int m_surfaceWidth;
	int m_surfaceHeight;
	int64_t m_oldtime;
	bool m_allowUpdate;
	bool m_insideUpdate;
	bool m_running;
	bool m_terminated;
	bool m_captureNext;
	lang::System::TimeSource m_previousTimeSource;

	void update();
	static void present();
	static bool isAllowedContextOrientation(const App::Configuration& config, gr::Context::OrientationType o);
};
}

#endif
