#ifndef PF_EMAILERSENDER_H
#define PF_EMAILERSENDER_H

#include <string>

namespace pf
{
/** Hears how a mail ended: 0 error, 1 sent, 2 anything else. */
class EmailerListener
{
public:
	virtual ~EmailerListener() {}
	virtual void emailFinished(int result) = 0;
};

/** Composes mail by handing a mailto: URL to the user's mail program. */
class EmailerSender
{
public:
	EmailerSender();
	~EmailerSender();

	void setDelegate(EmailerListener* listener) { m_delegate = listener; }

	/**
	 * Opens the mail program with the recipient, subject and body. The
	 * listener hears 2 (handed over, the outcome unknown) or 0 when nothing
	 * could be opened.
	 */
	void sendEmail(const std::string& recipient, const std::string& subject, const std::string& body);

	/** The mailto: URL of a mail, every reserved byte percent-encoded. */
	static std::string mailtoURL(const std::string& recipient, const std::string& subject, const std::string& body);

private:
	EmailerListener* m_delegate;
};
}

#endif
