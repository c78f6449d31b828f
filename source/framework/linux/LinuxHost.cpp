#include <framework/linux/LinuxHost.h>
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

namespace framework
{
namespace
{
volatile std::sig_atomic_t s_stopRequested = 0;
int64_t s_simulatedTime = 0;
LinuxHost* s_current = nullptr;

int64_t simulatedSource()
{
	return s_simulatedTime;
}

bool isLandscape(gr::Context::OrientationType o)
{
	return o == gr::Context::ORIENTATION_LANDSCAPE_RIGHT || o == gr::Context::ORIENTATION_LANDSCAPE_LEFT;
}
}

LinuxHost::LinuxHost(const Options& options) :
	m_options(options),
	m_app(nullptr),
	m_surfaceWidth(options.width),
	m_surfaceHeight(options.height),
	m_oldtime(0),
	m_allowUpdate(true),
	m_insideUpdate(false),
	m_running(false),
	m_terminated(false),
	m_captureNext(false),
	m_previousTimeSource(nullptr)
{
	s_stopRequested = 0;
	s_simulatedTime = lang::System::realTimeMicros();
	m_previousTimeSource = lang::System::setTimeSource(&simulatedSource);
	m_os.reset(new LinuxOSInterface(this));

	io::detail::setAppdataPath(options.userRoot);
	io::detail::setBundlePath(options.dataRoot);

	m_config.width = options.width;
	m_config.height = options.height;
	m_config.orientation = options.width > options.height ? gr::Context::ORIENTATION_LANDSCAPE_RIGHT : gr::Context::ORIENTATION_PORTRAIT;
	configure(m_config, *m_os);
	if (!m_config.autoOrientations.empty() && !isAllowedContextOrientation(m_config, m_config.orientation))
		m_config.orientation = m_config.autoOrientations.front();

	const int shortSide = std::min(options.width, options.height);
	const int longSide = std::max(options.width, options.height);
	const bool landscape = isLandscape(m_config.orientation);
	m_surfaceWidth = landscape ? longSide : shortSide;
	m_surfaceHeight = landscape ? shortSide : longSide;

	s_current = this;
	try
	{
		int renderer = -1;
		for (gr::Context::PlatformType r : m_config.renderer)
		{
			try
			{
				m_view = new gr::gl::EGLHeadlessView(r == gr::Context::PLATFORM_GLES1 ? 1 : 2, m_surfaceWidth, m_surfaceHeight);
				renderer = r;
				break;
			}
			catch (gr::GraphicsException& e)
			{
				lang::Debug::printf("Renderer %d not available: %s\n", static_cast<int>(r), e.getMessage().format().c_str());
			}
		}
		if (renderer < 0)
			lang::throwError(lang::Exception(lang::Format("No renderer of the configuration is available")));

		// Made portrait-shaped: the context swaps the sides for landscape, so it equals the surface.
		const int w = landscape ? m_surfaceHeight : m_surfaceWidth;
		const int h = landscape ? m_surfaceWidth : m_surfaceHeight;
		if (renderer == gr::Context::PLATFORM_GLES1)
			m_context = gr::gles1::GL_createContext(w, h, m_config.orientation, &LinuxHost::present);
		else if (renderer == gr::Context::PLATFORM_GLES2)
			m_context = gr::gles2::GL_createContext(w, h, m_config.orientation, &LinuxHost::present);
		else
			lang::throwError(lang::Exception(lang::Format("Unsupported renderer {0}", renderer)));

		m_app = init(m_os.get(), m_context);
		LANG_ASSERT(m_app != nullptr);
	}
	catch (...)
	{
		m_context = nullptr;
		m_view = nullptr;
		s_current = nullptr;
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
	if (s_current == this)
		s_current = nullptr;
	lang::System::setTimeSource(m_previousTimeSource);
}

bool LinuxHost::isAllowedContextOrientation(const App::Configuration& config, gr::Context::OrientationType o)
{
	// A phone never turns upside down.
	if (o == gr::Context::ORIENTATION_PORTRAIT_UPSIDE_DOWN)
		return false;
	return std::find(config.autoOrientations.begin(), config.autoOrientations.end(), o) != config.autoOrientations.end();
}

void LinuxHost::becomeActive()
{
	m_allowUpdate = true;
	m_oldtime = lang::System::currentTimeMicros();
	if (!m_os->isUpdateStopped())
		startUpdate();
}

void LinuxHost::resignActive()
{
	m_allowUpdate = false;
	if (!m_os->isUpdateStopped())
		stopUpdate();
}

void LinuxHost::startUpdate()
{
	if (!m_allowUpdate)
		return;
	m_running = true;
	if (App::initialized())
	{
		App::get()->activate(true);
		App::get()->activateAudio(true);
	}
}

void LinuxHost::stopUpdate()
{
	m_running = false;
	if (App::initialized())
	{
		App::get()->activate(false);
		App::get()->activateAudio(false);
	}
}

void LinuxHost::tick()
{
	const int rate = m_config.framerate >= 1 ? m_config.framerate : 60;
	s_simulatedTime += 1000000 / rate;
	update();
}

void LinuxHost::update()
{
	if (m_insideUpdate || !m_running)
		return;
	m_insideUpdate = true;
	const int64_t now = lang::System::currentTimeMicros();
	float dt = static_cast<float>(now - m_oldtime) * 0.000001f;
	m_oldtime = now;
	try
	{
		if (m_context->ready())
		{
			dt = std::min(std::max(dt, 0.f), 0.1f);
			m_context->setTime(m_context->time() + dt);
			m_app->update(dt, m_context, 3);
		}
	}
	catch (...)
	{
		m_insideUpdate = false;
		m_captureNext = false;
		throw;
	}
	m_insideUpdate = false;
}

void LinuxHost::run(int frames)
{
	becomeActive();
	for (int i = 0; i < frames && !s_stopRequested; ++i)
	{
		m_captureNext = (i == frames - 1) && !m_options.captureFile.empty();
		tick();
	}
	m_captureNext = false;
	terminate();
}

void LinuxHost::terminate()
{
	if (m_terminated)
		return;
	m_terminated = true;
	m_allowUpdate = false;
	if (!m_os->isUpdateStopped())
		stopUpdate();
	m_config = App::Configuration();
	if (App::initialized())
		App::deleteApp();
	m_app = nullptr;
	// Everything the game made on the context has let go of it by now.
	LANG_ASSERT(m_context->references() == 1);
	m_context = nullptr;
	m_view = nullptr;
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

void LinuxHost::present()
{
	gr::gl::EGLHeadlessView::presentCurrent();
	LinuxHost* host = s_current;
	if (host && host->m_captureNext && host->m_context)
	{
		host->m_captureNext = false;
		host->m_context->capture(host->m_options.captureFile);
	}
}
}
