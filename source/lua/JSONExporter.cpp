#include <lua/JSONExporter.h>
#include <lua/LuaException.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <cfloat>
#include <cstdio>

namespace lua
{
JSONExporter::JSONExporter()
{
	m_currentState.m_firstEntry = true;
	m_currentState.m_currentIndex = -1;
}

void JSONExporter::objectPrefix(const char* key)
{
	if (m_currentState.m_firstEntry)
		m_json += '{';
	else if (m_currentState.m_currentIndex != -1)
		lang::throwError(LuaException(lang::Format("Cannot write table as JSON: key {0} in a table written as an array", key)));
	else
		m_json += ',';
	writeKey(key);
}

void JSONExporter::arrayPrefix(int index)
{
	State& s = m_currentState;
	if (!s.m_firstEntry && s.m_currentIndex == -1)
		lang::throwError(LuaException(lang::Format("Cannot write table as JSON: index {0} in a table written as an object", index)));
	const int expected = s.m_firstEntry ? 1 : s.m_currentIndex + 2;
	if (index != expected)
		lang::throwError(LuaException(lang::Format("Cannot write table as JSON: index {0} where index {1} was expected", index, expected)));

	if (s.m_firstEntry)
	{
		m_json += '[';
		s.m_currentIndex = 0;
	}
	else
	{
		m_json += ',';
		++s.m_currentIndex;
	}
}

void JSONExporter::writeKey(const char* key)
{
	m_json += '"';
	backslashEscape(key);
	m_json += "\":";
}

void JSONExporter::backslashEscape(const char* s)
{
	for (; *s; ++s)
	{
		const unsigned char c = static_cast<unsigned char>(*s);
		switch (c)
		{
		case '\\': m_json += "\\\\"; break;
		case '"': m_json += "\\\""; break;
		case '/': m_json += "\\/"; break;
		case '\b': m_json += "\\b"; break;
		case '\t': m_json += "\\t"; break;
		case '\n': m_json += "\\n"; break;
		case '\f': m_json += "\\f"; break;
		case '\r': m_json += "\\r"; break;
		default:
			if (c < 32)
			{
				char buf[8];
				std::snprintf(buf, sizeof(buf), "\\u%04x", c);
				m_json += buf;
			}
			else
				m_json += static_cast<char>(c);
		}
	}
}

void JSONExporter::writeNumber(double v)
{
	// JSON has no infinities or NaN.
	if (!(v >= -DBL_MAX && v <= DBL_MAX))
	{
		m_json += "null";
		return;
	}
	char buf[32];
	std::snprintf(buf, sizeof(buf), "%.16g", v);
	m_json += buf;
}

void JSONExporter::visit(const char* key, const char* value)
{
	objectPrefix(key);
	m_json += '"';
	backslashEscape(value);
	m_json += '"';
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(const char* key, double value)
{
	objectPrefix(key);
	writeNumber(value);
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(const char* key, bool value)
{
	objectPrefix(key);
	m_json += value ? "true" : "false";
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(const char*)
{
}

void JSONExporter::visit(int index, const char* value)
{
	arrayPrefix(index);
	m_json += '"';
	backslashEscape(value);
	m_json += '"';
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(int index, double value)
{
	arrayPrefix(index);
	writeNumber(value);
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(int index, bool value)
{
	arrayPrefix(index);
	m_json += value ? "true" : "false";
	m_currentState.m_firstEntry = false;
}

void JSONExporter::visit(int)
{
}

void JSONExporter::openTable(const char* key)
{
	if (key)
		objectPrefix(key);
	else
		// The traversal does not pass a nested table's index: it takes the next position.
		arrayPrefix(m_currentState.m_firstEntry ? 1 : m_currentState.m_currentIndex + 2);
	m_currentState.m_firstEntry = false;
	m_states.push_back(m_currentState);
	m_currentState.m_firstEntry = true;
	m_currentState.m_currentIndex = -1;
}

void JSONExporter::closeTable()
{
	LANG_ASSERT(!m_states.empty());
	if (m_currentState.m_currentIndex != -1)
		m_json += ']';
	else if (m_currentState.m_firstEntry)
		m_json += "{}";
	else
		m_json += '}';
	m_currentState = m_states.back();
	m_states.pop_back();
}

void JSONExporter::start()
{
}

void JSONExporter::end()
{
	if (m_json.empty())
		m_json = "{}";
	else
		m_json += m_currentState.m_currentIndex != -1 ? ']' : '}';
	LANG_ASSERT(m_states.empty());
}
}
