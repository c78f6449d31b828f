#ifndef SCRIPTFIELDS_H
#define SCRIPTFIELDS_H

#include <lua/LuaStackRestore.h>
#include <lua/LuaState.h>
#include <lua/LuaTable.h>
#include <cstdlib>
#include <string>

// Fields of script tables read with one lookup each, for drawing calls made every frame.
namespace fields
{
/** True only for the boolean true. */
inline bool isTrue(const lua::LuaTable& t, const char* key)
{
	lua::LuaState* state = t.getState();
	lua::LuaStackRestore restore(state);
	t.pushMember(key);
	return state->isBoolean(-1) && state->toBoolean(-1);
}

/** The field as a number (a numeric string converts); false, with out untouched, for anything else. */
inline bool read(const lua::LuaTable& t, const char* key, float& out)
{
	lua::LuaState* state = t.getState();
	lua::LuaStackRestore restore(state);
	t.pushMember(key);
	if (state->type(-1) == lua::LuaState::TYPE_NUMBER)
		out = state->toNumber(-1);
	else if (state->type(-1) == lua::LuaState::TYPE_STRING && state->isNumber(-1))
		out = float(std::strtod(state->toString(-1), nullptr));
	else
		return false;
	return true;
}

/** The field as a number, or otherwise. */
inline float number(const lua::LuaTable& t, const char* key, float otherwise)
{
	float v = otherwise;
	read(t, key, v);
	return v;
}

/** The field as text (a number gives its text); "" for other types. */
inline std::string text(const lua::LuaTable& t, const char* key)
{
	lua::LuaState* state = t.getState();
	lua::LuaStackRestore restore(state);
	t.pushMember(key);
	const lua::LuaState::Type type = state->type(-1);
	if (type == lua::LuaState::TYPE_STRING)
		return state->toString(-1);
	if (type == lua::LuaState::TYPE_NUMBER)
		return t.getString(key);
	return std::string();
}
}

#endif
