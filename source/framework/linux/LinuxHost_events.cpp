// The window's events at the Linux host: closing, activation, size and orientation; input goes to the view controller.
#include <framework/linux/LinuxHost.h>
#include <gr/gl/EGLHeadlessView.h>
#include <algorithm>
#include <SDL.h>

namespace framework
{
namespace
{
// A press or a release of the left button or a finger: the game reads presses once a frame.
bool isTouchEdge(const SDL_Event& event)
{
	switch (event.type)
	{
	case SDL_MOUSEBUTTONDOWN:
	case SDL_MOUSEBUTTONUP:
		return event.button.button == SDL_BUTTON_LEFT && event.button.which != SDL_TOUCH_MOUSEID;
	case SDL_FINGERDOWN:
	case SDL_FINGERUP:
		return true;
	default:
		return false;
	}
}

bool isPress(const SDL_Event& event)
{
	return (event.type == SDL_MOUSEBUTTONDOWN && event.button.which != SDL_TOUCH_MOUSEID) || event.type == SDL_FINGERDOWN;
}
}

size_t LinuxHost::pendingEvents() const
{
	return m_pendingEvents.size();
}

void LinuxHost::takeEvent(const SDL_Event& event)
{
	// The window system's own message lives only until the next poll: it is read at once.
	if (event.type == SDL_SYSWMEVENT)
		handleEvent(event);
	else
		m_pendingEvents.push_back(event);
}

void LinuxHost::drainEvents()
{
	SDL_Event event;
	while (SDL_PollEvent(&event))
		takeEvent(event);
	size_t handled = 0;
	while (handled < m_pendingEvents.size() && !stopping())
	{
		const SDL_Event next = m_pendingEvents[handled++];
		handleEvent(next);
		// The rest waits for the next frame, so that the game sees each press and release by itself and
		// where it happened: a press, a drag and a release taken together would read as a tap at the end.
		if (isTouchEdge(next))
			break;
	}
	m_pendingEvents.erase(m_pendingEvents.begin(), m_pendingEvents.begin() + static_cast<std::ptrdiff_t>(handled));
}

void LinuxHost::handleEvent(const SDL_Event& event)
{
	switch (event.type)
	{
	case SDL_QUIT:
		m_closed = true;
		break;
	case SDL_WINDOWEVENT:
		windowEvent(event);
		break;
	case SDL_SYSWMEVENT:
		// Destroyed from outside: the run ends as after a close, with the saves.
		if (m_glView && m_glView->isDestroyedBy(event))
			m_closed = true;
		break;
	case SDL_DISPLAYEVENT:
		if (event.display.event == SDL_DISPLAYEVENT_ORIENTATION)
		{
			// As the device reports it: 1 portrait, 2 upside down, 3 and 4 landscape; unknown is refused.
			int device = 0;
			switch (event.display.data1)
			{
			case SDL_ORIENTATION_PORTRAIT: device = 1; break;
			case SDL_ORIENTATION_PORTRAIT_FLIPPED: device = 2; break;
			case SDL_ORIENTATION_LANDSCAPE: device = 3; break;
			case SDL_ORIENTATION_LANDSCAPE_FLIPPED: device = 4; break;
			default: break;
			}
			deviceOrientationChanged(device);
		}
		break;
	default:
		// A press on the window without focus: a window manager gives the focus just after it, and without
		// one none comes. Activating first keeps the press, which activation would otherwise forget; the
		// keys follow the press, as a window manager would have them.
		if (m_glView && !m_active && isPress(event))
		{
			becomeActive();
			m_glView->takeFocus();
		}
		if (m_viewController)
			m_viewController->handleEvent(event);
		break;
	}
}

void LinuxHost::windowEvent(const SDL_Event& event)
{
	if (!m_glView || event.window.windowID != m_glView->windowID())
		return;
	switch (event.window.event)
	{
	case SDL_WINDOWEVENT_FOCUS_GAINED:
	case SDL_WINDOWEVENT_RESTORED:
		becomeActive();
		break;
	case SDL_WINDOWEVENT_FOCUS_LOST:
	case SDL_WINDOWEVENT_MINIMIZED:
		resignActive();
		break;
	case SDL_WINDOWEVENT_SIZE_CHANGED:
		sizeChanged();
		break;
	case SDL_WINDOWEVENT_CLOSE:
		m_closed = true;
		break;
	default:
		break;
	}
}

void LinuxHost::sizeChanged()
{
	const int w = m_glView->drawableWidth();
	const int h = m_glView->drawableHeight();
	if (w <= 0 || h <= 0)
		return;
	// A window of the shape the game does not take: the game keeps its start's shape, as large as fits,
	// centred between black bars.
	int sw = w, sh = h;
	if (h > w && !allowsShape(false))
		sh = std::max(1, std::min(h, w * m_startShortSide / m_startLongSide));
	else if (w > h && !allowsShape(true))
		sw = std::max(1, std::min(w, h * m_startShortSide / m_startLongSide));
	const int left = (w - sw) / 2;
	const int top = (h - sh) / 2;
	if (sw == m_surfaceWidth && sh == m_surfaceHeight && left == m_surfaceLeft && top == m_surfaceTop)
		return;
	m_surfaceWidth = sw;
	m_surfaceHeight = sh;
	m_surfaceLeft = left;
	m_surfaceTop = top;
	m_glView->setSurfaceOrigin(left, top);
	m_context->setScreenPlacement(left, top, w, h);
	// Read as a portrait device reads its screen; the context swaps for landscape.
	m_os->setResolution(std::min(sw, sh), std::max(sw, sh));
}
}
