#include <util/traverseJSON.h>
#include <lang/Exception.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <cjson/cJSON.h>
#include <memory>

namespace util
{
void traverseJSON(const char* text, JSONVisitor& v)
{
	if (!text)
		return;

	// The error position comes back through the call, not cJSON's global.
	const char* stop = nullptr;
	std::unique_ptr<cJSON, void (*)(cJSON*)> root(cJSON_ParseWithOpts(text, &stop, 0), cJSON_Delete);
	if (!root)
		lang::throwError(lang::Exception(lang::Format("JSON parsing failed here: {0}", stop ? stop : text)));

	v.start();
	if (root->child)
		traverseJSONItem(root->child, v);
	v.end();
}

void traverseJSONItem(cJSON* item, JSONVisitor& v)
{
	for (; item; item = item->next)
	{
		const char* key = item->string;
		switch (item->type & 0xFF)
		{
		case cJSON_False:
			v.visit(key, false);
			break;
		case cJSON_True:
			v.visit(key, true);
			break;
		case cJSON_NULL:
			v.visit(key);
			break;
		case cJSON_Number:
			v.visit(key, item->valuedouble);
			break;
		case cJSON_String:
			v.visit(key, static_cast<const char*>(item->valuestring));
			break;
		case cJSON_Array:
			v.startArray(key);
			if (item->child)
				traverseJSONItem(item->child, v);
			v.endArray();
			break;
		case cJSON_Object:
			v.startObject(key);
			if (item->child)
				traverseJSONItem(item->child, v);
			v.endObject();
			break;
		default:
			LANG_ASSERT(false);
		}
	}
}
}
