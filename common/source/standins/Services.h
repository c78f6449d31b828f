#ifndef STANDINS_SERVICES_H
#define STANDINS_SERVICES_H

// Stand-ins of the services and drawing helpers not built yet; each answers "none".

#include "../StandIn.h"
#include <lua/LuaObject.h>
#include <string>

namespace framework
{
class App;
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

class GameLua;

namespace game
{
class Resources;
}

/** Particles: none are made; the table's four operations are not available yet. */
class Particles : public lua::LuaObject
{
public:
	Particles(lua::LuaState* state, GameLua*, game::Resources*, const std::string& name) : lua::LuaObject(state)
	{
		nameOperationsInErrors();
		standin::bind<void(std::string, float, float, float, float, float, float)>(this, "addParticles");
		standin::bind<void(std::string, float, float, float, float, float, float, float, float)>(this, "addParticlesWithScale");
		standin::bind<void(std::string, float, float, float, float, float, float, float, float, float, float, std::string)>(
			this, "addParticlesWithProperties");
		standin::bind<void(float, float, float, bool, float, float, float, float)>(this, "addGravitySensor");
		state->globals().setTable(name, *this);
	}
	void clear() {}
	void update(float) {}
};

#endif
