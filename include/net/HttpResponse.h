#ifndef NET_HTTPRESPONSE_H
#define NET_HTTPRESPONSE_H

#include <string>
#include <vector>

namespace net
{
/** What one request brought back; an HTTP error status is a response like any other. */
struct HttpResponse
{
	long status = 0;
	std::string body;
	/** The URL finally fetched, after redirects. */
	std::string effectiveUrl;
	/** One entry per header line as received, line end included. */
	std::vector<std::string> headers;
	/** One entry per cookie, in libcurl's cookie-list text form. */
	std::vector<std::string> cookies;
};
}

#endif
