#include "AnalyticsState.h"
#include "AnalyticsCache.h"
#include "AnalyticsHeartBeater.h"
#include <analytics/AnalyticsSession.h>
#include <unistd.h>

namespace analytics
{
namespace detail
{
namespace
{
std::unique_ptr<AnalyticsState>& holder()
{
	static std::unique_ptr<AnalyticsState> s(new AnalyticsState);
	return s;
}
}

AnalyticsState& state()
{
	return *holder();
}

AnalyticsState::~AnalyticsState()
{
	if (lockFile >= 0)
		::close(lockFile);
}

void resetState()
{
	finishBackgroundWork(2000);
	std::shared_ptr<AnalyticsSession> old;
	{
		std::lock_guard<std::mutex> lock(state().classLock);
		old.swap(state().currentSession);
	}
	old.reset();
	holder().reset(new AnalyticsState);
}

void debugLog(const std::string& line)
{
	AnalyticsUtil::log(line);
}

std::string dateText(const Date& date)
{
	if (!date)
		return "(null)";
	return std::to_string(*date / 1000000) + "." + std::to_string((*date % 1000000 + 1000000) % 1000000);
}
}
}
