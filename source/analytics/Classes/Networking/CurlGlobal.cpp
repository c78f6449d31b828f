#include <analytics/AnalyticsHTTP.h>
#include <curl/curl.h>
#include <mutex>

namespace analytics
{
void curlGlobalInit()
{
	// Once for the process; never cleaned up, as other threads may still hold handles at exit.
	static std::once_flag once;
	std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
}
