#ifndef FRAMEWORK_LINUX_LINUXGLVIEW_H
#define FRAMEWORK_LINUX_LINUXGLVIEW_H

#include <gr/Context.h>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;
union SDL_Event;

namespace framework
{
/**
 * The one window the game draws in: an SDL2 window with an OpenGL ES
 * context, chosen from the configuration's renderer list. The on-screen
 * frame buffer is the window's own (name 0).
 */
class LinuxGLView
{
public:
	/**
	 * Makes the context for the renderer being tried (0: ES 1.1, 1: ES 2.0),
	 * its attributes already set; null when that API is not available.
	 */
	typedef std::function<void*(SDL_Window* window, int renderer)> ContextFactory;

	/**
	 * Opens a hidden, fixed-size window whose drawable is width x height.
	 * bits 32 asks 8-bit RGBA, anything else 5/6/5 (as minimums); depth adds
	 * a 16-bit depth buffer. Throws lang::Exception "No renderer was chosen"
	 * when no entry of the list gives a context.
	 */
	LinuxGLView(const std::string& title, int width, int height, int bits, bool depth,
		const std::vector<gr::Context::PlatformType>& renderers, const ContextFactory& factory = ContextFactory());
	~LinuxGLView();

	LinuxGLView(const LinuxGLView&) = delete;
	LinuxGLView& operator=(const LinuxGLView&) = delete;

	SDL_Window* window() const { return m_window; }
	unsigned windowID() const;
	gr::Context::PlatformType selectedRenderer() const { return m_selectedRenderer; }

	void show();
	/** Asks for the keyboard focus. */
	void takeFocus();
	/** Swaps the window's buffers. */
	void present();

	int drawableWidth() const;
	int drawableHeight() const;
	/** Drawable pixels per window unit. */
	float contentScale() const;

	void setFullscreen(bool fullscreen);
	bool isFullscreen() const;
	void setGrab(bool grab);
	bool isGrabbed() const;
	/** x and y in the game's surface pixels. */
	void warpMouse(int x, int y);
	/** Where the game's surface starts in the drawable (a letterbox's bars), in drawable pixels. */
	void setSurfaceOrigin(int left, int top)
	{
		m_surfaceLeft = left;
		m_surfaceTop = top;
	}
	int surfaceLeft() const { return m_surfaceLeft; }
	int surfaceTop() const { return m_surfaceTop; }

	/** A modal message box over the window; the index of the button pressed, or -1. */
	int showMessageBox(const std::string& title, const std::string& message, const std::vector<std::string>& buttons);
	/** The window's top-left on the screen. */
	void screenPosition(int& x, int& y) const;
	/** The window's X11 id, for drawing another toolkit's picture into it; 0 on other video drivers. */
	unsigned long x11Window() const;

	/**
	 * Whether the window has been destroyed by something else (an X11 client, a failing window
	 * manager), seen in this event or earlier. From then on nothing is drawn into it.
	 */
	bool isDestroyedBy(const SDL_Event& event);
	bool isDestroyed() const { return m_destroyed; }
	/** Its requests answer that it is gone. */
	void markDestroyed() { m_destroyed = true; }

private:
	SDL_Window* m_window;
	void* m_context;
	gr::Context::PlatformType m_selectedRenderer;
	/** Set while the window is watched for its destruction (X11 only). */
	unsigned long m_x11Window;
	void* m_x11Display = nullptr;
	bool m_destroyed;
	int m_surfaceLeft = 0;
	int m_surfaceTop = 0;

	void watchForDestruction();
};
}

#endif
