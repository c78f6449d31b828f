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

#endif
