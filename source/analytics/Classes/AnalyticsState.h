#ifndef ANALYTICS_CLASSES_ANALYTICSSTATE_H
#define ANALYTICS_CLASSES_ANALYTICSSTATE_H

#include <analytics/AnalyticsAutoIncrement.h>
#include <analytics/AnalyticsDevice.h>
#include <analytics/AnalyticsProtocolData.h>
#include <analytics/AnalyticsUtil.h>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace analytics
{
class AnalyticsSession;

namespace detail
{
/** Every process-wide value of the client, in one place that tests rebuild. */
struct AnalyticsState
{
	// Sessions.
	std::mutex classLock;
	std::shared_ptr<AnalyticsSession> currentSession;
	std::string fileKey;
	std::atomic<int> maxSessions{50};
	std::mutex savedSessionsLock;
	std::mutex initialTimestampLock;
	Date lastPageView;
	std::atomic<void (*)()> endOfSessionSender{nullptr};
	AnalyticsAutoIncrement counters;

	// Utilities.
	// Read from the send threads too.
	std::atomic<bool> debugLog{false};
	std::atomic<bool> showErrors{false};
	std::atomic<int> systemVersionInteger{0};
	std::string systemVersionOverride;
	std::atomic<AnalyticsUtil::LogSink> logSink{nullptr};
	int statusBarOrientation = 1;

	// Device.
	int screenWidth = 0;
	int screenHeight = 0;
	AnalyticsDevice::InterfaceLister interfaceLister = nullptr;
	std::string macInterface;
	std::mutex pasteboardLock;
};

AnalyticsState& state();
void resetState();

/** Writes the line through the sink when debug logging is on. */
void debugLog(const std::string& line);
/** Text of a date for log lines. */
std::string dateText(const Date& date);
}
}

#endif
