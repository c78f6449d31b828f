#ifndef PF_ALERT_H
#define PF_ALERT_H

#include <functional>
#include <string>
#include <vector>

namespace pf
{
/** The one way the services ask the user something. */
class Alert
{
public:
	/** Shows the alert; returns the index of the button pressed, or -1. */
	typedef std::function<int(const std::string& title, const std::string& message, const std::vector<std::string>& buttons)> Presenter;

	/**
	 * Shows an alert through the installed presenter. Without one it prints
	 * "Alert: <title>: <message>" and returns -1.
	 */
	static int show(const std::string& title, const std::string& message, const std::vector<std::string>& buttons);

	/** Installs the presenter (a window host's dialog, or a test's script); empty restores the line. */
	static void setPresenter(Presenter presenter);
};
}

#endif
