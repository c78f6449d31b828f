#include "AnalyticsCache.h"
#include "AnalyticsUtil.h"
#include <analytics/AnalyticsSession.h>
#include <analytics/AnalyticsDevice.h>
#include <lang/Exception.h>
#include <lang/System.h>
#include <lang/throwError.h>
#include <zlib.h>

namespace analytics
{
typedef AnalyticsProtocolData P;

Bytes AnalyticsSessionData::record() const
{
	Bytes d;
	d.reserve(256 + eventLog.size() * 32);
	P::appendUshort(static_cast<uint16_t>(serializationVersion), d);
	P::appendString(appVersion, d);
	P::appendTimestamp(startTime, d);
	P::appendLong(sessionLength(), d);
	P::appendLong(totalPauseIntervalMillis, d);
	P::appendString(locale, d);
	P::appendString(timeZone, d);
	P::appendBoolean(internetAvailable, d);
	P::appendString(userID.value_or(std::string()), d);
	P::appendBoolean(true, d);
	P::appendDouble(latitude, d);
	P::appendDouble(longitude, d);
	P::appendFloat(accuracy, d);
	P::appendInt(pageViewCount, d);
	P::appendByte(0xFF, d);
	P::appendByte(crashed ? 1 : 0, d);
	P::appendByte(gender, d);
	P::appendBoolean(static_cast<bool>(age), d);
	if (age)
		P::appendTimestamp(age, d);
	P::appendUshort(static_cast<uint16_t>(eventCounts.size()), d);
	for (const auto& c : eventCounts)
	{
		P::appendString(c.first, d);
		P::appendInt(c.second, d);
	}
	P::appendUshort(static_cast<uint16_t>(eventLog.size()), d);
	for (const AnalyticsEvent& e : eventLog)
		e.appendDataRelativeToSessionStart(startTime, d);
	P::appendBoolean(eventLogComplete, d);
	P::appendInt(totalErrorCount, d);
	P::appendUshort(static_cast<uint16_t>(errors.size()), d);
	for (const AnalyticsErrorEntry& e : errors)
	{
		P::appendUshort(static_cast<uint16_t>(e.sequence), d);
		P::appendTimestamp(e.recorded, d);
		P::appendString(e.errorID, d);
		P::appendString(e.message, d);
		P::appendString(e.exception, d);
	}
	for (const std::vector<Bytes>* list : {&adLog, &adSlotAdLog})
	{
		P::appendUshort(static_cast<uint16_t>(list->size()), d);
		for (const Bytes& b : *list)
			d.insert(d.end(), b.begin(), b.end());
	}
	return d;
}

Bytes AnalyticsSession::dataForSessions(const std::vector<ReportItem>& sessions)
{
	return dataForSessions(sessions, true, true, true, true);
}

Bytes AnalyticsSession::dataForSessions(const std::vector<ReportItem>& sessions, bool appPromo, bool videoAds, bool adSlot, bool recall, size_t* consumed)
{
	const std::shared_ptr<AnalyticsSession> current = currentSession();
	if (!current)
		lang::throwError(lang::Exception(lang::Format("Analytics report written without a current session")));
	return dataForSessions(current->snapshot(), sessions, appPromo, videoAds, adSlot, recall, consumed);
}

Bytes AnalyticsSession::dataForSessions(const AnalyticsSessionData& session, const std::vector<ReportItem>& sessions, bool appPromo, bool videoAds, bool adSlot, bool recall, size_t* consumed)
{
	Bytes d;
	P::appendUshort(FORMAT_NUMBER, d);
	if (!appPromo && !videoAds && !adSlot && !recall)
	{
		P::appendUshort(0, d);
	}
	else
	{
		P::appendUshort(3, d);
		P::appendUshort(recall ? 5 : videoAds ? 3 : appPromo ? 1 : 0, d);
		P::appendUshort(adSlot ? 1 : 0, d);
	}
	std::shared_ptr<AnalyticsImageCache> images = AnalyticsImageCache::instance();
	if (appPromo || videoAds || adSlot || recall)
		images = AnalyticsImageCache::createInstance(AnalyticsFileCache::createInstance(session.apiKey, getAgentVersion()));
	const std::vector<int64_t> ids = images ? images->storedIds() : std::vector<int64_t>();
	P::appendLong(images ? images->cacheUpdateTimestamp() : 0, d);
	P::appendUshort(static_cast<uint16_t>(ids.size()), d);
	for (int64_t id : ids)
	{
		P::appendByte(1, d);
		P::appendLong(id, d);
	}
	P::appendUshort(AnalyticsUtil::isIPad() ? 8 : 2, d);
	P::appendUshort(AGENT_VERSION, d);
	P::appendTimestamp(lang::System::currentTimeMicros(), d);
	P::appendString(session.apiKey, d);
	P::appendString(session.appVersion, d);

	P::appendUshort(3, d);
	P::appendUshort(2, d);
	P::appendShortData(getMACBasedUID(), d);
	P::appendUshort(4, d);
	P::appendShortData(getMACUID(), d);
	P::appendUshort(3, d);
	int status = 0;
	P::appendString(getCFUUIDBasedUIDAndStatus(&status), d);
	P::appendByte(status, d);

	P::appendTimestamp(initialTimestamp(), d);
	P::appendTimestamp(session.startTime, d);

	const std::map<std::string, std::string> properties = {
		{"device.model.1", devicePlatform()},
		{"device.os.version", AnalyticsUtil::systemVersion()},
		{"scr.width", std::to_string(AnalyticsDevice::screenWidth())},
		{"scr.height", std::to_string(AnalyticsDevice::screenHeight())},
	};
	P::appendUshort(static_cast<uint16_t>(properties.size()), d);
	for (const auto& p : properties)
	{
		P::appendString(p.first, d);
		P::appendString(p.second, d);
	}

	Bytes records;
	size_t count = 0;
	size_t i = 0;
	for (; i < sessions.size() && count < MAX_REPORT_RECORDS; ++i)
	{
		try
		{
			if (const Bytes* record = std::get_if<Bytes>(&sessions[i]))
			{
				records.insert(records.end(), record->begin(), record->end());
			}
			else
			{
				const std::shared_ptr<AnalyticsSession>& s = std::get<std::shared_ptr<AnalyticsSession>>(sessions[i]);
				if (!s)
					continue;
				const Bytes written = s->data();
				records.insert(records.end(), written.begin(), written.end());
			}
			++count;
		}
		catch (const lang::Throwable& e)
		{
			AnalyticsUtil::handleException(e);
		}
		catch (const std::exception& e)
		{
			AnalyticsUtil::handleException(e);
		}
	}
	if (consumed)
		*consumed = i;
	P::appendUshort(static_cast<uint16_t>(count), d);
	d.insert(d.end(), records.begin(), records.end());
	appendSessionsDataChecksum(d);
	return d;
}

uint32_t AnalyticsSession::appendSessionsDataChecksum(Bytes& data)
{
	const uint32_t crc = static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
	P::appendInt(static_cast<int32_t>(crc), data);
	return crc;
}

std::string AnalyticsSession::devicePlatform()
{
	return AnalyticsDevice::platform();
}
}
