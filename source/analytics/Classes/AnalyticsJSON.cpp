#include "AnalyticsJSON.h"
#include <openssl/evp.h>
#include <cmath>

namespace analytics
{
namespace detail
{
std::optional<std::string> jsonString(const cJSON* obj, const char* key)
{
	const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (!cJSON_IsString(item) || !item->valuestring)
		return std::nullopt;
	return std::string(item->valuestring);
}

double jsonNumber(const cJSON* obj, const char* key)
{
	const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (!cJSON_IsNumber(item) || !std::isfinite(item->valuedouble))
		return 0;
	return item->valuedouble;
}

int64_t jsonInteger(const cJSON* obj, const char* key)
{
	const double v = jsonNumber(obj, key);
	// Out of range values would be undefined in the conversion.
	if (v >= 9.2e18 || v <= -9.2e18)
		return 0;
	return static_cast<int64_t>(v);
}

bool jsonBool(const cJSON* obj, const char* key)
{
	const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (cJSON_IsBool(item))
		return cJSON_IsTrue(item);
	return jsonNumber(obj, key) != 0;
}

Date jsonDate(const cJSON* obj, const char* key)
{
	const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (!cJSON_IsNumber(item))
		return std::nullopt;
	return jsonInteger(obj, key);
}

std::optional<Bytes> jsonBytes(const cJSON* obj, const char* key)
{
	const std::optional<std::string> text = jsonString(obj, key);
	if (!text)
		return std::nullopt;
	return base64Decode(*text);
}

std::map<std::string, std::string> jsonStringMap(const cJSON* obj, const char* key)
{
	std::map<std::string, std::string> out;
	const cJSON* map = cJSON_GetObjectItemCaseSensitive(obj, key);
	if (!cJSON_IsObject(map))
		return out;
	for (const cJSON* item = map->child; item; item = item->next)
	{
		if (item->string && cJSON_IsString(item) && item->valuestring)
			out[item->string] = item->valuestring;
	}
	return out;
}

void jsonAddDate(cJSON* obj, const char* key, const Date& date)
{
	if (date)
		cJSON_AddItemToObject(obj, key, jsonInteger(*date));
}

void jsonAddInteger(cJSON* obj, const char* key, int64_t value)
{
	cJSON_AddItemToObject(obj, key, jsonInteger(value));
}

cJSON* jsonInteger(int64_t value)
{
	// Dates in microseconds stay below 2^53, so doubles hold them exactly.
	return cJSON_CreateNumber(static_cast<double>(value));
}

std::string base64Encode(const Bytes& bytes)
{
	std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
	const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]), bytes.data(), static_cast<int>(bytes.size()));
	out.resize(n > 0 ? n : 0);
	return out;
}

std::optional<Bytes> base64Decode(const std::string& text)
{
	if (text.size() % 4 != 0)
		return std::nullopt;
	Bytes out(text.size() / 4 * 3 + 1);
	const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
	if (n < 0)
		return std::nullopt;
	size_t size = static_cast<size_t>(n);
	// EVP_DecodeBlock keeps the bytes the padding stands for.
	if (!text.empty() && text[text.size() - 1] == '=')
		--size;
	if (text.size() > 1 && text[text.size() - 2] == '=')
		--size;
	out.resize(size);
	return out;
}
}
}
