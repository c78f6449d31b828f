#include <pf/Alert.h>
#include <lang/Debug.h>
#include <mutex>

namespace pf
{
namespace
{
std::mutex& presenterLock()
{
	static std::mutex lock;
	return lock;
}

Alert::Presenter& installed()
{
	static Alert::Presenter presenter;
	return presenter;
}
}

int Alert::show(const std::string& title, const std::string& message, const std::vector<std::string>& buttons)
{
	Presenter presenter;
	{
		std::lock_guard<std::mutex> guard(presenterLock());
		presenter = installed();
	}
	if (presenter)
		return presenter(title, message, buttons);
	lang::Debug::printf("Alert: %s: %s\n", title.c_str(), message.c_str());
	return -1;
}

void Alert::setPresenter(Presenter presenter)
{
	std::lock_guard<std::mutex> guard(presenterLock());
	installed() = std::move(presenter);
}
}
