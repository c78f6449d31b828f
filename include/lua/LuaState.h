#ifndef LUA_LUASTATE_H
#define LUA_LUASTATE_H

#include <lang/Object.h>
#include <lang/assert.h>
#include <lua/LuaFunctor.h>
#include <lua/LuaTable.h>
#include <lua.hpp>
#include <string>

namespace io
{
class InputStream;
}

namespace lua
{
/**
 * The engine's Lua interpreter: typed stack access with an exact type rule,
 * compiling scripts from streams, and protected calls into scripts.
 * Every script error reaches the engine as lua::LuaException whose text
 * ends with the script's call stack.
 */
class LuaState : public lang::Object
{
public:
	/** Value types, numbered as the interpreter numbers them. */
	enum Type : int
	{
		TYPE_INVALID = LUA_TNONE,
		TYPE_NIL = LUA_TNIL,
		TYPE_BOOLEAN = LUA_TBOOLEAN,
		TYPE_LIGHTUSERDATA = LUA_TLIGHTUSERDATA,
		TYPE_NUMBER = LUA_TNUMBER,
		TYPE_STRING = LUA_TSTRING,
		TYPE_TABLE = LUA_TTABLE,
		TYPE_FUNCTION = LUA_TFUNCTION,
		TYPE_USERDATA = LUA_TUSERDATA,
		TYPE_THREAD = LUA_TTHREAD
	};

	/** Opens the standard libraries except debug; no native modules can be loaded. */
	LuaState();
	/** Every LuaTable of this state must be gone before it. */
	~LuaState() override;

	LuaState(const LuaState&) = delete;
	LuaState& operator=(const LuaState&) = delete;

	/** The table of globals. */
	LuaTable& globals() { return m_globals; }

	/** "NIL", "NUMBER" and so on; "INVALID" for anything else. */
	static const char* toString(Type type);

	Type type(int index) const { return static_cast<Type>(lua_type(m_lua, index)); }
	bool isNil(int index) const { return lua_type(m_lua, index) == LUA_TNIL; }
	bool isBoolean(int index) const { return lua_type(m_lua, index) == LUA_TBOOLEAN; }
	bool isTable(int index) const { return lua_type(m_lua, index) == LUA_TTABLE; }
	/** A number or a string that converts to one. */
	bool isNumber(int index) const { return lua_isnumber(m_lua, index) != 0; }
	/** A string or a number. */
	bool isString(int index) const { return lua_isstring(m_lua, index) != 0; }

	/** Throws LuaException unless the value at index has exactly the expected type. */
	void checkType(int index, Type expected) const
	{
		int found = lua_type(m_lua, index);
		if (found != expected)
			throwTypeError(index, expected, found);
	}

	bool toBoolean(int index) const { checkType(index, TYPE_BOOLEAN); return lua_toboolean(m_lua, index) != 0; }
	float toNumber(int index) const { checkType(index, TYPE_NUMBER); return static_cast<float>(lua_tonumber(m_lua, index)); }
	/** Valid while the value stays on the stack. */
	const char* toString(int index) const { checkType(index, TYPE_STRING); return lua_tostring(m_lua, index); }
	/** A new handle to the table at index. */
	LuaTable toTable(int index) const;

	void push(int index) { lua_pushvalue(m_lua, index); }
	void pop(int n) { lua_settop(m_lua, -n - 1); }
	int top() const { return lua_gettop(m_lua); }
	void pushBoolean(bool v) { lua_pushboolean(m_lua, v ? 1 : 0); }
	void pushNumber(float v) { lua_pushnumber(m_lua, v); }
	void pushNil() { lua_pushnil(m_lua); }
	void pushLightUserData(void* p) { lua_pushlightuserdata(m_lua, p); }
	/** A closure with the top n values as its upvalues. */
	void pushCClosure(lua_CFunction f, int n) { lua_pushcclosure(m_lua, f, n); }
	void pushString(const char* s) { lua_pushstring(m_lua, s); }
	/** Embedded zero bytes are kept. */
	void pushString(const std::string& s) { lua_pushlstring(m_lua, s.data(), s.size()); }
	static void pushString(lua_State* lua, const std::string& s) { lua_pushlstring(lua, s.data(), s.size()); }
	static void pushString(lua_State* lua, const char* s) { lua_pushstring(lua, s); }
	/** The referenced table, or nil for a null pointer or an empty handle. */
	static void pushTable(lua_State* lua, const LuaTable* table);
	void pushTable(const LuaTable& table) { pushTable(m_lua, &table); }
	void newTable() { lua_newtable(m_lua); }

	/** Replaces the key on top by table[key] of the table at index; metamethods run protected. */
	void getTable(int index);
	/** table[key] = value for the key and value on top, popping both; metamethods run protected. */
	void setTable(int index);
	/** Raw table[n] = the value on top, which is popped. */
	void rawSetI(int index, int n);
	/** One traversal step of the table at index: true while a key and value were pushed. */
	bool next(int index);

	/**
	 * Calls the function below the nargs arguments on top, protected.
	 * A script error throws LuaException: the message, then the call stack.
	 */
	void call(int nargs, int nresults);

	/**
	 * Compiles the stream's text under the chunk name and runs it, with
	 * env (when given) as the chunk's table of globals. Source text and
	 * precompiled chunks are both accepted.
	 */
	void compile(io::InputStream& in, const std::string& name, LuaTable* env);

	/** The panic function: throws LuaException with the message on top and the call stack. */
	static int handleError(lua_State* lua);

	/**
	 * "\nCall stack:\n" and one "<chunk>(<line>)\n" per calling frame
	 * (at most 10), then "(end)\n"; " (call stack not available)" with no frame.
	 */
	static std::string getStackTrace(lua_State* lua);

	/**
	 * For native closures of bound members: the owning state and the functor
	 * held by upvalues 1 to 3. Returns the object, null once the object is
	 * destroyed (its destructor clears the closures it made).
	 */
	static void* getDispatchData(lua_State* lua, LuaState** state, LuaFunctor* functor)
	{
		*state = getOwner(lua);
		functor->obj = lua_touserdata(lua, lua_upvalueindex(1));
		functor->func[0] = lua_touserdata(lua, lua_upvalueindex(2));
		functor->func[1] = lua_touserdata(lua, lua_upvalueindex(3));
		return functor->obj;
	}

	/** The LuaState of an interpreter handle, of the main thread or any coroutine. */
	static LuaState* getOwner(lua_State* lua)
	{
		void* ud = nullptr;
		lua_getallocf(lua, &ud);
		return static_cast<LuaState*>(ud);
	}

	/** The interpreter handle of the running thread, for code that uses the C interface directly. */
	lua_State* getLua() const { return m_lua; }

	/**
	 * Makes the stack operations work on the calling thread (a coroutine
	 * may call bound members) while a native closure runs.
	 */
	class ThreadScope
	{
	public:
		ThreadScope(LuaState* state, lua_State* lua) : m_state(state), m_saved(state->m_lua) { state->m_lua = lua; }
		~ThreadScope() { m_state->m_lua = m_saved; }
		ThreadScope(const ThreadScope&) = delete;
		ThreadScope& operator=(const ThreadScope&) = delete;

	private:
		LuaState* m_state;
		lua_State* m_saved;
	};

private:
	friend class LuaTable;
	friend struct LuaTableAccess;

	lua_State* m_lua;
	lua_State* m_main;
	LuaTable m_globals;
	int m_tracebackRef;
	int m_tableRefs;

	[[noreturn]] void throwTypeError(int index, int expected, int found) const;
	void protectedCall(int nargs, int nresults);
	/** textOnly refuses precompiled chunks (data files are always source text). */
	void compileChunk(io::InputStream& in, const std::string& name, LuaTable* env, bool textOnly);
	static int initialize(lua_State* lua);
	static int traceback(lua_State* lua);
	static int errorFunction(lua_State* lua);
};

namespace detail
{
/** Script number to int: truncated toward zero, saturated to the int range, NaN gives 0. */
inline int numberToInt(double v)
{
	if (!(v == v))
		return 0;
	if (v >= 2147483647.0)
		return 2147483647;
	if (v <= -2147483648.0)
		return -2147483647 - 1;
	return static_cast<int>(v);
}
}
}

#endif
