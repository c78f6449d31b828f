#include <analytics/AnalyticsAgent.h>
#include "AnalyticsAutoIncrement.h"
#include "AnalyticsCache.h"
#include "AnalyticsFiles.h"
#include "AnalyticsHTTP.h"
#include "AnalyticsHeartBeater.h"
#include "AnalyticsUtil.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsSession.h>
#include <lang/Debug.h>
#include <lang/System.h>
#include <lang/Throwable.h>
#include <chrono>
#include <cstdlib>
#include <mutex>

#ifndef ENGINE_ANALYTICS_HOST
#define ENGINE_ANALYTICS_HOST "localhost"
#endif

namespace analytics
{
using detail::debugLog;
using detail::guarded;
using detail::state;

namespace
{
// Runs the body against the current session, when there is one and this copy may record.
template <class F>
void withSession(F body)
{
	if (state().filesLocked)
		return;
	guarded([&] {
		if (std::shared_ptr<AnalyticsSession> s = AnalyticsSession::currentSession())
			body(*s);
	});
}

std::string reportURL(const char* scheme)
{
	if (const char* base = std::getenv("ENGINE_ANALYTICS_BASE_URL"))
	{
		std::string url = base;
		while (!url.empty() && url.back() == '/')
			url.pop_back();
		if (!url.empty())
			return url + "/aas.do";
	}
	return std::string(scheme) + "://" + ENGINE_ANALYTICS_HOST + "/aas.do";
}

void atExit()
{
	AnalyticsAgent::shutdown();
}

int64_t nowMicros()
{
	return lang::System::currentTimeMicros();
}
}

namespace detail
{
void finishBackgroundWork(int waitMillis)
{
	std::unique_ptr<AnalyticsHeartBeater> beater;
	{
		std::lock_guard<std::mutex> lock(state().heartBeaterLock);
		beater.swap(state().heartBeater);
	}
	if (beater)
		beater->stop();
	std::unique_lock<std::mutex> lock(state().sendsLock);
	if (!state().sendsDone.wait_for(lock, std::chrono::milliseconds(waitMillis), [] { return state().runningSends == 0; }))
	{
		// Aborted transfers keep every record: nothing was delivered.
		state().abortTransfers = true;
		state().sendsDone.wait_for(lock, std::chrono::seconds(1), [] { return state().runningSends == 0; });
	}
}
}

std::string AnalyticsAgent::plainReportURL()
{
	return reportURL("http");
}

std::string AnalyticsAgent::secureReportURL()
{
	return reportURL("https");
}

bool AnalyticsAgent::filesLocked()
{
	return state().filesLocked;
}

void AnalyticsAgent::startSession(const std::string& apiKey)
{
	{
		std::lock_guard<std::mutex> lock(state().agentLock);
		if (state().startSessionCalled)
		{
			debugLog("AnalyticsAgent: startSession called already. Returning.");
			detail::alert("startSession has been called already. It should only be called once.");
			return;
		}
		state().startSessionCalled = true;
	}
	guarded([&] {
		debugLog("AnalyticsAgent: Start session called with apiKey[" + apiKey + "]");
		curlGlobalInit();
		// A second running copy would take this one's live file for a crash.
		const std::string folder = AnalyticsSession::filePathDirectory();
		const int fd = AnalyticsFiles::lockExclusive(folder + "/.analyticsLock");
		if (fd < 0)
		{
			state().filesLocked = true;
			// Said whatever the debug switch: the copy's analytics are off.
			lang::Debug::printf("Analytics: another running copy holds the analytics files in %s; this copy records and sends nothing\n",
				folder.c_str());
			return;
		}
		state().lockFile = fd;
		std::string key;
		for (char c : apiKey)
		{
			if (c != ' ')
				key += c;
		}
		{
			std::lock_guard<std::mutex> lock(state().agentLock);
			state().apiKey = key;
		}
		AnalyticsHeartBeater::createAndStartInstance(1.0);
		AnalyticsFileCache::createInstance(key, AnalyticsSession::getAgentVersion());
		AnalyticsSession::setEndOfSessionSender(&AnalyticsSession::sendSessionsToServerForEndOfSession);
		createAndSendSession();
		state().listening = true;
		static std::once_flag registered;
		std::call_once(registered, [] { std::atexit(&atExit); });
	});
}

void AnalyticsAgent::createAndSendSession()
{
	if (state().filesLocked)
		return;
	guarded([] {
		std::string key;
		std::optional<std::string> version, userID, gender;
		{
			std::lock_guard<std::mutex> lock(state().agentLock);
			key = state().apiKey;
			version = state().appVersion;
			userID = state().userID;
			gender = state().gender;
		}
		std::shared_ptr<AnalyticsSession> s = AnalyticsSession::createActiveAnalyticsSession(key, version.value_or(std::string()));
		s->setSessionReportsOnCloseEnabled(state().reportsOnClose);
		s->setSessionReportsOnPauseEnabled(state().reportsOnPause);
		s->setEventLoggingEnabled(state().eventLogging);
		s->setAge(state().age);
		if (userID)
			s->setUserID(*userID);
		if (gender)
			s->setGender(*gender);
		AnalyticsSession::detachSend(&AnalyticsSession::sendSessionsToServerForAppPromo);
	});
}

void AnalyticsAgent::endSession()
{
	withSession([](AnalyticsSession& s) { s.endSession(); });
}

void AnalyticsAgent::pauseSession()
{
	withSession([](AnalyticsSession& s) {
		{
			std::lock_guard<std::mutex> lock(state().agentLock);
			state().pauseTime = nowMicros();
		}
		s.pauseSession();
		s.endSessionAndSend(false, false);
		if (s.sessionReportsOnPauseEnabled())
			AnalyticsSession::detachSend(&AnalyticsSession::sendSessionsToServerForSessionPause);
	});
}

void AnalyticsAgent::resumeSession()
{
	withSession([](AnalyticsSession& s) {
		Date pause;
		{
			std::lock_guard<std::mutex> lock(state().agentLock);
			pause = state().pauseTime;
		}
		const int64_t pauseMillis = pause ? AnalyticsProtocolData::timeIntervalFrom(pause, nowMicros()) : 0;
		if (pauseMillis <= static_cast<int64_t>(state().sessionContinueSeconds) * 1000)
		{
			s.resumeSession();
			return;
		}
		s.saveSession();
		createAndSendSession();
		AnalyticsAutoIncrement::instance().resetAll();
	});
}

void AnalyticsAgent::stopBackgroundTask()
{
}

void AnalyticsAgent::applicationWillTerminate()
{
	if (!state().listening)
		return;
	endSession();
	shutdown();
}

void AnalyticsAgent::applicationWillResignActive()
{
	if (state().listening)
		pauseSession();
}

void AnalyticsAgent::applicationDidBecomeActive()
{
	if (state().listening)
		resumeSession();
}

void AnalyticsAgent::shutdown(int waitMillis)
{
	guarded([waitMillis] { detail::finishBackgroundWork(waitMillis); });
}

void AnalyticsAgent::logEvent(const std::string& name)
{
	withSession([&](AnalyticsSession& s) { s.recordEvent(name, nullptr, false); });
}

void AnalyticsAgent::logEvent(const std::string& name, const Parameters& parameters)
{
	withSession([&](AnalyticsSession& s) { s.recordEvent(name, &parameters, false); });
}

void AnalyticsAgent::logEvent(const std::string& name, bool timed)
{
	withSession([&](AnalyticsSession& s) { s.recordEvent(name, nullptr, timed); });
}

void AnalyticsAgent::logEvent(const std::string& name, const Parameters& parameters, bool timed)
{
	withSession([&](AnalyticsSession& s) { s.recordEvent(name, &parameters, timed); });
}

void AnalyticsAgent::endTimedEvent(const std::string& name)
{
	withSession([&](AnalyticsSession& s) { s.endTimedEvent(name, nullptr); });
}

void AnalyticsAgent::endTimedEvent(const std::string& name, const Parameters& parameters)
{
	withSession([&](AnalyticsSession& s) { s.endTimedEvent(name, &parameters); });
}

void AnalyticsAgent::logError(const std::string& errorID, const std::string& message, const lang::Throwable* exception)
{
	withSession([&](AnalyticsSession& s) { s.recordError(errorID, message, exception); });
}

void AnalyticsAgent::logError(const std::string& errorID, const std::string& message, const std::exception* exception)
{
	withSession([&](AnalyticsSession& s) { s.recordError(errorID, message, exception); });
}

void AnalyticsAgent::logError(const std::string& errorID, const std::string& message, const std::error_code* error)
{
	withSession([&](AnalyticsSession& s) { s.recordError(errorID, message, error); });
}

void AnalyticsAgent::logPageView()
{
	withSession([](AnalyticsSession& s) { s.maybeIncrementPageView(); });
}

void* AnalyticsAgent::logAllPageViews(void*)
{
	return nullptr;
}

void AnalyticsAgent::setUserID(const std::string& userID)
{
	debugLog("AnalyticsAgent: setUserID[" + userID + "]");
	withSession([&](AnalyticsSession& s) { s.setUserID(userID); });
	std::lock_guard<std::mutex> lock(state().agentLock);
	state().userID = userID;
}

void AnalyticsAgent::setGender(const std::string& gender)
{
	debugLog("AnalyticsAgent: setGender[" + gender + "]");
	withSession([&](AnalyticsSession& s) { s.setGender(gender); });
	std::lock_guard<std::mutex> lock(state().agentLock);
	state().gender = gender;
}

void AnalyticsAgent::setAge(int age)
{
	state().age = age;
	withSession([age](AnalyticsSession& s) { s.setAge(age); });
}

void AnalyticsAgent::setEventLoggingEnabled(bool enabled)
{
	state().eventLogging = enabled;
	withSession([enabled](AnalyticsSession& s) { s.setEventLoggingEnabled(enabled); });
}

void AnalyticsAgent::setSessionReportsOnCloseEnabled(bool enabled)
{
	state().reportsOnClose = enabled;
	withSession([enabled](AnalyticsSession& s) { s.setSessionReportsOnCloseEnabled(enabled); });
}

void AnalyticsAgent::setSessionReportsOnPauseEnabled(bool enabled)
{
	state().reportsOnPause = enabled;
	withSession([enabled](AnalyticsSession& s) { s.setSessionReportsOnPauseEnabled(enabled); });
}

void AnalyticsAgent::setLatitude(double latitude, double longitude, float horizontalAccuracy, float verticalAccuracy)
{
	withSession([&](AnalyticsSession& s) { s.setLocation(latitude, longitude, horizontalAccuracy, verticalAccuracy); });
}

void AnalyticsAgent::setAppVersion(const std::string& version)
{
	guarded([&] {
		if (AnalyticsSession::currentSession())
		{
			if (AnalyticsUtil::isDebugLogEnabled())
				detail::alert("AnalyticsAgent: Please call setAppVersion before startSession.");
			return;
		}
		debugLog("AnalyticsAgent: setAppVersion[" + version + "]");
		std::lock_guard<std::mutex> lock(state().agentLock);
		state().appVersion = version;
	});
}

void AnalyticsAgent::setSessionContinueSeconds(int seconds)
{
	state().sessionContinueSeconds = seconds;
}

void AnalyticsAgent::setServerURL(const std::string& url)
{
	std::lock_guard<std::mutex> lock(state().agentLock);
	state().serverURL = url;
}

void AnalyticsAgent::setSecureTransportEnabled(bool enabled)
{
	setServerURL(enabled ? secureReportURL() : plainReportURL());
	state().secureTransport = enabled;
}

void AnalyticsAgent::setSavedResponseURL(const std::string& url)
{
	std::lock_guard<std::mutex> lock(state().agentLock);
	state().savedResponseURL = url;
}

void AnalyticsAgent::setAppPromoEnabled(bool enabled)
{
	state().adFlags[0] = enabled;
}

void AnalyticsAgent::setVideoAdsEnabled(bool enabled)
{
	state().adFlags[1] = enabled;
}

void AnalyticsAgent::setAdSlotEnabled(bool enabled)
{
	state().adFlags[2] = enabled;
}

void AnalyticsAgent::setRecallEnabled(bool enabled)
{
	state().adFlags[3] = enabled;
}

void AnalyticsAgent::setDebugLogEnabled(bool enabled)
{
	AnalyticsUtil::setDebugLogEnabled(enabled);
}

void AnalyticsAgent::setShowErrorInLogEnabled(bool enabled)
{
	AnalyticsUtil::setShowErrorInLogEnabled(enabled);
}

void AnalyticsAgent::setMaxSessionsSaved(int maxSessions)
{
	AnalyticsSession::setMaxSessions(maxSessions);
}

std::string AnalyticsAgent::appVersion()
{
	std::lock_guard<std::mutex> lock(state().agentLock);
	return state().appVersion.value_or(std::string());
}

std::string AnalyticsAgent::serverURL()
{
	{
		std::lock_guard<std::mutex> lock(state().agentLock);
		if (state().serverURL)
			return *state().serverURL;
	}
	return plainReportURL();
}

std::string AnalyticsAgent::savedResponseURL()
{
	std::lock_guard<std::mutex> lock(state().agentLock);
	return state().savedResponseURL;
}

std::string AnalyticsAgent::apiKey()
{
	std::lock_guard<std::mutex> lock(state().agentLock);
	return state().apiKey;
}

int AnalyticsAgent::sessionContinueSeconds()
{
	return state().sessionContinueSeconds;
}

bool AnalyticsAgent::udidEnabled()
{
	return true;
}

bool AnalyticsAgent::appPromoEnabled()
{
	return state().adFlags[0];
}

bool AnalyticsAgent::videoAdsEnabled()
{
	return state().adFlags[1];
}

bool AnalyticsAgent::adSlotEnabled()
{
	return state().adFlags[2];
}

bool AnalyticsAgent::recallEnabled()
{
	return state().adFlags[3];
}

bool AnalyticsAgent::secureTransportEnabled()
{
	return state().secureTransport;
}

std::string AnalyticsAgent::getAnalyticsAgentVersion()
{
	return AnalyticsSession::getAgentVersion();
}

bool AnalyticsAgent::sendUsageInfo()
{
	return true;
}
}
