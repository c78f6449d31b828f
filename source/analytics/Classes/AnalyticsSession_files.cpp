#include "AnalyticsFiles.h"
#include "AnalyticsUtil.h"
#include "AnalyticsJSON.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsSession.h>
#include <analytics/AnalyticsDevice.h>
#include <io/detail/paths.h>
#include <lang/System.h>
#include <lang/Throwable.h>
#include <algorithm>
#include <cstdio>

namespace analytics
{
using detail::debugLog;
using detail::state;

namespace
{
cJSON* bytesArray(const std::vector<Bytes>& list)
{
	cJSON* array = cJSON_CreateArray();
	for (const Bytes& b : list)
		cJSON_AddItemToArray(array, cJSON_CreateString(detail::base64Encode(b).c_str()));
	return array;
}

std::vector<Bytes> readBytesArray(const cJSON* obj, const char* key)
{
	std::vector<Bytes> out;
	const cJSON* array = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (!cJSON_IsArray(array))
		return out;
	for (const cJSON* item = array->child; item; item = item->next)
	{
		if (!cJSON_IsString(item) || !item->valuestring)
			continue;
		if (std::optional<Bytes> b = detail::base64Decode(item->valuestring))
			out.push_back(*b);
	}
	return out;
}

std::string keyedPath(const char* newer, const char* older, bool withVersion)
{
	const std::string dir = AnalyticsSession::filePathDirectory();
	std::string key;
	{
		std::lock_guard<std::mutex> lock(state().classLock);
		key = state().fileKey;
	}
	const std::string hash = std::to_string(AnalyticsSession::fileKeyHash(key));
	const std::string tail = withVersion ? hash + "_" + AnalyticsSession::getAgentVersion() + ".archive" : hash + ".archive";
	const std::string old = dir + "/" + older + tail;
	if (AnalyticsFiles::exists(old))
		return old;
	return dir + "/" + newer + tail;
}

// The bytes a record starts with: version, application version, start.
std::optional<Bytes> recordIdentity(const Bytes& record)
{
	if (record.size() < 4)
		return std::nullopt;
	const size_t length = 4 + ((static_cast<size_t>(record[2]) << 8) | record[3]) + 8;
	if (record.size() < length)
		return std::nullopt;
	return Bytes(record.begin(), record.begin() + length);
}

// The saved records, or none when the file exists but cannot be read.
std::optional<std::vector<Bytes>> readSavedSessions(const std::string& path)
{
	std::vector<Bytes> out;
	if (!AnalyticsFiles::exists(path))
		return out;
	const std::optional<std::string> text = AnalyticsFiles::readFile(path);
	if (!text)
		return std::nullopt;
	cJSON* json = cJSON_ParseWithLength(text->data(), text->size());
	bool damaged = !cJSON_IsArray(json);
	if (!damaged)
	{
		for (const cJSON* item = json->child; item && !damaged; item = item->next)
		{
			std::optional<Bytes> b = cJSON_IsString(item) && item->valuestring ? detail::base64Decode(item->valuestring) : std::nullopt;
			if (b)
				out.push_back(*b);
			else
				damaged = true;
		}
	}
	cJSON_Delete(json);
	if (damaged)
	{
		// Kept aside for inspection; the list starts again empty.
		if (AnalyticsFiles::moveAside(path).empty())
			return std::nullopt;
		debugLog("AnalyticsAgent: damaged saved sessions moved aside");
		out.clear();
	}
	return out;
}
}

int32_t AnalyticsSession::fileKeyHash(const std::string& apiKey)
{
	uint32_t h = 2166136261u;
	for (unsigned char c : apiKey)
	{
		h ^= c;
		h *= 16777619u;
	}
	return static_cast<int32_t>(h);
}

std::string AnalyticsSession::filePathDirectory()
{
	std::string dir;
	if (AnalyticsUtil::getSystemVersionAsAnInteger() <= 50000)
		dir = AnalyticsDevice::cachesDirectory();
	else
		dir = io::detail::appdataPath() + "/AnalyticsFiles";
	AnalyticsFiles::makeDirectories(dir);
	return dir;
}

std::string AnalyticsSession::sessionsFilePath()
{
	return keyedPath(".analyticsStored", "analyticsStored", true);
}

std::string AnalyticsSession::currentSessionFilePath()
{
	return keyedPath(".analyticsCurrent", "analyticsCurrent", true);
}

std::string AnalyticsSession::sessionSentFilePath()
{
	return keyedPath(".analyticsSent", "analyticsSent", true);
}

std::string AnalyticsSession::initialTimestampFilePath()
{
	return keyedPath(".initialTimestamp", "initialTimestamp", false);
}

std::string AnalyticsSession::adStateCallbacksFilePath()
{
	return keyedPath(".analyticsAdStateCallbacks", "analyticsAdStateCallbacks", true);
}

cJSON* AnalyticsSessionData::toJSON() const
{
	cJSON* obj = cJSON_CreateObject();
	detail::jsonAddInteger(obj, "serializationVersion", serializationVersion);
	detail::jsonAddDate(obj, "startTime", startTime);
	detail::jsonAddDate(obj, "endTime", endTime);
	detail::jsonAddDate(obj, "pauseTime", pauseTime);
	detail::jsonAddInteger(obj, "pauseIntervalMillis", totalPauseIntervalMillis);
	cJSON* counts = cJSON_AddObjectToObject(obj, "eventCounts");
	for (const auto& c : eventCounts)
		detail::jsonAddInteger(counts, c.first.c_str(), c.second);
	cJSON* log = cJSON_AddArrayToObject(obj, "eventLog");
	for (const AnalyticsEvent& e : eventLog)
		cJSON_AddItemToArray(log, e.toJSON());
	cJSON_AddBoolToObject(obj, "eventLogComplete", eventLogComplete);
	cJSON* errorList = cJSON_AddArrayToObject(obj, "errors");
	for (const AnalyticsErrorEntry& e : errors)
	{
		cJSON* entry = cJSON_CreateArray();
		cJSON_AddItemToArray(entry, detail::jsonInteger(e.sequence));
		cJSON_AddItemToArray(entry, e.recorded ? detail::jsonInteger(*e.recorded) : cJSON_CreateNull());
		cJSON_AddItemToArray(entry, cJSON_CreateString(e.errorID.c_str()));
		cJSON_AddItemToArray(entry, cJSON_CreateString(e.message.c_str()));
		cJSON_AddItemToArray(entry, cJSON_CreateString(e.exception.c_str()));
		cJSON_AddItemToArray(errorList, entry);
	}
	detail::jsonAddInteger(obj, "totalErrorCount", totalErrorCount);
	cJSON_AddItemToObject(obj, "adLog", bytesArray(adLog));
	cJSON_AddItemToObject(obj, "adSlotAdLog", bytesArray(adSlotAdLog));
	cJSON_AddNumberToObject(obj, "latitude", latitude);
	cJSON_AddNumberToObject(obj, "longitude", longitude);
	cJSON_AddNumberToObject(obj, "accuracy", accuracy);
	cJSON_AddBoolToObject(obj, "crashed", crashed);
	cJSON_AddStringToObject(obj, "apiKey", apiKey.c_str());
	cJSON_AddStringToObject(obj, "appVersion", appVersion.c_str());
	if (userID)
		cJSON_AddStringToObject(obj, "userID", userID->c_str());
	detail::jsonAddInteger(obj, "pageViewCount", pageViewCount);
	cJSON_AddStringToObject(obj, "locale", locale.c_str());
	cJSON_AddStringToObject(obj, "timeZone", timeZone.c_str());
	cJSON_AddBoolToObject(obj, "internetAvailable", internetAvailable);
	detail::jsonAddDate(obj, "age", age);
	detail::jsonAddInteger(obj, "gender", gender);
	return obj;
}

std::optional<AnalyticsSessionData> AnalyticsSessionData::fromJSON(const cJSON* json)
{
	if (!cJSON_IsObject(json))
		return std::nullopt;
	AnalyticsSessionData d;
	d.serializationVersion = static_cast<int32_t>(detail::jsonInteger(json, "serializationVersion"));
	if (d.serializationVersion > 0 && d.serializationVersion != 1)
		return std::nullopt;
	d.startTime = detail::jsonDate(json, "startTime");
	d.endTime = detail::jsonDate(json, "endTime");
	d.pauseTime = detail::jsonDate(json, "pauseTime");
	d.totalPauseIntervalMillis = detail::jsonInteger(json, "pauseIntervalMillis");
	const cJSON* counts = cJSON_GetObjectItemCaseSensitive(json, "eventCounts");
	if (cJSON_IsObject(counts))
	{
		for (const cJSON* c = counts->child; c; c = c->next)
		{
			if (c->string && cJSON_IsNumber(c))
				d.eventCounts[c->string] = static_cast<int32_t>(detail::jsonInteger(counts, c->string));
		}
	}
	const cJSON* log = cJSON_GetObjectItemCaseSensitive(json, "eventLog");
	if (cJSON_IsArray(log))
	{
		for (const cJSON* e = log->child; e; e = e->next)
		{
			if (cJSON_IsObject(e))
				d.eventLog.push_back(AnalyticsEvent::fromJSON(e));
		}
	}
	d.eventLogComplete = detail::jsonBool(json, "eventLogComplete");
	const cJSON* errorList = cJSON_GetObjectItemCaseSensitive(json, "errors");
	if (cJSON_IsArray(errorList))
	{
		for (const cJSON* e = errorList->child; e; e = e->next)
		{
			if (!cJSON_IsArray(e) || cJSON_GetArraySize(e) != 5)
				continue;
			const cJSON* item[5];
			for (int i = 0; i < 5; ++i)
				item[i] = cJSON_GetArrayItem(e, i);
			AnalyticsErrorEntry entry;
			entry.sequence = cJSON_IsNumber(item[0]) ? static_cast<int64_t>(item[0]->valuedouble) : 0;
			if (cJSON_IsNumber(item[1]))
				entry.recorded = static_cast<int64_t>(item[1]->valuedouble);
			std::string* texts[3] = {&entry.errorID, &entry.message, &entry.exception};
			for (int i = 0; i < 3; ++i)
				*texts[i] = cJSON_IsString(item[2 + i]) && item[2 + i]->valuestring ? item[2 + i]->valuestring : "";
			d.errors.push_back(entry);
		}
	}
	d.totalErrorCount = static_cast<int32_t>(detail::jsonInteger(json, "totalErrorCount"));
	d.adLog = readBytesArray(json, "adLog");
	d.adSlotAdLog = readBytesArray(json, "adSlotAdLog");
	d.latitude = detail::jsonNumber(json, "latitude");
	d.longitude = detail::jsonNumber(json, "longitude");
	d.accuracy = static_cast<float>(detail::jsonNumber(json, "accuracy"));
	d.crashed = detail::jsonBool(json, "crashed");
	d.apiKey = detail::jsonString(json, "apiKey").value_or(std::string());
	d.appVersion = detail::jsonString(json, "appVersion").value_or(std::string());
	d.userID = detail::jsonString(json, "userID");
	d.pageViewCount = static_cast<int32_t>(detail::jsonInteger(json, "pageViewCount"));
	d.locale = detail::jsonString(json, "locale").value_or(std::string());
	d.timeZone = detail::jsonString(json, "timeZone").value_or(std::string());
	d.internetAvailable = detail::jsonBool(json, "internetAvailable");
	d.age = detail::jsonDate(json, "age");
	d.gender = static_cast<int32_t>(detail::jsonInteger(json, "gender"));
	return d;
}

std::shared_ptr<AnalyticsSession> AnalyticsSession::createActiveAnalyticsSession(const std::string& apiKey, const std::string& appVersion)
{
	{
		std::lock_guard<std::mutex> lock(state().classLock);
		state().fileKey = apiKey;
	}
	const std::string path = currentSessionFilePath();
	std::optional<AnalyticsSessionData> former;
	try
	{
		cJSON* json = AnalyticsFiles::readJSON(path);
		former = AnalyticsSessionData::fromJSON(json);
		cJSON_Delete(json);
	}
	catch (...)
	{
		former.reset();
	}
	if (former)
	{
		former->crashed = true;
		addRecordToSavedSessions(former->record());
		debugLog("AnalyticsAgent: Add crashed former session");
	}
	else
	{
		AnalyticsFiles::remove(path);
	}
	auto session = std::make_shared<AnalyticsSession>(apiKey, appVersion.empty() ? AnalyticsDevice::bundleVersion() : appVersion);
	setCurrentSession(session);
	debugLog("AnalyticsAgent: Created active session with API[" + apiKey + "]");
	return session;
}

bool AnalyticsSession::updateSavedSessions(const std::function<bool(std::vector<Bytes>&)>& change)
{
	std::lock_guard<std::mutex> lock(state().savedSessionsLock);
	const std::string path = sessionsFilePath();
	std::optional<std::vector<Bytes>> list = readSavedSessions(path);
	if (!list)
		return false;
	if (!change(*list))
		return true;
	cJSON* json = bytesArray(*list);
	const bool ok = AnalyticsFiles::writeJSON(path, json);
	cJSON_Delete(json);
	return ok;
}

std::vector<Bytes> AnalyticsSession::savedSessions()
{
	std::vector<Bytes> out;
	updateSavedSessions([&out](std::vector<Bytes>& list) {
		out = list;
		return false;
	});
	return out;
}

bool AnalyticsSession::setSavedSessions(const std::vector<Bytes>& sessions)
{
	return updateSavedSessions([&sessions](std::vector<Bytes>& list) {
		list = sessions;
		return true;
	});
}

bool AnalyticsSession::addRecordToSavedSessions(const Bytes& record)
{
	return updateSavedSessions([&record](std::vector<Bytes>& list) {
		const std::optional<Bytes> identity = recordIdentity(record);
		if (identity)
		{
			for (const Bytes& saved : list)
			{
				if (recordIdentity(saved) == identity)
					return false;
			}
		}
		list.push_back(record);
		removeOldSessionsIfNecessary(list);
		return true;
	});
}

bool AnalyticsSession::addToSavedSessions(const AnalyticsSession& session)
{
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Add session with startTime[" + detail::dateText(session.startTime()) + "] to saved sessions");
	return addRecordToSavedSessions(session.data());
}

std::vector<Bytes>& AnalyticsSession::removeOldSessionsIfNecessary(std::vector<Bytes>& sessions)
{
	const size_t max = static_cast<size_t>(maxSessions());
	if (sessions.size() > max)
	{
		const size_t extra = sessions.size() - max;
		debugLog("AnalyticsAgent: Max sessions allowed[" + std::to_string(max) + "] exceeded");
		debugLog("AnalyticsAgent: Removing [" + std::to_string(extra) + "] sessions from saved sessions");
		sessions.erase(sessions.begin(), sessions.begin() + extra);
	}
	return sessions;
}

void AnalyticsSession::setMaxSessions(int maxSessions)
{
	state().maxSessions = std::max(1, maxSessions);
}

int AnalyticsSession::maxSessions()
{
	return state().maxSessions;
}

bool AnalyticsSession::sentSession()
{
	const bool sent = AnalyticsFiles::exists(sessionSentFilePath());
	debugLog("AnalyticsAgent: application sent session[" + std::to_string(sent) + "]");
	return sent;
}

void AnalyticsSession::setSentSession()
{
	const std::string path = sessionSentFilePath();
	if (!AnalyticsFiles::exists(path))
		AnalyticsFiles::writeFile(path, std::string());
}

Date AnalyticsSession::initialTimestamp()
{
	std::lock_guard<std::mutex> lock(state().initialTimestampLock);
	const std::string path = initialTimestampFilePath();
	if (AnalyticsFiles::exists(path))
	{
		cJSON* json = AnalyticsFiles::readJSON(path);
		const Date saved = detail::jsonDate(json, "initialTimestamp");
		cJSON_Delete(json);
		if (saved)
		{
			if (AnalyticsUtil::isDebugLogEnabled())
				debugLog("AnalyticsAgent: Initial timestamp[" + detail::dateText(saved) + "] from saved source");
			return saved;
		}
	}
	const std::shared_ptr<AnalyticsSession> current = currentSession();
	const Date date = current ? current->startTime() : Date(lang::System::currentTimeMicros());
	cJSON* json = cJSON_CreateObject();
	detail::jsonAddDate(json, "initialTimestamp", date);
	AnalyticsFiles::writeJSON(path, json);
	cJSON_Delete(json);
	if (AnalyticsUtil::isDebugLogEnabled())
		debugLog("AnalyticsAgent: Initial timestamp[" + detail::dateText(date) + "] created and saved");
	return date;
}
}
