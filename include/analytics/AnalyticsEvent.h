#ifndef ANALYTICS_ANALYTICSEVENT_H
#define ANALYTICS_ANALYTICSEVENT_H

#include <analytics/AnalyticsProtocolData.h>
#include <map>
#include <string>

struct cJSON;

namespace analytics
{
/** One logged event of a session: name, parameters, start and, when timed, end. */
class AnalyticsEvent
{
public:
	typedef std::map<std::string, std::string> Parameters;

	AnalyticsEvent();
	/** Starts now and takes the next event log identifier. */
	explicit AnalyticsEvent(const std::string& name, bool timed = false, const Parameters& parameters = Parameters());

	/** Timed and not yet ended. */
	bool isUnterminated() const;
	/** Signed 32-bit milliseconds from the session start to this event's start. */
	int32_t startOffsetFromSessionStart(const Date& sessionStart) const;
	/** Signed 32-bit milliseconds from start to end; 0 unless timed and ended. */
	int32_t duration() const;
	/** The binary event record. */
	Bytes dataRelativeToSessionStart(const Date& sessionStart) const;
	void appendDataRelativeToSessionStart(const Date& sessionStart, Bytes& data) const;

	/** The archived form: an object with the keys "name" .. "eventLogId". */
	cJSON* toJSON() const;
	/** Reads an archived event; wrongly typed or missing values read as missing. */
	static AnalyticsEvent fromJSON(const cJSON* json);

	const std::string& name() const { return m_name; }
	void setName(const std::string& name) { m_name = name; }
	const Date& started() const { return m_started; }
	void setStarted(const Date& date) { m_started = date; }
	const Date& ended() const { return m_ended; }
	void setEnded(const Date& date) { m_ended = date; }
	bool timed() const { return m_timed; }
	void setTimed(bool timed) { m_timed = timed; }
	const Parameters& parameters() const { return m_parameters; }
	void setParameters(const Parameters& parameters) { m_parameters = parameters; }
	bool automaticallyEnded() const { return m_automaticallyEnded; }
	void setAutomaticallyEnded(bool value) { m_automaticallyEnded = value; }
	int64_t eventLogId() const { return m_eventLogId; }
	void setEventLogId(int64_t id) { m_eventLogId = id; }

	bool operator==(const AnalyticsEvent& other) const;

private:
	std::string m_name;
	Date m_started;
	Date m_ended;
	bool m_timed;
	Parameters m_parameters;
	bool m_automaticallyEnded;
	int64_t m_eventLogId;
};
}

#endif
