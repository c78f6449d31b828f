#ifndef ANALYTICS_ANALYTICS_H
#define ANALYTICS_ANALYTICS_H

#include <lang/Object.h>
#include <map>
#include <string>

namespace analytics
{
class AnalyticsImpl;

/**
 * The engine's only way into the analytics client: one session per process
 * with named events carrying string parameters. Strings are UTF-8; invalid
 * sequences become U+FFFD.
 */
class Analytics : private lang::Object
{
public:
	typedef std::map<std::string, std::string> Parameters;

	/** Switches the client to the secure report address before any session starts. */
	Analytics();
	/** Sends nothing. */
	~Analytics();

	/** Starts the client's session; reports on close and on pause are switched off. */
	void startSession(const std::string& apiKey);
	/** Nothing: the client ends its session when the application terminates. */
	void endSession();
	void logEvent(const std::string& name);
	void logEvent(const std::string& name, const std::string& key, const std::string& value);
	void logEvent(const std::string& name, const Parameters& parameters);

	// The host's application notifications and facts.
	void didBecomeActive();
	void willResignActive();
	/** A normal exit: closes the session, lets a running send end (or aborts it) and stops the heartbeat. */
	void willTerminate();
	/** The size of the surface the game draws on, for the reports (0 x 0 until given). */
	void setScreenSize(int width, int height);

private:
	AnalyticsImpl* m_impl;

	Analytics(const Analytics&) = delete;
	Analytics& operator=(const Analytics&) = delete;
};
}

#endif
