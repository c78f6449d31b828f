#include "GameLua.h"
#include "StandIn.h"

// The aiming aid and its trajectory simulation.
void GameLua::registerAim()
{
	standin::bind<void()>(this, "ClearSimulationTrajectory");
	standin::bind<void()>(this, "updateProjectileTrajectoryTable");
	standin::bind<void()>(this, "populateAimingAid");
	standin::bind<void(std::string)>(this, "setSelectedProjectileDuringSimulation");
	standin::bind<void(bool)>(this, "enableAimingAid");
	standin::bind<float()>(this, "getAimingTime");
	standin::bind<void(float)>(this, "clearAimingAid");
	standin::bind<void(std::string)>(this, "setAimingAidSprite");
}
