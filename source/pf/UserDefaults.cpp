#include <pf/UserDefaults.h>
#include <pf/Folders.h>
#include <pf/StateFile.h>
#include <pf/detail/FileStamp.h>
#include <cjson/cJSON.h>
#include <cmath>
#include <mutex>

namespace pf
{
namespace
{
struct Defaults
{
	std::mutex lock;
	std::string path;
	detail::FileStamp stamp;
	cJSON* values = nullptr;
	bool loaded = false;

	~Defaults() { cJSON_Delete(values); }

	// Reads the file when it is new to us or changed on disk.
	void refresh()
	{
		const std::string current = Folders::configPath() + "/defaults.json";
		const detail::FileStamp now = detail::FileStamp::of(current);
		if (loaded && current == path && now == stamp)
			return;
		cJSON_Delete(values);
		values = StateFile(current).load(cJSON_Object);
		if (!values)
			values = cJSON_CreateObject();
		path = current;
		stamp = detail::FileStamp::of(current);
		loaded = true;
	}

	bool store(const std::string& key, cJSON* item)
	{
		refresh();
		if (cJSON_GetObjectItemCaseSensitive(values, key.c_str()))
			cJSON_ReplaceItemInObjectCaseSensitive(values, key.c_str(), item);
		else
			cJSON_AddItemToObject(values, key.c_str(), item);
		return save();
	}

	bool save()
	{
		Folders::config();
		const bool saved = StateFile(path).save(values);
		stamp = detail::FileStamp::of(path);
		return saved;
	}

	const cJSON* find(const std::string& key)
	{
		refresh();
		return cJSON_GetObjectItemCaseSensitive(values, key.c_str());
	}
};

Defaults& defaults()
{
	static Defaults d;
	return d;
}
}

void UserDefaults::synchronise()
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	defaults().refresh();
}

bool UserDefaults::has(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	return defaults().find(key) != nullptr;
}

bool UserDefaults::isBoolean(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	return cJSON_IsBool(defaults().find(key));
}

bool UserDefaults::getBoolean(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	return cJSON_IsTrue(defaults().find(key));
}

double UserDefaults::getNumber(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	const cJSON* item = defaults().find(key);
	return cJSON_IsNumber(item) ? item->valuedouble : 0.0;
}

std::string UserDefaults::getString(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	const cJSON* item = defaults().find(key);
	return cJSON_IsString(item) ? std::string(item->valuestring) : std::string();
}

bool UserDefaults::setBoolean(const std::string& key, bool value)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	return defaults().store(key, cJSON_CreateBool(value));
}

bool UserDefaults::setNumber(const std::string& key, double value)
{
	// JSON has no NaN or infinity: cJSON would write null.
	if (!std::isfinite(value))
		return false;
	std::lock_guard<std::mutex> guard(defaults().lock);
	return defaults().store(key, cJSON_CreateNumber(value));
}

bool UserDefaults::setString(const std::string& key, const std::string& value)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	return defaults().store(key, cJSON_CreateString(value.c_str()));
}

bool UserDefaults::remove(const std::string& key)
{
	std::lock_guard<std::mutex> guard(defaults().lock);
	defaults().refresh();
	if (!cJSON_GetObjectItemCaseSensitive(defaults().values, key.c_str()))
		return false;
	cJSON_DeleteItemFromObjectCaseSensitive(defaults().values, key.c_str());
	return defaults().save();
}

std::string UserDefaults::path()
{
	return Folders::configPath() + "/defaults.json";
}
}
