#include "LuaTableAccess.h"
#include <lua/LuaException.h>
#include <lua/LuaKeywordChecker.h>
#include <lua/LuaStackRestore.h>
#include <lua/LuaTableVisitor.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstring>
#include <set>

namespace lua
{
namespace
{
void pushKey(lua_State* lua, int key) { lua_pushinteger(lua, key); }
void pushKey(lua_State* lua, const char* key) { lua_pushstring(lua, key); }
void pushKey(lua_State* lua, const std::string& key) { lua_pushlstring(lua, key.data(), key.size()); }

// table[key] = the value that push leaves on the stack, raw.
template <class K, class F> void setField(const LuaTable& t, const K& key, F push)
{
	lua_State* lua = LuaTableAccess::luaOf(t);
	LuaStackRestore guard(lua);
	LuaTableAccess::pushSelf(lua, t);
	pushKey(lua, key);
	push(lua);
	lua_rawset(lua, -3);
}

// read(lua) with the raw value of table[key] on top of the stack.
template <class K, class F> auto getField(const LuaTable& t, const K& key, F read)
{
	lua_State* lua = LuaTableAccess::luaOf(t);
	LuaStackRestore guard(lua);
	LuaTableAccess::pushSelf(lua, t);
	pushKey(lua, key);
	lua_rawget(lua, -2);
	return read(lua);
}

std::string readString(lua_State* lua)
{
	if (!lua_isstring(lua, -1))
		return std::string();
	size_t len = 0;
	const char* s = lua_tolstring(lua, -1, &len);
	return std::string(s, len);
}

float readNumber(lua_State* lua) { return static_cast<float>(lua_tonumber(lua, -1)); }
bool readBoolean(lua_State* lua) { return lua_toboolean(lua, -1) != 0; }
bool readIsNil(lua_State* lua) { return lua_type(lua, -1) == LUA_TNIL; }
bool readIsString(lua_State* lua) { return lua_isstring(lua, -1) != 0; }
bool readIsNumber(lua_State* lua) { return lua_isnumber(lua, -1) != 0; }
bool readIsTable(lua_State* lua) { return lua_type(lua, -1) == LUA_TTABLE; }
bool readIsBoolean(lua_State* lua) { return lua_type(lua, -1) == LUA_TBOOLEAN; }

template <class K> LuaTable getTableField(const LuaTable& t, const K& key)
{
	return getField(t, key, [&](lua_State* lua) {
		int type = lua_type(lua, -1);
		if (type != LUA_TTABLE)
			lang::throwError(LuaException(lang::Format("Tried to get value {0} from table, but type was {1} instead of {2}",
				key, LuaState::toString(static_cast<LuaState::Type>(type)), "TABLE")));
		return t.getState()->toTable(-1);
	});
}

const char* const keywords[] = {
	"and", "break", "do", "else", "elseif", "end", "false", "for", "function", "if", "in",
	"local", "nil", "not", "or", "repeat", "return", "then", "true", "until", "while",
};

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
}

LuaTable::LuaTable() : m_luastate(nullptr), m_ref(-1) {}

LuaTable::LuaTable(LuaState* state) : m_luastate(state), m_ref(-1)
{
	if (!state)
		return;
	lua_State* lua = state->getLua();
	lua_newtable(lua);
	m_ref = LuaTableAccess::reference(state, lua);
}

LuaTable::LuaTable(const LuaTable& other) : lang::Object(), m_luastate(other.m_luastate), m_ref(-1)
{
	if (other.m_ref >= 0)
	{
		lua_State* lua = m_luastate->getLua();
		LuaTableAccess::pushSelf(lua, other);
		m_ref = LuaTableAccess::reference(m_luastate, lua);
	}
}

LuaTable& LuaTable::operator=(const LuaTable& other)
{
	LuaState* oldState = m_luastate;
	int oldRef = m_ref;
	if (other.m_luastate && other.m_ref >= 0)
	{
		lua_State* lua = other.m_luastate->getLua();
		LuaTableAccess::pushSelf(lua, other);
		m_ref = LuaTableAccess::reference(other.m_luastate, lua);
		m_luastate = other.m_luastate;
	}
	else
	{
		m_luastate = nullptr;
		m_ref = -1;
	}
	if (oldRef >= 0)
		LuaTableAccess::unreference(oldState, oldRef);
	return *this;
}

LuaTable::~LuaTable()
{
	if (m_ref >= 0)
		LuaTableAccess::unreference(m_luastate, m_ref);
}

#define LUA_TABLE_KEY_FORMS(MACRO) MACRO(int) MACRO(const char*) MACRO(const std::string&)

#define LUA_TABLE_SETTERS(K) \
	void LuaTable::setString(K key, const std::string& v) \
	{ \
		setField(*this, key, [&](lua_State* lua) { lua_pushlstring(lua, v.data(), v.size()); }); \
	} \
	void LuaTable::setString(K key, const char* v) \
	{ \
		setField(*this, key, [&](lua_State* lua) { lua_pushstring(lua, v); }); \
	} \
	void LuaTable::setNumber(K key, float v) \
	{ \
		setField(*this, key, [&](lua_State* lua) { lua_pushnumber(lua, v); }); \
	} \
	void LuaTable::setBoolean(K key, bool v) \
	{ \
		setField(*this, key, [&](lua_State* lua) { lua_pushboolean(lua, v ? 1 : 0); }); \
	} \
	void LuaTable::remove(K key) \
	{ \
		setField(*this, key, [&](lua_State* lua) { lua_pushnil(lua); }); \
	} \
	std::string LuaTable::getString(K key) const { return getField(*this, key, readString); } \
	float LuaTable::getNumber(K key) const { return getField(*this, key, readNumber); } \
	bool LuaTable::getBoolean(K key) const { return getField(*this, key, readBoolean); } \
	LuaTable LuaTable::getTable(K key) const { return getTableField(*this, key); } \
	bool LuaTable::isNil(K key) const { return getField(*this, key, readIsNil); } \
	bool LuaTable::isString(K key) const { return getField(*this, key, readIsString); } \
	bool LuaTable::isNumber(K key) const { return getField(*this, key, readIsNumber); } \
	bool LuaTable::isTable(K key) const { return getField(*this, key, readIsTable); } \
	bool LuaTable::isBoolean(K key) const { return getField(*this, key, readIsBoolean); }

LUA_TABLE_KEY_FORMS(LUA_TABLE_SETTERS)

void LuaTable::setTable(int key, const LuaTable& v)
{
	setField(*this, key, [&](lua_State* lua) { LuaState::pushTable(lua, &v); });
}

void LuaTable::setTable(const char* key, const LuaTable& v)
{
	LANG_ASSERT(v.m_ref >= 0);
	setField(*this, key, [&](lua_State* lua) { LuaState::pushTable(lua, &v); });
}

void LuaTable::setTable(const std::string& key, const LuaTable& v)
{
	LANG_ASSERT(v.m_ref >= 0);
	setField(*this, key, [&](lua_State* lua) { LuaState::pushTable(lua, &v); });
}

void LuaTable::setTable(const char* key, const LuaTable* v)
{
	setField(*this, key, [&](lua_State* lua) { LuaState::pushTable(lua, v); });
}

void LuaTable::setTable(const std::string& key, const LuaTable* v)
{
	setField(*this, key, [&](lua_State* lua) { LuaState::pushTable(lua, v); });
}

void LuaTable::pushMember(const char* key) const
{
	lua_State* lua = LuaTableAccess::luaOf(*this);
	LuaTableAccess::pushSelf(lua, *this);
	lua_pushstring(lua, key);
	lua_rawget(lua, -2);
	lua_remove(lua, -2);
}

int LuaTable::size() const
{
	LANG_ASSERT(m_luastate);
	lua_State* lua = LuaTableAccess::luaOf(*this);
	LuaStackRestore guard(lua);
	LuaTableAccess::pushSelf(lua, *this);
	int n = 0;
	lua_pushnil(lua);
	while (lua_next(lua, -2))
	{
		++n;
		lua_pop(lua, 1);
	}
	return n;
}

void LuaTable::traverse(LuaTableVisitor& v)
{
	v.start();
	LuaTableAccess::Path path;
	LuaTableAccess::traverseRecursively(*this, v, path);
	v.end();
}

void LuaTableAccess::reserve(lua_State* lua, int n)
{
	if (!lua_checkstack(lua, n))
		lang::throwError(LuaException(lang::Format("Table nested too deeply: no room on the script stack")));
}

void LuaTableAccess::traverseRecursively(LuaTable& t, LuaTableVisitor& v, Path& path)
{
	LANG_ASSERT(t.m_luastate);
	LuaState* state = t.m_luastate;
	lua_State* lua = luaOf(t);
	LuaStackRestore guard(lua);
	// The table, a key, a value and the nested handle's reference copy.
	reserve(lua, 4);
	pushSelf(lua, t);
	const void* self = lua_topointer(lua, -1);
	if (std::find(path.begin(), path.end(), self) != path.end())
		lang::throwError(LuaException(lang::Format("Table traversal stopped: a table contains itself")));
	path.push_back(self);

	const int table = lua_gettop(lua);
	lua_pushnil(lua);
	while (lua_next(lua, table))
	{
		const char* name = nullptr;
		int index = 0;
		if (lua_type(lua, -2) == LUA_TSTRING)
		{
			name = lua_tostring(lua, -2);
			// Every script-bound object's table holds both, pointing back up.
			if (std::strcmp(name, "_G") == 0 || std::strcmp(name, "this") == 0)
			{
				lua_pop(lua, 1);
				continue;
			}
		}
		else
		{
			state->checkType(-2, LuaState::TYPE_NUMBER);
			index = detail::numberToInt(lua_tonumber(lua, -2));
		}

		switch (lua_type(lua, -1))
		{
		case LUA_TSTRING:
			if (name)
				v.visit(name, lua_tostring(lua, -1));
			else
				v.visit(index, lua_tostring(lua, -1));
			break;
		case LUA_TNUMBER:
			if (name)
				v.visit(name, static_cast<double>(lua_tonumber(lua, -1)));
			else
				v.visit(index, static_cast<double>(lua_tonumber(lua, -1)));
			break;
		case LUA_TBOOLEAN:
			if (name)
				v.visit(name, lua_toboolean(lua, -1) != 0);
			else
				v.visit(index, lua_toboolean(lua, -1) != 0);
			break;
		case LUA_TNIL:
			if (name)
				v.visit(name);
			else
				v.visit(index);
			break;
		case LUA_TTABLE: {
			LuaTable nested = state->toTable(-1);
			v.openTable(name);
			traverseRecursively(nested, v, path);
			v.closeTable();
			break;
		}
		default:
			break;
		}
		lua_pop(lua, 1);
	}
	path.pop_back();
}

bool LuaKeywordChecker::isValidKeyName(const char* name)
{
	static const std::set<std::string> keywordSet(std::begin(keywords), std::end(keywords));
	if (!name || !*name)
		return false;
	if (!isAsciiLetter(name[0]) && name[0] != '_')
		return false;
	for (const char* p = name + 1; *p; ++p)
	{
		if (!isAsciiLetter(*p) && !isAsciiDigit(*p) && *p != '_')
			return false;
	}
	return keywordSet.find(name) == keywordSet.end();
}
}
