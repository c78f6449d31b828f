#ifndef NET_HTTPREQUEST_H
#define NET_HTTPREQUEST_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <net/HttpResponse.h>
#include <string>

namespace net
{
/**
 * Blocking HTTP GET over one libcurl easy handle: redirects are followed and
 * cookies set on the way are kept for the redirects and listed in the response.
 * Only http and https are fetched; a transfer gives up after the time-outs.
 * One thread uses a request at a time.
 */
class HttpRequest : public lang::Object
{
public:
	class Impl;

	/** Connect time-out and whole-transfer time-out in milliseconds. */
	enum { CONNECT_TIMEOUT_MS = 10000, TRANSFER_TIMEOUT_MS = 30000 };
	/** Bodies above this many bytes are refused. */
	static const long long MAX_BODY_BYTES = 64LL * 1024 * 1024;

	/** Throws HttpRequestException "Creating HttpRequest failed" when libcurl has no handle. */
	HttpRequest();
	~HttpRequest() override;

	/** Throws HttpRequestException with libcurl's error text when the transfer fails. */
	HttpResponse get(const std::string& url);

	/** Tests only: shorter time-outs for requests made afterwards; zero or less restores the defaults. */
	static void setTimeoutsForTests(long connectMs, long transferMs);

private:
	lang::Ptr<Impl> m_impl;
};
}

#endif
