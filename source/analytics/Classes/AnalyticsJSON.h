#ifndef ANALYTICS_CLASSES_ANALYTICSJSON_H
#define ANALYTICS_CLASSES_ANALYTICSJSON_H

#include <analytics/AnalyticsProtocolData.h>
#include <cjson/cJSON.h>
#include <map>
#include <optional>
#include <string>

namespace analytics
{
namespace detail
{
// Readers of the keyed archives: a missing or wrongly typed object reads as
// none, a missing number as 0.
std::optional<std::string> jsonString(const cJSON* obj, const char* key);
double jsonNumber(const cJSON* obj, const char* key);
int64_t jsonInteger(const cJSON* obj, const char* key);
bool jsonBool(const cJSON* obj, const char* key);
Date jsonDate(const cJSON* obj, const char* key);
std::optional<Bytes> jsonBytes(const cJSON* obj, const char* key);
/** The string members of the object under the key; others are left out. */
std::map<std::string, std::string> jsonStringMap(const cJSON* obj, const char* key);

void jsonAddDate(cJSON* obj, const char* key, const Date& date);
void jsonAddInteger(cJSON* obj, const char* key, int64_t value);
cJSON* jsonInteger(int64_t value);

std::string base64Encode(const Bytes& bytes);
std::optional<Bytes> base64Decode(const std::string& text);
}
}

#endif
