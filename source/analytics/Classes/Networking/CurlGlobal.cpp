#include "../AnalyticsHTTP.h"
#include <net/curlGlobalInit.h>

namespace analytics
{
void curlGlobalInit()
{
	// The process has one libcurl initialisation, shared with the game's own requests.
	net::curlGlobalInit();
}
}
