#ifndef STANDINS_ANALYTICS_H
#define STANDINS_ANALYTICS_H

#include <map>
#include <string>
#include <vector>

namespace analytics
{
/** Stand-in of the analytics facade until the client lands: events are only recorded in memory. */
class Analytics
{
public:
	typedef std::map<std::string, std::string> Parameters;
	struct Event
	{
		std::string name;
		Parameters parameters;
	};

	void startSession(const std::string& key) { m_key = key; m_sessionOpen = true; }
	void endSession() { m_sessionOpen = false; }
	void logEvent(const std::string& name, const Parameters& parameters = Parameters()) { m_events.push_back({name, parameters}); }

	const std::vector<Event>& events() const { return m_events; }
	bool sessionOpen() const { return m_sessionOpen; }
	const std::string& key() const { return m_key; }

private:
	std::vector<Event> m_events;
	std::string m_key;
	bool m_sessionOpen = false;
};
}

#endif
