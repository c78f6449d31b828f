#ifndef PF_LOCALNOTIFICATIONSLISTENER_H
#define PF_LOCALNOTIFICATIONSLISTENER_H

#include <string>

namespace pf
{
/** Hears the event names of local notifications that reach the running game. */
class LocalNotificationsListener
{
public:
	/** Takes the listener off the process-wide list, so no event reaches it once it is gone. */
	virtual ~LocalNotificationsListener();

	virtual void notificationReceived(const std::string& eventName) = 0;
	/** Whether a notification handed over now would be heard; due ones wait in their file until one is. */
	virtual bool isListening() const { return true; }
};
}

#endif
