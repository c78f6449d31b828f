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
