// The window's events at the Linux host: closing, activation, size and orientation; input goes to the view controller.
#include <framework/linux/LinuxHost.h>
#include <gr/gl/EGLHeadlessView.h>
#include <algorithm>
#include <SDL.h>

namespace framework
{
void LinuxHost::drainEvents()
{
	SDL_Event event;
	while (!stopping() && SDL_PollEvent(&event))
		handleEvent(event);
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
	if ((w == m_surfaceWidth && h == m_surfaceHeight) || w <= 0 || h <= 0)
		return;
	m_surfaceWidth = w;
	m_surfaceHeight = h;
	// Read as a portrait device reads its screen; the context swaps for landscape.
	m_os->setResolution(std::min(w, h), std::max(w, h));
}
}
