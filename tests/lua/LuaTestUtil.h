#ifndef TESTS_LUA_LUATESTUTIL_H
#define TESTS_LUA_LUATESTUTIL_H

#include <lua/LuaException.h>
#include <lua/LuaState.h>
#include <lua/LuaStackRestore.h>
#include <lua/LuaTable.h>
#include <gtest/gtest.h>
#include <io/ByteArrayInputStream.h>
#include <string>

namespace luatest
{
/** Compiles and runs text under the chunk name. */
inline void run(lua::LuaState& state, const std::string& text, const std::string& name = "test", lua::LuaTable* env = nullptr)
{
	io::ByteArrayInputStream in(text.data(), static_cast<int>(text.size()));
	state.compile(in, name, env);
}

/** Calls the global function with no arguments and no results. */
inline void callGlobal(lua::LuaState& state, const char* name)
{
	lua::LuaStackRestore guard(&state);
	state.globals().pushMember(name);
	state.call(0, 0);
}

/** The message of the LuaException that f throws; fails the test when it throws none. */
template <class F> std::string luaError(F f)
{
	try
	{
		f();
	}
	catch (const lua::LuaException& e)
	{
		return e.getMessage().format();
	}
	ADD_FAILURE() << "no LuaException";
	return std::string();
}
}

#endif
