#include "AnalyticsHeartBeater.h"
#include "AnalyticsUtil.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsSession.h>
#include <lang/Throwable.h>
#include <chrono>

namespace analytics
{
using detail::state;

AnalyticsHeartBeater& AnalyticsHeartBeater::createAndStartInstance(double intervalSeconds)
{
	std::lock_guard<std::mutex> lock(state().heartBeaterLock);
	if (!state().heartBeater)
		state().heartBeater.reset(new AnalyticsHeartBeater(intervalSeconds));
	return *state().heartBeater;
}

AnalyticsHeartBeater* AnalyticsHeartBeater::instance()
{
	std::lock_guard<std::mutex> lock(state().heartBeaterLock);
	return state().heartBeater.get();
}

AnalyticsHeartBeater::AnalyticsHeartBeater(double intervalSeconds) :
	m_interval(intervalSeconds > 0 ? intervalSeconds : 1.0),
	m_stopping(false)
{
	m_thread = std::thread(&AnalyticsHeartBeater::run, this);
}

AnalyticsHeartBeater::~AnalyticsHeartBeater()
{
	stop();
}

void AnalyticsHeartBeater::stop()
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_stopping = true;
	}
	m_wake.notify_all();
	if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
		m_thread.join();
}

void AnalyticsHeartBeater::run()
{
	const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(m_interval));
	auto next = std::chrono::steady_clock::now() + period;
	std::unique_lock<std::mutex> lock(m_lock);
	while (!m_wake.wait_until(lock, next, [this] { return m_stopping; }))
	{
		lock.unlock();
		heartBeat();
		lock.lock();
		next += period;
	}
}

void AnalyticsHeartBeater::heartBeat()
{
	++m_beats;
	// Nothing listens to the tick's notification; what it is for here is the save.
	detail::guarded([] {
		if (std::shared_ptr<AnalyticsSession> s = AnalyticsSession::currentSession())
			s->saveIfChanged();
	});
}
}
