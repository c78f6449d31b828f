#include "StandIn.h"

namespace standin
{
int raiseNotAvailable(lua_State* lua)
{
	lua_pushvalue(lua, lua_upvalueindex(4));
	lua_pushliteral(lua, " is not available yet");
	lua_concat(lua, 2);
	return lua_error(lua);
}

void bindRaw(lua::LuaObject* obj, const char* name)
{
	lua::LuaFunctor lf;
	lf.obj = obj;
	obj->registerClosure(name, &lf, &raiseNotAvailable);
}
}
