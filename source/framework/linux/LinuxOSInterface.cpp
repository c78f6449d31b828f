#include <framework/linux/LinuxOSInterface.h>
#include <framework/App.h>
#include <framework/linux/LinuxGLView.h>
#include <framework/linux/LinuxHost.h>
#include <SDL.h>

namespace framework
{
LinuxOSInterface::LinuxOSInterface(LinuxHost* host) :
	m_host(host),
	m_orientation(gr::Context::ORIENTATION_PORTRAIT),
	m_updateStopped(false)
{
}

void LinuxOSInterface::loadShaders(const std::string&, bool) {}

std::string LinuxOSInterface::getDefaultDataPath()
{
	return m_defaultDataPath;
}

void LinuxOSInterface::setResolution(int width, int height)
{
	if (gr::Context* context = m_host->context())
		context->reset(width, height);
	if (App::initialized())
		App::get()->resolutionChanged();
}

void LinuxOSInterface::setOrientation(gr::Context::OrientationType orientation)
{
	m_orientation = orientation;
	gr::Context* context = m_host->context();
	if (!context || context->orientation() == orientation)
		return;
	context->setOrientation(orientation);
	// The screen is reported portrait-shaped; the context swaps for landscape.
	const int w = m_host->surfaceWidth(), h = m_host->surfaceHeight();
	setResolution(w < h ? w : h, w < h ? h : w);
	if (App::initialized())
		App::get()->orientationChanged();
}

void LinuxOSInterface::allowSleep(bool allow)
{
	if (!m_host->view())
		return;
	if (allow)
		SDL_EnableScreenSaver();
	else
		SDL_DisableScreenSaver();
}

bool LinuxOSInterface::isSilentProfile()
{
	return false;
}

void LinuxOSInterface::startUpdate()
{
	m_updateStopped = false;
	m_host->startUpdate();
}

void LinuxOSInterface::stopUpdate()
{
	m_updateStopped = true;
	m_host->stopUpdate();
}

void LinuxOSInterface::setFullscreen(bool fullscreen)
{
	if (LinuxGLView* view = m_host->view())
		view->setFullscreen(fullscreen);
}

bool LinuxOSInterface::isFullscreen()
{
	LinuxGLView* view = m_host->view();
	return view ? view->isFullscreen() : true;
}

bool LinuxOSInterface::captureMouse(bool capture)
{
	if (LinuxGLView* view = m_host->view())
		view->setGrab(capture);
	return true;
}

bool LinuxOSInterface::isMouseCaptured()
{
	LinuxGLView* view = m_host->view();
	return view ? view->isGrabbed() : false;
}

void LinuxOSInterface::setMousePosition(int x, int y)
{
	if (LinuxGLView* view = m_host->view())
		view->warpMouse(x, y);
}

void LinuxOSInterface::setCursor(const std::string&) {}
}
