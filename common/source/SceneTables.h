#ifndef SCENETABLES_H
#define SCENETABLES_H

#include <lua/LuaState.h>
#include <lua/LuaTable.h>

// Script-table reads of the scene code: a missing entry reads as an empty table, a missing value as its default.
namespace scene
{
template <class K> lua::LuaTable table(lua::LuaState* state, const lua::LuaTable& t, K key)
{
	return t.isTable(key) ? t.getTable(key) : lua::LuaTable(state);
}

template <class K> float number(const lua::LuaTable& t, K key, float otherwise)
{
	return t.isNumber(key) ? t.getNumber(key) : otherwise;
}

template <class K> bool boolean(const lua::LuaTable& t, K key, bool otherwise)
{
	return t.isBoolean(key) ? t.getBoolean(key) : otherwise;
}

template <class K> std::string text(const lua::LuaTable& t, K key)
{
	return t.isString(key) ? t.getString(key) : std::string();
}
}

#endif
