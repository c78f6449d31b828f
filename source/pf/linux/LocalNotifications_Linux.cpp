#include <pf/LocalNotifications.h>
#include <pf/AppSettings.h>
#include <pf/Folders.h>
#include <pf/StateFile.h>
#include <pf/StateJournal.h>
#include <pf/detail/DeliveryBatch.h>
#include <pf/detail/FileStamp.h>
#include <cjson/cJSON.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <functional>
#include <mutex>

namespace pf
{
class LocalNotificationsImpl : public lang::Object
{
};

namespace
{
typedef LocalNotifications::Pending Pending;

bool earlier(const Pending& a, const Pending& b)
{
	return a.fireTime < b.fireTime;
}

// Why the entry cannot be used, or "" with `p` filled.
std::string readEntry(const cJSON* item, Pending& p)
{
	if (!cJSON_IsObject(item))
		return "it is not an object";
	const cJSON* name = cJSON_GetObjectItemCaseSensitive(item, "eventName");
	const cJSON* fire = cJSON_GetObjectItemCaseSensitive(item, "fireTime");
	const cJSON* text = cJSON_GetObjectItemCaseSensitive(item, "text");
	const cJSON* sound = cJSON_GetObjectItemCaseSensitive(item, "sound");
	if (!cJSON_IsString(name))
		return "it has no event name";
	// A number too large for a double reads as infinity, and would be written back as null.
	if (!cJSON_IsNumber(fire) || !std::isfinite(fire->valuedouble))
		return "its fire time is missing or out of range";
	if (text && !cJSON_IsString(text))
		return "its text is not a string";
	if (sound && !cJSON_IsBool(sound))
		return "its \"sound\" is not true or false";
	p = {name->valuestring, fire->valuedouble, text ? text->valuestring : "", cJSON_IsTrue(sound) != 0};
	return std::string();
}

struct Store
{
	std::mutex lock;
	// The file and its journal as last read, in fire order; valid for `path` while their stamps hold.
	std::string path;
	std::deque<Pending> entries;
	bool loaded = false;
	detail::FileStamp fileStamp;
	detail::FileStamp journalStamp;
	// Deliveries in the journal since the file was last written whole.
	size_t journaled = 0;

	std::vector<LocalNotificationsListener*> listeners;
	std::mutex listenerLock;

	static std::string currentPath() { return Folders::statePath() + "/notifications.json"; }

	void load()
	{
		path = currentPath();
		entries.clear();
		journaled = 0;
		loaded = true;
		const StateFile file(path);
		bool damaged = false;
		if (cJSON* root = file.load(cJSON_Object))
		{
			std::vector<std::string> faults;
			const cJSON* list = cJSON_GetObjectItemCaseSensitive(root, "notifications");
			if (list && !cJSON_IsArray(list))
				faults.push_back("\"notifications\" is not a list");
			const cJSON* item = nullptr;
			int index = 0;
			cJSON_ArrayForEach(item, (cJSON_IsArray(list) ? list : nullptr))
			{
				++index;
				Pending p;
				const std::string fault = readEntry(item, p);
				if (fault.empty())
					entries.push_back(p);
				else
				{
					const cJSON* name = cJSON_GetObjectItemCaseSensitive(item, "eventName");
					faults.push_back("notification " + std::to_string(index) + (cJSON_IsString(name) ? " (" + std::string(name->valuestring) + ")" : "") +
						" is not delivered: " + fault);
				}
			}
			cJSON_Delete(root);
			// The copy keeps the damaged entries as they were written; the file goes on without them.
			damaged = !faults.empty() && file.reportDamage(faults);
		}
		std::stable_sort(entries.begin(), entries.end(), &earlier);
		// Deliveries since the file was last written: each takes its entry out.
		std::vector<bool> heard(entries.size(), false);
		const bool journalSound = StateJournal(path).read([&](const cJSON& record) {
			const cJSON* name = cJSON_GetObjectItemCaseSensitive(&record, "heard");
			const cJSON* fire = cJSON_GetObjectItemCaseSensitive(&record, "fireTime");
			if (!cJSON_IsString(name) || !cJSON_IsNumber(fire))
				return false;
			++journaled;
			const Pending key{name->valuestring, fire->valuedouble, "", false};
			const auto range = std::equal_range(entries.begin(), entries.end(), key, &earlier);
			for (auto it = range.first; it != range.second; ++it)
			{
				const size_t i = static_cast<size_t>(it - entries.begin());
				if (!heard[i] && it->eventName == key.eventName)
				{
					heard[i] = true;
					break;
				}
			}
			return true;
		});
		size_t kept = 0;
		for (size_t i = 0; i < entries.size(); ++i)
		{
			if (heard[i])
				continue;
			if (kept != i)
				entries[kept] = std::move(entries[i]);
			++kept;
		}
		entries.resize(kept);
		// Written whole at once, so that the damage is not found again at the next start.
		if (damaged || !journalSound)
			save();
		else
			stamp();
	}

	// The file is read again only when it changed since this process last read or wrote it.
	void refresh()
	{
		if (!loaded || path != currentPath() || detail::FileStamp::of(path) != fileStamp || detail::FileStamp::of(StateJournal(path).path()) != journalStamp)
			load();
	}

	void stamp()
	{
		fileStamp = detail::FileStamp::of(path);
		journalStamp = detail::FileStamp::of(StateJournal(path).path());
	}

	void save()
	{
		Folders::state();
		cJSON* root = cJSON_CreateObject();
		cJSON* list = cJSON_AddArrayToObject(root, "notifications");
		for (const Pending& p : entries)
		{
			cJSON* item = cJSON_CreateObject();
			cJSON_AddStringToObject(item, "eventName", p.eventName.c_str());
			cJSON_AddNumberToObject(item, "fireTime", p.fireTime);
			cJSON_AddStringToObject(item, "text", p.text.c_str());
			cJSON_AddBoolToObject(item, "sound", p.sound);
			cJSON_AddItemToArray(list, item);
		}
		// The journal goes only once the file holds what it said.
		if (StateFile(path).save(root) && StateJournal(path).clear())
			journaled = 0;
		cJSON_Delete(root);
		stamp();
	}

	void insert(const Pending& p) { entries.insert(std::upper_bound(entries.begin(), entries.end(), p, &earlier), p); }

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

	// An entry is one name at one fire time: the game may schedule the same name again while hearing it.
	std::deque<Pending>::iterator find(const Pending& p)
	{
		const auto range = std::equal_range(entries.begin(), entries.end(), p, &earlier);
		for (auto it = range.first; it != range.second; ++it)
		{
			if (it->eventName == p.eventName)
				return it;
		}
		return entries.end();
	}

	size_t dueCount(double now)
	{
		const Pending key{std::string(), now, std::string(), false};
		return static_cast<size_t>(std::upper_bound(entries.begin(), entries.end(), key, &earlier) - entries.begin());
	}

	// Out of the file once the game heard it: a journal line now, the file written whole later.
	void takeOut(const Pending& p)
	{
		const auto it = find(p);
		if (it == entries.end())
			return;
		entries.erase(it);
		cJSON* record = cJSON_CreateObject();
		cJSON_AddStringToObject(record, "heard", p.eventName.c_str());
		cJSON_AddNumberToObject(record, "fireTime", p.fireTime);
		const bool appended = StateJournal(path).append(record);
		cJSON_Delete(record);
		if (!appended)
		{
			save();
			return;
		}
		++journaled;
		journalStamp = detail::FileStamp::of(StateJournal(path).path());
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
	s.refresh();
	s.removeFirst(eventName);
	s.insert({eventName, nowSeconds() + seconds, text, sound});
	s.save();
	return true;
}

bool LocalNotifications::removeNotification(const std::string& eventName)
{
	if (!isNotificationSupportAvailable())
		return false;
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.lock);
	s.refresh();
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
	s.refresh();
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
	s.refresh();
	return std::vector<Pending>(s.entries.begin(), s.entries.end());
}

size_t LocalNotifications::deliverDue(double now, const std::function<void(const std::string&)>& deliver, const std::function<bool()>& listening)
{
	Store& s = store();
	size_t due = 0;
	{
		std::lock_guard<std::mutex> guard(s.lock);
		if (!s.loaded || s.path != Store::currentPath())
			s.load();
		// Nothing due by what this process knows: the poll touches no file.
		if (s.entries.empty() || s.entries.front().fireTime > now)
			return 0;
		s.refresh();
		due = s.dueCount(now);
	}
	detail::DeliveryBatch batch;
	// Capped at what was due on entry: one scheduled again while it is heard waits for the next turn.
	while (batch.count() < due && batch.more() && (!listening || listening()))
	{
		Pending p;
		{
			std::lock_guard<std::mutex> guard(s.lock);
			s.refresh();
			// Cancelled by an earlier delivery of this turn, or heard by another process.
			if (s.entries.empty() || s.entries.front().fireTime > now)
				break;
			p = s.entries.front();
		}
		// Out of the file only once the game heard it: a run ending in between delivers it again
		// at the next start. A delivery that throws counts as heard, or it would come back every turn.
		auto takeOut = [&]() {
			std::lock_guard<std::mutex> guard(s.lock);
			s.refresh();
			s.takeOut(p);
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
		batch.counted();
	}
	std::lock_guard<std::mutex> guard(s.lock);
	s.refresh();
	// Written whole once the due ones are through: while a backlog lasts its progress is in the journal.
	if (s.journaled > 0 && s.dueCount(now) == 0)
		s.save();
	return batch.count();
}

size_t LocalNotifications::deliverDue(const std::function<void(const std::string&)>& deliver, const std::function<bool()>& listening)
{
	return deliverDue(nowSeconds(), deliver, listening);
}

bool LocalNotifications::hasListener()
{
	Store& s = store();
	std::lock_guard<std::mutex> guard(s.listenerLock);
	for (LocalNotificationsListener* listener : s.listeners)
	{
		if (listener->isListening())
			return true;
	}
	return false;
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
