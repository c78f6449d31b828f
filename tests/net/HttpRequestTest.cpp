#include <support/ScriptedHttpServer.h>
#include <net/HttpFileInputStream.h>
#include <net/HttpRequest.h>
#include <net/HttpRequestException.h>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

using net_test::ScriptedHttpServer;

namespace
{
std::string messageOf(const std::function<void()>& f)
{
	try
	{
		f();
	}
	catch (const net::HttpRequestException& e)
	{
		return e.getMessage().format();
	}
	return "(no exception)";
}

std::string readAll(io::InputStream& in)
{
	std::string s;
	char buf[256];
	for (int n; (n = in.read(buf, sizeof buf)) > 0;)
		s.append(buf, static_cast<size_t>(n));
	return s;
}
}

TEST(HttpRequest, FollowsTwoRedirectsKeepingTheCookieSetOnTheWay)
{
	ScriptedHttpServer server;
	server.on("/first", ScriptedHttpServer::answer("302 Found", "", "Location: /second\r\nSet-Cookie: visit=one; Path=/\r\n"));
	server.on("/second", ScriptedHttpServer::answer("301 Moved", "", "Location: " + server.url("/last") + "\r\n"));
	server.on("/last", [](const net_test::Request& r) {
		const bool hasCookie = r.head.find("Cookie: visit=one") != std::string::npos;
		return ScriptedHttpServer::Reply{ScriptedHttpServer::RAW, ScriptedHttpServer::answer("200 OK", hasCookie ? "cookie" : "none")};
	});

	net::HttpRequest request;
	const net::HttpResponse r = request.get(server.url("/first"));
	EXPECT_EQ(200, r.status);
	EXPECT_EQ("cookie", r.body);
	EXPECT_EQ(server.url("/last"), r.effectiveUrl);
	ASSERT_EQ(1u, r.cookies.size());
	EXPECT_NE(std::string::npos, r.cookies[0].find("visit\tone")) << r.cookies[0];
	// Header lines of every hop arrive as received, line ends included.
	ASSERT_FALSE(r.headers.empty());
	EXPECT_EQ("HTTP/1.1 302 Found\r\n", r.headers.front());
	EXPECT_EQ(3u, server.requests().size());
}

TEST(HttpRequest, ErrorStatusIsAResponseNotAnException)
{
	ScriptedHttpServer server;
	server.on("/missing", ScriptedHttpServer::answer("404 Not Found", "no such page"));
	net::HttpFileInputStream in(server.url("/missing"));
	EXPECT_EQ(404, in.status());
	EXPECT_EQ(12, in.available());
	EXPECT_EQ("no such page", readAll(in));
	EXPECT_EQ(server.url("/missing"), in.toString());
}

TEST(HttpRequest, EmptyBodyGivesAnEmptyStream)
{
	ScriptedHttpServer server;
	server.on("/empty", ScriptedHttpServer::answer("200 OK", ""));
	net::HttpFileInputStream in(server.url("/empty"));
	EXPECT_EQ(200, in.status());
	EXPECT_EQ(0, in.available());
	char c;
	EXPECT_EQ(0, in.read(&c, 1));
}

TEST(HttpRequest, StreamSeeksAndSkipsOverTheBody)
{
	ScriptedHttpServer server;
	server.on("/abc", ScriptedHttpServer::answer("200 OK", "abcdef"));
	net::HttpFileInputStream in(server.url("/abc"));
	EXPECT_EQ(2, in.skip(2));
	char c = 0;
	EXPECT_EQ(1, in.read(&c, 1));
	EXPECT_EQ('c', c);
	EXPECT_TRUE(in.seek(0, io::InputStream::SEEK_BEGIN));
	EXPECT_EQ("abcdef", readAll(in));
}

TEST(HttpRequest, TransportFailuresThrowLibcurlsText)
{
	const std::string closed = "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::closedPort()) + "/";
	EXPECT_EQ("Couldn't connect to server", messageOf([&] { net::HttpRequest().get(closed); }));
	EXPECT_EQ("Couldn't connect to server", messageOf([&] { net::HttpFileInputStream in(closed); }));
}

TEST(HttpRequest, OnlyHttpIsFetchedEvenThroughARedirect)
{
	ScriptedHttpServer server;
	server.on("/to-file", ScriptedHttpServer::answer("302 Found", "", "Location: file:///etc/passwd\r\n"));
	EXPECT_EQ("Unsupported protocol", messageOf([&] { net::HttpRequest().get("file:///etc/passwd"); }));
	EXPECT_EQ("Unsupported protocol", messageOf([&] { net::HttpRequest().get(server.url("/to-file")); }));
}

TEST(HttpRequest, RedirectLoopStopsAfterTenHops)
{
	ScriptedHttpServer server;
	server.on("/loop", ScriptedHttpServer::answer("302 Found", "", "Location: /loop\r\n"));
	EXPECT_EQ("Number of redirects hit maximum amount", messageOf([&] { net::HttpRequest().get(server.url("/loop")); }));
	EXPECT_EQ(11u, server.requests().size());
}

TEST(HttpRequest, StalledServerTimesOut)
{
	ScriptedHttpServer server;
	server.on("/stall", [](const net_test::Request&) { return ScriptedHttpServer::Reply{ScriptedHttpServer::STALL, ""}; });
	net::HttpRequest::setTimeoutsForTests(200, 300);
	const auto start = std::chrono::steady_clock::now();
	const std::string message = messageOf([&] { net::HttpRequest().get(server.url("/stall")); });
	const auto took = std::chrono::steady_clock::now() - start;
	net::HttpRequest::setTimeoutsForTests(0, 0);
	EXPECT_EQ("Timeout was reached", message);
	EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(HttpRequest, OversizedBodyIsRefused)
{
	ScriptedHttpServer server;
	// Announced up front, and streamed with no length until the client gives up.
	server.on("/announced", [](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::ENDLESS, "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\nConnection: close\r\n\r\n"};
	});
	server.on("/endless", [](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::ENDLESS, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"};
	});
	for (const char* path : {"/announced", "/endless"})
	{
		SCOPED_TRACE(path);
		EXPECT_EQ("Response too large", messageOf([&] { net::HttpRequest().get(server.url(path)); }));
	}
}

TEST(HttpRequest, ASmallerBodyCapRefusesBeforeReadingTheBody)
{
	ScriptedHttpServer server;
	server.on("/fits", ScriptedHttpServer::answer("200 OK", std::string(1000, 'a')));
	server.on("/announced", ScriptedHttpServer::answer("200 OK", std::string(1001, 'a')));
	server.on("/endless", [](const net_test::Request&) {
		return ScriptedHttpServer::Reply{ScriptedHttpServer::ENDLESS, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"};
	});
	net::HttpRequest request;
	request.setMaxBodyBytes(1000);
	EXPECT_EQ(1000u, request.get(server.url("/fits")).body.size());
	for (const char* path : {"/announced", "/endless"})
	{
		SCOPED_TRACE(path);
		EXPECT_EQ("Response too large", messageOf([&] { request.get(server.url(path)); }));
	}
}

TEST(HttpRequest, AnAnnouncedBodyIsReceivedIntoOneAllocation)
{
	// Growing by doubling from nothing copies the body over and over; an announced length is reserved at once.
	const size_t size = 5000000;
	ScriptedHttpServer server;
	server.on("/big", ScriptedHttpServer::answer("200 OK", std::string(size, 'b')));
	const net::HttpResponse r = net::HttpRequest().get(server.url("/big"));
	EXPECT_EQ(size, r.body.size());
	EXPECT_EQ(size, r.body.capacity());
}

TEST(HttpRequest, AbortFlagEndsATransferInFlightWithinASecond)
{
	// A server that never answers, and one that sends a byte every 20 ms.
	for (const ScriptedHttpServer::Kind kind : {ScriptedHttpServer::STALL, ScriptedHttpServer::TRICKLE})
	{
		SCOPED_TRACE(kind);
		ScriptedHttpServer server;
		server.on("/slow", [kind](const net_test::Request&) {
			return ScriptedHttpServer::Reply{kind, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"};
		});
		std::atomic<bool> abort{false};
		std::string message;
		std::thread worker([&] {
			net::HttpRequest request;
			request.setAbortFlag(&abort);
			message = messageOf([&] { request.get(server.url("/slow")); });
		});
		// Aborted once the server has the request, so that the transfer is surely under way.
		const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
		while (server.requests().empty() && std::chrono::steady_clock::now() < deadline)
			std::this_thread::sleep_for(std::chrono::milliseconds(5));
		const auto begin = std::chrono::steady_clock::now();
		abort = true;
		worker.join();
		EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1500));
		EXPECT_EQ("Operation was aborted by an application callback", message);
	}
}

TEST(HttpRequest, AbortFlagSetBeforehandStartsNoTransfer)
{
	ScriptedHttpServer server;
	server.on("/page", ScriptedHttpServer::answer("200 OK", "page"));
	const std::atomic<bool> abort{true};
	net::HttpRequest request;
	request.setAbortFlag(&abort);
	EXPECT_EQ("Operation was aborted by an application callback", messageOf([&] { request.get(server.url("/page")); }));
	EXPECT_TRUE(server.requests().empty());
}
