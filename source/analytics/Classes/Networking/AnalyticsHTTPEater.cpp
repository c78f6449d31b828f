#include "../AnalyticsHTTP.h"
#include "../AnalyticsUtil.h"
#include "../AnalyticsState.h"
#include <curl/curl.h>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace analytics
{
using detail::state;

namespace
{
typedef std::chrono::steady_clock SteadyClock;

struct Transfer
{
	Bytes body;
	AnalyticsHTTPResponse::Headers headers;
	SteadyClock::time_point lastByte;
	curl_off_t down = 0;
	curl_off_t up = 0;
	std::chrono::seconds idleLimit{0};
	bool idle = false;
	AnalyticsHTTPEater::Limits limits;
	size_t headerBytes = 0;
	// Why the transfer was cut, when it was; empty otherwise.
	std::string cut;
};

bool idleTooLong(const Transfer& t)
{
	return SteadyClock::now() - t.lastByte >= t.idleLimit;
}

std::string tooLong(const Transfer& t)
{
	return "answer longer than " + std::to_string(t.limits.maxAnswerBytes) + " bytes";
}

// Anything past the cap ends the transfer: answering less than given makes curl fail it.
size_t onBody(char* data, size_t size, size_t count, void* user)
{
	Transfer* t = static_cast<Transfer*>(user);
	const size_t n = size * count;
	if (n > t->limits.maxAnswerBytes - t->body.size())
	{
		t->cut = tooLong(*t);
		return 0;
	}
	t->body.insert(t->body.end(), data, data + n);
	return n;
}

std::string trim(const std::string& s)
{
	const size_t b = s.find_first_not_of(" \t\r\n");
	if (b == std::string::npos)
		return std::string();
	return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
	Transfer* t = static_cast<Transfer*>(user);
	// Header fields are kept too, so they share the answer's cap.
	t->headerBytes += size * count;
	if (t->headerBytes > t->limits.maxAnswerBytes)
	{
		t->cut = tooLong(*t);
		return 0;
	}
	const std::string line(data, size * count);
	// Each status line begins a new response (redirects, 100 Continue): only the last one's fields count.
	if (line.compare(0, 5, "HTTP/") == 0)
	{
		t->headers.clear();
		return size * count;
	}
	const size_t colon = line.find(':');
	if (colon != std::string::npos)
		t->headers[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
	return size * count;
}

int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
	Transfer* t = static_cast<Transfer*>(user);
	if (AnalyticsHTTPEater::abortTransfers())
		return 1;
	const SteadyClock::time_point now = SteadyClock::now();
	if (down != t->down || up != t->up)
	{
		t->down = down;
		t->up = up;
		t->lastByte = now;
		return 0;
	}
	if (idleTooLong(*t))
	{
		t->idle = true;
		return 1;
	}
	return 0;
}

// Bytes moved both ways so far.
curl_off_t moved(CURL* c)
{
	curl_off_t down = 0, up = 0;
	curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &down);
	curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &up);
	return down + up;
}

// The transfer on a multi handle, looked at every 100 ms: the progress
// callback alone comes only about once a second while nothing moves. Besides
// the idle time, a whole time and a least speed bound it, so a server that
// trickles cannot hold the send (and the network lock) for long.
CURLcode perform(CURL* c, Transfer& t)
{
	std::unique_ptr<CURLM, CURLMcode (*)(CURLM*)> multi(curl_multi_init(), curl_multi_cleanup);
	if (!multi || curl_multi_add_handle(multi.get(), c) != CURLM_OK)
		return CURLE_OUT_OF_MEMORY;
	const SteadyClock::time_point start = SteadyClock::now();
	const SteadyClock::time_point deadline = start + std::chrono::milliseconds(t.limits.totalMillis);
	const std::chrono::milliseconds window(t.limits.lowSpeedWindowMillis);
	const curl_off_t leastPerWindow = static_cast<curl_off_t>(t.limits.lowSpeedBytesPerSecond) * t.limits.lowSpeedWindowMillis / 1000;
	SteadyClock::time_point windowStart = start;
	curl_off_t movedAtWindowStart = 0;
	CURLcode result = CURLE_OK;
	int running = 1;
	for (;;)
	{
		if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
		{
			result = CURLE_RECV_ERROR;
			break;
		}
		if (!running)
		{
			int left = 0;
			while (CURLMsg* m = curl_multi_info_read(multi.get(), &left))
			{
				if (m->msg == CURLMSG_DONE)
					result = m->data.result;
			}
			break;
		}
		if (AnalyticsHTTPEater::abortTransfers())
		{
			result = CURLE_ABORTED_BY_CALLBACK;
			break;
		}
		if (idleTooLong(t))
		{
			t.idle = true;
			result = CURLE_OPERATION_TIMEDOUT;
			break;
		}
		const SteadyClock::time_point now = SteadyClock::now();
		if (now >= deadline)
		{
			t.cut = "no answer within " + std::to_string(t.limits.totalMillis) + " ms";
			result = CURLE_OPERATION_TIMEDOUT;
			break;
		}
		if (now - windowStart >= window)
		{
			const curl_off_t total = moved(c);
			if (total - movedAtWindowStart < leastPerWindow)
			{
				t.cut = "slower than " + std::to_string(t.limits.lowSpeedBytesPerSecond) + " bytes/s for " + std::to_string(t.limits.lowSpeedWindowMillis) + " ms";
				result = CURLE_OPERATION_TIMEDOUT;
				break;
			}
			windowStart = now;
			movedAtWindowStart = total;
		}
		curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
	}
	curl_multi_remove_handle(multi.get(), c);
	return result;
}

std::mutex& caLock()
{
	static std::mutex m;
	return m;
}

std::string& caPath()
{
	static std::string path = [] {
		const char* env = std::getenv("ENGINE_ANALYTICS_CA_FILE");
		return std::string(env ? env : "");
	}();
	return path;
}
}

AnalyticsHTTPResponse AnalyticsHTTPEater::sendMethod(const std::string& method, const std::string& url, const Bytes& body, const Headers& headers, int timeoutSeconds)
{
	if (AnalyticsUtil::isDebugLogEnabled())
		detail::debugLog("AnalyticsAgent: " + method + ": " + url);
	if (abortTransfers())
		return AnalyticsHTTPResponse(Bytes(), 0, Headers(), "transfers stopped", false);
	curlGlobalInit();
	std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
	if (!curl)
		return AnalyticsHTTPResponse(Bytes(), 0, Headers(), "no transfer handle", false);
	CURL* c = curl.get();

	Transfer t;
	t.idleLimit = std::chrono::seconds(timeoutSeconds > 0 ? timeoutSeconds : 1);
	t.lastByte = SteadyClock::now();
	t.limits = limits();

	curl_slist* list = nullptr;
	for (const auto& h : headers)
		list = curl_slist_append(list, (h.first + ": " + h.second).c_str());
	// Large bodies would otherwise wait for "100 Continue".
	list = curl_slist_append(list, "Expect:");
	std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(list, curl_slist_free_all);

	curl_easy_setopt(c, CURLOPT_URL, url.c_str());
	curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
	curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
	curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
	curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
	curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
	// Without this a 302 turns the report into a body-less GET whose 200 looks like delivery.
	curl_easy_setopt(c, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
	curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
	curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(t.idleLimit.count()));
	curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
	curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
	const std::string ca = caFile();
	if (!ca.empty())
	{
		curl_easy_setopt(c, CURLOPT_CAINFO, ca.c_str());
		curl_easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
	}
	// An announced length past the cap fails before any byte of it is read.
	curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.limits.maxAnswerBytes));
	curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &onBody);
	curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
	curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &onHeader);
	curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
	curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
	curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &onProgress);
	curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
	if (method == "GET")
	{
		curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
	}
	else
	{
		curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
		curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
		if (method != "POST")
			curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
	}

	const CURLcode result = perform(c, t);
	long status = 0;
	curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
	std::string error;
	if (result == CURLE_FILESIZE_EXCEEDED)
		t.cut = tooLong(t);
	if (result != CURLE_OK)
		error = t.idle ? "timed out after " + std::to_string(t.idleLimit.count()) + " s without data" : !t.cut.empty() ? t.cut : curl_easy_strerror(result);
	AnalyticsHTTPResponse response(t.body, static_cast<int32_t>(status), status ? t.headers : Headers(), error, result == CURLE_OK);
	if (AnalyticsUtil::isDebugLogEnabled())
		detail::debugLog("AnalyticsAgent: HTTP Response[" + response.description() + "]");
	return response;
}

AnalyticsHTTPResponse AnalyticsHTTPEater::get(const std::string& url, const Headers& headers)
{
	return sendMethod("GET", url, Bytes(), headers, DEFAULT_TIMEOUT);
}

AnalyticsHTTPResponse AnalyticsHTTPEater::post(const std::string& url, const Bytes& body, const Headers& headers)
{
	return sendMethod("POST", url, body, headers, DEFAULT_TIMEOUT);
}

std::string AnalyticsHTTPEater::urlWithProtocol(const std::string& protocol, const std::string& host, int port, const std::string& path, const std::optional<std::string>& query)
{
	std::string url = (protocol.empty() ? std::string("http") : protocol) + "://" + host;
	if (port != 0 && port != 80)
		url += ":" + std::to_string(port);
	if (!path.empty())
		url += "/" + path;
	if (query)
		url += "?" + *query;
	return url;
}

std::string AnalyticsHTTPEater::urlWithProtocol(const std::string& protocol, const std::string& host, int port, const std::string& path, const std::map<std::string, std::string>& query)
{
	return urlWithProtocol(protocol, host, port, path, std::optional<std::string>(queryDictionaryToString(query)));
}

std::string AnalyticsHTTPEater::queryDictionaryToString(const std::map<std::string, std::string>& query)
{
	std::string out;
	for (const auto& q : query)
		out += (out.empty() ? "" : "&") + q.first + "=" + q.second;
	return out;
}

void AnalyticsHTTPEater::setCAFile(const std::string& path)
{
	std::lock_guard<std::mutex> lock(caLock());
	caPath() = path;
}

std::string AnalyticsHTTPEater::caFile()
{
	std::lock_guard<std::mutex> lock(caLock());
	return caPath();
}

void AnalyticsHTTPEater::setLimits(const Limits& limits)
{
	const Limits defaults;
	Limits checked;
	checked.totalMillis = limits.totalMillis > 0 ? limits.totalMillis : defaults.totalMillis;
	checked.lowSpeedBytesPerSecond = limits.lowSpeedBytesPerSecond > 0 ? limits.lowSpeedBytesPerSecond : defaults.lowSpeedBytesPerSecond;
	checked.lowSpeedWindowMillis = limits.lowSpeedWindowMillis > 0 ? limits.lowSpeedWindowMillis : defaults.lowSpeedWindowMillis;
	checked.maxAnswerBytes = limits.maxAnswerBytes > 0 ? limits.maxAnswerBytes : defaults.maxAnswerBytes;
	std::lock_guard<std::mutex> lock(state().limitsLock);
	state().limits = checked;
}

AnalyticsHTTPEater::Limits AnalyticsHTTPEater::limits()
{
	std::lock_guard<std::mutex> lock(state().limitsLock);
	return state().limits;
}

void AnalyticsHTTPEater::setAbortTransfers(bool abort)
{
	state().abortTransfers = abort;
}

bool AnalyticsHTTPEater::abortTransfers()
{
	return state().abortTransfers;
}
}
