#include "GameLua.h"
#include "StandIn.h"

// World queries.
void GameLua::registerQueries()
{
	standin::bind<float(std::string)>(this, "getAngle");
	standin::bindRaw(this, "getIntersectingObjects");
	standin::bindRaw(this, "getRayCastedObjects");
	standin::bindRaw(this, "getWorldPoint");
	standin::bindRaw(this, "getLocalPoint");
}
