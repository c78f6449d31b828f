#ifndef ANALYTICS_CLASSES_ANALYTICSHEARTBEATER_H
#define ANALYTICS_CLASSES_ANALYTICSHEARTBEATER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace analytics
{
/**
 * The process-wide repeating tick on a thread of its own (the frame loop
 * stops while the main thread sleeps); each tick saves the current session
 * when it changed, so nothing recorded is lost at a crash.
 */
class AnalyticsHeartBeater
{
public:
	/** The first call makes and starts the shared instance; later intervals are ignored. */
	static AnalyticsHeartBeater& createAndStartInstance(double intervalSeconds);
	/** The shared instance, or null. */
	static AnalyticsHeartBeater* instance();

	explicit AnalyticsHeartBeater(double intervalSeconds);
	/** Stops and joins the thread. */
	~AnalyticsHeartBeater();

	void heartBeat();
	/** Stops the ticks and joins the thread; idempotent. */
	void stop();
	double interval() const { return m_interval; }
	int64_t beats() const { return m_beats; }

private:
	double m_interval;
	std::atomic<int64_t> m_beats{0};
	std::mutex m_lock;
	std::condition_variable m_wake;
	bool m_stopping;
	std::thread m_thread;

	void run();
};
}

#endif
