#include <pf/LocalNotifications.h>
#include <pf/AppSettings.h>
#include <pf/DeviceInfo.h>
#include <pf/Folders.h>
#include <pf/StateFile.h>
#include <cjson/cJSON.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>

namespace pf
{
class LocalNotificationsImpl : public lang::Object
{
};

namespace
{
struct Store
{
	std::mutex lock;
	// The cache of the file: valid for `path`, with the earliest fire time at hand for the polls.
	std::string path;
	std::vector<LocalNotifications::Pending> entries;
	bool loaded = false;

	std::vector<LocalNotificationsListener*> listeners;
	std::mutex listenerLock;

	static std::string currentPath() { return Folders::statePath() + "/notifications.json"; }

	void load()
	{
		path = currentPath();
		entries.clear();
		loaded = true;
		cJSON* root = StateFile(path).load(cJSON_Object);
		if (!root)
			return;
		const cJSON* list = cJSON_GetObjectItemCaseSensitive(root, "notifications");
		const cJSON* item = nullptr;
		cJSON_ArrayForEach(item, list)
		{
			const cJSON* name = cJSON_GetObjectItemCaseSensitive(item, "eventName");
			const cJSON* fire = cJSON_GetObjectItemCaseSensitive(item, "fireTime");
			const cJSON* text = cJSON_GetObjectItemCaseSensitive(item, "text");
			if (!cJSON_IsString(name) || !cJSON_IsNumber(fire))
				continue;
			entries.push_back({name->valuestring, fire->valuedouble, cJSON_IsString(text) ? text->valuestring : "",
				cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(item, "sound")) != 0});
		}
		cJSON_Delete(root);
		sort();
	}

	// Mutations start from the file, which another run of the game may have changed.
	void reload() { load(); }

	void sort()
	{
		std::stable_sort(entries.begin(), entries.end(), [](const LocalNotifications::Pending& a, const LocalNotifications::Pending& b) {
			return a.fireTime < b.fireTime;
		});
	}

	void save()
	{
		Folders::state();
		cJSON* root = cJSON_CreateObject();
		cJSON* list = cJSON_AddArrayToObject(root, "notifications");
		for (const LocalNotifications::Pending& p : entries)
		{
			cJSON* item = cJSON_CreateObject();
			cJSON_AddStringToObject(item, "eventName", p.eventName.c_str());
			cJSON_AddNumberToObject(item, "fireTime", p.fireTime);
			cJSON_AddStringToObject(item, "text", p.text.c_str());
			cJSON_AddBoolToObject(item, "sound", p.sound);
			cJSON_AddItemToArray(list, item);
		}
		StateFile(path).save(root);
		cJSON_Delete(root);
	}

	bool removeFirst(const std::string& eventName)
	{
		for (auto it = entries.begin(); it != entries.end(); ++it)
		{
			if (it->eventName == eventName)
			{
				entries.erase(it);
				return true;
			}
		}
		return false;
	}
};

Store& store()
{
	static Store s;
	return s;
}

double nowSeconds()
{
	return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}
}

LocalNotificationsListener::~LocalNotificationsListener()
{
	LocalNotifications::removeListener(this);
}

LocalNotifications::LocalNotifications() :
	m_this(new LocalNotificationsImpl)
{
}

LocalNotifications::~LocalNotifications() {}

// The engine keeps and delivers notifications itself: any Linux system has them, whatever its version number.
bool LocalNotifications::isNotificationSupportAvailable()
{
	return true;
}

bool LocalNotifications::addNotificationAfter(const std::string& eventName, float seconds, const std::string& text)
{
	if (!isNotificationSupportAvailable())
		return false;
	// NaN or infinity has no fire time, and would be written to the file as null.
	if (!std::isfinite(seconds))
		return false;
	AppSettings settings;
	if (settings.isBoolean("notifications") && !settings.getBoolean("notifications"))
		return false;
	const bool sound = settings.getBoolean("notificationsSound");
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.lock);
	s.reload();
	s.removeFirst(eventName);
	s.entries.push_back({eventName, nowSeconds() + seconds, text, sound});
	s.sort();
	s.save();
	return true;
}

bool LocalNotifications::removeNotification(const std::string& eventName)
{
	if (!isNotificationSupportAvailable())
		return false;
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.lock);
	s.reload();
	if (!s.removeFirst(eventName))
		return false;
	s.save();
	return true;
}

void LocalNotifications::removeAllNotifications()
{
	if (!isNotificationSupportAvailable())
		return;
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.lock);
	s.reload();
	if (s.entries.empty())
		return;
	s.entries.clear();
	s.save();
}

void LocalNotifications::addListener(LocalNotificationsListener* listener)
{
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.listenerLock);
	if (listener && std::find(s.listeners.begin(), s.listeners.end(), listener) == s.listeners.end())
		s.listeners.push_back(listener);
}

void LocalNotifications::removeListener(LocalNotificationsListener* listener)
{
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.listenerLock);
	s.listeners.erase(std::remove(s.listeners.begin(), s.listeners.end(), listener), s.listeners.end());
}

void LocalNotifications::checkForNotifications() {}

std::vector<LocalNotifications::Pending> LocalNotifications::pending()
{
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.lock);
	s.reload();
	return s.entries;
}

size_t LocalNotifications::deliverDue(double now, const std::function<void(const std::string&)>& deliver)
{
	Store& s = store();
	std::vector<Pending> due;
	{
		std::lock_guard<std::mutex> guard(s.lock);
		if (!s.loaded || s.path != Store::currentPath())
			s.load();
		if (s.entries.empty() || s.entries.front().fireTime > now)
			return 0;
		s.reload();
		for (const Pending& p : s.entries)
		{
			if (p.fireTime > now)
				break;
			due.push_back(p);
		}
	}
	// An entry is one name at one fire time: the game may schedule the same name again while hearing it.
	auto find = [&s](const Pending& p) {
		return std::find_if(s.entries.begin(), s.entries.end(),
			[&p](const Pending& e) { return e.eventName == p.eventName && e.fireTime == p.fireTime; });
	};
	size_t delivered = 0;
	for (const Pending& p : due)
	{
		{
			std::lock_guard<std::mutex> guard(s.lock);
			s.reload();
			// Cancelled by an earlier delivery of this turn.
			if (find(p) == s.entries.end())
				continue;
		}
		// Out of the file only once the game heard it: a run ending in between delivers it again
		// at the next start. A delivery that throws counts as heard, or it would come back every turn.
		auto takeOut = [&]() {
			std::lock_guard<std::mutex> guard(s.lock);
			s.reload();
			const auto it = find(p);
			if (it == s.entries.end())
				return;
			s.entries.erase(it);
			s.save();
		};
		try
		{
			deliver(p.eventName);
		}
		catch (...)
		{
			takeOut();
			throw;
		}
		takeOut();
		++delivered;
	}
	return delivered;
}

size_t LocalNotifications::deliverDue(const std::function<void(const std::string&)>& deliver)
{
	return deliverDue(nowSeconds(), deliver);
}

void LocalNotifications::notifyListeners(const std::string& eventName)
{
	Store& s = store();
	std::vector<LocalNotificationsListener*> listeners;
	{
		std::lock_guard<std::mutex> guard(s.listenerLock);
		listeners = s.listeners;
	}
	for (LocalNotificationsListener* listener : listeners)
	{
		// A listener destroyed by an earlier one's callback is gone from the list.
		{
			std::lock_guard<std::mutex> guard(s.listenerLock);
			if (std::find(s.listeners.begin(), s.listeners.end(), listener) == s.listeners.end())
				continue;
		}
		listener->notificationReceived(eventName);
	}
}
}
