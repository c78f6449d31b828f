#include "AnalyticsTestSupport.h"
#include "ReportDecoder.h"
#include "TestHTTPServer.h"
#include "AnalyticsCache.h"
#include "AnalyticsFiles.h"
#include "AnalyticsHeartBeater.h"
#include <analytics/Analytics.h>
#include <analytics/AnalyticsAgent.h>
#include <analytics/AnalyticsSession.h>
#include <cjson/cJSON.h>
#include <algorithm>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using analytics::Analytics;
using analytics::AnalyticsAgent;
using analytics::AnalyticsFileCache;
using analytics::AnalyticsFiles;
using analytics::AnalyticsHeartBeater;
using analytics::AnalyticsImageCache;
using analytics::AnalyticsSession;
using analytics::Bytes;
using namespace analytics_test;

namespace
{
class AgentTest : public AnalyticsTest
{
protected:
	TestHTTPServer server;

	void SetUp() override
	{
		AnalyticsTest::SetUp();
		setenv("ENGINE_ANALYTICS_BASE_URL", server.url("").c_str(), 1);
		AnalyticsAgent::setServerURL(server.url());
	}

	void TearDown() override
	{
		unsetenv("ENGINE_ANALYTICS_BASE_URL");
		AnalyticsTest::TearDown();
	}

	bool logged(const std::string& line)
	{
		const std::vector<std::string> lines = loggedSnapshot();
		return std::find(lines.begin(), lines.end(), line) != lines.end();
	}

	static std::vector<std::string> eventNames(const analytics::AnalyticsSessionData& d)
	{
		std::vector<std::string> names;
		for (const analytics::AnalyticsEvent& e : d.eventLog)
			names.push_back(e.name());
		return names;
	}

	DecodedReport report(size_t index)
	{
		EXPECT_TRUE(server.waitForRequests(index + 1));
		EXPECT_TRUE(AnalyticsSession::waitForSends(5000));
		return DecodedReport::decode(server.requests().at(index).body);
	}
};
}

TEST_F(AgentTest, StartsOnceWithTheKeyWithoutSpaces)
{
	AnalyticsAgent::startSession(" A B\tC\nD ");
	EXPECT_EQ("AB\tC\nD", AnalyticsAgent::apiKey());
	const std::shared_ptr<AnalyticsSession> first = AnalyticsSession::currentSession();
	ASSERT_TRUE(first);
	EXPECT_EQ("AB\tC\nD", first->apiKey());
	ASSERT_TRUE(AnalyticsHeartBeater::instance());
	EXPECT_EQ("AB\tC\nD", AnalyticsFileCache::instance()->apiKey());
	EXPECT_EQ("AB\tC\nD", report(0).apiKey);

	AnalyticsAgent::startSession("OTHER");
	EXPECT_TRUE(logged("Warning: startSession has been called already. It should only be called once."));
	EXPECT_EQ(first, AnalyticsSession::currentSession());
	EXPECT_EQ("AB\tC\nD", AnalyticsAgent::apiKey());
	EXPECT_TRUE(AnalyticsSession::waitForSends(5000));
	EXPECT_EQ(1u, server.requests().size());
}

TEST_F(AgentTest, ReportAddresses)
{
	EXPECT_EQ(server.url(), AnalyticsAgent::secureReportURL());
	unsetenv("ENGINE_ANALYTICS_BASE_URL");
	const std::string plain = AnalyticsAgent::plainReportURL();
	EXPECT_EQ("http://", plain.substr(0, 7));
	EXPECT_EQ("/aas.do", plain.substr(plain.size() - 7));
	EXPECT_EQ("https://" + plain.substr(7), AnalyticsAgent::secureReportURL());

	Analytics facade;
	EXPECT_EQ(AnalyticsAgent::secureReportURL(), AnalyticsAgent::serverURL());
	AnalyticsAgent::setServerURL("http://elsewhere/aas.do");
	AnalyticsAgent::setSecureTransportEnabled(true);
	AnalyticsAgent::setSecureTransportEnabled(false);
	EXPECT_EQ(plain, AnalyticsAgent::serverURL());
}

TEST_F(AgentTest, SettingsReachTheSession)
{
	AnalyticsAgent::setUserID("player");
	AnalyticsAgent::setAppVersion("7.1");
	AnalyticsAgent::setSessionReportsOnCloseEnabled(false);
	AnalyticsAgent::startSession("KEY");
	auto s = AnalyticsSession::currentSession();
	ASSERT_TRUE(s);
	EXPECT_EQ("player", s->userID());
	EXPECT_EQ("7.1", s->appVersion());
	EXPECT_FALSE(s->sessionReportsOnCloseEnabled());
	AnalyticsAgent::setAppVersion("8.0");
	EXPECT_EQ("7.1", AnalyticsAgent::appVersion());
	EXPECT_EQ("7.1", s->appVersion());

	AnalyticsAgent::logEvent("plain");
	AnalyticsAgent::logEvent("empty", AnalyticsAgent::Parameters());
	const analytics::AnalyticsSessionData d = s->snapshot();
	ASSERT_EQ(2u, d.eventLog.size());
	EXPECT_TRUE(d.eventLog[0].parameters().empty());
	EXPECT_TRUE(d.eventLog[1].parameters().empty());
}

TEST_F(AgentTest, TimedEventsEndWithOrWithoutNewParameters)
{
	AnalyticsAgent::startSession("KEY");
	auto s = AnalyticsSession::currentSession();
	ASSERT_TRUE(s);
	AnalyticsAgent::logEvent("level", AnalyticsAgent::Parameters{{"number", "3"}}, true);
	AnalyticsAgent::logEvent("menu", AnalyticsAgent::Parameters{{"page", "help"}}, true);
	advanceMillis(1500);
	// Ending without parameters keeps the ones logged at the start; given ones replace them.
	AnalyticsAgent::endTimedEvent("level");
	AnalyticsAgent::endTimedEvent("menu", AnalyticsAgent::Parameters{{"left", "back"}});
	const analytics::AnalyticsSessionData d = s->snapshot();
	ASSERT_EQ(2u, d.eventLog.size());
	EXPECT_EQ((AnalyticsAgent::Parameters{{"number", "3"}}), d.eventLog[0].parameters());
	EXPECT_EQ((AnalyticsAgent::Parameters{{"left", "back"}}), d.eventLog[1].parameters());
	for (const analytics::AnalyticsEvent& e : d.eventLog)
	{
		EXPECT_FALSE(e.isUnterminated()) << e.name();
		EXPECT_EQ(1500, e.duration()) << e.name();
	}
}

TEST_F(AgentTest, PauseAndResumeThroughTheFacade)
{
	Analytics facade;
	facade.startSession("KEY 1");
	EXPECT_EQ("KEY1", report(0).apiKey);
	auto first = AnalyticsSession::currentSession();
	ASSERT_TRUE(first);
	EXPECT_FALSE(first->sessionReportsOnCloseEnabled());
	EXPECT_FALSE(first->sessionReportsOnPauseEnabled());
	facade.logEvent("one");

	// The first activation after the start continues the session.
	facade.didBecomeActive();
	EXPECT_EQ(first, AnalyticsSession::currentSession());
	facade.willResignActive();
	advanceMillis(10000);
	facade.didBecomeActive();
	EXPECT_EQ(first, AnalyticsSession::currentSession());
	EXPECT_EQ(10000, first->snapshot().totalPauseIntervalMillis);

	facade.willResignActive();
	advanceMillis(10001);
	facade.didBecomeActive();
	auto second = AnalyticsSession::currentSession();
	ASSERT_TRUE(second);
	EXPECT_NE(first, second);
	const DecodedReport r = report(1);
	EXPECT_EQ(*second->startTime() / 1000, r.sessionStart);
	ASSERT_EQ(1u, r.records.size());
	EXPECT_EQ(*first->startTime() / 1000, r.records[0].start);
	ASSERT_EQ(1u, r.records[0].events.size());
	EXPECT_EQ("one", r.records[0].events[0].name);
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());

	// Pause and end send nothing; the end closes the session into the saved records.
	facade.willResignActive();
	facade.willTerminate();
	EXPECT_FALSE(AnalyticsSession::currentSession());
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());
	EXPECT_EQ(2u, server.requests().size());
}

TEST_F(AgentTest, FacadeEvents)
{
	{
		Analytics facade;
		facade.startSession("KEY");
		report(0);
		facade.logEvent("bare");
		facade.logEvent("one", "", "value");
		facade.logEvent("many", Analytics::Parameters{{"b", "2"}, {"a", "1"}, {"c", "3"}});
		facade.logEvent("bad\xFFname", "k\xC0\xAF", "v\xED\xA0\x80w\xF0\x9F\x98");
		facade.endSession();
		const analytics::AnalyticsSessionData d = AnalyticsSession::currentSession()->snapshot();
		ASSERT_EQ(4u, d.eventLog.size());
		EXPECT_TRUE(d.eventLog[0].parameters().empty());
		EXPECT_EQ((analytics::AnalyticsEvent::Parameters{{"", "value"}}), d.eventLog[1].parameters());
		EXPECT_EQ((analytics::AnalyticsEvent::Parameters{{"a", "1"}, {"b", "2"}, {"c", "3"}}), d.eventLog[2].parameters());
		EXPECT_EQ("bad\xEF\xBF\xBDname", d.eventLog[3].name());
		EXPECT_EQ((analytics::AnalyticsEvent::Parameters{{"k\xEF\xBF\xBD\xEF\xBF\xBD", "v\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDw\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}}),
			d.eventLog[3].parameters());
	}
	// Destroying the facade sends nothing.
	EXPECT_TRUE(AnalyticsSession::waitForSends(5000));
	EXPECT_EQ(1u, server.requests().size());
	EXPECT_TRUE(AnalyticsSession::currentSession());
}

TEST_F(AgentTest, SecondRunningCopyRecordsAndSendsNothing)
{
	const int held = AnalyticsFiles::lockExclusive(AnalyticsSession::filePathDirectory() + "/.analyticsLock");
	ASSERT_GE(held, 0);
	testing::internal::CaptureStdout();
	AnalyticsAgent::startSession("KEY");
	const std::string out = testing::internal::GetCapturedStdout();
	EXPECT_TRUE(AnalyticsAgent::filesLocked());
	EXPECT_NE(out.find("Analytics: another running copy holds the analytics files in " + AnalyticsSession::filePathDirectory() +
		"; this copy records and sends nothing\n"), std::string::npos) << out;
	EXPECT_FALSE(AnalyticsSession::currentSession());
	AnalyticsAgent::logEvent("lost");
	AnalyticsAgent::applicationWillTerminate();
	EXPECT_TRUE(AnalyticsSession::waitForSends(5000));
	EXPECT_TRUE(server.requests().empty());
	EXPECT_FALSE(AnalyticsFiles::exists(AnalyticsSession::currentSessionFilePath()));
	::close(held);
}

TEST_F(AgentTest, GameCrashedSurvivesAChildThatEndsSoonAfter)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
	// A fork taken while other threads hold the sanitizer's allocator locks can hang the child.
	GTEST_SKIP() << "fork of a threaded process under a sanitizer";
#endif
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		setenv("ENGINE_ANALYTICS_BASE_URL", ("http://127.0.0.1:" + std::to_string(closedPort())).c_str(), 1);
		Analytics facade;
		facade.startSession("KEY");
		facade.logEvent("Game crashed", "exception", "boom");
		// The child dies as soon as the session file holds the event (the heartbeat saves it), 2 when it never does.
		const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
		while (std::chrono::steady_clock::now() < until)
		{
			cJSON* json = AnalyticsFiles::readJSON(AnalyticsSession::currentSessionFilePath());
			const auto data = analytics::AnalyticsSessionData::fromJSON(json);
			cJSON_Delete(json);
			const std::vector<std::string> names = data ? eventNames(*data) : std::vector<std::string>();
			if (std::find(names.begin(), names.end(), "Game crashed") != names.end())
				_exit(1);
			std::this_thread::sleep_for(std::chrono::milliseconds(20));
		}
		_exit(2);
	}
	int status = 0;
	waitpid(child, &status, 0);
	ASSERT_TRUE(WIFEXITED(status));
	ASSERT_EQ(1, WEXITSTATUS(status)) << "the session file never held the event";
	restart();
	advanceMillis(5000);
	AnalyticsSession::createActiveAnalyticsSession("KEY");
	const std::vector<Bytes> saved = AnalyticsSession::savedSessions();
	ASSERT_EQ(1u, saved.size());
	const DecodedRecord r = DecodedRecord::decode(saved[0]);
	EXPECT_EQ(1, r.crashed);
	ASSERT_EQ(1u, r.events.size());
	EXPECT_EQ("Game crashed", r.events[0].name);
}

TEST_F(AgentTest, HeartbeatSavesChangesAndKeepsItsFirstInterval)
{
	AnalyticsHeartBeater& beater = AnalyticsHeartBeater::createAndStartInstance(1.0);
	EXPECT_EQ(&beater, &AnalyticsHeartBeater::createAndStartInstance(5.0));
	EXPECT_EQ(1.0, beater.interval());
	auto s = AnalyticsSession::createActiveAnalyticsSession("KEY");
	s->recordEvent("beat", nullptr);
	EXPECT_TRUE(s->changed());
	// Within a tick or two the current file holds the event.
	std::vector<std::string> saved;
	const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
	while (saved.empty() && std::chrono::steady_clock::now() < until)
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
		cJSON* json = AnalyticsFiles::readJSON(AnalyticsSession::currentSessionFilePath());
		if (const auto data = analytics::AnalyticsSessionData::fromJSON(json))
			saved = eventNames(*data);
		cJSON_Delete(json);
	}
	EXPECT_EQ(std::vector<std::string>{"beat"}, saved);
	EXPECT_FALSE(s->changed());
	EXPECT_GE(beater.beats(), 1);

	AnalyticsAgent::shutdown();
	EXPECT_FALSE(AnalyticsHeartBeater::instance());
}

TEST_F(AgentTest, FileCacheNames)
{
	auto cache = AnalyticsFileCache::createInstance("K", "89");
	EXPECT_EQ(cache, AnalyticsFileCache::createInstance("OTHER", "90"));
	const std::string dir = m_root + "/cache/game/Analytics";
	cJSON* value = cJSON_CreateString("x");
	EXPECT_EQ(dir + "/analyticsCache_p_K_89.archive", cache->save(value, "p"));
	EXPECT_EQ(dir + "/analyticsCache_p_K_.archive", cache->save(value, "p", false));
	cJSON_Delete(value);
	cJSON* read = cache->get("p");
	ASSERT_TRUE(cJSON_IsString(read));
	cJSON_Delete(read);
	EXPECT_FALSE(cache->get("never"));
	EXPECT_FALSE(AnalyticsFiles::exists(dir + "/analyticsCache_never_K_89.archive"));
	EXPECT_TRUE(cache->remove("p"));
	EXPECT_FALSE(cache->remove("p"));
	EXPECT_TRUE(cache->removeCache());
	EXPECT_FALSE(AnalyticsFiles::exists(dir));
}

TEST_F(AgentTest, ImageCacheDropsTheLeastRecentlyUsed)
{
	auto files = AnalyticsFileCache::createInstance("K", "89");
	auto images = AnalyticsImageCache::createInstance(files);
	for (int64_t id = 1; id <= AnalyticsImageCache::MAX_IMAGES; ++id)
		images->save(bytesOf({static_cast<int>(id & 0xFF)}), id);
	EXPECT_EQ(bytesOf({1}), images->get(1));
	images->save(bytesOf({9}), 5); // present already: nothing goes
	EXPECT_EQ(static_cast<size_t>(AnalyticsImageCache::MAX_IMAGES), images->storedIds().size());

	images->save(bytesOf({0xAB}), 1000);
	EXPECT_FALSE(images->get(2));
	EXPECT_FALSE(files->getData(AnalyticsImageCache::imageIdToFileName(2), false));
	EXPECT_EQ(bytesOf({1}), images->get(1));
	EXPECT_EQ(bytesOf({0xAB}), images->get(1000));
	EXPECT_FALSE(images->remove(2));
	EXPECT_TRUE(images->remove(1000));

	// A file gone behind its back is forgotten on the next read.
	files->remove(AnalyticsImageCache::imageIdToFileName(3), false);
	EXPECT_FALSE(images->get(3));
	EXPECT_EQ(0, std::count(images->lru().begin(), images->lru().end(), 3));
}

TEST_F(AgentTest, ReportReadsTheImageCacheArchive)
{
	auto files = AnalyticsFileCache::createInstance("KEY", "89");
	{
		AnalyticsImageCache archived(files);
		archived.save(bytesOf({1, 2}), 42);
		archived.save(bytesOf({3}), 7);
		archived.setCacheUpdateTimestamp(123456);
		cJSON* json = archived.toJSON();
		files->save(json, "imageCache", false);
		cJSON_Delete(json);
	}
	AnalyticsSession::createActiveAnalyticsSession("KEY", "1.0");
	const DecodedReport r = DecodedReport::decode(AnalyticsSession::dataForSessions({}, true, false, false, false));
	EXPECT_EQ(123456, r.cacheStamp);
	EXPECT_EQ((std::vector<int64_t>{7, 42}), r.storedIds);
	EXPECT_EQ(bytesOf({1, 2}), AnalyticsImageCache::instance()->get(42));
}
