#ifndef UTIL_TRAVERSEJSON_H
#define UTIL_TRAVERSEJSON_H

#include <util/JSONVisitor.h>

struct cJSON;

namespace util
{
/**
 * Parses text and walks it depth-first: start(), the root's children, end().
 * The root item itself gives no call, so a root object's members arrive as
 * top-level visits. A null text gives no calls. Throws lang::Exception
 * "JSON parsing failed here: <rest of text>" before any call when the text
 * does not parse.
 */
void traverseJSON(const char* text, JSONVisitor& v);

/** Feeds item and each of its following siblings, recursively, to v. */
void traverseJSONItem(cJSON* item, JSONVisitor& v);
}

#endif
