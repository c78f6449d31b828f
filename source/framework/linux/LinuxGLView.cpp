#include <framework/linux/LinuxGLView.h>
#include <gr/GraphicsException.h>
#include <gr/gl/EAGLBackbufferFrameBuffer.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

namespace framework
{
namespace
{
#if defined(SDL_VIDEO_DRIVER_X11)
// Xlib, reached through SDL's own load of it: the engine does not link it.
typedef int (*XErrorHandlerCall)(Display*, XErrorEvent*);
typedef XErrorHandlerCall (*XSetErrorHandlerCall)(XErrorHandlerCall);
typedef int (*XSyncCall)(Display*, int);

template <class F>
F xlibCall(const char* name)
{
	return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

// The one window whose requests may fail because something else destroyed it, and the handler before ours.
LinuxGLView* s_watched = nullptr;
XErrorHandlerCall s_previousHandler = nullptr;

int onXError(Display* display, XErrorEvent* error)
{
	if (s_watched && error->resourceid == s_watched->x11Window() &&
		(error->error_code == BadWindow || error->error_code == BadDrawable))
	{
		s_watched->markDestroyed();
		return 0;
	}
	return s_previousHandler ? s_previousHandler(display, error) : 0;
}
#endif

void* createContext(SDL_Window* window, int)
{
	return SDL_GL_CreateContext(window);
}

void setAttributes(int renderer, int bits, bool depth)
{
	SDL_GL_ResetAttributes();
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, renderer == gr::Context::PLATFORM_GLES1 ? 1 : 2);
	SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, renderer == gr::Context::PLATFORM_GLES1 ? 1 : 0);
	SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
	SDL_GL_SetAttribute(SDL_GL_RED_SIZE, bits == 32 ? 8 : 5);
	SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits == 32 ? 8 : 6);
	SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, bits == 32 ? 8 : 5);
	SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, bits == 32 ? 8 : 0);
	SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth ? 16 : 0);
}
}

LinuxGLView::LinuxGLView(const std::string& title, int width, int height, int bits, bool depth,
	const std::vector<gr::Context::PlatformType>& renderers, const ContextFactory& factory) :
	m_window(nullptr),
	m_context(nullptr),
	m_selectedRenderer(gr::Context::PLATFORM_GLES1),
	m_x11Window(0),
	m_destroyed(false)
{
	// Under X11, ES 2.0 would otherwise come from GLX.
	SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
	// A finger must not also click.
	SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
	// The click that brings the focus is the player's first press, not a click to be dropped.
	SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
	if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
		lang::throwError(gr::GraphicsException(lang::Format("SDL video: {0}", SDL_GetError())));

	const ContextFactory make = factory ? factory : ContextFactory(&createContext);
	for (gr::Context::PlatformType renderer : renderers)
	{
		if (renderer != gr::Context::PLATFORM_GLES1 && renderer != gr::Context::PLATFORM_GLES2)
			continue;
		setAttributes(renderer, bits, depth);
		// A fresh window per try: the pixel format is fixed when the window is made.
		m_window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
			SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
		if (m_window)
			m_context = make(m_window, renderer);
		if (m_context)
		{
			m_selectedRenderer = renderer;
			break;
		}
		lang::Debug::printf("Renderer %d not available: %s\n", static_cast<int>(renderer), SDL_GetError());
		if (m_window)
			SDL_DestroyWindow(m_window);
		m_window = nullptr;
	}
	if (!m_context)
	{
		SDL_QuitSubSystem(SDL_INIT_VIDEO);
		lang::throwError(lang::Exception(lang::Format("No renderer was chosen")));
	}
	if (SDL_GL_MakeCurrent(m_window, m_context) != 0)
	{
		const std::string error = SDL_GetError();
		SDL_GL_DeleteContext(m_context);
		SDL_DestroyWindow(m_window);
		SDL_QuitSubSystem(SDL_INIT_VIDEO);
		lang::throwError(gr::GraphicsException(lang::Format("Cannot make the window's context current: {0}", error)));
	}
	EAGLBackbufferFrameBuffer = 0;
	// The loop paces itself by sleeping; a swap that also waited for the display would halve the rate
	// whenever the two fall out of step. Drivers that take no interval answer with an error, ignored.
	SDL_GL_SetSwapInterval(0);

	watchForDestruction();

	// On a scaled desktop the window is made smaller, so the drawable keeps the size asked for.
	const int dw = drawableWidth();
	if (dw > 0 && dw != width)
	{
		const float scale = contentScale();
		SDL_SetWindowSize(m_window, static_cast<int>(width / scale + 0.5f), static_cast<int>(height / scale + 0.5f));
	}
}

LinuxGLView::~LinuxGLView()
{
	if (SDL_GL_GetCurrentContext() == m_context)
		SDL_GL_MakeCurrent(m_window, nullptr);
	SDL_GL_DeleteContext(m_context);
	SDL_DestroyWindow(m_window);
#if defined(SDL_VIDEO_DRIVER_X11)
	if (s_watched == this)
	{
		// The answers to the requests on a window that is gone arrive here, while they are still ours to drop.
		const XSyncCall sync = xlibCall<XSyncCall>("XSync");
		if (sync && m_x11Display)
			sync(static_cast<Display*>(m_x11Display), False);
		const XSetErrorHandlerCall setHandler = xlibCall<XSetErrorHandlerCall>("XSetErrorHandler");
		const XErrorHandlerCall current = setHandler ? setHandler(s_previousHandler) : nullptr;
		// Someone else's handler came after ours: it stays.
		if (setHandler && current != &onXError)
			setHandler(current);
		s_watched = nullptr;
		s_previousHandler = nullptr;
	}
#endif
	SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void LinuxGLView::watchForDestruction()
{
	m_x11Window = 0;
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (!SDL_GetWindowWMInfo(m_window, &info))
		return;
#if defined(SDL_VIDEO_DRIVER_X11)
	if (info.subsystem != SDL_SYSWM_X11 || s_watched)
		return;
	const XSetErrorHandlerCall setHandler = xlibCall<XSetErrorHandlerCall>("XSetErrorHandler");
	if (!setHandler)
		return;
	m_x11Window = static_cast<unsigned long>(info.info.x11.window);
	m_x11Display = info.info.x11.display;
	s_watched = this;
	s_previousHandler = setHandler(&onXError);
	// The window's own X events, among them its destruction.
	SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
}

bool LinuxGLView::isDestroyedBy(const SDL_Event& event)
{
#if defined(SDL_VIDEO_DRIVER_X11)
	if (event.type == SDL_SYSWMEVENT && event.syswm.msg && event.syswm.msg->subsystem == SDL_SYSWM_X11 && m_x11Window &&
		event.syswm.msg->msg.x11.event.type == DestroyNotify && event.syswm.msg->msg.x11.event.xdestroywindow.window == m_x11Window)
		markDestroyed();
#else
	(void)event;
#endif
	return m_destroyed;
}

unsigned LinuxGLView::windowID() const
{
	return SDL_GetWindowID(m_window);
}

void LinuxGLView::show()
{
	SDL_ShowWindow(m_window);
	SDL_RaiseWindow(m_window);
}

void LinuxGLView::takeFocus()
{
	// Drivers without a keyboard focus of their own answer with an error, ignored.
	SDL_SetWindowInputFocus(m_window);
}

void LinuxGLView::present()
{
	if (!m_destroyed)
		SDL_GL_SwapWindow(m_window);
}

int LinuxGLView::drawableWidth() const
{
	int w = 0, h = 0;
	SDL_GL_GetDrawableSize(m_window, &w, &h);
	return w;
}

int LinuxGLView::drawableHeight() const
{
	int w = 0, h = 0;
	SDL_GL_GetDrawableSize(m_window, &w, &h);
	return h;
}

float LinuxGLView::contentScale() const
{
	int w = 0, h = 0;
	SDL_GetWindowSize(m_window, &w, &h);
	return w > 0 ? static_cast<float>(drawableWidth()) / static_cast<float>(w) : 1.f;
}

void LinuxGLView::setFullscreen(bool fullscreen)
{
	SDL_SetWindowFullscreen(m_window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool LinuxGLView::isFullscreen() const
{
	return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void LinuxGLView::setGrab(bool grab)
{
	SDL_SetWindowGrab(m_window, grab ? SDL_TRUE : SDL_FALSE);
}

bool LinuxGLView::isGrabbed() const
{
	return SDL_GetWindowGrab(m_window) == SDL_TRUE;
}

void LinuxGLView::warpMouse(int x, int y)
{
	const float scale = contentScale();
	SDL_WarpMouseInWindow(m_window, static_cast<int>((x + m_surfaceLeft) / scale), static_cast<int>((y + m_surfaceTop) / scale));
}

int LinuxGLView::showMessageBox(const std::string& title, const std::string& message, const std::vector<std::string>& buttons)
{
	std::vector<SDL_MessageBoxButtonData> data;
	for (size_t i = 0; i < buttons.size(); ++i)
		data.push_back({0, static_cast<int>(i), buttons[i].c_str()});
	const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, m_window, title.c_str(), message.c_str(),
		static_cast<int>(data.size()), data.empty() ? nullptr : data.data(), nullptr};
	int pressed = -1;
	if (SDL_ShowMessageBox(&box, &pressed) != 0)
		return -1;
	return pressed;
}

void LinuxGLView::screenPosition(int& x, int& y) const
{
	SDL_GetWindowPosition(m_window, &x, &y);
}

unsigned long LinuxGLView::x11Window() const
{
	if (m_x11Window)
		return m_x11Window;
	SDL_SysWMinfo info;
	SDL_VERSION(&info.version);
	if (!SDL_GetWindowWMInfo(m_window, &info))
		return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
	if (info.subsystem == SDL_SYSWM_X11)
		return static_cast<unsigned long>(info.info.x11.window);
#endif
	return 0;
}
}
