#include "AnalyticsCache.h"
#include "AnalyticsFiles.h"
#include "AnalyticsUtil.h"
#include "AnalyticsJSON.h"
#include "AnalyticsState.h"
#include <analytics/AnalyticsDevice.h>
#include <algorithm>
#include <cstdlib>

namespace analytics
{
using detail::debugLog;
using detail::state;

AnalyticsFileCache::AnalyticsFileCache(const std::string& apiKey, const std::string& agentVersion) :
	m_apiKey(apiKey),
	m_agentVersion(agentVersion)
{
}

std::shared_ptr<AnalyticsFileCache> AnalyticsFileCache::createInstance(const std::string& apiKey, const std::string& agentVersion)
{
	std::lock_guard<std::mutex> lock(state().cacheLock);
	if (!state().fileCache)
		state().fileCache = std::make_shared<AnalyticsFileCache>(apiKey, agentVersion);
	return state().fileCache;
}

std::shared_ptr<AnalyticsFileCache> AnalyticsFileCache::instance()
{
	std::lock_guard<std::mutex> lock(state().cacheLock);
	return state().fileCache;
}

std::string AnalyticsFileCache::createDirectoryPath() const
{
	const std::string dir = AnalyticsDevice::cachesDirectory() + "/Analytics";
	AnalyticsFiles::makeDirectories(dir);
	return dir;
}

std::string AnalyticsFileCache::createFilePath(const std::string& prefix, bool forCurrentAgentVersion) const
{
	return createDirectoryPath() + "/analyticsCache_" + prefix + "_" + m_apiKey + "_" + (forCurrentAgentVersion ? m_agentVersion : std::string()) + ".archive";
}

std::string AnalyticsFileCache::save(const cJSON* object, const std::string& prefix, bool forCurrentAgentVersion) const
{
	const std::string path = createFilePath(prefix, forCurrentAgentVersion);
	if (!object || !AnalyticsFiles::writeJSON(path, object))
	{
		debugLog("Analytics: object[" + prefix + "] cannot be saved to disk");
		return std::string();
	}
	debugLog("Analytics: object[" + prefix + "] saved to disk at path[" + path + "]");
	return path;
}

cJSON* AnalyticsFileCache::get(const std::string& prefix, bool forCurrentAgentVersion) const
{
	const std::string path = createFilePath(prefix, forCurrentAgentVersion);
	if (!AnalyticsFiles::exists(path))
		return nullptr;
	cJSON* json = AnalyticsFiles::readJSON(path);
	if (json)
		debugLog("Analytics: object[" + prefix + "] retrieved from disk at path[" + path + "]");
	return json;
}

std::string AnalyticsFileCache::saveData(const Bytes& data, const std::string& prefix, bool forCurrentAgentVersion) const
{
	cJSON* json = cJSON_CreateObject();
	cJSON_AddStringToObject(json, "data", detail::base64Encode(data).c_str());
	const std::string path = save(json, prefix, forCurrentAgentVersion);
	cJSON_Delete(json);
	return path;
}

std::optional<Bytes> AnalyticsFileCache::getData(const std::string& prefix, bool forCurrentAgentVersion) const
{
	cJSON* json = get(prefix, forCurrentAgentVersion);
	std::optional<Bytes> data = detail::jsonBytes(json, "data");
	cJSON_Delete(json);
	return data;
}

bool AnalyticsFileCache::remove(const std::string& prefix, bool forCurrentAgentVersion) const
{
	const std::string path = createFilePath(prefix, forCurrentAgentVersion);
	const bool ok = AnalyticsFiles::exists(path) && AnalyticsFiles::remove(path);
	debugLog("Analytics: object at path[" + path + "] removed from disk successful[" + std::to_string(ok) + "]");
	return ok;
}

bool AnalyticsFileCache::removeCache() const
{
	return AnalyticsFiles::removeTree(AnalyticsDevice::cachesDirectory() + "/Analytics");
}

AnalyticsImageCache::AnalyticsImageCache(const std::shared_ptr<AnalyticsFileCache>& fileCache) :
	m_fileCache(fileCache),
	m_maxImageCached(MAX_IMAGES),
	m_cacheUpdateTimestamp(0)
{
	m_lru.reserve(MAX_IMAGES);
}

std::shared_ptr<AnalyticsImageCache> AnalyticsImageCache::createInstance(const std::shared_ptr<AnalyticsFileCache>& fileCache)
{
	std::lock_guard<std::mutex> lock(state().cacheLock);
	if (state().imageCache)
		return state().imageCache;
	std::optional<AnalyticsImageCache> archived;
	if (state().fileCache)
	{
		cJSON* json = state().fileCache->get("imageCache", false);
		archived = fromJSON(json, fileCache);
		cJSON_Delete(json);
	}
	state().imageCache = std::make_shared<AnalyticsImageCache>(archived ? *archived : AnalyticsImageCache(fileCache));
	return state().imageCache;
}

std::shared_ptr<AnalyticsImageCache> AnalyticsImageCache::recreateInstance(const std::shared_ptr<AnalyticsFileCache>& fileCache)
{
	{
		std::lock_guard<std::mutex> lock(state().cacheLock);
		state().imageCache.reset();
	}
	return createInstance(fileCache);
}

std::shared_ptr<AnalyticsImageCache> AnalyticsImageCache::instance()
{
	std::lock_guard<std::mutex> lock(state().cacheLock);
	return state().imageCache;
}

std::string AnalyticsImageCache::imageIdToFileName(int64_t imageId)
{
	return "analyticsImage" + std::to_string(imageId);
}

void AnalyticsImageCache::save(const Bytes& data, int64_t imageId)
{
	if (!m_fileCache)
		return;
	if (m_index.find(imageId) == m_index.end() && m_index.size() >= static_cast<size_t>(m_maxImageCached) && !m_lru.empty())
	{
		debugLog("Analytics: Image cache full, remove oldest entry[" + std::to_string(m_lru.front()) + "]");
		remove(m_lru.front());
	}
	const std::string name = imageIdToFileName(imageId);
	if (m_fileCache->saveData(data, name, false).empty())
		return;
	m_index[imageId] = name;
	setAsMostRecentlyUsed(imageId);
}

std::optional<Bytes> AnalyticsImageCache::get(int64_t imageId)
{
	auto it = m_index.find(imageId);
	if (it == m_index.end() || !m_fileCache)
		return std::nullopt;
	setAsMostRecentlyUsed(imageId);
	std::optional<Bytes> data = m_fileCache->getData(it->second, false);
	if (!data)
	{
		m_index.erase(imageId);
		m_lru.erase(std::remove(m_lru.begin(), m_lru.end(), imageId), m_lru.end());
	}
	return data;
}

bool AnalyticsImageCache::remove(int64_t imageId)
{
	bool removed = false;
	auto it = m_index.find(imageId);
	if (it != m_index.end())
	{
		removed = m_fileCache && m_fileCache->remove(it->second, false);
		m_index.erase(it);
	}
	m_lru.erase(std::remove(m_lru.begin(), m_lru.end(), imageId), m_lru.end());
	return removed;
}

void AnalyticsImageCache::setAsMostRecentlyUsed(int64_t imageId)
{
	m_lru.erase(std::remove(m_lru.begin(), m_lru.end(), imageId), m_lru.end());
	m_lru.push_back(imageId);
}

std::vector<int64_t> AnalyticsImageCache::storedIds() const
{
	std::vector<int64_t> ids;
	for (const auto& e : m_index)
		ids.push_back(e.first);
	return ids;
}

cJSON* AnalyticsImageCache::toJSON() const
{
	cJSON* json = cJSON_CreateObject();
	cJSON* index = cJSON_AddObjectToObject(json, "index");
	for (const auto& e : m_index)
		cJSON_AddStringToObject(index, std::to_string(e.first).c_str(), e.second.c_str());
	detail::jsonAddInteger(json, "maxImageCached", m_maxImageCached);
	cJSON* lru = cJSON_AddArrayToObject(json, "lru");
	for (int64_t id : m_lru)
		cJSON_AddItemToArray(lru, detail::jsonInteger(id));
	detail::jsonAddInteger(json, "cacheUpdateTimestamp", m_cacheUpdateTimestamp);
	return json;
}

std::optional<AnalyticsImageCache> AnalyticsImageCache::fromJSON(const cJSON* json, const std::shared_ptr<AnalyticsFileCache>& fileCache)
{
	const cJSON* index = cJSON_GetObjectItemCaseSensitive(json, "index");
	const cJSON* lru = cJSON_GetObjectItemCaseSensitive(json, "lru");
	if (!cJSON_IsObject(json) || !cJSON_IsObject(index) || !cJSON_IsArray(lru))
		return std::nullopt;
	AnalyticsImageCache cache(fileCache);
	for (const cJSON* e = index->child; e; e = e->next)
	{
		char* end = nullptr;
		const long long id = e->string ? std::strtoll(e->string, &end, 10) : 0;
		if (e->string && end && *end == 0 && cJSON_IsString(e) && e->valuestring)
			cache.m_index[id] = e->valuestring;
	}
	for (const cJSON* e = lru->child; e; e = e->next)
	{
		if (cJSON_IsNumber(e))
			cache.m_lru.push_back(static_cast<int64_t>(e->valuedouble));
	}
	const int64_t max = detail::jsonInteger(json, "maxImageCached");
	cache.m_maxImageCached = max > 0 && max <= 100000 ? static_cast<int32_t>(max) : MAX_IMAGES;
	cache.m_cacheUpdateTimestamp = detail::jsonInteger(json, "cacheUpdateTimestamp");
	return cache;
}
}
