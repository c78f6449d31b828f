#ifndef LUA_LUASTACKRESTORE_H
#define LUA_LUASTACKRESTORE_H

struct lua_State;

namespace lua
{
class LuaState;

/** Puts the interpreter's stack top back where it was, also when an exception passes. */
class LuaStackRestore
{
public:
	explicit LuaStackRestore(LuaState* state);
	explicit LuaStackRestore(lua_State* lua);
	~LuaStackRestore();

	LuaStackRestore(const LuaStackRestore&) = delete;
	LuaStackRestore& operator=(const LuaStackRestore&) = delete;

private:
	lua_State* m_lua;
	int m_top;
};
}

#endif
