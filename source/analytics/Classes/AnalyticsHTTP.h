#ifndef ANALYTICS_CLASSES_ANALYTICSHTTP_H
#define ANALYTICS_CLASSES_ANALYTICSHTTP_H

#include <analytics/AnalyticsProtocolData.h>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace analytics
{
/** One answer of the analytics service: body, status, header fields and the failure, if any. */
class AnalyticsHTTPResponse
{
public:
	typedef std::map<std::string, std::string> Headers;

	/** No answer: status 0, nothing finished. */
	AnalyticsHTTPResponse();
	/** finished: the exchange ran to its end (the transfer itself did not fail). */
	AnalyticsHTTPResponse(const Bytes& body, int32_t statusCode, const Headers& headers, const std::string& error, bool finished);

	const Bytes& body() const { return m_body; }
	int32_t statusCode() const { return m_statusCode; }
	const Headers& headers() const { return m_headers; }
	/** The transfer's failure text, empty when none. */
	const std::string& error() const { return m_error; }
	bool finished() const { return m_finished; }

	/** 200 <= status < 400. */
	bool isSuccess() const;
	bool isError() const { return !isSuccess(); }
	/** A finished exchange whose final status is 2xx: only this lets sent records go. */
	bool isDelivered() const;
	std::string description() const;

	/** Stores the response in the analytics files folder; the path, or empty on failure. */
	std::string saveToDisk() const;
	/** A stored response from a path or a file:// URL; unreadable gives status 0 and nothing else. */
	static AnalyticsHTTPResponse readFromURL(const std::string& url);
	/** The stored response path for the number (marked to be skipped by backups). */
	static std::string filePath(int64_t number);

private:
	Bytes m_body;
	int32_t m_statusCode;
	Headers m_headers;
	std::string m_error;
	bool m_finished;
};

/** The client's blocking HTTP calls on libcurl. */
class AnalyticsHTTPEater
{
public:
	typedef std::map<std::string, std::string> Headers;
	enum { DEFAULT_TIMEOUT = 20 };

	/** What one exchange may take besides its idle timeout. */
	struct Limits
	{
		/** The whole exchange, connecting included. */
		int totalMillis = 30000;
		/** Fewer bytes than this per second, both ways together, over a whole window ends it. */
		int lowSpeedBytesPerSecond = 32;
		int lowSpeedWindowMillis = 20000;
		/** The service answers with a few KiB: a longer answer is an error, not a delivery. */
		size_t maxAnswerBytes = 64 * 1024;
	};
	/** Applies to the exchanges started afterwards; values below 1 keep the default. */
	static void setLimits(const Limits& limits);
	static Limits limits();

	/**
	 * One request on the calling thread. The timeout is idle time: the
	 * transfer gives up after that many seconds without a byte either way,
	 * and within the limits above whatever moves.
	 */
	static AnalyticsHTTPResponse sendMethod(const std::string& method, const std::string& url, const Bytes& body, const Headers& headers, int timeoutSeconds);
	static AnalyticsHTTPResponse get(const std::string& url, const Headers& headers = Headers());
	static AnalyticsHTTPResponse post(const std::string& url, const Bytes& body, const Headers& headers = Headers());

	/** protocol "://" host [":" port unless 0 or 80] ["/" path] ["?" query]; an empty protocol is "http". */
	static std::string urlWithProtocol(const std::string& protocol, const std::string& host, int port, const std::string& path, const std::optional<std::string>& query);
	static std::string urlWithProtocol(const std::string& protocol, const std::string& host, int port, const std::string& path, const std::map<std::string, std::string>& query);
	/** "k=v" joined by "&", nothing escaped. */
	static std::string queryDictionaryToString(const std::map<std::string, std::string>& query);

	/** An extra certificate authority file trusted besides the system's; empty for none. */
	static void setCAFile(const std::string& path);
	static std::string caFile();

	/** While set, running and new transfers stop at once (process exit). */
	static void setAbortTransfers(bool abort);
	static bool abortTransfers();
};

/**
 * libcurl's process-wide set-up: the first call does it, later calls do
 * nothing. Call it on the main thread before any other thread starts.
 */
void curlGlobalInit();
}

#endif
