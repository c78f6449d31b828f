#include <pf/ServicePump.h>
#include <pf/LocalNotifications.h>
#include <pf/MainThreadQueue.h>
#include <pf/WebView.h>

namespace pf
{
void pumpServices(const std::function<void(const std::string& name)>& deliver, const std::function<bool()>& listening)
{
	MainThreadQueue::runPending();
	WebView::runPages();
	LocalNotifications::deliverDue(deliver, listening);
}
}
