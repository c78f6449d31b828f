#include "GameLua.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaStackRestore.h>
#include <cmath>
#include <cstdint>
#include <ctime>

// Script utilities.
void GameLua::registerUtilities()
{
	registerMethod<&GameLua::print>("print", this);
	registerMethod<&GameLua::GetDate>("GetDate", this);
	registerMethod<&GameLua::throwException>("throwException", this);
	registerMethod<&GameLua::printGlobals>("printGlobals", this);
	registerLuaMethod("setGameParameters", this, &GameLua::setGameParameters,
		"table {deterministicPhysics = boolean} (anything else changes nothing)");
	registerMethod<&GameLua::performBitwiseAnd>("performBitwiseAnd", this);
	registerMethod<&GameLua::performBitwiseOr>("performBitwiseOr", this);
	registerMethod<&GameLua::getCurrentTime>("getCurrentTime", this);
	registerLuaMethod("getTimeDifference", this, &GameLua::getTimeDifference,
		"date table a, date table b -> {days, hours, minutes, seconds} of the absolute difference");
	registerLuaMethod("getTimeDifferenceInSeconds", this, &GameLua::getTimeDifferenceInSeconds,
		"date table a, date table b -> seconds from b to a");
}

void getTimeAsStruct(const lua::LuaTable& date, tm& out)
{
	out = tm();
	out.tm_year = lua::detail::numberToInt(double(date.getNumber("year")) - 1900.0);
	out.tm_mon = lua::detail::numberToInt(double(date.getNumber("month")) - 1.0);
	out.tm_mday = lua::detail::numberToInt(date.getNumber("day"));
	if (date.isNumber("hour"))
		out.tm_hour = lua::detail::numberToInt(date.getNumber("hour"));
	if (date.isNumber("minutes"))
		out.tm_min = lua::detail::numberToInt(date.getNumber("minutes"));
	if (date.isNumber("seconds"))
		out.tm_sec = lua::detail::numberToInt(date.getNumber("seconds"));
}

namespace
{
/** The seconds from b to a; both date tables at stack positions 1 and 2. */
double difference(lua::LuaState* state)
{
	lua::checkArgumentCount(state->top(), 2, 2);
	tm a, b;
	getTimeAsStruct(state->toTable(1), a);
	getTimeAsStruct(state->toTable(2), b);
	return difftime(mktime(&a), mktime(&b));
}
}

void GameLua::print(const std::string& text)
{
	lang::Debug::printf("%s", text.c_str());
}

int GameLua::GetDate()
{
	return static_cast<int>(static_cast<int64_t>(time(nullptr)) / 3600);
}

void GameLua::throwException(const std::string&)
{
	lang::throwError(lang::Exception(lang::Format("")));
}

void GameLua::printGlobals()
{
	lua::LuaState* state = getState();
	lua_State* lua = state->getLua();
	lua::LuaStackRestore restore(state);
	state->pushTable(*this);
	const int table = lua_gettop(lua);
	lua_pushnil(lua);
	while (lua_next(lua, table))
	{
		if (lua_type(lua, -1) != LUA_TFUNCTION)
		{
			// lua_tostring would change a number key in place and break the walk.
			if (lua_type(lua, -2) == LUA_TNUMBER)
				lang::Debug::printf("Number: %f\n", lua_tonumber(lua, -2));
			else if (lua_type(lua, -2) == LUA_TSTRING)
				lang::Debug::printf("Name: %s\n", lua_tostring(lua, -2));
		}
		lua_pop(lua, 1);
	}
}

int GameLua::setGameParameters(lua::LuaState* state)
{
	if (state->top() < 1 || !state->isTable(-1))
		return 0;
	lua::LuaTable params = state->toTable(-1);
	if (params.isBoolean("deterministicPhysics"))
		m_deterministicPhysics = params.getBoolean("deterministicPhysics");
	return 0;
}

float GameLua::performBitwiseAnd(float x, float y)
{
	return static_cast<float>(lua::detail::numberToInt(x) & lua::detail::numberToInt(y));
}

float GameLua::performBitwiseOr(float x, float y)
{
	return static_cast<float>(lua::detail::numberToInt(x) | lua::detail::numberToInt(y));
}

lua::LuaTable GameLua::getCurrentTime()
{
	const time_t now = time(nullptr);
	tm local;
	localtime_r(&now, &local);
	lua::LuaTable date(getState());
	date.setNumber("year", static_cast<float>(local.tm_year + 1900));
	date.setNumber("month", static_cast<float>(local.tm_mon + 1));
	date.setNumber("day", static_cast<float>(local.tm_mday));
	date.setNumber("hour", static_cast<float>(local.tm_hour));
	date.setNumber("minutes", static_cast<float>(local.tm_min));
	date.setNumber("seconds", static_cast<float>(local.tm_sec));
	return date;
}

int GameLua::getTimeDifference(lua::LuaState* state)
{
	const double d = std::fabs(difference(state));
	// Saturates: mktime's -1 for a date it cannot represent stays small anyway.
	const uint64_t s = d < 1.8e19 ? static_cast<uint64_t>(d) : UINT64_MAX;
	lua_State* lua = state->getLua();
	lua_createtable(lua, 0, 4);
	lua_pushnumber(lua, static_cast<double>(s / 86400));
	lua_setfield(lua, -2, "days");
	lua_pushnumber(lua, static_cast<double>(s / 3600 % 24));
	lua_setfield(lua, -2, "hours");
	lua_pushnumber(lua, static_cast<double>(s / 60 % 60));
	lua_setfield(lua, -2, "minutes");
	lua_pushnumber(lua, static_cast<double>(s % 60));
	lua_setfield(lua, -2, "seconds");
	return 1;
}

int GameLua::getTimeDifferenceInSeconds(lua::LuaState* state)
{
	lua_pushnumber(state->getLua(), difference(state));
	return 1;
}
