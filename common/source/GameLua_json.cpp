// JSON and Base64 conversions of script tables.
#include "GameLua.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lua/JSONExporter.h>
#include <lua/JSONImporter.h>
#include <util/Base64.h>
#include <util/JSONHash.h>
#include <util/cJSONDiff.h>
#include <util/traverseJSON.h>
#include <cjson/cJSON.h>
#include <cstdio>
#include <cstdlib>

void GameLua::importJSONToLuaTable(const std::string& json, const std::string& key)
{
	if (!isTable(key))
		return;
	lua::LuaTable table = getTable(key);
	lua::JSONImporter importer(table);
	util::traverseJSON(json.c_str(), importer);
}

std::string GameLua::exportLuaTableAsJSON(const std::string& key)
{
	if (!isTable(key))
		return "";
	lua::JSONExporter exporter;
	try
	{
		getTable(key).traverse(exporter);
	}
	catch (lang::Exception&)
	{
		lang::Debug::printf("AN EXCEPTION WAS THROWN\n");
	}
	return exporter.getJSON();
}

std::string GameLua::getJSONHash(const std::string& json)
{
	util::JSONHash hash;
	util::traverseJSON(json.c_str(), hash);
	char text[16];
	std::snprintf(text, sizeof(text), "%d", static_cast<int>(hash.getHash()));
	return text;
}

std::string GameLua::GetJSONDiff(const std::string& keyA, const std::string& keyB)
{
	if (!isTable(keyA) || !isTable(keyB))
		return "";
	cJSON* a = cJSON_Parse(exportLuaTableAsJSON(keyA).c_str());
	cJSON* b = cJSON_Parse(exportLuaTableAsJSON(keyB).c_str());
	std::string result;
	if (a && b)
	{
		util::sortcJSON(a);
		util::sortcJSON(b);
		cJSON* diff = util::diffcJSON(a, b);
		if (char* text = cJSON_PrintUnformatted(diff))
		{
			result = text;
			cJSON_free(text);
		}
		cJSON_Delete(diff);
	}
	cJSON_Delete(b);
	cJSON_Delete(a);
	return result;
}

std::string GameLua::decodeBase64(const std::string& text)
{
	return util::Base64::decode(text);
}
