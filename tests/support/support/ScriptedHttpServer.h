#ifndef TESTS_SUPPORT_SCRIPTEDHTTPSERVER_H
#define TESTS_SUPPORT_SCRIPTEDHTTPSERVER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace net_test
{
/** One request as the server saw it. */
struct Request
{
	std::string method;
	std::string path;
	std::string head; // request line and headers
};

/**
 * An HTTP server on 127.0.0.1 with an ephemeral port, answering each path with
 * a scripted reply; one request per connection. A reply may also stall (send
 * nothing until the server stops), stream an endless body, or trickle one
 * after its head (a byte every 20 ms until the server stops).
 */
class ScriptedHttpServer
{
public:
	enum Kind { RAW, STALL, ENDLESS, TRICKLE };
	struct Reply
	{
		Kind kind = RAW;
		std::string text; // the whole answer for RAW, the head for ENDLESS and TRICKLE
	};
	using Script = std::function<Reply(const Request&)>;

	ScriptedHttpServer()
	{
		m_listen = socket(AF_INET, SOCK_STREAM, 0);
		int on = 1;
		setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
		sockaddr_in addr = {};
		addr.sin_family = AF_INET;
		addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		addr.sin_port = 0;
		if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 16) != 0)
			throw std::runtime_error("test server: cannot listen on 127.0.0.1");
		socklen_t len = sizeof addr;
		getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
		m_port = ntohs(addr.sin_port);
		m_thread = std::thread([this] { acceptLoop(); });
	}

	~ScriptedHttpServer()
	{
		m_stop = true;
		m_thread.join();
		for (auto& t : m_connections)
			t.join();
		close(m_listen);
	}

	int port() const { return m_port; }
	std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

	void on(const std::string& path, Script script)
	{
		std::lock_guard<std::mutex> lock(m_mutex);
		m_scripts[path] = std::move(script);
	}
	void on(const std::string& path, const std::string& raw)
	{
		on(path, [raw](const Request&) { return Reply{RAW, raw}; });
	}

	std::vector<Request> requests() const
	{
		std::lock_guard<std::mutex> lock(m_mutex);
		return m_requests;
	}

	/** A complete answer with the given status line text, headers and body. */
	static std::string answer(const std::string& status, const std::string& body, const std::string& headers = "")
	{
		return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
			"\r\nConnection: close\r\n" + headers + "\r\n" + body;
	}

	/** A loopback port nothing answers on: bound but never listening, and held for the whole
	 * process, so no other test's server can take it (a connection to it is refused). */
	static int closedPort()
	{
		static const int port = [] {
			int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
			sockaddr_in addr = {};
			addr.sin_family = AF_INET;
			addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
			bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
			socklen_t len = sizeof addr;
			getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
			return static_cast<int>(ntohs(addr.sin_port));
		}();
		return port;
	}

private:
	int m_listen = -1;
	int m_port = 0;
	std::atomic<bool> m_stop{false};
	std::thread m_thread;
	std::vector<std::thread> m_connections;
	mutable std::mutex m_mutex;
	std::map<std::string, Script> m_scripts;
	std::vector<Request> m_requests;

	void acceptLoop()
	{
		while (!m_stop)
		{
			pollfd p = {m_listen, POLLIN, 0};
			if (poll(&p, 1, 20) <= 0)
				continue;
			int fd = accept(m_listen, nullptr, nullptr);
			if (fd >= 0)
				m_connections.emplace_back([this, fd] { serve(fd); });
		}
	}

	void serve(int fd)
	{
		std::string head;
		char buf[4096];
		while (head.find("\r\n\r\n") == std::string::npos && !m_stop)
		{
			pollfd p = {fd, POLLIN, 0};
			if (poll(&p, 1, 20) <= 0)
				continue;
			const ssize_t n = recv(fd, buf, sizeof buf, 0);
			if (n <= 0)
				break;
			head.append(buf, static_cast<size_t>(n));
		}
		Request request;
		request.head = head;
		const size_t sp1 = head.find(' ');
		const size_t sp2 = head.find(' ', sp1 + 1);
		if (sp1 != std::string::npos && sp2 != std::string::npos)
		{
			request.method = head.substr(0, sp1);
			request.path = head.substr(sp1 + 1, sp2 - sp1 - 1);
		}
		Script script;
		{
			std::lock_guard<std::mutex> lock(m_mutex);
			m_requests.push_back(request);
			auto it = m_scripts.find(request.path);
			if (it != m_scripts.end())
				script = it->second;
		}
		const Reply reply = script ? script(request) : Reply{RAW, answer("404 Not Found", "")};
		if (reply.kind == RAW)
			sendAll(fd, reply.text);
		else if (reply.kind == STALL)
		{
			while (!m_stop)
				std::this_thread::sleep_for(std::chrono::milliseconds(10));
		}
		else if (reply.kind == TRICKLE)
		{
			sendAll(fd, reply.text);
			while (!m_stop && sendAll(fd, "x"))
				std::this_thread::sleep_for(std::chrono::milliseconds(20));
		}
		else
		{
			sendAll(fd, reply.text);
			const std::string chunk(1 << 16, 'x');
			while (!m_stop && sendAll(fd, chunk))
			{
			}
		}
		close(fd);
	}

	static bool sendAll(int fd, const std::string& data)
	{
		size_t done = 0;
		while (done < data.size())
		{
			const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
			if (n <= 0)
				return false;
			done += static_cast<size_t>(n);
		}
		return true;
	}
};
}

#endif
