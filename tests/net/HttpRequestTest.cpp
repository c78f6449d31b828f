#include <support/ScriptedHttpServer.h>
#include <net/HttpFileInputStream.h>
#include <net/HttpRequest.h>
#include <net/HttpRequestException.h>
#include <gtest/gtest.h>
#include <chrono>

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
