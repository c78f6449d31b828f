#include <net/HttpRequest.h>
#include <net/HttpRequestException.h>
#include <net/curlGlobalInit.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <curl/curl.h>
#include <atomic>
#include <map>

namespace net
{
namespace
{
std::atomic<long> s_connectTimeoutMs{HttpRequest::CONNECT_TIMEOUT_MS};
std::atomic<long> s_transferTimeoutMs{HttpRequest::TRANSFER_TIMEOUT_MS};

[[noreturn]] void fail(const char* text)
{
	lang::throwError(HttpRequestException(lang::Format("{0}", text)));
}

/** The default body receiver; also counts what it refused, to tell the oversized body apart. */
struct BodySink
{
	HttpResponse* response;
	CURL* handle;
	size_t maxBytes;
	bool tooLarge;
};

size_t receiveBody(char* data, size_t size, size_t count, void* user)
{
	BodySink* sink = static_cast<BodySink*>(user);
	std::string& body = sink->response->body;
	const size_t n = size * count;
	if (body.size() + n > sink->maxBytes)
	{
		sink->tooLarge = true;
		return 0; // anything but n aborts the transfer
	}
	if (body.empty())
	{
		// One allocation for an announced length instead of growing by doubling (a copy per step).
		curl_off_t length = -1;
		if (curl_easy_getinfo(sink->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0 &&
			static_cast<unsigned long long>(length) <= sink->maxBytes)
			body.reserve(static_cast<size_t>(length));
	}
	body.append(data, n);
	return n;
}

int checkAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
	return static_cast<const std::atomic<bool>*>(user)->load(std::memory_order_relaxed) ? 1 : 0;
}

size_t receiveHeader(char* data, size_t size, size_t count, void* user)
{
	const size_t n = size * count;
	static_cast<HttpResponse*>(user)->headers.emplace_back(data, n);
	return n;
}
}

class HttpRequest::Impl : public lang::Object
{
public:
	CURL* handle;
	/** Header name to the full header line; nothing in the game adds one yet. */
	std::map<std::string, std::string> headers;
	long long maxBodyBytes;
	const std::atomic<bool>* abortFlag;

	Impl() : handle(nullptr), maxBodyBytes(MAX_BODY_BYTES), abortFlag(nullptr)
	{
		curlGlobalInit();
		handle = curl_easy_init();
		if (!handle)
			fail("Creating HttpRequest failed");
		curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
		curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
		// A null jar file still starts the cookie engine: cookies live for this handle only.
		curl_easy_setopt(handle, CURLOPT_COOKIEJAR, static_cast<char*>(nullptr));
		// Worker threads must not get signals from name lookups.
		curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
		curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
		curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
		// Without time-outs a stalled server would hold its worker, and whoever joins it, for ever.
		curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, s_connectTimeoutMs.load());
		curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, s_transferTimeoutMs.load());
	}

	~Impl() override
	{
		curl_easy_cleanup(handle);
	}

	HttpResponse perform(const std::string& url)
	{
		if (abortFlag && abortFlag->load())
			fail(curl_easy_strerror(CURLE_ABORTED_BY_CALLBACK));
		curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
		curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodyBytes));
		// libcurl asks at least once a second, also while nothing arrives.
		curl_easy_setopt(handle, CURLOPT_NOPROGRESS, abortFlag ? 0L : 1L);
		curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, abortFlag ? &checkAbort : static_cast<curl_xferinfo_callback>(nullptr));
		curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<void*>(static_cast<const void*>(abortFlag)));
		curl_slist* list = nullptr;
		for (const auto& header : headers)
			list = curl_slist_append(list, header.second.c_str());
		curl_easy_setopt(handle, CURLOPT_HTTPHEADER, list);

		HttpResponse response;
		BodySink sink = {&response, handle, static_cast<size_t>(maxBodyBytes), false};
		curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &receiveBody);
		curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
		curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &receiveHeader);
		curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);
		curl_easy_setopt(handle, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr));
		curl_easy_setopt(handle, CURLOPT_READDATA, static_cast<void*>(nullptr));

		const CURLcode result = curl_easy_perform(handle);
		curl_easy_setopt(handle, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
		curl_slist_free_all(list);

		if (sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
			fail("Response too large");
		if (result != CURLE_OK)
			fail(curl_easy_strerror(result));

		curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
		char* effective = nullptr;
		if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
			response.effectiveUrl = effective;
		curl_slist* cookies = nullptr;
		if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &cookies) == CURLE_OK)
		{
			for (curl_slist* c = cookies; c; c = c->next)
				response.cookies.emplace_back(c->data);
			curl_slist_free_all(cookies);
		}
		return response;
	}
};

HttpRequest::HttpRequest() : m_impl(new Impl) {}

HttpRequest::~HttpRequest() {}

HttpResponse HttpRequest::get(const std::string& url)
{
	curl_easy_setopt(m_impl->handle, CURLOPT_POST, 0L);
	curl_easy_setopt(m_impl->handle, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr));
	curl_easy_setopt(m_impl->handle, CURLOPT_HTTPGET, 1L);
	return m_impl->perform(url);
}

void HttpRequest::setMaxBodyBytes(long long n)
{
	m_impl->maxBodyBytes = n < 0 ? 0 : n > MAX_BODY_BYTES ? MAX_BODY_BYTES : n;
}

void HttpRequest::setAbortFlag(const std::atomic<bool>* flag)
{
	m_impl->abortFlag = flag;
}

void HttpRequest::setTimeoutsForTests(long connectMs, long transferMs)
{
	s_connectTimeoutMs = connectMs > 0 ? connectMs : static_cast<long>(CONNECT_TIMEOUT_MS);
	s_transferTimeoutMs = transferMs > 0 ? transferMs : static_cast<long>(TRANSFER_TIMEOUT_MS);
}
}
