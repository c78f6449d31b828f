#include "AnalyticsTestSupport.h"
#include "ReportDecoder.h"
#include "TestHTTPServer.h"
#include "AnalyticsFiles.h"
#include "AnalyticsHTTP.h"
#include <analytics/AnalyticsAgent.h>
#include <analytics/AnalyticsSession.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/inotify.h>
#include <unistd.h>

using analytics::AnalyticsAgent;
using analytics::AnalyticsFiles;
using analytics::AnalyticsHTTPEater;
using analytics::AnalyticsHTTPResponse;
using analytics::AnalyticsSession;
using analytics::Bytes;
using namespace analytics_test;

namespace
{
// Kilobytes of one line of /proc/self/status ("VmHWM", "VmRSS").
long statusKiB(const std::string& key)
{
	std::ifstream in("/proc/self/status");
	std::string line;
	while (std::getline(in, line))
	{
		if (line.compare(0, key.size() + 1, key + ":") == 0)
			return std::stol(line.substr(key.size() + 1));
	}
	return -1;
}

// Starts the peak resident size again from the present one.
bool resetPeakRSS()
{
	std::ofstream out("/proc/self/clear_refs");
	out << "5";
	out.flush();
	return static_cast<bool>(out);
}

class SendTest : public AnalyticsTest
{
protected:
	TestHTTPServer server;

	void SetUp() override
	{
		AnalyticsTest::SetUp();
		AnalyticsAgent::setServerURL(server.url());
	}

	/** A closed session whose record (with the event) waits in the saved list. */
	void closeSessionWith(const std::string& event, int events = 1)
	{
		auto s = AnalyticsSession::createActiveAnalyticsSession("KEY", "1.0");
		for (int i = 0; i < events; ++i)
			s->recordEvent(event, nullptr);
		s->saveSession();
		advanceMillis(1000);
	}

	std::shared_ptr<AnalyticsSession> startCurrent()
	{
		auto s = AnalyticsSession::createActiveAnalyticsSession("KEY", "1.0");
		advanceMillis(1000);
		return s;
	}

	static void send() { AnalyticsSession::sendSessionsToServerForAppPromo(); }

	/** The first event name of every record in the report. */
	static std::vector<std::string> firstEvents(const Bytes& body)
	{
		std::vector<std::string> names;
		for (const DecodedRecord& r : DecodedReport::decode(body).records)
			names.push_back(r.events.empty() ? std::string() : r.events[0].name);
		return names;
	}

	static std::string savedFile() { return AnalyticsFiles::readFile(AnalyticsSession::sessionsFilePath()).value_or(std::string()); }

	static double secondsSince(std::chrono::steady_clock::time_point t)
	{
		return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
	}
};
}

TEST_F(SendTest, DeliveryForgetsWhatWasSentOnce)
{
	closeSessionWith("first");
	closeSessionWith("second");
	auto s = startCurrent();
	s->setInternetAvailable(false);
	EXPECT_FALSE(AnalyticsSession::sentSession());

	send();
	ASSERT_EQ(1u, server.requests().size());
	const ReceivedRequest request = server.requests()[0];
	EXPECT_EQ("POST", request.method);
	EXPECT_EQ("/aas.do", request.path);
	EXPECT_EQ("application/octet-stream", request.headers.at("content-type"));
	EXPECT_EQ(0u, request.headers.count("expect"));
	EXPECT_EQ(0u, request.headers.count("cookie"));
	const DecodedReport report = DecodedReport::decode(request.body);
	EXPECT_TRUE(report.checksumMatches);
	EXPECT_EQ("KEY", report.apiKey);
	EXPECT_EQ(*s->startTime() / 1000, report.sessionStart);
	EXPECT_EQ((std::vector<std::string>{"first", "second"}), firstEvents(request.body));

	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	EXPECT_TRUE(AnalyticsSession::sentSession());
	EXPECT_TRUE(s->internetAvailable());

	send();
	ASSERT_EQ(2u, server.requests().size());
	EXPECT_TRUE(firstEvents(server.requests()[1].body).empty());
}

TEST_F(SendTest, AcknowledgedRecordsLeaveTheFileBeforeAnythingElse)
{
	// With debug logging the answer is stored too: a kill between the two
	// must never leave a file that sends the acknowledged records again.
	analytics::AnalyticsUtil::setDebugLogEnabled(true);
	closeSessionWith("acknowledged");
	startCurrent();
	const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
	ASSERT_GE(watch, 0);
	ASSERT_GE(inotify_add_watch(watch, AnalyticsSession::filePathDirectory().c_str(), IN_MOVED_TO), 0);

	send();
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	// Every file is written beside its target and renamed over it; the renames come in order.
	std::vector<std::string> renamed;
	alignas(inotify_event) char buffer[16384];
	ssize_t n;
	while ((n = read(watch, buffer, sizeof(buffer))) > 0)
	{
		for (char* p = buffer; p < buffer + n;)
		{
			const inotify_event* e = reinterpret_cast<const inotify_event*>(p);
			if (e->len > 0)
				renamed.push_back(e->name);
			p += sizeof(inotify_event) + e->len;
		}
	}
	close(watch);
	const std::string sessions = AnalyticsSession::sessionsFilePath().substr(AnalyticsSession::filePathDirectory().size() + 1);
	auto forgotten = std::find(renamed.begin(), renamed.end(), sessions);
	auto stored = std::find_if(renamed.begin(), renamed.end(), [](const std::string& name) { return name.rfind("analyticsResponse", 0) == 0; });
	ASSERT_NE(renamed.end(), forgotten);
	ASSERT_NE(renamed.end(), stored);
	EXPECT_LT(forgotten - renamed.begin(), stored - renamed.begin());
}

TEST_F(SendTest, NothingIsSentWithoutACurrentSession)
{
	closeSessionWith("waiting");
	send();
	EXPECT_TRUE(server.requests().empty());
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());
}

TEST_F(SendTest, PauseSendCarriesTheCurrentSessionAndForgetsNothing)
{
	closeSessionWith("saved");
	auto s = startCurrent();
	s->recordEvent("current", nullptr);
	s->setInternetAvailable(false);
	AnalyticsSession::sendSessionsToServerForSessionPause();
	ASSERT_EQ(1u, server.requests().size());
	EXPECT_EQ((std::vector<std::string>{"saved", "current"}), firstEvents(server.requests()[0].body));
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());
	EXPECT_FALSE(s->internetAvailable());
	EXPECT_FALSE(AnalyticsSession::sentSession());
}

TEST_F(SendTest, EveryFailureKeepsEverything)
{
	struct Case
	{
		const char* name;
		bool closedPort;
		int status;
		std::vector<std::pair<std::string, std::string>> headers;
		long cutAfter;
	};
	const Case cases[] = {
		{"closed port", true, 200, {}, -1},
		{"500", false, 500, {}, -1},
		{"302 without Location", false, 302, {}, -1},
		{"200 cut short", false, 200, {}, 2},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		AnalyticsSession::setSavedSessions({});
		closeSessionWith(c.name);
		auto s = startCurrent();
		const std::string before = savedFile();
		ScriptedReply reply;
		reply.status = c.status;
		reply.headers = c.headers;
		reply.body = "a longer answer";
		reply.cutAfter = c.cutAfter;
		server.script(reply);
		AnalyticsAgent::setServerURL(c.closedPort ? "http://127.0.0.1:" + std::to_string(closedPort()) + "/aas.do" : server.url());

		send();
		EXPECT_EQ(before, savedFile());
		EXPECT_FALSE(s->internetAvailable());
		EXPECT_FALSE(AnalyticsSession::sentSession());

		// The next delivery sends the record once, then never again.
		AnalyticsAgent::setServerURL(server.url());
		const size_t seen = server.requests().size();
		send();
		send();
		const std::vector<ReceivedRequest> requests = server.requests();
		ASSERT_EQ(seen + 2, requests.size());
		EXPECT_EQ(std::vector<std::string>{c.name}, firstEvents(requests[seen].body));
		EXPECT_TRUE(firstEvents(requests[seen + 1].body).empty());
		EXPECT_TRUE(s->internetAvailable());
		s->saveSession();
		advanceMillis(1000);
		AnalyticsFiles::remove(AnalyticsSession::sessionSentFilePath());
	}
}

TEST_F(SendTest, OversizedAnswerIsAnErrorAndNeverHeldWhole)
{
	const uint64_t huge = 200ull << 20;
	const uint64_t cap = AnalyticsHTTPEater::limits().maxAnswerBytes;
	const struct
	{
		const char* name;
		uint64_t bytes;
		bool announced, delivered;
	} cases[] = {
		{"200 MiB announced", huge, true, false},
		{"200 MiB to the close", huge, false, false},
		{"one past the cap", cap + 1, false, false},
		{"at the cap", cap, false, true},
	};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.name);
		AnalyticsSession::setSavedSessions({});
		closeSessionWith(c.name);
		auto s = startCurrent();
		s->setInternetAvailable(!c.delivered);
		const std::string before = savedFile();
		ScriptedReply reply;
		reply.streamBytes = c.bytes;
		reply.announceLength = c.announced;
		server.script(reply);

		ASSERT_TRUE(resetPeakRSS());
		const long start = statusKiB("VmRSS");
		const auto t = std::chrono::steady_clock::now();
		send();
		const long growth = statusKiB("VmHWM") - start;
		std::printf("[ answer ] %s: peak RSS +%ld KiB, %.2f s\n", c.name, growth, secondsSince(t));
		EXPECT_LT(growth, 32 * 1024);
		EXPECT_EQ(c.delivered, s->internetAvailable());
		if (c.delivered)
		{
			EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
		}
		else
		{
			EXPECT_EQ(before, savedFile());
			// The client stopped reading long before the end.
			if (c.bytes == huge)
			{
				EXPECT_LT(server.requests().back().bodyBytesWritten, huge / 2);
			}
		}
		s->saveSession();
		advanceMillis(1000);
	}
}

TEST_F(SendTest, StalledAnswerGivesUpWithinItsBoundAndFreesTheLock)
{
	const struct
	{
		const char* name;
		int trickleMillis;
		size_t bodyBytes;
		AnalyticsHTTPEater::Limits limits;
		double within;
	} cases[] = {
		// Bytes keep coming, so only the total time ends it.
		{"one byte a second", 1000, 20, {2000, 1, 60000, 0}, 3.5},
		// 20 bytes a second, below 200 a second over one-second windows.
		{"below the low speed", 50, 400, {30000, 200, 1000, 0}, 3.0},
	};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.name);
		AnalyticsHTTPEater::setLimits(c.limits);
		AnalyticsSession::setSavedSessions({});
		closeSessionWith(c.name);
		auto s = startCurrent();
		const std::string before = savedFile();
		ScriptedReply trickle;
		trickle.body = std::string(c.bodyBytes, 'k');
		trickle.trickleMillis = c.trickleMillis;
		server.script(trickle);

		const auto t = std::chrono::steady_clock::now();
		AnalyticsSession::detachSend(&AnalyticsSession::sendSessionsToServerForAppPromo);
		const bool ended = AnalyticsSession::waitForSends(8000);
		const double took = secondsSince(t);
		std::printf("[ stall ] %s: gave up after %.2f s\n", c.name, took);
		if (!ended)
			AnalyticsAgent::shutdown(0);
		ASSERT_TRUE(ended);
		EXPECT_LT(took, c.within);
		EXPECT_EQ(before, savedFile());
		EXPECT_FALSE(s->internetAvailable());

		// The lock is free again: the next send goes out and delivers.
		AnalyticsHTTPEater::setLimits({});
		const size_t seen = server.requests().size();
		send();
		EXPECT_EQ(seen + 1, server.requests().size());
		EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
		EXPECT_TRUE(s->internetAvailable());
		s->saveSession();
		advanceMillis(1000);
	}
}

TEST_F(SendTest, TemporaryRedirectDeliversTheBodyAtItsLocation)
{
	closeSessionWith("moved");
	startCurrent();
	ScriptedReply redirect;
	redirect.status = 307;
	redirect.headers = {{"Location", server.url("/elsewhere")}};
	server.script(redirect);

	send();
	const std::vector<ReceivedRequest> requests = server.requests();
	ASSERT_EQ(2u, requests.size());
	EXPECT_EQ("/elsewhere", requests[1].path);
	EXPECT_EQ("POST", requests[1].method);
	EXPECT_EQ(requests[0].body, requests[1].body);
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
}

TEST_F(SendTest, TransferKilledMidwayKeepsTheSavedFileByteForByte)
{
	closeSessionWith("big", 1000);
	startCurrent();
	const std::string before = savedFile();
	ScriptedReply close;
	close.kind = ScriptedReply::CLOSE_DURING_BODY;
	server.script(close);

	send();
	ASSERT_EQ(1u, server.requests().size());
	EXPECT_FALSE(server.requests()[0].complete);
	EXPECT_EQ(before, savedFile());

	// The next start delivers it.
	restart();
	AnalyticsAgent::setServerURL(server.url());
	startCurrent();
	send();
	ASSERT_EQ(2u, server.requests().size());
	const DecodedReport report = DecodedReport::decode(server.requests()[1].body);
	ASSERT_FALSE(report.records.empty());
	EXPECT_EQ(1000u, report.records[0].events.size());
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
}

TEST_F(SendTest, SecondSendIsDroppedAndARecordClosedMeanwhileStays)
{
	analytics::AnalyticsUtil::setDebugLogEnabled(true);
	closeSessionWith("sent");
	auto s = startCurrent();
	ScriptedReply slow;
	slow.delayMillis = 1500;
	server.script(slow);

	AnalyticsSession::detachSend(&AnalyticsSession::sendSessionsToServerForAppPromo);
	ASSERT_TRUE(server.waitForRequests(1));
	send();
	const std::vector<std::string> lines = loggedSnapshot();
	EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Could not acquire network lock. Skipping"));
	s->recordEvent("meanwhile", nullptr);
	s->saveSession();
	auto next = startCurrent();
	next->setInternetAvailable(false);

	AnalyticsAgent::shutdown(10000);
	EXPECT_EQ(1u, server.requests().size());
	const std::vector<Bytes> saved = AnalyticsSession::savedSessions();
	ASSERT_EQ(1u, saved.size());
	EXPECT_EQ("meanwhile", DecodedRecord::decode(saved[0]).events.at(0).name);
	// The session current when the answer came hears of it.
	EXPECT_TRUE(next->internetAvailable());
}

TEST_F(SendTest, SilentServerShortTimeoutAndExit)
{
	closeSessionWith("kept");
	startCurrent();
	const std::string before = savedFile();
	ScriptedReply silent;
	silent.kind = ScriptedReply::SILENT;
	server.script(silent);
	server.script(silent);

	auto t = std::chrono::steady_clock::now();
	AnalyticsSession::sendSessionsToServerForEndOfSession();
	EXPECT_NEAR(5.0, secondsSince(t), 1.0);

	AnalyticsSession::detachSend(&AnalyticsSession::sendSessionsToServerForAppPromo);
	ASSERT_TRUE(server.waitForRequests(2));
	t = std::chrono::steady_clock::now();
	AnalyticsAgent::shutdown();
	EXPECT_LT(secondsSince(t), 3.0);
	EXPECT_EQ(before, savedFile());
}

TEST_F(SendTest, HttpsNeedsTheAuthority)
{
	const std::string cert = m_root + "/cert.pem", key = m_root + "/key.pem";
	TestHTTPServer::makeCertificate(cert, key);
	TestHTTPServer secure(cert, key);
	AnalyticsAgent::setServerURL(secure.url());
	closeSessionWith("secure");
	startCurrent();

	AnalyticsHTTPEater::setCAFile("");
	send();
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());

	AnalyticsHTTPEater::setCAFile(cert);
	send();
	AnalyticsHTTPEater::setCAFile("");
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	ASSERT_EQ(1u, secure.requests().size());
	EXPECT_EQ(std::vector<std::string>{"secure"}, firstEvents(secure.requests()[0].body));
}

TEST_F(SendTest, StoredResponseDecidesWithoutARequest)
{
	const AnalyticsHTTPResponse stored(bytesOf({'h', 'i'}), 200, {{"X-Test", "1"}}, "", true);
	const std::string path = stored.saveToDisk();
	ASSERT_FALSE(path.empty());
	EXPECT_NE(std::string::npos, path.find("/AnalyticsFiles/analyticsResponse1700000000"));
	const AnalyticsHTTPResponse read = AnalyticsHTTPResponse::readFromURL("file://" + path);
	EXPECT_EQ(stored.body(), read.body());
	EXPECT_EQ(200, read.statusCode());
	EXPECT_EQ(stored.headers(), read.headers());
	EXPECT_EQ(0, AnalyticsHTTPResponse::readFromURL(m_root + "/missing").statusCode());

	closeSessionWith("stored");
	startCurrent();
	AnalyticsAgent::setSavedResponseURL(path);
	send();
	EXPECT_TRUE(server.requests().empty());
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
}

TEST_F(SendTest, AdvertisingBlocksGoToTheParsersAskedFor)
{
	struct Parser : analytics::AnalyticsAdParser
	{
		size_t step;
		int calls = 0;
		explicit Parser(size_t s) : step(s) {}
		const uint8_t* parseData(const uint8_t* data, size_t length) override
		{
			++calls;
			return data + std::min(step, length);
		}
	};
	Parser slot(4), promo(4), stuck(0);
	const Bytes body = bytesOf({0x02, 0x01, 0xAA, 0xBB, 0x01, 0x02, 0xCC, 0xDD, 0x02, 0x01, 0xEE, 0xFF, 0x00});
	AnalyticsSession::setAdSlotAdParser(&slot);
	AnalyticsSession::setAppPromoAdParser(&promo);
	AnalyticsSession::readAdvertisingBlocks(body, true, false, true, false);
	EXPECT_EQ(2, slot.calls);
	EXPECT_EQ(1, promo.calls);

	// Not asked for: the loop stops at the block.
	AnalyticsSession::readAdvertisingBlocks(body, false, false, true, false);
	EXPECT_EQ(3, slot.calls);
	EXPECT_EQ(1, promo.calls);

	// A parser that does not move on ends the loop.
	AnalyticsSession::setAdSlotAdParser(&stuck);
	AnalyticsSession::readAdvertisingBlocks(bytesOf({0x02, 0x01, 0x02, 0x01}), false, false, true, false);
	EXPECT_EQ(1, stuck.calls);

	// With every flag off the answer is never read.
	AnalyticsSession::setAdSlotAdParser(&slot);
	ScriptedReply answer;
	answer.body = std::string(body.begin(), body.end());
	server.script(answer);
	startCurrent();
	send();
	EXPECT_EQ(3, slot.calls);
}

TEST(TransportTest, UrlsQueriesAndStatus)
{
	EXPECT_EQ("http://host/a?x=1", AnalyticsHTTPEater::urlWithProtocol("", "host", 80, "a", std::map<std::string, std::string>{{"x", "1"}}));
	EXPECT_EQ("http://host:8080/a", AnalyticsHTTPEater::urlWithProtocol("http", "host", 8080, "a", std::nullopt));
	EXPECT_EQ("https://host:0", AnalyticsHTTPEater::urlWithProtocol("https", "host:0", 0, "", std::nullopt));
	EXPECT_EQ("", AnalyticsHTTPEater::queryDictionaryToString({}));
	EXPECT_EQ("a=b c&d=e&f", AnalyticsHTTPEater::queryDictionaryToString({{"a", "b c"}, {"d", "e&f"}}));

	const struct
	{
		int status;
		bool success, delivered;
	} table[] = {{0, false, false}, {199, false, false}, {200, true, true}, {204, true, true}, {302, true, false}, {399, true, false}, {400, false, false}};
	for (const auto& t : table)
	{
		const AnalyticsHTTPResponse r(Bytes(), t.status, {}, "", true);
		EXPECT_EQ(t.success, r.isSuccess()) << t.status;
		EXPECT_EQ(!t.success, r.isError()) << t.status;
		EXPECT_EQ(t.delivered, r.isDelivered()) << t.status;
	}
	EXPECT_FALSE(AnalyticsHTTPResponse(Bytes(), 200, {}, "Transferred a partial file", false).isDelivered());
}

TEST(TransportTest, ConnectionFailureGivesStatusZeroAndTheError)
{
	const AnalyticsHTTPResponse r = AnalyticsHTTPEater::get("http://127.0.0.1:" + std::to_string(closedPort()) + "/");
	EXPECT_EQ(0, r.statusCode());
	EXPECT_FALSE(r.error().empty());
	EXPECT_FALSE(r.isSuccess());
}

TEST(TransportTest, RedirectsKeepTheBodyAndOnlyTheLastHeaders)
{
	TestHTTPServer server;
	ScriptedReply redirect;
	redirect.status = 302;
	redirect.headers = {{"Location", server.url("/final")}, {"X-First", "1"}};
	server.script(redirect);
	ScriptedReply final;
	final.headers = {{"X-Final", "2"}};
	server.script(final);
	// Above 1 MiB curl would otherwise wait for "100 Continue" first.
	const Bytes body(1536 * 1024, 0x5A);

	const AnalyticsHTTPResponse r = AnalyticsHTTPEater::post(server.url(), body, {{"Content-Type", "application/octet-stream"}});
	EXPECT_TRUE(r.isDelivered());
	EXPECT_EQ(1u, r.headers().count("X-Final"));
	EXPECT_EQ(0u, r.headers().count("X-First"));
	const std::vector<ReceivedRequest> requests = server.requests();
	ASSERT_EQ(2u, requests.size());
	for (const ReceivedRequest& q : requests)
	{
		EXPECT_EQ("POST", q.method);
		EXPECT_EQ(body, q.body);
		EXPECT_EQ(0u, q.headers.count("expect"));
	}
	EXPECT_EQ("/final", requests[1].path);
}
