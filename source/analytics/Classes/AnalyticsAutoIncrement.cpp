#include "AnalyticsAutoIncrement.h"
#include "AnalyticsState.h"

namespace analytics
{
AnalyticsAutoIncrement& AnalyticsAutoIncrement::instance()
{
	return detail::state().counters;
}

int64_t AnalyticsAutoIncrement::nextCountFor(int key)
{
	std::lock_guard<std::mutex> lock(m_lock);
	return ++m_counters[key];
}

void AnalyticsAutoIncrement::resetAll()
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_counters.clear();
}

std::map<int, int64_t> AnalyticsAutoIncrement::counters() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_counters;
}

void AnalyticsAutoIncrement::setCounters(const std::map<int, int64_t>& counters)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_counters = counters;
}
}
