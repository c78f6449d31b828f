#include <lua/LuaObject.h>
#include <lua/LuaException.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <algorithm>

namespace lua
{
LuaObject::LuaObject(LuaState* state) : LuaTable(state)
{
	LANG_ASSERT(state);
	lua_State* lua = state->getLua();
	LuaStackRestore guard(lua);
	LuaState::pushTable(lua, this);
	lua_pushlightuserdata(lua, this);
	lua_rawseti(lua, -2, 0);
	lua_pushstring(lua, "_G");
	LuaState::pushTable(lua, &state->globals());
	lua_rawset(lua, -3);
	lua_pushstring(lua, "this");
	lua_pushvalue(lua, -2);
	lua_rawset(lua, -3);
}

LuaObject::~LuaObject()
{
	if (!hasTable())
		return;
	lua_State* lua = getState()->getLua();
	LuaStackRestore guard(lua);
	LuaState::pushTable(lua, this);
	const int table = lua_gettop(lua);
	for (const std::string& name : m_names)
	{
		lua_pushlstring(lua, name.data(), name.size());
		lua_rawget(lua, table);
		// Only our own closures go; a function a script stored there stays.
		bool ours = false;
		if (lua_iscfunction(lua, -1) && lua_getupvalue(lua, -1, 1))
		{
			ours = lua_touserdata(lua, -1) == static_cast<void*>(this);
			lua_pop(lua, 1);
		}
		lua_pop(lua, 1);
		if (ours)
		{
			lua_pushlstring(lua, name.data(), name.size());
			lua_pushnil(lua);
			lua_rawset(lua, table);
		}
	}
	// A closure a script kept, under any name or none, now finds no object.
	for (int ref : m_closures)
	{
		lua_rawgeti(lua, LUA_REGISTRYINDEX, ref);
		lua_pushnil(lua);
		lua_setupvalue(lua, -2, 1);
		lua_pop(lua, 1);
		luaL_unref(lua, LUA_REGISTRYINDEX, ref);
	}
}

void LuaObject::registerClosure(const char* name, const LuaFunctor* lf, lua_CFunction f, const OperationSignature& signature)
{
	OperationCatalogue::note(name, signature);
	LANG_ASSERT(lf->obj == this);
	lua_State* lua = getState()->getLua();
	LuaStackRestore guard(lua);
	LuaState::pushTable(lua, this);
	lua_pushstring(lua, name);
	lua_pushlightuserdata(lua, lf->obj);
	lua_pushlightuserdata(lua, lf->func[0]);
	lua_pushlightuserdata(lua, lf->func[1]);
	int upvalues = 3;
	if (m_nameErrors)
	{
		lua_pushstring(lua, name);
		++upvalues;
	}
	lua_pushcclosure(lua, f, upvalues);
	lua_pushvalue(lua, -1);
	m_closures.push_back(luaL_ref(lua, LUA_REGISTRYINDEX));
	lua_rawset(lua, -3);
	remember(name);
}

void LuaObject::remember(const char* name)
{
	if (std::find(m_names.begin(), m_names.end(), name) == m_names.end())
		m_names.push_back(name);
}

void LuaObject::call(const char* name)
{
	LuaState* state = getState();
	LuaStackRestore guard(state);
	pushMember(name);
	state->call(0, 0);
}

void checkArgumentCount(int count, int min, int max)
{
	if (count >= min && count <= max)
		return;
	if (min == max)
		lang::throwError(LuaException(lang::Format("{0} arguments expected, got {1}", min, count)));
	lang::throwError(LuaException(lang::Format("{0} to {1} arguments expected, got {2}", min, max, count)));
}

namespace detail
{
void pushException(lua_State* lua, const lang::Throwable& e)
{
	std::string msg;
	try
	{
		msg = e.getMessage().format();
	}
	catch (const lang::Throwable&)
	{
		msg = e.getMessage().pattern();
	}
	lua_pushlstring(lua, msg.data(), msg.size());
}

void pushException(lua_State* lua, const std::exception& e)
{
	lua_pushstring(lua, e.what());
}

void throwArgumentError(lua_State* lua, int i, int expected)
{
	int found = lua_type(lua, i);
	if (found == LUA_TNONE)
		found = LUA_TNIL;
	lang::throwError(LuaException(lang::Format("Excepted type {0} at stack position {1} but found {2}{3}",
		LuaState::toString(static_cast<LuaState::Type>(expected)), i,
		LuaState::toString(static_cast<LuaState::Type>(found)), LuaState::getStackTrace(lua))));
}

void prefixOperationName(lua_State* lua)
{
	// Upvalue 4 is the name when the closure was registered with it; a C
	// function's missing upvalue reads as none.
	if (lua_type(lua, lua_upvalueindex(4)) != LUA_TSTRING)
		return;
	lua_pushvalue(lua, lua_upvalueindex(4));
	lua_pushliteral(lua, ": ");
	lua_pushvalue(lua, -3);
	lua_concat(lua, 3);
	lua_remove(lua, -2);
}

int raiseDestroyed(lua_State* lua)
{
	lua_pushstring(lua, "Called a function of a destroyed object");
	return lua_error(lua);
}
}
}
