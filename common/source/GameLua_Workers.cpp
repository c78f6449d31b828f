#include "GameLua.h"
#include "StandIn.h"

// Worker threads.
void GameLua::registerWorkers()
{
	standin::bind<void(std::string)>(this, "checkMainMenuAd");
	setString("uniqueDeviceId", pf::DeviceID().getDeviceIDHash());
	standin::bind<void(std::string)>(this, "native_startURLThread");
	standin::bind<void(std::string)>(this, "checkInstalledAppsOnline");
	standin::bind<void(std::string)>(this, "checkInstalledAppsOffline");
}
