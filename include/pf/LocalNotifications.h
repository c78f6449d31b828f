#ifndef PF_LOCALNOTIFICATIONS_H
#define PF_LOCALNOTIFICATIONS_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <pf/LocalNotificationsListener.h>
#include <functional>
#include <string>
#include <vector>

namespace pf
{
class LocalNotificationsImpl;

/**
 * Notifications for later, each tagged with an event name. They are kept
 * in Folders::state()/notifications.json (name, fire time, text, sound);
 * the host delivers the due ones every loop turn once the game listens, so
 * ones that fell due while the game was closed arrive at its next start.
 * An entry that cannot be read (no name, a fire time out of range) is left
 * out and named in the log, the file as it was kept as "<name>.bad".
 */
class LocalNotifications : public lang::Object
{
public:
	LocalNotifications();
	~LocalNotifications() override;

	/**
	 * Schedules the event in `seconds`, replacing one of the same name.
	 * False when the user default "notifications" is false, or seconds is
	 * not finite. The sound is on when "notificationsSound" is true.
	 */
	bool addNotificationAfter(const std::string& eventName, float seconds, const std::string& text);
	/** Cancels the first pending notification of that name; false when none. */
	bool removeNotification(const std::string& eventName);
	void removeAllNotifications();

	/** Adds the listener unless it is listed already. */
	void addListener(LocalNotificationsListener* listener);
	/** Nothing: the host delivers. */
	void checkForNotifications();

	/** One pending notification. */
	struct Pending
	{
		std::string eventName;
		/** Seconds since the epoch. */
		double fireTime;
		std::string text;
		bool sound;
	};
	/** The pending notifications in fire order. */
	static std::vector<Pending> pending();

	/**
	 * Hands the notifications due at `now` (seconds since the epoch) to
	 * `deliver`, oldest first, and takes each out of the file only after
	 * `deliver` returned (or threw). A run that ends in between hears that
	 * one notification again at its next start: at least once, never lost.
	 * While `listening` (when given) says no, nothing is handed over and the
	 * due ones stay in the file. A long backlog is handed over in part (see
	 * detail::DeliveryBatch) and the rest at the next calls: each delivery
	 * is a line in the file's journal, and the file is written whole once
	 * nothing due is left. The files are only read when something is due
	 * and they changed, and only written when something was delivered.
	 * Returns how many were delivered.
	 */
	static size_t deliverDue(double now, const std::function<void(const std::string&)>& deliver,
		const std::function<bool()>& listening = std::function<bool()>());
	/** The same at the current time. */
	static size_t deliverDue(const std::function<void(const std::string&)>& deliver,
		const std::function<bool()>& listening = std::function<bool()>());
	/** Whether some listener would hear a notification now (see LocalNotificationsListener::isListening). */
	static bool hasListener();

	static void removeListener(LocalNotificationsListener* listener);
	/** Calls every listener, in the order they were added. */
	static void notifyListeners(const std::string& eventName);
	static bool isNotificationSupportAvailable();

private:
	lang::Ptr<LocalNotificationsImpl> m_this;
};
}

#endif
