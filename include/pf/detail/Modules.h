#ifndef PF_DETAIL_MODULES_H
#define PF_DETAIL_MODULES_H

#include <pf/VideoPlayerObserver.h>
#include <pf/WebPage.h>
#include <functional>
#include <memory>
#include <string>

// What pf and its loadable modules (pf_webkit, pf_video) see of each other. A module links
// none of the engine's libraries, whose state (the main-thread queue above all) must stay
// one per process: what it needs of the engine comes through ModuleHost.
namespace pf
{
namespace detail
{
/** The engine's side, lent to a module for the rest of the process. */
struct ModuleHost
{
	/** Runs a task on the main-thread queue; any thread may post. */
	std::function<void(std::function<void()> task)> post;
	/** A line of the engine's log. */
	std::function<void(const std::string& line)> log;
	/** The game window's top-left on the screen; false without a window. */
	std::function<bool(int& x, int& y)> locateWindow;
};

/** The web engine of pf_webkit. */
class WebModule
{
public:
	/** Whether pages can be shown here (asked often: starts nothing). */
	virtual bool supported() = 0;
	/** Starts the toolkit on its display once; whether that worked. */
	virtual bool displayAvailable() = 0;
	/** A page with its rectangle in pixels; null when the display cannot be opened. */
	virtual std::unique_ptr<WebPage> makePage(int x, int y, int w, int h) = 0;
	/** The pages' pending work, a bounded amount, never blocking; the thread's GL context is kept. */
	virtual void runPending() = 0;

protected:
	~WebModule() {}
};

/** The videos of one player, in pf_video. Destroying it stops them; no end is reported after. */
class VideoBackend
{
public:
	virtual ~VideoBackend() {}
	/**
	 * Starts the (readable) movie; false when the player does not start. The end
	 * reaches the observer (may be null) through the main-thread queue. window: the
	 * X11 window to draw into, 0 for none.
	 */
	virtual bool play(const std::string& path, VideoPlayerObserver* observer, unsigned long window) = 0;
	virtual int playing() const = 0;
};

/** The video player maker of pf_video. */
class VideoModule
{
public:
	virtual std::unique_ptr<VideoBackend> makePlayer() = 0;

protected:
	~VideoModule() {}
};
}
}

// Each module's one entry point; the host outlives every call into the module.
extern "C"
{
typedef pf::detail::WebModule* (*EnginePfWebkitEntry)(const pf::detail::ModuleHost* host);
typedef pf::detail::VideoModule* (*EnginePfVideoEntry)(const pf::detail::ModuleHost* host);
}

// The entry names end in the version of this interface, ENGINE_MODULE_VERSION (set by the
// build from these headers and the compiler): a module built against another one has other
// names and is refused by name, before anything of it runs.
#define ENGINE_PF_JOIN_(a, b) a##b
#define ENGINE_PF_JOIN(a, b) ENGINE_PF_JOIN_(a, b)
#define ENGINE_PF_TEXT_(a) #a
#define ENGINE_PF_TEXT(a) ENGINE_PF_TEXT_(a)
#define ENGINE_PF_WEBKIT_ENTRY_PREFIX "engine_pf_webkit_module_"
#define ENGINE_PF_VIDEO_ENTRY_PREFIX "engine_pf_video_module_"
#define ENGINE_PF_WEBKIT_ENTRY_FUNCTION ENGINE_PF_JOIN(engine_pf_webkit_module_, ENGINE_MODULE_VERSION)
#define ENGINE_PF_VIDEO_ENTRY_FUNCTION ENGINE_PF_JOIN(engine_pf_video_module_, ENGINE_MODULE_VERSION)
#define ENGINE_PF_WEBKIT_ENTRY ENGINE_PF_TEXT(ENGINE_PF_WEBKIT_ENTRY_FUNCTION)
#define ENGINE_PF_VIDEO_ENTRY ENGINE_PF_TEXT(ENGINE_PF_VIDEO_ENTRY_FUNCTION)

#endif
