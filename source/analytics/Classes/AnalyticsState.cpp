#include "AnalyticsState.h"
#include "AnalyticsCache.h"
#include "AnalyticsHeartBeater.h"
#include <analytics/AnalyticsSession.h>
#include <cxxabi.h>
#include <cstdlib>
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

std::string typeName(const std::type_info& type)
{
	int status = 0;
	char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
	std::string out = status == 0 && name ? name : type.name();
	std::free(name);
	return out;
}

std::string dateText(const Date& date)
{
	if (!date)
		return "(null)";
	return std::to_string(*date / 1000000) + "." + std::to_string((*date % 1000000 + 1000000) % 1000000);
}
}
}
