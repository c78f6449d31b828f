#include "TestHTTPServer.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace analytics_test
{
namespace
{
// One connection, plain or TLS.
struct Connection
{
	int fd;
	SSL* ssl = nullptr;
	const std::atomic<bool>& stopping;

	Connection(int f, const std::atomic<bool>& s) : fd(f), stopping(s) {}
	~Connection()
	{
		if (ssl)
		{
			SSL_shutdown(ssl);
			SSL_free(ssl);
		}
		::close(fd);
	}

	bool waitReadable()
	{
		while (!stopping)
		{
			if (ssl && SSL_pending(ssl) > 0)
				return true;
			pollfd p = {fd, POLLIN, 0};
			const int n = poll(&p, 1, 50);
			if (n > 0)
				return true;
			if (n < 0)
				return false;
		}
		return false;
	}

	long read(char* buf, size_t size)
	{
		if (!waitReadable())
			return -1;
		if (ssl)
			return SSL_read(ssl, buf, static_cast<int>(size));
		return ::recv(fd, buf, size, 0);
	}

	bool write(const std::string& data)
	{
		size_t done = 0;
		while (done < data.size())
		{
			const long n = ssl ? SSL_write(ssl, data.data() + done, static_cast<int>(data.size() - done))
							   : ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
			if (n <= 0)
				return false;
			done += static_cast<size_t>(n);
		}
		return true;
	}
};

std::string lower(std::string s)
{
	std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
	return s;
}

std::string reason(int status)
{
	switch (status)
	{
	case 200: return "OK";
	case 302: return "Found";
	case 307: return "Temporary Redirect";
	case 500: return "Internal Server Error";
	default: return "Status";
	}
}
}

TestHTTPServer::TestHTTPServer() :
	m_listen(-1),
	m_port(0),
	m_tls(nullptr)
{
	start();
}

TestHTTPServer::TestHTTPServer(const std::string& certificateFile, const std::string& keyFile) :
	m_listen(-1),
	m_port(0),
	m_tls(SSL_CTX_new(TLS_server_method()))
{
	if (!m_tls || SSL_CTX_use_certificate_file(m_tls, certificateFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
		SSL_CTX_use_PrivateKey_file(m_tls, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
		throw std::runtime_error("test server: cannot load " + certificateFile);
	start();
}

TestHTTPServer::~TestHTTPServer()
{
	stop();
	if (m_tls)
		SSL_CTX_free(m_tls);
}

void TestHTTPServer::start()
{
	m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_in addr = {};
	addr.sin_family = AF_INET;
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	addr.sin_port = 0;
	socklen_t length = sizeof(addr);
	if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(m_listen, 16) != 0 ||
		::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
		throw std::runtime_error("test server: cannot listen on 127.0.0.1");
	m_port = ntohs(addr.sin_port);
	m_acceptor = std::thread(&TestHTTPServer::accept, this);
}

std::string TestHTTPServer::url(const std::string& path) const
{
	return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

void TestHTTPServer::script(const ScriptedReply& reply)
{
	std::lock_guard<std::mutex> lock(m_lock);
	m_script.push_back(reply);
}

std::vector<ReceivedRequest> TestHTTPServer::requests() const
{
	std::lock_guard<std::mutex> lock(m_lock);
	return m_requests;
}

bool TestHTTPServer::waitForRequests(size_t count, int timeoutMillis) const
{
	std::unique_lock<std::mutex> lock(m_lock);
	return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMillis), [&] { return m_requests.size() >= count; });
}

bool TestHTTPServer::waitForAnswers(size_t count, int timeoutMillis) const
{
	std::unique_lock<std::mutex> lock(m_lock);
	return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMillis), [&] {
		return static_cast<size_t>(std::count_if(m_requests.begin(), m_requests.end(), [](const ReceivedRequest& r) { return r.answered; })) >= count;
	});
}

bool TestHTTPServer::waitIdle(int timeoutMillis) const
{
	std::unique_lock<std::mutex> lock(m_lock);
	return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMillis), [&] { return m_serving == 0; });
}

void TestHTTPServer::stop()
{
	if (m_stopping.exchange(true))
		return;
	if (m_acceptor.joinable())
		m_acceptor.join();
	::close(m_listen);
	std::vector<std::thread> connections;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		connections.swap(m_connections);
	}
	for (std::thread& t : connections)
		t.join();
}

void TestHTTPServer::accept()
{
	while (!m_stopping)
	{
		pollfd p = {m_listen, POLLIN, 0};
		if (poll(&p, 1, 50) <= 0)
			continue;
		const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
		if (fd < 0)
			continue;
		std::lock_guard<std::mutex> lock(m_lock);
		++m_serving;
		m_connections.emplace_back(&TestHTTPServer::serve, this, fd);
	}
}

void TestHTTPServer::serve(int fd)
{
	struct Served
	{
		TestHTTPServer& server;
		~Served()
		{
			std::lock_guard<std::mutex> lock(server.m_lock);
			--server.m_serving;
			server.m_changed.notify_all();
		}
	} served{*this};
	Connection c(fd, m_stopping);
	if (m_tls)
	{
		c.ssl = SSL_new(m_tls);
		SSL_set_fd(c.ssl, fd);
		if (SSL_accept(c.ssl) != 1)
			return;
	}
	std::string data;
	// Small reads, so a large body is still on its way when the headers are in.
	char buf[4096];
	size_t headerEnd;
	while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos)
	{
		const long n = c.read(buf, sizeof(buf));
		if (n <= 0)
			return;
		data.append(buf, static_cast<size_t>(n));
	}
	ReceivedRequest request;
	const std::string head = data.substr(0, headerEnd);
	size_t lineEnd = head.find("\r\n");
	const std::string first = head.substr(0, lineEnd);
	const size_t sp1 = first.find(' ');
	const size_t sp2 = first.find(' ', sp1 + 1);
	request.method = first.substr(0, sp1);
	request.path = first.substr(sp1 + 1, sp2 - sp1 - 1);
	while (lineEnd != std::string::npos && lineEnd < head.size())
	{
		const size_t next = head.find("\r\n", lineEnd + 2);
		const std::string line = head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos : next - lineEnd - 2);
		const size_t colon = line.find(':');
		if (colon != std::string::npos)
			request.headers[lower(line.substr(0, colon))] = line.substr(line.find_first_not_of(' ', colon + 1));
		lineEnd = next;
	}
	const size_t length = request.headers.count("content-length") ? std::stoul(request.headers["content-length"]) : 0;
	std::string body = data.substr(headerEnd + 4);

	ScriptedReply reply;
	size_t index;
	{
		std::lock_guard<std::mutex> lock(m_lock);
		if (!m_script.empty())
		{
			reply = m_script.front();
			m_script.pop_front();
		}
		index = m_requests.size();
		m_requests.push_back(request);
		m_changed.notify_all();
	}
	// Part of the body, then gone: a transfer killed midway.
	if (reply.kind == ScriptedReply::CLOSE_DURING_BODY)
		return;
	while (body.size() < length)
	{
		const long n = c.read(buf, sizeof(buf));
		if (n <= 0)
			return;
		body.append(buf, static_cast<size_t>(n));
	}
	{
		std::lock_guard<std::mutex> lock(m_lock);
		m_requests[index].body.assign(body.begin(), body.end());
		m_requests[index].complete = true;
		m_changed.notify_all();
	}
	if (reply.kind == ScriptedReply::SILENT)
	{
		while (!m_stopping)
			std::this_thread::sleep_for(std::chrono::milliseconds(20));
		return;
	}
	for (int waited = 0; waited < reply.delayMillis && !m_stopping; waited += 10)
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) + "\r\n";
	for (const auto& h : reply.headers)
		out += h.first + ": " + h.second + "\r\n";
	const uint64_t bodySize = reply.streamBytes > 0 ? reply.streamBytes : reply.body.size();
	if (reply.streamBytes == 0 || reply.announceLength)
		out += "Content-Length: " + std::to_string(bodySize) + "\r\n";
	out += "Connection: close\r\n\r\n";
	uint64_t written = 0;
	auto wrote = [&](uint64_t n) {
		written += n;
		std::lock_guard<std::mutex> lock(m_lock);
		m_requests[index].bodyBytesWritten = written;
	};
	bool ok;
	if (reply.streamBytes > 0)
	{
		ok = c.write(out);
		const std::string piece(64 * 1024, 'x');
		while (ok && written < reply.streamBytes && !m_stopping)
		{
			const uint64_t n = std::min<uint64_t>(piece.size(), reply.streamBytes - written);
			ok = c.write(piece.substr(0, static_cast<size_t>(n)));
			if (ok)
				wrote(n);
		}
		ok = ok && written == reply.streamBytes;
	}
	else if (reply.trickleMillis > 0)
	{
		ok = c.write(out);
		for (size_t i = 0; ok && i < reply.body.size(); ++i)
		{
			for (int waited = 0; waited < reply.trickleMillis && !m_stopping; waited += 5)
				std::this_thread::sleep_for(std::chrono::milliseconds(5));
			ok = !m_stopping && c.write(reply.body.substr(i, 1));
			if (ok)
				wrote(1);
		}
	}
	else
	{
		const std::string body = reply.cutAfter >= 0 ? reply.body.substr(0, static_cast<size_t>(reply.cutAfter)) : reply.body;
		ok = c.write(out + body);
		if (ok)
			wrote(body.size());
		ok = ok && reply.cutAfter < 0;
	}
	std::lock_guard<std::mutex> lock(m_lock);
	m_requests[index].answered = ok;
	m_changed.notify_all();
}

void TestHTTPServer::makeCertificate(const std::string& certificateFile, const std::string& keyFile)
{
	EVP_PKEY* key = EVP_EC_gen("P-256");
	X509* cert = X509_new();
	X509_set_version(cert, 2);
	ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
	X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
	X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24);
	X509_set_pubkey(cert, key);
	X509_NAME* name = X509_get_subject_name(cert);
	X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
	X509_set_issuer_name(cert, name);
	X509V3_CTX ctx;
	X509V3_set_ctx_nodb(&ctx);
	X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
	const char* const extensions[][2] = {{"basicConstraints", "critical,CA:TRUE"}, {"subjectAltName", "IP:127.0.0.1"},
		{"keyUsage", "critical,digitalSignature,keyCertSign"}, {"subjectKeyIdentifier", "hash"}};
	for (const auto& e : extensions)
	{
		X509_EXTENSION* ext = X509V3_EXT_conf(nullptr, &ctx, e[0], e[1]);
		X509_add_ext(cert, ext, -1);
		X509_EXTENSION_free(ext);
	}
	X509_sign(cert, key, EVP_sha256());
	FILE* f = std::fopen(certificateFile.c_str(), "w");
	PEM_write_X509(f, cert);
	std::fclose(f);
	f = std::fopen(keyFile.c_str(), "w");
	PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
	std::fclose(f);
	X509_free(cert);
	EVP_PKEY_free(key);
}

int closedPort()
{
	// Bound but never listening, and held for the whole process: connections are refused, and no
	// other test's server can take the port meanwhile.
	static const int port = [] {
		const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		sockaddr_in addr = {};
		addr.sin_family = AF_INET;
		addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		socklen_t length = sizeof(addr);
		::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
		::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length);
		return static_cast<int>(ntohs(addr.sin_port));
	}();
	return port;
}
}
