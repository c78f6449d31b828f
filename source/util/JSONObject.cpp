#include <util/JSONObject.h>
#include <cjson/cJSON.h>

namespace util
{
const JSONObject JSONObject::nullObject(nullptr, false);

JSONObject::JSONObject(const char* text) : m_owner(true), m_item(text ? cJSON_Parse(text) : nullptr)
{
}

JSONObject::JSONObject(JSONObject&& other) noexcept : m_owner(other.m_owner), m_item(other.m_item)
{
	other.m_owner = false;
	other.m_item = nullptr;
}

JSONObject& JSONObject::operator=(JSONObject&& other) noexcept
{
	if (this != &other)
	{
		release();
		m_owner = other.m_owner;
		m_item = other.m_item;
		other.m_owner = false;
		other.m_item = nullptr;
	}
	return *this;
}

JSONObject::~JSONObject()
{
	release();
}

void JSONObject::release()
{
	if (m_owner && m_item)
		cJSON_Delete(m_item);
	m_item = nullptr;
	m_owner = false;
}

cJSON* JSONObject::member(const char* key) const
{
	return m_item && key ? cJSON_GetObjectItem(m_item, key) : nullptr;
}

int JSONObject::getInt(const char* key, int def) const
{
	const cJSON* m = member(key);
	return m && cJSON_IsNumber(m) ? m->valueint : def;
}

const char* JSONObject::getString(const char* key) const
{
	const cJSON* m = member(key);
	return m && cJSON_IsString(m) ? m->valuestring : nullptr;
}

JSONObject JSONObject::getObject(const char* key) const
{
	return JSONObject(member(key), false);
}
}
