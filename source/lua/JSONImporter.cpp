#include <lua/JSONImporter.h>
#include <lang/assert.h>

namespace lua
{
JSONImporter::JSONImporter(LuaTable& target) : m_target(target)
{
	LANG_ASSERT(target.hasTable());
}

JSONImporter::~JSONImporter()
{
}

JSONImporter::Entry& JSONImporter::top(const char* key)
{
	LANG_ASSERT(!m_stack.empty());
	Entry& e = m_stack.back();
	// Only a root array's elements arrive keyless in an entry filled by key.
	if (!key && e.index < 0)
		e.index = 1;
	return e;
}

void JSONImporter::visit(const char* key, const char* value)
{
	Entry& e = top(key);
	if (e.index < 0)
		e.table.setString(key, value);
	else
		e.table.setString(e.index++, value);
}

void JSONImporter::visit(const char* key, double value)
{
	Entry& e = top(key);
	if (e.index < 0)
		e.table.setNumber(key, static_cast<float>(value));
	else
		e.table.setNumber(e.index++, static_cast<float>(value));
}

void JSONImporter::visit(const char* key, bool value)
{
	Entry& e = top(key);
	if (e.index < 0)
		e.table.setBoolean(key, value);
	else
		e.table.setBoolean(e.index++, value);
}

void JSONImporter::visit(const char* key)
{
	Entry& e = top(key);
	if (e.index < 0)
		e.table.remove(key);
	else
		e.table.remove(e.index++);
}

void JSONImporter::startTable(const char* key, int32_t index)
{
	Entry& e = top(key);
	LuaTable t(e.table.getState());
	if (e.index < 0)
		e.table.setTable(key, t);
	else
		e.table.setTable(e.index++, t);
	m_stack.push_back(Entry{t, index});
}

void JSONImporter::startObject(const char* key)
{
	startTable(key, -1);
}

void JSONImporter::startArray(const char* key)
{
	startTable(key, 1);
}

void JSONImporter::pop()
{
	LANG_ASSERT(!m_stack.empty());
	m_stack.pop_back();
}

void JSONImporter::endObject()
{
	pop();
}

void JSONImporter::endArray()
{
	pop();
}

void JSONImporter::start()
{
	m_stack.push_back(Entry{m_target, -1});
}

void JSONImporter::end()
{
	pop();
	LANG_ASSERT(m_stack.empty());
}
}
