#include <analytics/AnalyticsSession.h>
#include "AnalyticsAutoIncrement.h"
#include "AnalyticsUtil.h"
#include "AnalyticsState.h"
#include "AnalyticsFiles.h"
#include <analytics/AnalyticsDevice.h>
#include <cjson/cJSON.h>
#include <lang/System.h>
#include <lang/Throwable.h>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <typeinfo>

namespace analytics
{
using detail::debugLog;
using detail::state;
using detail::typeName;

namespace
{
std::string describe(const AnalyticsSession::Parameters* parameters)
{
	if (!parameters)
		return "(null)";
	std::string out = "{";
	for (const auto& p : *parameters)
		out += (out.size() > 1 ? ", " : "") + p.first + " = " + p.second;
	return out + "}";
}

int64_t now()
{
	return lang::System::currentTimeMicros();
}
}

bool AnalyticsErrorEntry::operator==(const AnalyticsErrorEntry& o) const
{
	return sequence == o.sequence && recorded == o.recorded && errorID == o.errorID && message == o.message && exception == o.exception;
}

int64_t AnalyticsSessionData::sessionLength() const
{
	if (!endTime)
		return -1;
	return AnalyticsProtocolData::timeIntervalFrom(startTime, endTime);
}

AnalyticsSession::AnalyticsSession(const std::string& apiKey, const std::string& appVersion)
{
	init();
	m_data.startTime = now();
	m_data.apiKey = apiKey;
	m_data.appVersion = appVersion;
	m_data.locale = AnalyticsDevice::locale();
	m_data.timeZone = AnalyticsDevice::timeZone();
	m_eventLoggingEnabled = true;
	m_sessionReportsOnCloseEnabled = true;
	saveToDisk();
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Initialized session from scratch with startTime[" + detail::dateText(m_data.startTime) + "]");
}

AnalyticsSession::AnalyticsSession(const AnalyticsSessionData& data)
{
	init();
	m_data = data;
}

void AnalyticsSession::init()
{
	m_eventLoggingEnabled = false;
	m_sessionReportsOnCloseEnabled = false;
	m_sessionReportsOnPauseEnabled = false;
	m_changed = false;
	m_closed = false;
}

AnalyticsSession::~AnalyticsSession()
{
	debugLog("AnalyticsAgent: dealloc session");
}

std::string AnalyticsSession::getAgentVersion()
{
	return std::to_string(AGENT_VERSION);
}

std::shared_ptr<AnalyticsSession> AnalyticsSession::currentSession()
{
	std::lock_guard<std::mutex> lock(state().classLock);
	return state().currentSession;
}

void AnalyticsSession::setCurrentSession(const std::shared_ptr<AnalyticsSession>& session)
{
	std::shared_ptr<AnalyticsSession> old;
	{
		std::lock_guard<std::mutex> lock(state().classLock);
		old = state().currentSession;
		state().currentSession = session;
	}
	// The old one may be freed here, outside the class lock.
}

void AnalyticsSession::resetProcessState()
{
	detail::resetState();
}

void AnalyticsSession::setEndOfSessionSender(void (*sender)())
{
	state().endOfSessionSender = sender;
}

double AnalyticsSession::reduceLocationPrecision(double value)
{
	if (std::isnan(value))
		return 0;
	const double scaled = std::trunc(value * 1000);
	// Beyond 32 bits the conversion would be undefined: take the nearest limit.
	const int32_t v = scaled >= 2147483647.0 ? INT32_MAX : scaled <= -2147483648.0 ? INT32_MIN : static_cast<int32_t>(scaled);
	return static_cast<double>(v) / 1000;
}

bool AnalyticsSession::saveToDisk()
{
	std::lock_guard<std::mutex> saving(m_saveLock);
	AnalyticsSessionData copy;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return false;
		m_data.serializationVersion = 1;
		copy = m_data;
		m_changed = false;
	}
	cJSON* json = copy.toJSON();
	const bool ok = AnalyticsFiles::writeJSON(currentSessionFilePath(), json);
	cJSON_Delete(json);
	if (!ok)
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_changed = true;
	}
	return ok;
}

bool AnalyticsSession::saveIfChanged()
{
	return changed() ? saveToDisk() : true;
}

bool AnalyticsSession::changed() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_changed && !m_closed;
}

bool AnalyticsSession::closed() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_closed;
}

void AnalyticsSession::pauseSession()
{
	Date pause;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_data.pauseTime = now();
		pause = m_data.pauseTime;
		markChanged();
	}
	saveToDisk();
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Pause session with pauseTime[" + detail::dateText(pause) + "]");
}

void AnalyticsSession::resumeSession()
{
	Date resume;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (!m_data.pauseTime)
			return;
		resume = now();
		m_data.totalPauseIntervalMillis += AnalyticsProtocolData::timeIntervalFrom(m_data.pauseTime, resume);
		m_data.pauseTime.reset();
		markChanged();
	}
	saveToDisk();
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Resume session with resumeTime[" + detail::dateText(resume) + "]");
}

void AnalyticsSession::saveSession()
{
	AnalyticsSessionData copy;
	{
		std::lock_guard<std::mutex> saving(m_saveLock);
		{
			std::lock_guard<std::mutex> lock(m_lock);
			if (m_closed)
				return;
			m_data.serializationVersion = 1;
			copy = m_data;
			m_closed = true;
			m_changed = false;
		}
		// Final state first: should the process end before the record is kept,
		// the next start finds it there; the record check keeps it from being kept twice.
		cJSON* json = copy.toJSON();
		const std::string path = currentSessionFilePath();
		AnalyticsFiles::writeJSON(path, json);
		cJSON_Delete(json);
		if (AnalyticsUtil::isDebugLogEnabled())
			debugLog("AnalyticsAgent: Add session with startTime[" + detail::dateText(copy.startTime) + "] to saved sessions");
		if (addRecordToSavedSessions(copy.record()))
			AnalyticsFiles::remove(path);
	}
	std::lock_guard<std::mutex> lock(state().classLock);
	if (state().currentSession.get() == this)
		state().currentSession.reset();
}

void AnalyticsSession::endSession()
{
	endSessionAndSend(true, true);
}

void AnalyticsSession::endSessionAndSend(bool send, bool removeCurrentSession)
{
	Date end;
	bool reports;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return;
		m_data.endTime = now();
		end = m_data.endTime;
		reports = m_sessionReportsOnCloseEnabled;
		markChanged();
		if (AnalyticsUtil::isDebugLogEnabled())
			debugLog("AnalyticsAgent: Ending session with endTime[" + detail::dateText(end) + "]");
		endTimedEventsLocked();
	}
	void (*sender)() = state().endOfSessionSender;
	if (reports && send && sender)
		sender();
	if (removeCurrentSession)
		saveSession();
	else
		saveToDisk(); // a pause: its end time and ended events survive a crash
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Ending session with endTime[" + detail::dateText(end) + "] complete");
}

void AnalyticsSession::recordEvent(const std::string& name, const Parameters& parameters, bool timed)
{
	recordEvent(name, &parameters, timed);
}

void AnalyticsSession::recordEvent(const std::string& name, const Parameters* parameters, bool timed)
{
	const bool logging = AnalyticsUtil::isDebugLogEnabled();
	if (logging)
		debugLog("AnalyticsAgent: Recording event eventName[" + name + "] with parameters[" + describe(parameters) + "]");
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return;
		markChanged();
		if (name.empty() || (parameters && parameters->size() > MAX_EVENT_PARAMETERS))
		{
			m_data.eventLogComplete = false;
			if (logging)
				debugLog("AnalyticsAgent: Event eventName[" + name + "] with parameters[" + describe(parameters) + "] not recorded");
		}
		else
		{
			bool counted = false;
			auto it = m_data.eventCounts.find(name);
			if (it != m_data.eventCounts.end())
			{
				++it->second;
				counted = true;
			}
			else if (m_data.eventCounts.size() < MAX_EVENT_COUNTS)
			{
				it = m_data.eventCounts.emplace(name, 1).first;
				counted = true;
			}
			if (counted && logging)
				debugLog("AnalyticsAgent: Event count for eventName[" + name + "] updated to count[" + std::to_string(it->second) + "]");
			if (counted && m_data.eventLog.size() < MAX_EVENT_LOG_COUNT && m_eventLoggingEnabled)
			{
				m_data.eventLog.emplace_back(name, timed, parameters ? *parameters : Parameters());
				if (logging)
					debugLog("AnalyticsAgent: Event log for eventName[" + name + "] updated");
			}
			else
			{
				m_data.eventLogComplete = false;
			}
		}
	}
	if (logging)
		debugLog("AnalyticsAgent: Recording event eventName[" + name + "] with parameters[" + describe(parameters) + "] complete");
}

void AnalyticsSession::endTimedEvent(const std::string& name, const Parameters* parameters)
{
	const int64_t end = now();
	std::lock_guard<std::mutex> lock(m_lock);
	for (AnalyticsEvent& e : m_data.eventLog)
	{
		if (!e.isUnterminated() || e.name() != name)
			continue;
		e.setEnded(end);
		if (parameters)
			e.setParameters(*parameters);
		markChanged();
		if (AnalyticsUtil::isDebugLogEnabled())
			debugLog("AnalyticsAgent: event named[" + name + "] ended at " + detail::dateText(end));
	}
}

void AnalyticsSession::endTimedEvents()
{
	std::lock_guard<std::mutex> lock(m_lock);
	endTimedEventsLocked();
}

void AnalyticsSession::endTimedEventsLocked()
{
	const bool logging = AnalyticsUtil::isDebugLogEnabled();
	if (logging)
		debugLog("AnalyticsAgent: ending all unterminated timed events with _endTime[" + detail::dateText(m_data.endTime) + "]...");
	for (AnalyticsEvent& e : m_data.eventLog)
	{
		if (!e.isUnterminated() && !e.automaticallyEnded())
			continue;
		e.setEnded(m_data.endTime);
		e.setAutomaticallyEnded(true);
		markChanged();
		if (logging)
			debugLog("AnalyticsAgent: forcefully terminated event named[" + e.name() + "]");
	}
	if (logging)
		debugLog("AnalyticsAgent: ...finished ending un-ended timed events.");
}

void AnalyticsSession::recordError(const std::string& errorID, const std::string& message, const lang::Throwable* exception)
{
	const std::string text = exception ? typeName(typeid(*exception)) + ": " + exception->getMessage().format() : "nil";
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and exception[" + text + "]");
	recordErrorWithString(errorID, message, text);
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and exception[" + text + "] complete");
}

void AnalyticsSession::recordError(const std::string& errorID, const std::string& message, const std::exception* exception)
{
	const std::string text = exception ? typeName(typeid(*exception)) + ": " + exception->what() : "nil";
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and exception[" + text + "]");
	recordErrorWithString(errorID, message, text);
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and exception[" + text + "] complete");
}

void AnalyticsSession::recordError(const std::string& errorID, const std::string& message, const std::error_code* error)
{
	const std::string text = error ? error->message() + ": " + error->category().name() : "nil";
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and error[" + text + "]");
	recordErrorWithString(errorID, message, text);
	debugLog("AnalyticsAgent: Recording error id[" + errorID + "] with message[" + message + "] and error[" + text + "] complete");
}

void AnalyticsSession::recordErrorWithString(const std::string& errorID, const std::string& message, const std::string& exceptionString)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return;
		++m_data.totalErrorCount;
		markChanged();
		if (m_data.errors.size() < MAX_ERRORS)
		{
			AnalyticsErrorEntry entry;
			entry.sequence = AnalyticsAutoIncrement::instance().nextCountFor(AnalyticsAutoIncrement::ERROR_COUNTER);
			entry.recorded = now();
			entry.errorID = errorID;
			entry.message = message;
			entry.exception = exceptionString;
			m_data.errors.push_back(entry);
			debugLog("AnalyticsAgent: Error id[" + errorID + "] updated");
		}
		else
		{
			debugLog("AnalyticsAgent: Error id[" + errorID + "] not recorded");
		}
	}
	saveToDisk();
}

void AnalyticsSession::recordImpression(std::vector<Bytes> AnalyticsSessionData::*list, const Bytes& impression)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return;
		std::vector<Bytes>& log = m_data.*list;
		if (log.size() >= MAX_IMPRESSIONS)
		{
			debugLog("AnalyticsAgent: Impression not recorded because max impression is reached");
			return;
		}
		auto it = std::find(log.begin(), log.end(), impression);
		if (it != log.end())
			*it = impression;
		else
			log.push_back(impression);
		markChanged();
	}
	saveToDisk();
}

void AnalyticsSession::recordAdImpression(const Bytes& impression)
{
	recordImpression(&AnalyticsSessionData::adLog, impression);
}

void AnalyticsSession::recordAdSlotAdImpression(const Bytes& impression)
{
	recordImpression(&AnalyticsSessionData::adSlotAdLog, impression);
}

void AnalyticsSession::setLocation(double latitude, double longitude, float horizontalAccuracy, float verticalAccuracy)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (m_closed)
			return;
		m_data.latitude = reduceLocationPrecision(latitude);
		m_data.longitude = reduceLocationPrecision(longitude);
		m_data.accuracy = static_cast<float>(reduceLocationPrecision((std::fabs(horizontalAccuracy) + std::fabs(verticalAccuracy)) / 2.0));
		markChanged();
		if (AnalyticsUtil::isDebugLogEnabled())
			debugLog("AnalyticsAgent: New location set with lat[" + std::to_string(m_data.latitude) + "] long[" +
				std::to_string(m_data.longitude) + "] accuracy[" + std::to_string(m_data.accuracy) + "]");
	}
	saveToDisk();
}

void AnalyticsSession::maybeIncrementPageView()
{
	const int64_t t = now();
	{
		std::lock_guard<std::mutex> lock(state().classLock);
		Date& last = state().lastPageView;
		if (last && t - *last <= 300000)
			return;
		last = t;
	}
	std::lock_guard<std::mutex> lock(m_lock);
	++m_data.pageViewCount;
	markChanged();
}

void AnalyticsSession::setUserID(const std::string& userID)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_data.userID = userID;
		markChanged();
	}
	debugLog("AnalyticsAgent: Set userID[" + userID + "]");
}

std::string AnalyticsSession::userID() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.userID.value_or(std::string());
}

void AnalyticsSession::setGender(const std::string& gender)
{
	const int32_t value = gender == "m" ? 1 : gender == "f" ? 0 : -1;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_data.gender = value;
		markChanged();
	}
	debugLog("given gender [" + gender + "], _gender = [" + std::to_string(value) + "]");
}

void AnalyticsSession::setAge(int years)
{
	if (years <= 0 || years >= 151)
		return;
	const time_t t = static_cast<time_t>(now() / 1000000);
	tm local;
	localtime_r(&t, &local);
	tm birth = {};
	birth.tm_year = local.tm_year - years;
	birth.tm_mday = 1;
	birth.tm_isdst = -1;
	const Date date = static_cast<int64_t>(mktime(&birth)) * 1000000;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_data.age = date;
		markChanged();
	}
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: set age to [" + detail::dateText(date) + "]");
}

void AnalyticsSession::setEventLoggingEnabled(bool enabled)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_eventLoggingEnabled = enabled;
	}
	debugLog("AnalyticsAgent: Event logging enabled[" + std::to_string(enabled) + "]");
}

bool AnalyticsSession::eventLoggingEnabled() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_eventLoggingEnabled;
}

void AnalyticsSession::setSessionReportsOnCloseEnabled(bool enabled)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_sessionReportsOnCloseEnabled = enabled;
	}
	debugLog("AnalyticsAgent: Session reports on close enabled[" + std::to_string(enabled) + "]");
}

bool AnalyticsSession::sessionReportsOnCloseEnabled() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_sessionReportsOnCloseEnabled;
}

void AnalyticsSession::setSessionReportsOnPauseEnabled(bool enabled)
{
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_sessionReportsOnPauseEnabled = enabled;
	}
	debugLog("AnalyticsAgent: Session reports on pause enabled[" + std::to_string(enabled) + "]");
}

bool AnalyticsSession::sessionReportsOnPauseEnabled() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_sessionReportsOnPauseEnabled;
}

bool AnalyticsSession::crashed() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.crashed;
}

void AnalyticsSession::setCrashed(bool crashed)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_data.crashed = crashed;
	markChanged();
}

Date AnalyticsSession::startTime() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.startTime;
}

std::string AnalyticsSession::apiKey() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.apiKey;
}

std::string AnalyticsSession::appVersion() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.appVersion;
}

void AnalyticsSession::setAppVersion(const std::string& version)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_data.appVersion = version;
	markChanged();
}

int32_t AnalyticsSession::pageViewCount() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.pageViewCount;
}

void AnalyticsSession::setPageViewCount(int32_t count)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_data.pageViewCount = count;
	markChanged();
}

bool AnalyticsSession::internetAvailable() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.internetAvailable;
}

void AnalyticsSession::setInternetAvailable(bool available)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_data.internetAvailable = available;
	markChanged();
}

Date AnalyticsSession::endTime() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.endTime;
}

void AnalyticsSession::setEndTime(const Date& date)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_data.endTime = date;
	markChanged();
}

AnalyticsSessionData AnalyticsSession::snapshot() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data;
}

Bytes AnalyticsSession::data() const
{
	return snapshot().record();
}

int64_t AnalyticsSession::sessionLength() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_data.sessionLength();
}

int64_t AnalyticsSession::timeIntervalSinceSessionStart(const Date& date) const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return AnalyticsProtocolData::timeIntervalFrom(m_data.startTime, date);
}
}
