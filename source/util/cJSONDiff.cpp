#include <util/cJSONDiff.h>
#include <lang/Exception.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <cjson/cJSON.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace util
{
namespace
{
int typeOf(const cJSON* item)
{
	return item->type & 0xFF;
}

// Adds under key to an object result, or appends to an array result.
void addItem(cJSON* delta, const char* key, cJSON* item)
{
	if (typeOf(delta) == cJSON_Array)
		cJSON_AddItemToArray(delta, item);
	else
		cJSON_AddItemToObject(delta, key, item);
}

void addReference(cJSON* delta, const char* key, cJSON* item)
{
	if (typeOf(delta) == cJSON_Array)
		cJSON_AddItemReferenceToArray(delta, item);
	else
		cJSON_AddItemReferenceToObject(delta, key, item);
}

void iterateThroughPeers(cJSON* i, cJSON* j, cJSON* delta);

// Compares two values of one type and adds what changed in j to delta.
void diffItemValues(cJSON* i, cJSON* j, cJSON* delta)
{
	LANG_ASSERT(i && j);
	LANG_ASSERT(delta);
	const int iType = typeOf(i);
	const int jType = typeOf(j);
	LANG_ASSERT(iType == jType);

	switch (iType)
	{
	case cJSON_Number:
		if (i->valuedouble != j->valuedouble)
			addItem(delta, j->string, cJSON_CreateNumber(j->valuedouble));
		break;
	case cJSON_String:
		if (std::strcmp(i->valuestring, j->valuestring) != 0)
			addItem(delta, j->string, cJSON_CreateString(j->valuestring));
		break;
	case cJSON_Object:
	{
		cJSON* sub = cJSON_CreateObject();
		iterateThroughPeers(i, j, sub);
		if (sub->child)
			addItem(delta, j->string, sub);
		else
			cJSON_Delete(sub);
		break;
	}
	case cJSON_Array:
	{
		cJSON* scratch = cJSON_CreateArray();
		cJSON* x = i->child;
		cJSON* y = j->child;
		bool differs = false;
		for (; x && y && !differs; x = x->next, y = y->next)
		{
			if (typeOf(x) != typeOf(y))
				differs = true;
			else
			{
				diffItemValues(x, y, scratch);
				differs = scratch->child != nullptr;
			}
		}
		cJSON_Delete(scratch);
		if (differs || x || y)
			addReference(delta, j->string, j);
		break;
	}
	default:
		// false, true and null carry no value.
		break;
	}
}

// Merge-walks the sorted members of two objects.
void iterateThroughPeers(cJSON* a, cJSON* b, cJSON* delta)
{
	LANG_ASSERT(a && b && delta);
	cJSON* i = a->child;
	cJSON* j = b->child;
	while (i || j)
	{
		int order;
		if (i && j)
		{
			LANG_ASSERT(i->string && j->string);
			order = std::strcmp(i->string, j->string);
		}
		else
			order = i ? -1 : 1;

		if (order < 0)
		{
			LANG_ASSERT(i->string);
			addItem(delta, i->string, cJSON_CreateNull());
			i = i->next;
		}
		else if (order > 0)
		{
			LANG_ASSERT(j->string);
			addReference(delta, j->string, j);
			j = j->next;
		}
		else
		{
			if (typeOf(i) != typeOf(j))
				addReference(delta, j->string, j);
			else
				diffItemValues(i, j, delta);
			i = i->next;
			j = j->next;
		}
	}
}
}

bool cJSONless(const cJSON* a, const cJSON* b)
{
	return std::strcmp(a->string ? a->string : "", b->string ? b->string : "") < 0;
}

void sortcJSON(cJSON* item)
{
	if (!item || typeOf(item) != cJSON_Object)
		return;

	std::vector<cJSON*> children;
	for (cJSON* c = item->child; c; c = c->next)
	{
		if (typeOf(c) == cJSON_Object)
			sortcJSON(c);
		children.push_back(c);
	}
	if (children.size() < 2)
		return;

	std::stable_sort(children.begin(), children.end(), cJSONless);

	// cJSON appends through child->prev: the first child's prev must be the last child.
	const size_t n = children.size();
	item->child = children[0];
	for (size_t k = 0; k < n; ++k)
	{
		children[k]->prev = k ? children[k - 1] : children[n - 1];
		children[k]->next = k + 1 < n ? children[k + 1] : nullptr;
	}
}

cJSON* diffcJSON(cJSON* a, cJSON* b)
{
	if (!a || !b)
		return cJSON_CreateObject();
	if (typeOf(a) != cJSON_Object || typeOf(b) != cJSON_Object)
		lang::throwError(lang::Exception(lang::Format("diffcJSON: both documents must be objects, not types {0} and {1}", typeOf(a), typeOf(b))));

	cJSON* delta = cJSON_CreateObject();
	iterateThroughPeers(a, b, delta);
	return delta;
}
}
