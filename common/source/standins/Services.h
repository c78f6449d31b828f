#ifndef STANDINS_SERVICES_H
#define STANDINS_SERVICES_H

// Stand-ins of the platform services and drawing helpers not built yet; each answers "none".

#include <set>
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

/** Programs the device can open: none, unless a test names their URL prefixes. */
class Launcher
{
public:
	static bool canOpenProgram(const std::string& url) { return openable().count(url) != 0; }
	static std::set<std::string>& openable()
	{
		static std::set<std::string> urls;
		return urls;
	}
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

class GameRatingPrompt
{
public:
	static void appStarted() {}
};

/** The aiming stream: nothing to draw. */
class AimStream
{
public:
	void setSpawnTime(float t) { m_spawnTime = t; }
	void setSpeed(float s) { m_speed = s; }
	void setEnabled(bool enabled) { m_enabled = enabled; }
	void setSpawning(bool spawning) { m_spawning = spawning; }
	float spawnTime() const { return m_spawnTime; }
	float speed() const { return m_speed; }
	bool enabled() const { return m_enabled; }

private:
	float m_spawnTime = 0.f;
	float m_speed = 0.f;
	bool m_enabled = false;
	bool m_spawning = false;
};

/** Particles: none are made. */
class Particles
{
public:
	void clear() {}
	void update(float) {}
};

#endif
