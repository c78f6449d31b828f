#ifndef ANALYTICS_LINUX_ANALYTICSIMPL_LINUX_H
#define ANALYTICS_LINUX_ANALYTICSIMPL_LINUX_H

#include <map>
#include <string>

namespace analytics
{
/** The platform half of the facade: engine strings into the client's entries. */
class AnalyticsImpl
{
public:
	AnalyticsImpl();
	~AnalyticsImpl() {}

	void startSession(const std::string& apiKey);
	void endSession();
	void logEvent(const std::string& name, const std::map<std::string, std::string>& parameters);
	void didBecomeActive();
	void willResignActive();
	void willTerminate();
	void setScreenSize(int width, int height);

	/** The text with every invalid UTF-8 sequence replaced by U+FFFD. */
	static std::string validUTF8(const std::string& text);
};
}

#endif
