#include "GameLua.h"
#include "StandIn.h"

// Shot trails.
void GameLua::registerTrails()
{
	standin::bind<void()>(this, "startNewTrajectory");
	standin::bind<void(float, float, float)>(this, "addToTrajectory");
	standin::bind<void(float, float, float)>(this, "addPuffToTrajectory");
	standin::bind<void(std::string)>(this, "setNormalTrailSprite");
	standin::bind<void(std::string)>(this, "setSpecialTrailSprite");
}
