#include <lua/LuaState.h>
#include <lua/LuaException.h>
#include <lua/LuaStackRestore.h>
#include <io/InputStream.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace lua
{
namespace
{
const int MAX_TRACE_FRAMES = 10;
const int READ_BUFFER_SIZE = 2048;

const struct
{
	const char* name;
	lua_CFunction open;
} libsToOpen[] = {
	{"", luaopen_base},
	{LUA_LOADLIBNAME, luaopen_package},
	{LUA_TABLIBNAME, luaopen_table},
	{LUA_IOLIBNAME, luaopen_io},
	{LUA_OSLIBNAME, luaopen_os},
	{LUA_STRLIBNAME, luaopen_string},
	{LUA_MATHLIBNAME, luaopen_math},
	{nullptr, nullptr},
};

// The state's own allocator, so that any thread of the interpreter finds
// its LuaState through lua_getallocf.
void* allocate(void*, void* ptr, size_t, size_t size)
{
	if (size == 0)
	{
		std::free(ptr);
		return nullptr;
	}
	return std::realloc(ptr, size);
}

bool hasStackTrace(const std::string& msg)
{
	static const char marker[] = " (call stack not available)";
	const size_t n = sizeof(marker) - 1;
	return msg.find("\nCall stack:\n") != std::string::npos ||
		(msg.size() >= n && msg.compare(msg.size() - n, n, marker) == 0);
}

// Text of an error value: strings and numbers as they are, anything else by its kind.
std::string errorText(lua_State* lua, int index)
{
	switch (lua_type(lua, index))
	{
	case LUA_TSTRING:
	case LUA_TNUMBER: {
		size_t len = 0;
		const char* s = lua_tolstring(lua, index, &len);
		return std::string(s, len);
	}
	case LUA_TBOOLEAN:
		return lua_toboolean(lua, index) ? "true" : "false";
	case LUA_TNONE:
		return "nil";
	default:
		return lua_typename(lua, lua_type(lua, index));
	}
}

std::string stackTrace(lua_State* lua, int firstLevel)
{
	std::string trace;
	int frames = 0;
	lua_Debug ar;
	for (int level = firstLevel; frames < MAX_TRACE_FRAMES; ++level, ++frames)
	{
		if (!lua_getstack(lua, level, &ar) || !lua_getinfo(lua, "Snl", &ar))
			break;
		if (frames == 0)
			trace += "\nCall stack:\n";
		// A file's chunk name starts with "@"; the trace shows the file name alone.
		trace += ar.source ? (ar.source[0] == '@' ? ar.source + 1 : ar.source) : "?";
		trace += "(";
		trace += std::to_string(ar.currentline);
		trace += ")\n";
	}
	trace += frames > 0 ? "(end)\n" : " (call stack not available)";
	return trace;
}

[[noreturn]] void throwScriptError(const std::string& msg)
{
	lang::throwError(LuaException(lang::Format("{0}", msg)));
}

// Feeds lua_load from a stream. A stream exception must not cross the
// interpreter's frames: it is kept and thrown again after lua_load.
struct ChunkReader
{
	io::InputStream* in;
	int remaining;
	bool sized;
	bool textOnly;
	bool first;
	std::exception_ptr error;
	char buffer[READ_BUFFER_SIZE];

	static const char* read(lua_State*, void* data, size_t* size)
	{
		ChunkReader* r = static_cast<ChunkReader*>(data);
		*size = 0;
		if (r->error || (r->sized && r->remaining <= 0))
			return nullptr;
		try
		{
			int want = READ_BUFFER_SIZE;
			if (r->sized && r->remaining < want)
				want = r->remaining;
			int got = r->in->read(r->buffer, want);
			if (got <= 0)
				return nullptr;
			if (r->first && r->textOnly && r->buffer[0] == LUA_SIGNATURE[0])
				lang::throwError(LuaException(lang::Format("Refusing precompiled code in {0}", r->in->toString())));
			r->first = false;
			r->remaining -= got;
			*size = static_cast<size_t>(got);
			return r->buffer;
		}
		catch (...)
		{
			r->error = std::current_exception();
			return nullptr;
		}
	}
};

// A stack index that stays valid while values are pushed.
int absoluteIndex(lua_State* lua, int index)
{
	return index > 0 || index <= LUA_REGISTRYINDEX ? index : lua_gettop(lua) + index + 1;
}

int getTableProtected(lua_State* lua)
{
	lua_gettable(lua, 1);
	return 1;
}

int setTableProtected(lua_State* lua)
{
	lua_settable(lua, 1);
	return 0;
}
}

LuaState::LuaState() :
	m_lua(nullptr),
	m_main(nullptr),
	m_tracebackRef(LUA_NOREF),
	m_tableRefs(0)
{
	m_lua = m_main = lua_newstate(allocate, this);
	if (!m_lua)
		lang::throwError(LuaException(lang::Format("Failed to initialized Lua interpreter")));
	lua_atpanic(m_lua, handleError);

	if (lua_cpcall(m_lua, initialize, this) != 0)
	{
		std::string msg = errorText(m_lua, -1);
		lua_close(m_lua);
		lang::throwError(LuaException(lang::Format("Failed to initialized Lua interpreter: {0}", msg)));
	}
	LuaStackRestore guard(m_lua);
	lua_pushvalue(m_lua, LUA_GLOBALSINDEX);
	m_globals = toTable(-1);
}

// Runs protected: a memory error while opening the libraries fails the constructor.
int LuaState::initialize(lua_State* lua)
{
	LuaState* self = static_cast<LuaState*>(lua_touserdata(lua, 1));
	lua_settop(lua, 0);
	for (int i = 0; libsToOpen[i].open; ++i)
	{
		lua_pushcfunction(lua, libsToOpen[i].open);
		lua_pushstring(lua, libsToOpen[i].name);
		lua_call(lua, 1, 0);
	}

	// Scripts may not load native code.
	lua_getglobal(lua, LUA_LOADLIBNAME);
	lua_pushnil(lua);
	lua_setfield(lua, -2, "loadlib");
	lua_pushstring(lua, "");
	lua_setfield(lua, -2, "cpath");
	lua_getfield(lua, -1, "loaders");
	if (lua_istable(lua, -1))
	{
		// preload and Lua file loaders stay; the C library loaders go.
		for (int i = static_cast<int>(lua_objlen(lua, -1)); i > 2; --i)
		{
			lua_pushnil(lua);
			lua_rawseti(lua, -2, i);
		}
	}
	lua_settop(lua, 0);

	lua_pushlightuserdata(lua, self);
	lua_pushcclosure(lua, errorFunction, 1);
	lua_setglobal(lua, "error");

	lua_pushcfunction(lua, traceback);
	self->m_tracebackRef = luaL_ref(lua, LUA_REGISTRYINDEX);
	return 0;
}

LuaState::~LuaState()
{
	m_globals = LuaTable();
	// A handle that outlives its state would later touch a closed interpreter.
	LANG_ASSERT(m_tableRefs == 0);
	lua_close(m_main);
}

const char* LuaState::toString(Type type)
{
	switch (type)
	{
	case TYPE_NIL: return "NIL";
	case TYPE_BOOLEAN: return "BOOLEAN";
	case TYPE_LIGHTUSERDATA: return "LIGHTUSERDATA";
	case TYPE_NUMBER: return "NUMBER";
	case TYPE_STRING: return "STRING";
	case TYPE_TABLE: return "TABLE";
	case TYPE_FUNCTION: return "FUNCTION";
	case TYPE_USERDATA: return "USERDATA";
	case TYPE_THREAD: return "THREAD";
	default: return "INVALID";
	}
}

void LuaState::throwTypeError(int index, int expected, int found) const
{
	lang::throwError(LuaException(lang::Format("Excepted type {0} at stack position {1} but found {2}{3}",
		toString(static_cast<Type>(expected)), index, toString(static_cast<Type>(found)), getStackTrace(m_lua))));
}

LuaTable LuaState::toTable(int index) const
{
	checkType(index, TYPE_TABLE);
	lua_pushvalue(m_lua, index);
	int ref = luaL_ref(m_lua, LUA_REGISTRYINDEX);
	const_cast<LuaState*>(this)->m_tableRefs++;
	return LuaTable(const_cast<LuaState*>(this), ref);
}

void LuaState::pushTable(lua_State* lua, const LuaTable* table)
{
	if (table && table->m_ref >= 0)
		lua_rawgeti(lua, LUA_REGISTRYINDEX, table->m_ref);
	else
		lua_pushnil(lua);
}

void LuaState::getTable(int index)
{
	checkType(index, TYPE_TABLE);
	int t = absoluteIndex(m_lua, index);
	lua_pushcfunction(m_lua, getTableProtected);
	lua_pushvalue(m_lua, t);
	lua_pushvalue(m_lua, -3);
	protectedCall(2, 1);
	lua_replace(m_lua, -2);
}

void LuaState::setTable(int index)
{
	checkType(index, TYPE_TABLE);
	int t = absoluteIndex(m_lua, index);
	lua_pushcfunction(m_lua, setTableProtected);
	lua_pushvalue(m_lua, t);
	lua_pushvalue(m_lua, -4);
	lua_pushvalue(m_lua, -4);
	protectedCall(3, 0);
	lua_pop(m_lua, 2);
}

void LuaState::rawSetI(int index, int n)
{
	checkType(index, TYPE_TABLE);
	lua_rawseti(m_lua, index, n);
}

bool LuaState::next(int index)
{
	checkType(index, TYPE_TABLE);
	return lua_next(m_lua, index) != 0;
}

void LuaState::call(int nargs, int nresults)
{
	protectedCall(nargs, nresults);
}

void LuaState::protectedCall(int nargs, int nresults)
{
	lua_State* lua = m_lua;
	int base = lua_gettop(lua) - nargs;
	LANG_ASSERT(base > 0);
	lua_rawgeti(lua, LUA_REGISTRYINDEX, m_tracebackRef);
	lua_insert(lua, base);
	int status = lua_pcall(lua, nargs, nresults, base);
	lua_remove(lua, base);
	if (status == 0)
		return;

	std::string msg;
	switch (status)
	{
	case LUA_ERRRUN:
	case LUA_ERRMEM:
		msg = errorText(lua, -1);
		break;
	case LUA_ERRERR:
		msg = "Error while reporting a script error: " + errorText(lua, -1);
		break;
	default:
		// The interpreter caught an exception of a foreign type.
		msg = "Unknown exception in a script call";
		break;
	}
	lua_pop(lua, 1);
	throwScriptError(msg);
}

void LuaState::compile(io::InputStream& in, const std::string& name, LuaTable* env)
{
	compileChunk(in, name, env, false);
}

void LuaState::compileChunk(io::InputStream& in, const std::string& name, LuaTable* env, bool textOnly)
{
	LuaStackRestore guard(this);

	ChunkReader reader;
	reader.in = &in;
	reader.remaining = in.available();
	reader.sized = reader.remaining >= 0;
	reader.textOnly = textOnly;
	reader.first = true;
	int result = lua_load(m_lua, ChunkReader::read, &reader, name.c_str());
	if (reader.error)
		std::rethrow_exception(reader.error);

	if (result != 0)
	{
		checkType(-1, TYPE_STRING);
		lang::throwError(LuaException(lang::Format("Error while compiling Lua: {0}", lua_tostring(m_lua, -1))));
	}
	if (env)
	{
		pushTable(m_lua, env);
		checkType(-2, TYPE_FUNCTION);
		checkType(-1, TYPE_TABLE);
		lua_setfenv(m_lua, -2);
	}
	protectedCall(0, 0);
}

int LuaState::handleError(lua_State* lua)
{
	LANG_ASSERT(lua_gettop(lua) > 0);
	std::string msg = errorText(lua, -1);
	if (!hasStackTrace(msg))
		msg += getStackTrace(lua);
	throwScriptError(msg);
}

std::string LuaState::getStackTrace(lua_State* lua)
{
	return stackTrace(lua, 1);
}

// Message handler of every protected call: adds the call stack unless the
// message carries one already. An error raised by a native function (error,
// a bound member) lists frames from the script that called it.
int LuaState::traceback(lua_State* lua)
{
	std::string msg = errorText(lua, 1);
	if (!hasStackTrace(msg))
	{
		int first = 1;
		lua_Debug ar;
		if (lua_getstack(lua, 1, &ar) && lua_getinfo(lua, "S", &ar) && std::strcmp(ar.what, "C") == 0)
			first = 2;
		msg += stackTrace(lua, first);
	}
	lua_pushlstring(lua, msg.data(), msg.size());
	return 1;
}

// Replaces the base library's error: the message is the first argument as
// it is, with no position prefix; the call stack is added by the handler.
int LuaState::errorFunction(lua_State* lua)
{
	{
		std::string msg = errorText(lua, 1);
		lua_settop(lua, 0);
		lua_pushlstring(lua, msg.data(), msg.size());
	}
	return lua_error(lua);
}

LuaStackRestore::LuaStackRestore(LuaState* state) : m_lua(state->getLua()), m_top(lua_gettop(m_lua)) {}

LuaStackRestore::LuaStackRestore(lua_State* lua) : m_lua(lua), m_top(lua_gettop(lua)) {}

LuaStackRestore::~LuaStackRestore()
{
	lua_settop(m_lua, m_top);
}
}
