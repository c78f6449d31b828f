#ifndef ANALYTICS_CLASSES_ANALYTICSCACHE_H
#define ANALYTICS_CLASSES_ANALYTICSCACHE_H

#include <analytics/AnalyticsProtocolData.h>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct cJSON;

namespace analytics
{
/** Archived objects as files named by prefix, API key and agent version, in the user's caches. */
class AnalyticsFileCache
{
public:
	AnalyticsFileCache(const std::string& apiKey, const std::string& agentVersion);

	/** The first call makes the shared instance; later ones return it and ignore their arguments. */
	static std::shared_ptr<AnalyticsFileCache> createInstance(const std::string& apiKey, const std::string& agentVersion);
	static std::shared_ptr<AnalyticsFileCache> instance();

	const std::string& apiKey() const { return m_apiKey; }
	const std::string& agentVersion() const { return m_agentVersion; }

	/** <caches>/Analytics, made when missing. */
	std::string createDirectoryPath() const;
	/** analyticsCache_<prefix>_<key>_<version or nothing>.archive in that folder. */
	std::string createFilePath(const std::string& prefix, bool forCurrentAgentVersion = true) const;

	/** The path written, or empty on failure. */
	std::string save(const cJSON* object, const std::string& prefix, bool forCurrentAgentVersion = true) const;
	/** The archived object (the caller deletes it), or null when missing or unreadable. */
	cJSON* get(const std::string& prefix, bool forCurrentAgentVersion = true) const;
	std::string saveData(const Bytes& data, const std::string& prefix, bool forCurrentAgentVersion = true) const;
	std::optional<Bytes> getData(const std::string& prefix, bool forCurrentAgentVersion = true) const;
	bool remove(const std::string& prefix, bool forCurrentAgentVersion = true) const;
	/** Deletes the whole folder. */
	bool removeCache() const;

private:
	std::string m_apiKey;
	std::string m_agentVersion;
};

/** Up to 400 advertising images in the file cache, least recently used dropped first. */
class AnalyticsImageCache
{
public:
	enum { MAX_IMAGES = 400 };

	explicit AnalyticsImageCache(const std::shared_ptr<AnalyticsFileCache>& fileCache);

	/** The shared instance: from its archive ("imageCache") when there is one, else new. */
	static std::shared_ptr<AnalyticsImageCache> createInstance(const std::shared_ptr<AnalyticsFileCache>& fileCache);
	static std::shared_ptr<AnalyticsImageCache> recreateInstance(const std::shared_ptr<AnalyticsFileCache>& fileCache);
	static std::shared_ptr<AnalyticsImageCache> instance();

	void save(const Bytes& data, int64_t imageId);
	std::optional<Bytes> get(int64_t imageId);
	bool remove(int64_t imageId);
	void setAsMostRecentlyUsed(int64_t imageId);
	std::vector<int64_t> storedIds() const;
	/** Least recently used first. */
	const std::vector<int64_t>& lru() const { return m_lru; }
	static std::string imageIdToFileName(int64_t imageId);

	int64_t cacheUpdateTimestamp() const { return m_cacheUpdateTimestamp; }
	void setCacheUpdateTimestamp(int64_t stamp) { m_cacheUpdateTimestamp = stamp; }
	std::shared_ptr<AnalyticsFileCache> fileCache() const { return m_fileCache; }
	void setFileCache(const std::shared_ptr<AnalyticsFileCache>& fileCache) { m_fileCache = fileCache; }
	int32_t maxImageCached() const { return m_maxImageCached; }

	/** The keyed archive: index, maxImageCached, lru, cacheUpdateTimestamp. */
	cJSON* toJSON() const;
	/** None when the value is not an archive of the cache. */
	static std::optional<AnalyticsImageCache> fromJSON(const cJSON* json, const std::shared_ptr<AnalyticsFileCache>& fileCache);

private:
	std::shared_ptr<AnalyticsFileCache> m_fileCache;
	std::map<int64_t, std::string> m_index;
	int32_t m_maxImageCached;
	std::vector<int64_t> m_lru;
	int64_t m_cacheUpdateTimestamp;
};
}

#endif
