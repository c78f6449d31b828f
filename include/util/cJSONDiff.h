#ifndef UTIL_CJSONDIFF_H
#define UTIL_CJSONDIFF_H

struct cJSON;

namespace util
{
/** Byte-wise key order of two members. */
bool cJSONless(const cJSON* a, const cJSON* b);

/**
 * Sorts the members of an object item by key, recursing into members that
 * are objects (arrays are not entered). Other items and null are left alone.
 */
void sortcJSON(cJSON* item);

/**
 * A new object describing how object b differs from object a, both sorted
 * with sortcJSON: changed or added members of b (references into b, or new
 * values), null for members only in a, nested objects as nested differences,
 * a changed array as a reference to b's whole array. The result refers into
 * b: delete it (cJSON_Delete) before b. Null arguments give an empty object.
 * Throws lang::Exception when a root is not an object.
 */
cJSON* diffcJSON(cJSON* a, cJSON* b);
}

#endif
