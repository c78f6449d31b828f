// The frame loop of the Linux host: ticks, the frame update, pacing and present.
#include <framework/linux/LinuxHost.h>
#include <gr/gl/EGLHeadlessView.h>
#include <algorithm>
#include <csignal>
#include <ctime>
#include <SDL.h>

namespace framework
{
namespace detail
{
extern int64_t s_simulatedTime;
extern LinuxHost* s_currentHost;

int64_t monotonicMicros()
{
	timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleepMicros(int64_t micros)
{
	if (micros <= 0)
		return;
	timespec ts;
	ts.tv_sec = static_cast<time_t>(micros / 1000000);
	ts.tv_nsec = static_cast<long>(micros % 1000000) * 1000;
	// A signal cuts the sleep short; the loop then sees the stop request.
	nanosleep(&ts, nullptr);
}
}

int64_t LinuxHost::tickMicros() const
{
	const int ticks = m_config.framerate >= 1 ? std::max(1, 60 / m_config.framerate) : 1;
	return ticks * int64_t(1000000) / 60;
}

bool LinuxHost::tick()
{
	if (m_terminated)
		return false;
	if (m_options.servicePump)
		m_options.servicePump(*this);
	if (stopping())
		return false;
	if (!m_glView && !m_running && App::initialized())
	{
		// Stopped without a window: no frame is drawn or counted; the services' tasks may restart it.
		detail::sleepMicros(5000);
		return !stopping();
	}
	if (!m_glView)
	{
		const int rate = m_config.framerate >= 1 ? m_config.framerate : 60;
		detail::s_simulatedTime += 1000000 / rate;
		++m_ticks;
		update();
		return !stopping();
	}
	drainEvents();
	if (stopping())
		return false;
	if (m_running)
	{
		++m_ticks;
		update();
		pace();
	}
	else if (m_pendingEvents.empty())
	{
		// Stopped: no frames, the loop waits for the events that may restart it.
		SDL_Event event;
		if (SDL_WaitEventTimeout(&event, 100))
		{
			takeEvent(event);
			drainEvents();
		}
	}
	return !stopping();
}

void LinuxHost::pace()
{
	const int64_t interval = tickMicros();
	const int64_t now = m_clock();
	m_nextTick += interval;
	// More than a tick behind: start afresh rather than run frames back to back.
	if (m_nextTick < now - interval)
		m_nextTick = now;
	if (m_nextTick > now)
		m_sleep(m_nextTick - now);
}

void LinuxHost::update()
{
	if (m_insideUpdate || !m_running)
		return;
	m_insideUpdate = true;
	const int64_t now = m_clock();
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

int LinuxHost::run(int frames)
{
	const bool untilClosed = m_glView && frames <= 0;
	while ((untilClosed || m_ticks < frames) && !stopping())
	{
		m_captureNext = !m_options.captureFile.empty() && m_ticks == frames - 1;
		tick();
	}
	m_captureNext = false;
	terminate();
	return m_exitCode;
}

void LinuxHost::present()
{
	LinuxHost* host = detail::s_currentHost;
	// Read before the swap, which leaves the back buffer undefined.
	if (host && host->m_captureNext && host->m_context)
	{
		host->m_captureNext = false;
		host->m_context->capture(host->m_options.captureFile);
	}
	if (host && host->m_glView)
		host->m_glView->present();
	else
		gr::gl::EGLHeadlessView::presentCurrent();
}
}
