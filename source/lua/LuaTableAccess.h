#ifndef LUA_LUATABLEACCESS_H
#define LUA_LUATABLEACCESS_H

#include <lua/LuaState.h>
#include <lua/LuaTable.h>
#include <lang/assert.h>
#include <string>
#include <vector>

namespace lua
{
/** Internals shared by the table sources. */
struct LuaTableAccess
{
	/** The running thread of the table's state; asserts that the handle references a table. */
	static lua_State* luaOf(const LuaTable& t)
	{
		LANG_ASSERT(t.m_ref >= 0);
		return t.m_luastate->getLua();
	}

	static void pushSelf(lua_State* lua, const LuaTable& t) { lua_rawgeti(lua, LUA_REGISTRYINDEX, t.m_ref); }

	/** A new registry reference to the value on top (which is popped), counted by the state. */
	static int reference(LuaState* state, lua_State* lua)
	{
		int ref = luaL_ref(lua, LUA_REGISTRYINDEX);
		++state->m_tableRefs;
		return ref;
	}

	static void unreference(LuaState* state, int ref)
	{
		luaL_unref(state->getLua(), LUA_REGISTRYINDEX, ref);
		--state->m_tableRefs;
	}

	/**
	 * Room for n more values on the running thread's stack. Recursive walks
	 * keep a few values per nesting level, beyond what the interpreter
	 * guarantees; past its limit the walk throws instead of overrunning.
	 */
	static void reserve(lua_State* lua, int n);

	/** Identities of the tables on the path of a recursive walk, for cycle checks. */
	typedef std::vector<const void*> Path;

	static void traverseRecursively(LuaTable& t, LuaTableVisitor& v, Path& path);
};
}

#endif
