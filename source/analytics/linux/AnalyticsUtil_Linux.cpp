#include "../Classes/AnalyticsUtil.h"
#include "../Classes/AnalyticsState.h"
#include <pf/DeviceFacts.h>
#include <sys/xattr.h>
#include <syslog.h>

namespace analytics
{
using detail::state;

void AnalyticsUtil::log(const std::string& line)
{
	if (!state().debugLog)
		return;
	if (AnalyticsUtil::LogSink sink = state().logSink)
		sink(line);
	else
		syslog(LOG_NOTICE, "%s", line.c_str());
}

namespace detail
{
void alert(const std::string& message)
{
	// Alerts show whatever the debug switch says.
	if (AnalyticsUtil::LogSink sink = state().logSink)
		sink("Warning: " + message);
	else
		syslog(LOG_WARNING, "%s", message.c_str());
}
}

std::string AnalyticsUtil::systemVersion()
{
	if (!state().systemVersionOverride.empty())
		return state().systemVersionOverride;
	return pf::DeviceFacts::osVersion();
}

bool AnalyticsUtil::addSkipBackupAttributeToItemAtPath(const std::string& path)
{
	if (getSystemVersionAsAnInteger() <= 50000)
		return false;
	// The XDG backup hint; file systems without user attributes refuse it, quietly.
	static const char value[] = "false";
	return setxattr(path.c_str(), "user.xdg.robots.backup", value, sizeof(value) - 1, 0) == 0;
}
}
