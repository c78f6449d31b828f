#include "GameLua.h"
#include "StandIn.h"

// Sensors and gravity fields.
void GameLua::registerSensors()
{
	standin::bind<void(float)>(this, "setGravityForceMultiplier");
	standin::bind<float()>(this, "getGravityForceMultiplier");
	standin::bind<void(std::string, float, float)>(this, "setSensorMinimumAndMaximumForces");
	standin::bind<void(std::string, int)>(this, "setSensorGravityMask");
	standin::bind<void(std::string, int)>(this, "setObjectGravityCategory");
	standin::bind<void(std::string)>(this, "linkSensor");
	standin::bind<void(std::string, bool)>(this, "setRevertGravity");
	standin::bind<void(std::string, bool, float, float)>(this, "setRevertGravityWithMultiplier");
}
