#ifndef FRAMEWORK_APPACTIVATIONLISTENER_H
#define FRAMEWORK_APPACTIVATIONLISTENER_H

#include <vector>

namespace framework
{
/** Told by the host when the application becomes active or resigns, after the frame loop has followed. */
class AppActivationListener
{
public:
	virtual ~AppActivationListener() {}
	virtual void didBecomeActive() = 0;
	virtual void willResignActive() = 0;
};

/** The listeners the host walks, in the order they were added. */
class AppActivationListeners
{
public:
	/** Adds the listener once; adding it again changes nothing. */
	static void add(AppActivationListener* listener);
	static void remove(AppActivationListener* listener);

	static void didBecomeActive();
	static void willResignActive();

private:
	static std::vector<AppActivationListener*> s_listeners;
};
}

#endif
