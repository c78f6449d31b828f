#include <util/JSONHash.h>
#include <lang/assert.h>
#include <cstdio>

namespace util
{
namespace
{
std::string numberText(double v)
{
	char buf[32];
	std::snprintf(buf, sizeof(buf), "%.16g", v);
	return buf;
}

uint32_t stringHash(const std::string& s)
{
	uint32_t h = 0;
	for (unsigned char b : s)
		h = h * 31u + b;
	return h;
}
}

std::string JSONHash::path(const char* key)
{
	LANG_ASSERT(!m_States.empty());
	State& top = m_States.back();
	// Only a root array's elements arrive keyless in a state opened as an
	// object: count their positions like any array's.
	if (!key && top.index < 0)
		top.index = 0;
	if (top.index >= 0)
		return top.prefix + numberText(top.index++);
	return top.prefix + key;
}

void JSONHash::addLeaf(const char* key, const std::string& value)
{
	m_hash += stringHash(path(key) + value);
}

void JSONHash::push(const char* key, int32_t index)
{
	const std::string p = path(key);
	m_hash += stringHash(p);
	m_States.push_back(State{p, index});
}

void JSONHash::visit(const char* key, const char* value)
{
	addLeaf(key, value ? value : "");
}

void JSONHash::visit(const char* key, double value)
{
	addLeaf(key, numberText(value));
}

void JSONHash::visit(const char* key, bool value)
{
	addLeaf(key, value ? "true" : "false");
}

void JSONHash::visit(const char* key)
{
	path(key);
}

void JSONHash::startObject(const char* key)
{
	push(key, -1);
}

void JSONHash::startArray(const char* key)
{
	push(key, 0);
}

void JSONHash::endObject()
{
	LANG_ASSERT(!m_States.empty());
	m_States.pop_back();
}

void JSONHash::endArray()
{
	LANG_ASSERT(!m_States.empty());
	m_States.pop_back();
}

void JSONHash::start()
{
	m_States.push_back(State{std::string(), -1});
}

void JSONHash::end()
{
	m_States.pop_back();
	LANG_ASSERT(m_States.empty());
}
}
