#include <framework/AppActivationListener.h>
#include <algorithm>

namespace framework
{
std::vector<AppActivationListener*> AppActivationListeners::s_listeners;

void AppActivationListeners::add(AppActivationListener* listener)
{
	if (listener && std::find(s_listeners.begin(), s_listeners.end(), listener) == s_listeners.end())
		s_listeners.push_back(listener);
}

void AppActivationListeners::remove(AppActivationListener* listener)
{
	s_listeners.erase(std::remove(s_listeners.begin(), s_listeners.end(), listener), s_listeners.end());
}

// A copy is walked: a listener may remove itself when told.
void AppActivationListeners::didBecomeActive()
{
	const std::vector<AppActivationListener*> listeners = s_listeners;
	for (AppActivationListener* l : listeners)
		l->didBecomeActive();
}

void AppActivationListeners::willResignActive()
{
	const std::vector<AppActivationListener*> listeners = s_listeners;
	for (AppActivationListener* l : listeners)
		l->willResignActive();
}
}
