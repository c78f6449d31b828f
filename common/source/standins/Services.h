#ifndef STANDINS_SERVICES_H
#define STANDINS_SERVICES_H

// Stand-ins of the platform services and drawing helpers not built yet; each answers "none".

#include <string>

namespace framework
{
class App;
}

namespace pf
{
/** Platform settings: none are stored. */
class AppSettings
{
public:
	bool isBoolean(const std::string&) const { return false; }
	bool getBoolean(const std::string&) const { return false; }
};

/** Local notifications: none are pending. */
class LocalNotifications
{
public:
	void removeAllNotifications() { ++m_removals; }
	int removals() const { return m_removals; }

private:
	int m_removals = 0;
};

class DeviceID
{
public:
	std::string getDeviceIDHash() const { return ""; }
};

class DeviceInfo
{
public:
	static std::string getOSVersion() { return ""; }
};
}

/** The leaderboard service: not available here. */
class GameCenter
{
public:
	bool isGameCenterAvailable() const { return false; }
	void firstInit() {}
};

class GameRatingPrompt
{
public:
	static void appStarted() {}
};

/** Particles: none are made. */
class Particles
{
public:
	void clear() {}
	void update(float) {}
};

#endif
