#ifndef ANALYTICS_CLASSES_ANALYTICSSTATE_H
#define ANALYTICS_CLASSES_ANALYTICSSTATE_H

#include "AnalyticsAutoIncrement.h"
#include "AnalyticsHTTP.h"
#include "AnalyticsUtil.h"
#include <analytics/AnalyticsDevice.h>
#include <analytics/AnalyticsProtocolData.h>
#include <lang/Throwable.h>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <typeinfo>

namespace analytics
{
class AnalyticsSession;
class AnalyticsAdParser;
class AnalyticsFileCache;
class AnalyticsImageCache;
class AnalyticsHeartBeater;

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

	// Device; the screen size changes with the window while a send may read it.
	std::atomic<int> screenWidth{0};
	std::atomic<int> screenHeight{0};
	std::string macInterface;
	std::mutex pasteboardLock;

	// Transport and sending.
	std::atomic<bool> abortTransfers{false};
	std::mutex limitsLock;
	AnalyticsHTTPEater::Limits limits;
	std::mutex sendsLock;
	std::condition_variable sendsDone;
	int runningSends = 0;
	std::atomic<AnalyticsAdParser*> adParsers[4] = {{nullptr}, {nullptr}, {nullptr}, {nullptr}};
	std::mutex adCallbacksLock;
	bool adCallbacksLoaded = false;
	std::vector<std::pair<std::string, int>> adCallbacks;

	// Agent settings; the strings under agentLock, read by the send threads too.
	std::mutex agentLock;
	std::optional<std::string> serverURL;
	std::string apiKey;
	std::optional<std::string> appVersion;
	std::optional<std::string> userID;
	std::optional<std::string> gender;
	std::string savedResponseURL;
	Date pauseTime;
	std::atomic<bool> secureTransport{false};
	std::atomic<bool> reportsOnClose{true};
	std::atomic<bool> reportsOnPause{true};
	std::atomic<bool> eventLogging{true};
	std::atomic<int> sessionContinueSeconds{10};
	std::atomic<int> age{-1};
	std::atomic<bool> adFlags[4] = {{false}, {false}, {false}, {false}};
	bool startSessionCalled = false;
	std::atomic<bool> listening{false};
	std::atomic<bool> filesLocked{false};
	int lockFile = -1;

	// Caches and heartbeat.
	std::mutex cacheLock;
	std::shared_ptr<AnalyticsFileCache> fileCache;
	std::shared_ptr<AnalyticsImageCache> imageCache;
	std::mutex heartBeaterLock;
	std::unique_ptr<AnalyticsHeartBeater> heartBeater;

	~AnalyticsState();
};

AnalyticsState& state();
void resetState();
/** Stops the heartbeat and lets running sends end (aborted after waitMillis). */
void finishBackgroundWork(int waitMillis);
/** An alert of the platform: a warning in the system log. */
void alert(const std::string& message);

/** Writes the line through the sink when debug logging is on. */
void debugLog(const std::string& line);
/** Runs the body; whatever it throws goes to the client's exception handler. */
template <class F>
void guarded(F body)
{
	try
	{
		body();
	}
	catch (const lang::Throwable& e)
	{
		AnalyticsUtil::handleException(e);
	}
	catch (const std::exception& e)
	{
		AnalyticsUtil::handleException(e);
	}
	catch (...)
	{
		AnalyticsUtil::handleException(std::string("unknown exception"));
	}
}

/** The readable (demangled) name of a type. */
std::string typeName(const std::type_info& type);

/** Text of a date for log lines. */
std::string dateText(const Date& date);
}
}

#endif
