// Start-up, activation, termination and the platform's entries of the Linux host.
#include <framework/linux/LinuxHost.h>
#include <gr/gl/EGLHeadlessView.h>
#include <SDL.h>
#include <framework/AppActivationListener.h>
#include <gr/GraphicsException.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/System.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <algorithm>
#include <csignal>
#include <exception>
#include <string>

namespace framework
{
namespace detail
{
volatile std::sig_atomic_t s_stopRequested = 0;
int64_t s_simulatedTime = 0;
LinuxHost* s_currentHost = nullptr;
int64_t monotonicMicros();
void sleepMicros(int64_t micros);
}

using detail::s_stopRequested;
using detail::s_simulatedTime;
using detail::s_currentHost;

namespace
{
int64_t simulatedSource()
{
	return s_simulatedTime;
}

bool isLandscape(gr::Context::OrientationType o)
{
	return o == gr::Context::ORIENTATION_LANDSCAPE_RIGHT || o == gr::Context::ORIENTATION_LANDSCAPE_LEFT;
}

// The device's orientation values (1 portrait, 2 upside down, 3 and 4 landscape) as the context's.
gr::Context::OrientationType contextOrientation(int device)
{
	switch (device)
	{
	case 2: return gr::Context::ORIENTATION_PORTRAIT_UPSIDE_DOWN;
	case 3: return gr::Context::ORIENTATION_LANDSCAPE_RIGHT;
	case 4: return gr::Context::ORIENTATION_LANDSCAPE_LEFT;
	default: return gr::Context::ORIENTATION_PORTRAIT;
	}
}
}


LinuxHost::LinuxHost(const Options& options) :
	m_options(options),
	m_app(nullptr),
	m_surfaceWidth(options.width),
	m_surfaceHeight(options.height),
	m_oldtime(0),
	m_nextTick(0),
	m_allowUpdate(true),
	m_active(false),
	m_insideUpdate(false),
	m_running(false),
	m_terminated(false),
	m_captureNext(false),
	m_closed(false),
	m_exitCode(0),
	m_ticks(0),
	m_previousTimeSource(nullptr)
{
	if (options.window)
	{
		m_clock = options.clock ? options.clock : std::function<int64_t()>(&detail::monotonicMicros);
		m_sleep = options.sleep ? options.sleep : std::function<void(int64_t)>(&detail::sleepMicros);
	}
	else
	{
		s_simulatedTime = lang::System::realTimeMicros();
		m_previousTimeSource = lang::System::setTimeSource(&simulatedSource);
		m_clock = &lang::System::currentTimeMicros;
	}
	s_currentHost = this;
	try
	{
		if (options.url.empty())
		{
			lang::Debug::printf("UIApplication launching with options...\n");
			startUp();
		}
		else
		{
			lang::Debug::printf("UIApplication invoked via URL...\n");
			startUp();
			openURL(options.url);
		}
		// As a device after launch.
		becomeActive();
	}
	catch (...)
	{
		try
		{
			terminate();
		}
		catch (...)
		{
		}
		m_context = nullptr;
		m_view = nullptr;
		m_viewController.reset();
		if (m_glView && m_options.windowServices)
			m_options.windowServices(nullptr);
		m_glView.reset();
		s_currentHost = nullptr;
		if (!options.window)
			lang::System::setTimeSource(m_previousTimeSource);
		throw;
	}
}

LinuxHost::~LinuxHost()
{
	try
	{
		terminate();
	}
	catch (lang::Exception& e)
	{
		lang::Debug::printf("Exception at termination: %s\n", e.getMessage().format().c_str());
	}
	catch (...)
	{
		lang::Debug::printf("Unknown exception at termination\n");
	}
	if (s_currentHost == this)
		s_currentHost = nullptr;
	if (!m_options.window)
		lang::System::setTimeSource(m_previousTimeSource);
}

void LinuxHost::startUp()
{
	m_os.reset(new LinuxOSInterface(this));
	io::detail::setAppdataPath(m_options.userRoot);
	io::detail::setBundlePath(m_options.dataRoot);

	// The screen as a portrait device reports it; a wider surface stands for a landscape status bar.
	const int shortSide = std::min(m_options.width, m_options.height);
	const int longSide = std::max(m_options.width, m_options.height);
	m_startShortSide = std::max(1, shortSide);
	m_startLongSide = std::max(1, longSide);
	m_config.width = shortSide;
	m_config.height = longSide;
	m_config.orientation = m_options.width > m_options.height ? gr::Context::ORIENTATION_LANDSCAPE_RIGHT : gr::Context::ORIENTATION_PORTRAIT;
	configure(m_config, *m_os);
	if (!m_config.autoOrientations.empty() && !isAllowedContextOrientation(m_config, m_config.orientation))
	{
		// Another orientation of the same shape, or for a square either; a size of the other shape is
		// the caller's mistake, told rather than turned.
		const bool landscape = isLandscape(m_config.orientation);
		const bool square = m_options.width == m_options.height;
		const auto& allowed = m_config.autoOrientations;
		const auto same = std::find_if(allowed.begin(), allowed.end(), [&](gr::Context::OrientationType o) {
			return isAllowedContextOrientation(m_config, o) && (square || isLandscape(o) == landscape);
		});
		if (same == allowed.end())
			lang::throwError(lang::Exception(lang::Format("The game is {0}: a {1}x{2} surface is {3}; ask for {2}x{1}",
				landscape ? "portrait" : "landscape", m_options.width, m_options.height, landscape ? "landscape" : "portrait")));
		m_config.orientation = *same;
	}

	// The surface takes the final orientation's shape.
	const bool landscape = isLandscape(m_config.orientation);
	m_surfaceWidth = landscape ? longSide : shortSide;
	m_surfaceHeight = landscape ? shortSide : longSide;

	if (m_options.window)
		makeWindow(m_surfaceWidth, m_surfaceHeight);
	else
		makeHeadlessView(m_surfaceWidth, m_surfaceHeight);
	const gr::Context::PlatformType renderer = m_options.window ? m_glView->selectedRenderer()
		: static_cast<gr::Context::PlatformType>(m_view->glesVersion() - 1);

	// Made portrait-shaped: the context swaps the sides for landscape, so it equals the surface.
	if (renderer == gr::Context::PLATFORM_GLES1)
		m_context = gr::gles1::GL_createContext(shortSide, longSide, m_config.orientation, &LinuxHost::present);
	else if (renderer == gr::Context::PLATFORM_GLES2)
		m_context = gr::gles2::GL_createContext(shortSide, longSide, m_config.orientation, &LinuxHost::present);
	else
		lang::throwError(lang::Exception(lang::Format("Unsupported renderer {0}", static_cast<int>(renderer))));

	if (m_glView)
		m_glView->show();
	m_app = init(m_os.get(), m_context);
	LANG_ASSERT(m_app != nullptr);
	if (m_glView)
		m_app->setMouseAvailable(true);
}

void LinuxHost::makeHeadlessView(int width, int height)
{
	// When every renderer fails, their causes are the message, not only that none was chosen.
	std::string causes;
	for (gr::Context::PlatformType r : m_config.renderer)
	{
		if (r != gr::Context::PLATFORM_GLES1 && r != gr::Context::PLATFORM_GLES2)
			continue;
		try
		{
			m_view = new gr::gl::EGLHeadlessView(r == gr::Context::PLATFORM_GLES1 ? 1 : 2, width, height);
			return;
		}
		catch (gr::GraphicsException& e)
		{
			const std::string cause = e.getMessage().format();
			lang::Debug::printf("Renderer %d not available: %s\n", static_cast<int>(r), cause.c_str());
			if (causes.find(cause) == std::string::npos)
				causes += (causes.empty() ? "" : "; ") + cause;
		}
	}
	if (causes.empty())
		lang::throwError(lang::Exception(lang::Format("No renderer was chosen")));
	lang::throwError(lang::Exception(lang::Format("No renderer was chosen: {0}", causes)));
}

void LinuxHost::makeWindow(int width, int height)
{
	const std::string title = m_config.name.empty() ? "engine" : m_config.name;
	m_glView.reset(new LinuxGLView(title, width, height, m_config.bits, m_config.depthbuffer, m_config.renderer, m_options.contextFactory));
	m_viewController.reset(new LinuxViewController(m_glView.get()));
	if (m_options.windowServices)
		m_options.windowServices(m_glView.get());
	m_surfaceWidth = m_glView->drawableWidth();
	m_surfaceHeight = m_glView->drawableHeight();
}

bool LinuxHost::isAllowedContextOrientation(const App::Configuration& config, gr::Context::OrientationType o)
{
	// A phone never turns upside down.
	if (o == gr::Context::ORIENTATION_PORTRAIT_UPSIDE_DOWN)
		return false;
	return std::find(config.autoOrientations.begin(), config.autoOrientations.end(), o) != config.autoOrientations.end();
}

bool LinuxHost::allowsShape(bool landscape) const
{
	const auto& allowed = m_config.autoOrientations;
	return allowed.empty() || std::any_of(allowed.begin(), allowed.end(), [&](gr::Context::OrientationType o) {
		return isAllowedContextOrientation(m_config, o) && isLandscape(o) == landscape;
	});
}

bool LinuxHost::isAllowedDeviceOrientation(int device) const
{
	if (device < 1 || device > 4)
		return false;
	return isAllowedContextOrientation(m_config, contextOrientation(device));
}

void LinuxHost::deviceOrientationChanged(int device)
{
	if (isAllowedDeviceOrientation(device))
		m_os->setOrientation(contextOrientation(device));
}

void LinuxHost::becomeActive()
{
	if (m_active || m_terminated)
		return;
	m_active = true;
	m_allowUpdate = true;
	m_oldtime = m_clock();
	if (!m_os->isUpdateStopped())
		startUpdate();
	AppActivationListeners::didBecomeActive();
}

void LinuxHost::resignActive()
{
	if (!m_active)
		return;
	m_active = false;
	m_allowUpdate = false;
	if (!m_os->isUpdateStopped())
		stopUpdate();
	AppActivationListeners::willResignActive();
}

void LinuxHost::startUpdate()
{
	if (!m_allowUpdate)
		return;
	if (m_viewController)
		m_viewController->resetTouches();
	m_running = true;
	m_nextTick = m_clock();
	if (App::initialized())
	{
		App::get()->activate(true);
		App::get()->activateAudio(true);
	}
}

void LinuxHost::stopUpdate()
{
	if (m_viewController)
		m_viewController->resetTouches();
	m_running = false;
	if (App::initialized())
	{
		App::get()->activate(false);
		App::get()->activateAudio(false);
	}
}

void LinuxHost::openURL(const std::string& url)
{
	if (App::initialized())
		App::get()->loadFromUrl(url);
}

void LinuxHost::receivedLocalNotification(const std::string& name)
{
	if (!name.empty() && m_notificationHandler)
		m_notificationHandler(name);
}

void LinuxHost::terminate()
{
	if (m_terminated)
		return;
	m_terminated = true;
	m_active = false;
	m_allowUpdate = false;
	// The App is deleted (and saves) even when its last pause fails; the failure is passed on after.
	std::exception_ptr failure;
	try
	{
		if (m_os && !m_os->isUpdateStopped())
			stopUpdate();
	}
	catch (...)
	{
		failure = std::current_exception();
	}
	m_config = App::Configuration();
	if (App::initialized())
	{
		m_exitCode = App::get()->quitRequested() ? App::get()->exitCode() : 0;
		App::deleteApp();
	}
	m_app = nullptr;
	if (m_context)
	{
		// Everything the game made on the context has let go of it by now.
		LANG_ASSERT(m_context->references() == 1);
		m_context = nullptr;
	}
	m_view = nullptr;
	m_viewController.reset();
	if (m_glView && m_options.windowServices)
		m_options.windowServices(nullptr);
	m_glView.reset();
	// The request is used up; one that came during start-up has ended this host's run.
	s_stopRequested = 0;
	if (failure)
		std::rethrow_exception(failure);
}

bool LinuxHost::stopping() const
{
	return s_stopRequested || m_closed || m_terminated || (m_glView && m_glView->isDestroyed()) ||
		(App::initialized() && App::get()->quitRequested());
}

void LinuxHost::requestStop()
{
	s_stopRequested = 1;
}

int64_t LinuxHost::simulatedTimeMicros()
{
	return s_simulatedTime;
}

void LinuxHost::advanceClock(int64_t micros)
{
	s_simulatedTime += micros;
}
}
