#include <analytics/AnalyticsEvent.h>
#include "AnalyticsAutoIncrement.h"
#include "AnalyticsJSON.h"
#include <lang/System.h>

namespace analytics
{
AnalyticsEvent::AnalyticsEvent() : m_timed(false), m_automaticallyEnded(false), m_eventLogId(0)
{
}

AnalyticsEvent::AnalyticsEvent(const std::string& name, bool timed, const Parameters& parameters) :
	m_name(name),
	m_started(lang::System::currentTimeMicros()),
	m_timed(timed),
	m_parameters(parameters),
	m_automaticallyEnded(false),
	m_eventLogId(AnalyticsAutoIncrement::instance().nextCountFor(AnalyticsAutoIncrement::EVENT_COUNTER))
{
}

bool AnalyticsEvent::isUnterminated() const
{
	return m_timed && !m_ended;
}

int32_t AnalyticsEvent::startOffsetFromSessionStart(const Date& sessionStart) const
{
	return static_cast<int32_t>(AnalyticsProtocolData::timeIntervalFrom(sessionStart, m_started));
}

int32_t AnalyticsEvent::duration() const
{
	if (!m_timed || !m_ended)
		return 0;
	return static_cast<int32_t>(AnalyticsProtocolData::timeIntervalFrom(m_started, m_ended));
}

Bytes AnalyticsEvent::dataRelativeToSessionStart(const Date& sessionStart) const
{
	Bytes data;
	appendDataRelativeToSessionStart(sessionStart, data);
	return data;
}

void AnalyticsEvent::appendDataRelativeToSessionStart(const Date& sessionStart, Bytes& data) const
{
	AnalyticsProtocolData::appendUshort(static_cast<uint16_t>(m_eventLogId), data);
	AnalyticsProtocolData::appendString(m_name, data);
	AnalyticsProtocolData::appendUshort(static_cast<uint16_t>(m_parameters.size()), data);
	for (const auto& p : m_parameters)
	{
		AnalyticsProtocolData::appendString(p.first, data);
		AnalyticsProtocolData::appendString(p.second, data);
	}
	AnalyticsProtocolData::appendLong(startOffsetFromSessionStart(sessionStart), data);
	AnalyticsProtocolData::appendLong(duration(), data);
}

cJSON* AnalyticsEvent::toJSON() const
{
	cJSON* obj = cJSON_CreateObject();
	cJSON_AddStringToObject(obj, "name", m_name.c_str());
	detail::jsonAddDate(obj, "started", m_started);
	detail::jsonAddDate(obj, "ended", m_ended);
	cJSON_AddBoolToObject(obj, "timed", m_timed);
	cJSON* params = cJSON_AddObjectToObject(obj, "parameters");
	for (const auto& p : m_parameters)
		cJSON_AddStringToObject(params, p.first.c_str(), p.second.c_str());
	cJSON_AddBoolToObject(obj, "automaticallyEnded", m_automaticallyEnded);
	detail::jsonAddInteger(obj, "eventLogId", m_eventLogId);
	return obj;
}

AnalyticsEvent AnalyticsEvent::fromJSON(const cJSON* json)
{
	AnalyticsEvent e;
	e.setName(detail::jsonString(json, "name").value_or(std::string()));
	e.setStarted(detail::jsonDate(json, "started"));
	e.setEnded(detail::jsonDate(json, "ended"));
	e.setTimed(detail::jsonBool(json, "timed"));
	e.setParameters(detail::jsonStringMap(json, "parameters"));
	e.setAutomaticallyEnded(detail::jsonBool(json, "automaticallyEnded"));
	e.setEventLogId(detail::jsonInteger(json, "eventLogId"));
	return e;
}

bool AnalyticsEvent::operator==(const AnalyticsEvent& o) const
{
	return m_name == o.m_name && m_started == o.m_started && m_ended == o.m_ended && m_timed == o.m_timed &&
		m_parameters == o.m_parameters && m_automaticallyEnded == o.m_automaticallyEnded && m_eventLogId == o.m_eventLogId;
}
}
