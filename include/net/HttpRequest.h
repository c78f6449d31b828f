#ifndef NET_HTTPREQUEST_H
#define NET_HTTPREQUEST_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <net/HttpResponse.h>
#include <atomic>
#include <string>

namespace net
{
/**
 * Blocking HTTP GET over one libcurl easy handle: redirects are followed and
 * cookies set on the way are kept for the redirects and listed in the response.
 * Only http and https are fetched; a transfer gives up after the time-outs.
 * One thread uses a request at a time; another thread may only set the abort
 * flag it was given.
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

	/**
	 * Bodies above n bytes are refused with "Response too large", before any is
	 * read when the answer announces its length. At most MAX_BODY_BYTES.
	 */
	void setMaxBodyBytes(long long n);
	/**
	 * Once *flag is set, a transfer in progress gives up within about a second
	 * and later ones do not start (HttpRequestException). Null: never. The flag
	 * must outlive every transfer of this request.
	 */
	void setAbortFlag(const std::atomic<bool>* flag);

	/** Tests only: shorter time-outs for requests made afterwards; zero or less restores the defaults. */
	static void setTimeoutsForTests(long connectMs, long transferMs);

private:
	lang::Ptr<Impl> m_impl;
};
}

#endif
