#include "GameLua.h"
#include "StandIn.h"

// Joints between objects and timer links.
void GameLua::registerJoints()
{
	standin::bindRaw(this, "createJoint");
	standin::bindRaw(this, "createJoints");
	standin::bind<void(std::string)>(this, "destroyJoint");
	standin::bindRaw(this, "setJointParameters");
	standin::bind<void(std::string)>(this, "removeJointsFromObject");
	standin::bind<void(std::string, float)>(this, "setRevoluteJointSpeed");
	standin::bind<void(std::string, float)>(this, "removeBreakableJointsFromObject");
	standin::bind<void(std::string)>(this, "checkJointLimits");
}
