#ifndef PF_LAUNCHER_H
#define PF_LAUNCHER_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace pf
{
class LauncherImpl;
class EmailerSender;

/** Opens URLs in other programs and tells whether some program handles a scheme. */
class Launcher : public lang::Object
{
public:
	Launcher();
	~Launcher() override;

	/**
	 * Runs the URL opener (xdg-open, or $ENGINE_URL_OPENER) with the URL,
	 * without a shell, and waits at most two seconds for its exit status.
	 * False when the text is no URL (a scheme, then no blanks or control
	 * characters), the opener does not start, or it ends with a failure
	 * within those seconds; an opener still running then counts as opening.
	 */
	bool openURL(const std::string& url);
	/** Whether a desktop program is registered for the URL's scheme. */
	bool canOpenProgram(const std::string& url);

	/** The mail composer the launcher holds. */
	EmailerSender& emailer();

	/** The scheme of a URL text, lower-cased, or "" when the text is no URL. */
	static std::string schemeOf(const std::string& url);

private:
	lang::Ptr<LauncherImpl> m_this;
};
}

#endif
