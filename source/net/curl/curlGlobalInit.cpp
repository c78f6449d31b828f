#include <net/curlGlobalInit.h>
#include <curl/curl.h>
#include <mutex>

namespace net
{
void curlGlobalInit()
{
	// Once for the process, never cleaned up: other threads may still hold handles at exit.
	static std::once_flag once;
	std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
}
