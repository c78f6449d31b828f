#include "LuaTableAccess.h"
#include <lua/LuaException.h>
#include <lua/LuaKeywordChecker.h>
#include <lua/LuaStackRestore.h>
#include <io/InputStream.h>
#include <io/OutputStream.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lua
{
namespace
{
// The text must read back as the value the engine holds. An engine float
// only has to come back as the same float, so 0.1f stays "0.1".
// A whole number (a score, a count, a time in ms) must come back exactly, whatever float
// it also equals: 123456792 is a float, and "1.234568e+08" would bring back 123456800.
bool readsBack(const char* text, double v)
{
	double r = std::strtod(text, nullptr);
	if (r == v)
		return true;
	if (std::trunc(v) == v)
		return false;
	return v == static_cast<double>(static_cast<float>(v)) && static_cast<float>(r) == static_cast<float>(v);
}

void appendNumber(std::string& out, double v)
{
	if (std::isnan(v))
	{
		out += "0/0";
		return;
	}
	if (std::isinf(v))
	{
		out += v > 0 ? "1/0" : "-1/0";
		return;
	}
	char buf[40];
	std::snprintf(buf, sizeof(buf), "%g", v);
	for (int digits = 7; !readsBack(buf, v) && digits <= 17; ++digits)
		std::snprintf(buf, sizeof(buf), "%.*g", digits, v);
	out += buf;
}

// Quoted as string.format's %q quotes, so that any string reads back.
void appendString(std::string& out, const char* s, size_t len)
{
	out += '"';
	for (size_t i = 0; i < len; ++i)
	{
		char c = s[i];
		switch (c)
		{
		case '"':
		case '\\':
		case '\n':
			out += '\\';
			out += c;
			break;
		case '\r':
			out += "\\r";
			break;
		case '\0':
			out += "\\000";
			break;
		default:
			out += c;
			break;
		}
	}
	out += '"';
}

bool isSavedKeyType(int type) { return type == LUA_TBOOLEAN || type == LUA_TNUMBER || type == LUA_TSTRING; }
bool isSavedValueType(int type) { return isSavedKeyType(type) || type == LUA_TTABLE; }

/** Collects the save text of one write call; the stream gets it in one piece. */
struct SaveTextWriter
{
	LuaState* state;
	lua_State* lua;
	std::string out;
	LuaTableAccess::Path path;

	explicit SaveTextWriter(LuaState* s) : state(s), lua(s->getLua()) {}

	void spaces(int n) { out.append(static_cast<size_t>(std::max(n, 0)), ' '); }

	void value(int index, int indent)
	{
		switch (lua_type(lua, index))
		{
		case LUA_TBOOLEAN:
			out += lua_toboolean(lua, index) ? "true" : "false";
			break;
		case LUA_TNUMBER:
			appendNumber(out, lua_tonumber(lua, index));
			break;
		case LUA_TSTRING: {
			size_t len = 0;
			const char* s = lua_tolstring(lua, index, &len);
			appendString(out, s, len);
			break;
		}
		case LUA_TTABLE: {
			LuaTable nested = state->toTable(index);
			out += "{\n";
			table(nested, indent + 4, true);
			spaces(indent);
			out += "}";
			break;
		}
		default:
			out += "nil";
			break;
		}
	}

	void table(const LuaTable& t, int indent, bool nested)
	{
		LuaStackRestore guard(LuaTableAccess::luaOf(t));
		// The table, a key, a value and the nested handle's reference copy.
		LuaTableAccess::reserve(lua, 4);
		LuaTableAccess::pushSelf(lua, t);
		const int tableIndex = lua_gettop(lua);
		const void* self = lua_topointer(lua, -1);
		if (std::find(path.begin(), path.end(), self) != path.end())
			lang::throwError(LuaException(lang::Format("Cannot save a table that contains itself")));
		path.push_back(self);

		bool run = true;
		bool fresh = true;
		double lastIndex = 0;
		lua_pushnil(lua);
		while (lua_next(lua, tableIndex))
		{
			const int keyType = lua_type(lua, -2);
			if (!isSavedKeyType(keyType) || !isSavedValueType(lua_type(lua, -1)))
			{
				lua_pop(lua, 1);
				continue;
			}
			bool validName = false;
			if (keyType == LUA_TSTRING)
			{
				// A zero byte ends the name check early but would still be written.
				size_t len = 0;
				const char* key = lua_tolstring(lua, -2, &len);
				validName = std::strlen(key) == len && LuaKeywordChecker::isValidKeyName(key);
				if (!nested && !validName)
				{
					lua_pop(lua, 1);
					continue;
				}
			}
			else if (!nested)
			{
				lua_pop(lua, 1);
				continue;
			}

			if (run)
			{
				if (keyType == LUA_TNUMBER && lua_tonumber(lua, -2) == lastIndex + 1)
				{
					if (fresh && indent > 0)
						spaces(indent);
					value(-1, indent);
					out += ",";
					fresh = false;
					lastIndex = lua_tonumber(lua, -2);
					lua_pop(lua, 1);
					continue;
				}
				run = false;
				if (!fresh)
					out += "\n";
			}

			if (keyType == LUA_TSTRING)
			{
				const char* key = lua_tostring(lua, -2);
				if (std::strcmp(key, "_G") == 0 || std::strcmp(key, "this") == 0)
				{
					lua_pop(lua, 1);
					continue;
				}
			}

			spaces(indent);
			if (!nested || validName)
			{
				size_t len = 0;
				const char* key = lua_tolstring(lua, -2, &len);
				out.append(key, len);
			}
			else
			{
				out += "[";
				value(-2, indent);
				out += "]";
			}
			out += " = ";
			value(-1, indent);
			if (nested)
				out += ",";
			out += "\n";
			fresh = false;
			lua_pop(lua, 1);
		}
		if (run)
			out += "\n";
		path.pop_back();
	}

	void flush(io::OutputStream& stream)
	{
		if (!out.empty())
			stream.write(out.data(), static_cast<int>(out.size()));
	}
};
}

void LuaTable::write(io::OutputStream& out, int indent, bool nested)
{
	LANG_ASSERT(m_luastate);
	SaveTextWriter writer(m_luastate);
	writer.table(*this, indent, nested);
	writer.flush(out);
}

void LuaTable::writeValue(io::OutputStream& out, int stackIndex, int indent)
{
	LANG_ASSERT(m_luastate);
	SaveTextWriter writer(m_luastate);
	if (stackIndex < 0 && stackIndex > LUA_REGISTRYINDEX)
		stackIndex = lua_gettop(writer.lua) + stackIndex + 1;
	writer.value(stackIndex, indent);
	writer.flush(out);
}

void LuaTable::read(io::InputStream& in)
{
	LANG_ASSERT(m_luastate);
	m_luastate->compileChunk(in, in.toString(), this, true);
}
}
