#ifndef ANALYTICS_CLASSES_ANALYTICSAUTOINCREMENT_H
#define ANALYTICS_CLASSES_ANALYTICSAUTOINCREMENT_H

#include <cstdint>
#include <map>
#include <mutex>

namespace analytics
{
/** Numbered counters giving error entries (key 1) and event log entries (key 2) their sequence numbers. */
class AnalyticsAutoIncrement
{
public:
	enum { ERROR_COUNTER = 1, EVENT_COUNTER = 2 };

	/** The shared instance of the process. */
	static AnalyticsAutoIncrement& instance();

	/** 1 for a fresh key, else the last value plus 1. */
	int64_t nextCountFor(int key);
	/** Every counter starts again at 1. */
	void resetAll();

	std::map<int, int64_t> counters() const;
	void setCounters(const std::map<int, int64_t>& counters);

private:
	mutable std::mutex m_lock;
	std::map<int, int64_t> m_counters;
};
}

#endif
