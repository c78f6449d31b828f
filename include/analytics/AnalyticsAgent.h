#ifndef ANALYTICS_ANALYTICSAGENT_H
#define ANALYTICS_ANALYTICSAGENT_H

#include <analytics/AnalyticsEvent.h>
#include <exception>
#include <string>
#include <system_error>

namespace lang
{
class Throwable;
}

namespace analytics
{
/**
 * The client's public interface: process-wide settings, the one session of
 * the process and its life with the application (terminate, resign and
 * become active). Entries never let an exception out.
 */
class AnalyticsAgent
{
public:
	typedef AnalyticsEvent::Parameters Parameters;

	// ---- lifecycle ----
	/** Starts the client once per process: heartbeat, file cache, session and its start send. */
	static void startSession(const std::string& apiKey);
	static void createAndSendSession();
	static void endSession();
	static void pauseSession();
	static void resumeSession();
	/** Nothing holds the process alive here: there is no background task to end. */
	static void stopBackgroundTask();

	/** The application's notifications; they act once startSession has run. */
	static void applicationWillTerminate();
	static void applicationWillResignActive();
	static void applicationDidBecomeActive();
	/**
	 * Process exit: the heartbeat is stopped and joined, a running send gets
	 * waitMillis, then is aborted (keeping everything it would have sent).
	 */
	static void shutdown(int waitMillis = 2000);

	// ---- logging ----
	static void logEvent(const std::string& name);
	static void logEvent(const std::string& name, const Parameters& parameters);
	static void logEvent(const std::string& name, bool timed);
	static void logEvent(const std::string& name, const Parameters& parameters, bool timed);
	/** Ends every running timed event of the name; without parameters it keeps the ones it was logged with. */
	static void endTimedEvent(const std::string& name);
	static void endTimedEvent(const std::string& name, const Parameters& parameters);
	static void logError(const std::string& errorID, const std::string& message, const lang::Throwable* exception);
	static void logError(const std::string& errorID, const std::string& message, const std::exception* exception);
	static void logError(const std::string& errorID, const std::string& message, const std::error_code* error);
	static void logPageView();
	/** No navigation or tab controllers here: always nothing, as for any other object. */
	static void* logAllPageViews(void* controller);

	// ---- settings passed on to the session ----
	static void setUserID(const std::string& userID);
	static void setGender(const std::string& gender);
	static void setAge(int age);
	static void setEventLoggingEnabled(bool enabled);
	static void setSessionReportsOnCloseEnabled(bool enabled);
	static void setSessionReportsOnPauseEnabled(bool enabled);
	static void setLatitude(double latitude, double longitude, float horizontalAccuracy, float verticalAccuracy);

	// ---- settings kept here ----
	static void setAppVersion(const std::string& version);
	static void setSessionContinueSeconds(int seconds);
	static void setServerURL(const std::string& url);
	static void setSecureTransportEnabled(bool enabled);
	static void setSavedResponseURL(const std::string& url);
	static void setAppPromoEnabled(bool enabled);
	static void setVideoAdsEnabled(bool enabled);
	static void setAdSlotEnabled(bool enabled);
	static void setRecallEnabled(bool enabled);
	static void setDebugLogEnabled(bool enabled);
	static void setShowErrorInLogEnabled(bool enabled);
	static void setMaxSessionsSaved(int maxSessions);

	// ---- getters ----
	static std::string appVersion();
	static std::string serverURL();
	static std::string savedResponseURL();
	static std::string apiKey();
	static int sessionContinueSeconds();
	static bool udidEnabled();
	static bool appPromoEnabled();
	static bool videoAdsEnabled();
	static bool adSlotEnabled();
	static bool recallEnabled();
	static bool secureTransportEnabled();
	static std::string getAnalyticsAgentVersion();
	static bool sendUsageInfo();

	/**
	 * "http://" host "/aas.do" and its "https://" form; the host is the
	 * build's ENGINE_ANALYTICS_HOST. ENGINE_ANALYTICS_BASE_URL in the
	 * environment replaces the scheme and host of both.
	 */
	static std::string plainReportURL();
	static std::string secureReportURL();

	/** False when another running copy holds the files: this one records and sends nothing. */
	static bool filesLocked();
};
}

#endif
