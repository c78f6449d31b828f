#include <analytics/AnalyticsUtil.h>
#include "../Classes/AnalyticsState.h"
#include <fstream>
#include <sys/utsname.h>
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
	std::ifstream in("/etc/os-release");
	std::string line;
	while (std::getline(in, line))
	{
		if (line.compare(0, 11, "VERSION_ID=") != 0)
			continue;
		std::string value = line.substr(11);
		if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
			value = value.substr(1, value.size() - 2);
		if (!value.empty())
			return value;
	}
	utsname u;
	if (uname(&u) == 0)
		return u.release;
	return std::string();
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
