#ifndef TESTS_ANALYTICS_TESTHTTPSERVER_H
#define TESTS_ANALYTICS_TESTHTTPSERVER_H

#include <analytics/AnalyticsProtocolData.h>
#include <cstdint>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace analytics_test
{
/** What the server does with one request. */
struct ScriptedReply
{
	enum Kind
	{
		ANSWER,
		/** Reads the headers and part of the body, then closes without a word. */
		CLOSE_DURING_BODY,
		/** Reads the request and never answers. */
		SILENT,
	};
	Kind kind = ANSWER;
	int status = 200;
	std::vector<std::pair<std::string, std::string>> headers;
	std::string body = "OK";
	/** Bytes of the body actually written (the length announced stays); -1 for all. */
	long cutAfter = -1;
	int delayMillis = 0;
	/** When above 0: a body of that many bytes made while it is written, never held whole. */
	uint64_t streamBytes = 0;
	/** With streamBytes: whether Content-Length announces it (else the body runs to the close). */
	bool announceLength = true;
	/** When above 0: the body goes out one byte at a time, this many milliseconds apart. */
	int trickleMillis = 0;
};

/** One request the server read; header names in lower case. */
struct ReceivedRequest
{
	std::string method, path;
	std::map<std::string, std::string> headers;
	analytics::Bytes body;
	bool complete = false;
	/** The whole answer was written to the socket. */
	bool answered = false;
	/** Bytes of the answer's body written before it ended or the client went away. */
	uint64_t bodyBytesWritten = 0;
};

/**
 * A small scripted HTTP/1.1 server on 127.0.0.1 (port 0): each connection
 * carries one request and takes the next scripted reply (200 "OK" when
 * none is left). With a certificate it speaks TLS.
 */
class TestHTTPServer
{
public:
	TestHTTPServer();
	/** TLS with the PEM files given. */
	TestHTTPServer(const std::string& certificateFile, const std::string& keyFile);
	~TestHTTPServer();

	int port() const { return m_port; }
	/** http(s)://127.0.0.1:<port><path> */
	std::string url(const std::string& path = "/aas.do") const;
	void script(const ScriptedReply& reply);
	std::vector<ReceivedRequest> requests() const;
	/** Waits until that many requests arrived (headers read); false on timeout. */
	bool waitForRequests(size_t count, int timeoutMillis = 5000) const;
	/** Waits until at least that many requests were answered in full; false on timeout. */
	bool waitForAnswers(size_t count, int timeoutMillis = 5000) const;
	/** Waits until no connection is being served; false on timeout. */
	bool waitIdle(int timeoutMillis = 5000) const;
	/** Stops accepting, wakes silent connections and joins everything. */
	void stop();

	/** Writes a self-signed certificate for 127.0.0.1 (also its own authority) and its key. */
	static void makeCertificate(const std::string& certificateFile, const std::string& keyFile);

private:
	int m_listen;
	int m_port;
	SSL_CTX* m_tls;
	std::atomic<bool> m_stopping{false};
	mutable std::mutex m_lock;
	mutable std::condition_variable m_changed;
	std::deque<ScriptedReply> m_script;
	std::vector<ReceivedRequest> m_requests;
	std::vector<std::thread> m_connections;
	size_t m_serving = 0;
	std::thread m_acceptor;

	void start();
	void accept();
	void serve(int fd);
};

/** A port on 127.0.0.1 where nothing listens. */
int closedPort();
}

#endif
