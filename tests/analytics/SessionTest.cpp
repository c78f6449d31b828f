#include "AnalyticsTestSupport.h"
#include "ReportDecoder.h"
#include "AnalyticsAutoIncrement.h"
#include "AnalyticsFiles.h"
#include <analytics/AnalyticsSession.h>
#include <cjson/cJSON.h>
#include <lang/Exception.h>
#include <atomic>
#include <cmath>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using analytics::AnalyticsFiles;
using analytics::AnalyticsSession;
using analytics::AnalyticsSessionData;
using analytics::Bytes;
using namespace analytics_test;

namespace
{
class SessionTest : public AnalyticsTest
{
protected:
	std::shared_ptr<AnalyticsSession> start() { return AnalyticsSession::createActiveAnalyticsSession("KEY 1", "2.0"); }

	std::optional<AnalyticsSessionData> currentFile()
	{
		cJSON* json = AnalyticsFiles::readJSON(AnalyticsSession::currentSessionFilePath());
		std::optional<AnalyticsSessionData> d = AnalyticsSessionData::fromJSON(json);
		cJSON_Delete(json);
		return d;
	}

	std::vector<DecodedRecord> savedRecords()
	{
		std::vector<DecodedRecord> out;
		for (const Bytes& b : AnalyticsSession::savedSessions())
			out.push_back(DecodedRecord::decode(b));
		return out;
	}

	std::vector<std::string> filesIn(const std::string& dir)
	{
		std::vector<std::string> names;
		if (DIR* d = opendir(dir.c_str()))
		{
			while (dirent* e = readdir(d))
			{
				if (e->d_name[0] != '.' || (std::string(e->d_name) != "." && std::string(e->d_name) != ".."))
					names.push_back(e->d_name);
			}
			closedir(d);
		}
		std::sort(names.begin(), names.end());
		return names;
	}
};

AnalyticsSession::Parameters params(int n)
{
	AnalyticsSession::Parameters p;
	for (int i = 0; i < n; ++i)
		p["k" + std::to_string(i)] = "v";
	return p;
}
}

TEST_F(SessionTest, EventLimits)
{
	auto s = start();
	s->recordEvent("ten", params(10));
	EXPECT_TRUE(s->snapshot().eventLogComplete);
	s->recordEvent("eleven", params(11));
	s->recordEvent("", nullptr);
	AnalyticsSessionData d = s->snapshot();
	EXPECT_FALSE(d.eventLogComplete);
	EXPECT_EQ(1u, d.eventLog.size());
	EXPECT_EQ(0u, d.eventCounts.count("eleven"));

	auto t = std::make_shared<AnalyticsSession>("k", "1");
	for (int i = 0; i < 101; ++i)
		t->recordEvent("name" + std::to_string(i), nullptr);
	t->recordEvent("name0", nullptr);
	d = t->snapshot();
	EXPECT_EQ(100u, d.eventCounts.size());
	EXPECT_EQ(0u, d.eventCounts.count("name100"));
	EXPECT_EQ(2, d.eventCounts["name0"]);
	EXPECT_EQ(101u, d.eventLog.size());
	EXPECT_EQ("name0", d.eventLog.back().name());
	EXPECT_FALSE(d.eventLogComplete);

	auto u = std::make_shared<AnalyticsSession>("k", "1");
	for (int i = 0; i < 1001; ++i)
		u->recordEvent("same", nullptr);
	d = u->snapshot();
	EXPECT_EQ(1001, d.eventCounts["same"]);
	EXPECT_EQ(1000u, d.eventLog.size());
	EXPECT_FALSE(d.eventLogComplete);

	auto v = std::make_shared<AnalyticsSession>("k", "1");
	v->setEventLoggingEnabled(false);
	v->recordEvent("off", nullptr);
	d = v->snapshot();
	EXPECT_EQ(1, d.eventCounts["off"]);
	EXPECT_TRUE(d.eventLog.empty());
	EXPECT_FALSE(d.eventLogComplete);
}

TEST_F(SessionTest, TimedEventsEndByNameAndAtTheSessionEnd)
{
	auto s = start();
	s->recordEvent("level", nullptr, true);
	s->recordEvent("level", params(1), true);
	s->recordEvent("other", nullptr, true);
	advanceMillis(2000);
	const AnalyticsSession::Parameters result = {{"score", "10"}};
	s->endTimedEvent("level", &result);
	AnalyticsSessionData d = s->snapshot();
	for (int i = 0; i < 2; ++i)
	{
		EXPECT_EQ(2000, d.eventLog[i].duration());
		EXPECT_EQ(result, d.eventLog[i].parameters());
		EXPECT_FALSE(d.eventLog[i].automaticallyEnded());
	}
	EXPECT_TRUE(d.eventLog[2].isUnterminated());

	// A pause ends the open one automatically; a later end moves it along.
	advanceMillis(1000);
	s->pauseSession();
	s->endSessionAndSend(false, false);
	d = s->snapshot();
	EXPECT_EQ(3000, d.eventLog[2].duration());
	EXPECT_TRUE(d.eventLog[2].automaticallyEnded());
	EXPECT_EQ(2000, d.eventLog[0].duration());
	// The pause's end time is on disk at once.
	ASSERT_TRUE(currentFile());
	EXPECT_EQ(d.endTime, currentFile()->endTime);

	advanceMillis(4000);
	s->resumeSession();
	EXPECT_EQ(4000, s->snapshot().totalPauseIntervalMillis);
	EXPECT_FALSE(s->snapshot().pauseTime);
	advanceMillis(1000);
	s->endSessionAndSend(false, false);
	EXPECT_EQ(8000, s->snapshot().eventLog[2].duration());
	s->resumeSession(); // no pause: nothing changes
	EXPECT_EQ(4000, s->snapshot().totalPauseIntervalMillis);
}

TEST_F(SessionTest, Errors)
{
	auto s = start();
	const lang::Exception e(lang::Format("bad {0}", "thing"));
	s->recordError("id", "msg", &e);
	const std::runtime_error r("broken");
	s->recordError("id2", "", &r);
	const std::error_code code = std::make_error_code(std::errc::no_such_file_or_directory);
	s->recordError("id3", "m", &code);
	s->recordError("id4", "m", static_cast<const std::exception*>(nullptr));
	for (int i = 0; i < 7; ++i)
		s->recordErrorWithString("more", "", "");
	const AnalyticsSessionData d = s->snapshot();
	EXPECT_EQ(11, d.totalErrorCount);
	ASSERT_EQ(10u, d.errors.size());
	// Engine exceptions have no run-time type: their static one names them.
	EXPECT_EQ("lang::Throwable: bad thing", d.errors[0].exception);
	EXPECT_EQ("std::runtime_error: broken", d.errors[1].exception);
	EXPECT_EQ("No such file or directory: generic", d.errors[2].exception);
	EXPECT_EQ("nil", d.errors[3].exception);
	for (size_t i = 0; i < d.errors.size(); ++i)
		EXPECT_EQ(static_cast<int64_t>(i + 1), d.errors[i].sequence);
	// Errors save at once.
	EXPECT_EQ(11, currentFile()->totalErrorCount);
}

TEST_F(SessionTest, UserFacts)
{
	auto s = start();
	EXPECT_EQ("", s->userID());
	s->setUserID("player");
	EXPECT_EQ("player", s->userID());

	const std::pair<const char*, int> genders[] = {{"m", 1}, {"f", 0}, {"M", -1}, {"", -1}, {"male", -1}};
	for (const auto& g : genders)
	{
		s->setGender(g.first);
		EXPECT_EQ(g.second, s->snapshot().gender) << g.first;
	}

	s->setAge(0);
	s->setAge(151);
	EXPECT_FALSE(s->snapshot().age);
	s->setAge(150);
	ASSERT_TRUE(s->snapshot().age);
	const time_t born = static_cast<time_t>(*s->snapshot().age / 1000000);
	tm t;
	localtime_r(&born, &t);
	const time_t nowSeconds = static_cast<time_t>(Clock::now() / 1000000);
	tm n;
	localtime_r(&nowSeconds, &n);
	EXPECT_EQ(n.tm_year - 150, t.tm_year);
	EXPECT_EQ(0, t.tm_mon);
	EXPECT_EQ(1, t.tm_mday);
	EXPECT_EQ(0, t.tm_hour);

	struct Location
	{
		double in;
		double out;
	};
	const Location locations[] = {{48.85679, 48.856}, {-0.0019, -0.001}, {1e300, 2147483.647}, {-1e300, -2147483.648}, {NAN, 0}};
	for (const Location& l : locations)
		EXPECT_DOUBLE_EQ(l.out, AnalyticsSession::reduceLocationPrecision(l.in)) << l.in;
	s->setLocation(48.85679, 2.0, 10.0f, -5.0f);
	EXPECT_DOUBLE_EQ(48.856, currentFile()->latitude);
	EXPECT_FLOAT_EQ(7.5f, currentFile()->accuracy);
}

TEST_F(SessionTest, PageViewsNeedMoreThan300ms)
{
	auto s = start();
	s->maybeIncrementPageView();
	advanceMillis(300);
	s->maybeIncrementPageView();
	EXPECT_EQ(1, s->pageViewCount());
	advanceMillis(10);
	s->maybeIncrementPageView();
	EXPECT_EQ(2, s->pageViewCount());
	Clock::now() -= 5000000;
	s->maybeIncrementPageView();
	EXPECT_EQ(2, s->pageViewCount());
}

TEST_F(SessionTest, ClosingKeepsOneRecordAndNeverWritesAgain)
{
	auto s = start();
	s->recordEvent("e", nullptr);
	advanceMillis(1500);
	s->endSession();
	EXPECT_TRUE(s->closed());
	EXPECT_FALSE(AnalyticsSession::currentSession());
	EXPECT_FALSE(AnalyticsFiles::exists(AnalyticsSession::currentSessionFilePath()));
	std::vector<DecodedRecord> saved = savedRecords();
	ASSERT_EQ(1u, saved.size());
	EXPECT_EQ(1, saved[0].version);
	EXPECT_EQ("2.0", saved[0].appVersion);
	EXPECT_EQ(1500, saved[0].length);
	EXPECT_EQ(0, saved[0].crashed);
	ASSERT_EQ(1u, saved[0].events.size());

	// Nothing of a closed session reaches the disk again.
	s->recordErrorWithString("late", "", "");
	EXPECT_FALSE(s->saveToDisk());
	s->saveSession();
	EXPECT_FALSE(AnalyticsFiles::exists(AnalyticsSession::currentSessionFilePath()));
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());

	// The same record again (same version, app version, start) is not kept twice.
	EXPECT_TRUE(AnalyticsSession::addRecordToSavedSessions(s->data()));
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());
}

TEST_F(SessionTest, OldestSavedSessionsGo)
{
	start();
	std::vector<Bytes> records;
	for (int i = 0; i < 50; ++i)
	{
		advanceMillis(1);
		records.push_back(std::make_shared<AnalyticsSession>("k", "v")->data());
	}
	ASSERT_TRUE(AnalyticsSession::setSavedSessions(records));
	advanceMillis(1);
	AnalyticsSession::currentSession()->endSession();
	std::vector<Bytes> saved = AnalyticsSession::savedSessions();
	ASSERT_EQ(50u, saved.size());
	EXPECT_EQ(records[1], saved[0]);
	EXPECT_EQ("2.0", DecodedRecord::decode(saved.back()).appVersion);

	AnalyticsSession::setMaxSessions(0);
	EXPECT_EQ(1, AnalyticsSession::maxSessions());
	std::vector<Bytes> list = records;
	EXPECT_EQ(1u, AnalyticsSession::removeOldSessionsIfNecessary(list).size());
	EXPECT_EQ(records.back(), list[0]);
}

TEST_F(SessionTest, ArchiveVersions)
{
	auto s = start();
	s->recordEvent("a", params(2), true);
	s->recordErrorWithString("e", "m", "x");
	s->setUserID("u");
	s->setAge(30);
	s->recordAdImpression(bytesOf({1, 2}));
	s->saveToDisk();
	const AnalyticsSessionData original = s->snapshot();
	std::optional<AnalyticsSessionData> back = currentFile();
	ASSERT_TRUE(back);
	cJSON* a = original.toJSON();
	cJSON* b = back->toJSON();
	EXPECT_TRUE(cJSON_Compare(a, b, true));
	cJSON_Delete(b);

	for (int version : {0, 1, 2})
	{
		cJSON_ReplaceItemInObject(a, "serializationVersion", cJSON_CreateNumber(version));
		EXPECT_EQ(version != 2, AnalyticsSessionData::fromJSON(a).has_value()) << version;
	}
	cJSON_Delete(a);

	// Restored sessions have their switches off.
	AnalyticsSession restored(*back);
	EXPECT_FALSE(restored.eventLoggingEnabled());
	EXPECT_FALSE(restored.sessionReportsOnCloseEnabled());
	EXPECT_FALSE(restored.sessionReportsOnPauseEnabled());
}

TEST_F(SessionTest, UnfinishedSessionOfACrashedProcessIsSavedNextStart)
{
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		auto s = start();
		s->recordEvent("Game crashed", params(1));
		s->saveIfChanged();
		_exit(0);
	}
	int status = 0;
	ASSERT_EQ(child, waitpid(child, &status, 0));
	ASSERT_TRUE(WIFEXITED(status));

	restart();
	advanceMillis(1);
	auto s = start();
	std::vector<DecodedRecord> saved = savedRecords();
	ASSERT_EQ(1u, saved.size());
	EXPECT_EQ(1, saved[0].crashed);
	ASSERT_EQ(1u, saved[0].events.size());
	EXPECT_EQ("Game crashed", saved[0].events[0].name);
	EXPECT_FALSE(s->crashed());
	EXPECT_EQ(0u, s->snapshot().eventLog.size());

	// Ended between keeping the record and deleting the file: kept once only.
	s->recordEvent("x", nullptr);
	const Bytes record = s->data();
	ASSERT_TRUE(AnalyticsSession::addRecordToSavedSessions(record));
	s->saveIfChanged();
	restart();
	start();
	EXPECT_EQ(2u, AnalyticsSession::savedSessions().size());
}

TEST_F(SessionTest, UnreadableCurrentFileIsDropped)
{
	start();
	const std::string path = AnalyticsSession::currentSessionFilePath();
	restart();
	ASSERT_TRUE(AnalyticsFiles::writeFile(path, "{not json"));
	auto s = start();
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	EXPECT_TRUE(currentFile());
}

TEST_F(SessionTest, DamagedSavedRecordsAreMovedAside)
{
	start();
	const std::string path = AnalyticsSession::sessionsFilePath();
	const std::string junk = "[\"AAAA\", 17]";
	ASSERT_TRUE(AnalyticsFiles::writeFile(path, junk));
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	EXPECT_EQ(junk, AnalyticsFiles::readFile(path + ".damaged").value_or(""));
	EXPECT_FALSE(AnalyticsFiles::exists(path));

	AnalyticsSession::currentSession()->endSession();
	EXPECT_EQ(1u, AnalyticsSession::savedSessions().size());
	ASSERT_TRUE(AnalyticsFiles::writeFile(path, "garbage"));
	EXPECT_TRUE(AnalyticsSession::savedSessions().empty());
	EXPECT_EQ(junk, AnalyticsFiles::readFile(path + ".damaged").value_or(""));
	EXPECT_EQ("garbage", AnalyticsFiles::readFile(path + ".damaged.1").value_or(""));
}

TEST_F(SessionTest, WriteCutShortKeepsTheOldFile)
{
	const std::string dir = m_root + "/cut";
	ASSERT_TRUE(AnalyticsFiles::makeDirectories(dir));
	const std::string path = dir + "/file";
	ASSERT_TRUE(AnalyticsFiles::writeFile(path, "old contents"));
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		signal(SIGXFSZ, SIG_IGN);
		rlimit limit = {4096, 4096};
		setrlimit(RLIMIT_FSIZE, &limit);
		const bool ok = AnalyticsFiles::writeFile(path, std::string(100000, 'x'));
		_exit(ok ? 1 : 0);
	}
	int status = 0;
	ASSERT_EQ(child, waitpid(child, &status, 0));
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(0, WEXITSTATUS(status)) << "the cut write reported success";
	EXPECT_EQ("old contents", AnalyticsFiles::readFile(path).value_or(""));
	EXPECT_EQ(std::vector<std::string>{"file"}, filesIn(dir));
}

TEST_F(SessionTest, FilesAndTheirFolder)
{
	EXPECT_EQ(static_cast<int32_t>(0x811C9DC5u), AnalyticsSession::fileKeyHash(""));
	EXPECT_EQ(static_cast<int32_t>(0xE40C292Cu), AnalyticsSession::fileKeyHash("a"));
	start();
	const std::string hash = std::to_string(AnalyticsSession::fileKeyHash("KEY 1"));
	const std::string library = m_root + "/data/game/AnalyticsFiles";
	EXPECT_EQ(library + "/.analyticsCurrent" + hash + "_89.archive", AnalyticsSession::currentSessionFilePath());
	EXPECT_EQ(library + "/.analyticsStored" + hash + "_89.archive", AnalyticsSession::sessionsFilePath());
	EXPECT_EQ(library + "/.initialTimestamp" + hash + ".archive", AnalyticsSession::initialTimestampFilePath());
	EXPECT_EQ(library + "/.analyticsAdStateCallbacks" + hash + "_89.archive", AnalyticsSession::adStateCallbacksFilePath());
	// A file of the older name is found again.
	ASSERT_TRUE(AnalyticsFiles::writeFile(library + "/analyticsSent" + hash + "_89.archive", ""));
	EXPECT_EQ(library + "/analyticsSent" + hash + "_89.archive", AnalyticsSession::sessionSentFilePath());
	EXPECT_TRUE(AnalyticsSession::sentSession());

	analytics::AnalyticsUtil::setSystemVersion("5.0");
	EXPECT_EQ(m_root + "/cache/game", AnalyticsSession::filePathDirectory());
	EXPECT_FALSE(AnalyticsSession::sentSession());
	AnalyticsSession::setSentSession();
	EXPECT_TRUE(AnalyticsSession::sentSession());
}

TEST_F(SessionTest, RecordingWhileAnotherThreadSavesAndWritesRecords)
{
	auto s = start();
	std::atomic<bool> done(false);
	std::thread writer([&] {
		while (!done)
		{
			s->saveIfChanged();
			DecodedRecord::decode(s->data());
		}
	});
	for (int i = 0; i < 2000; ++i)
		s->recordEvent("tick", params(3), i % 2 == 0);
	s->endTimedEvent("tick", nullptr);
	done = true;
	writer.join();
	s->saveIfChanged();
	EXPECT_EQ(2000, currentFile()->eventCounts["tick"]);
	EXPECT_EQ(1000u, currentFile()->eventLog.size());
}

namespace
{
int g_sends = 0;
void countSend()
{
	++g_sends;
}
}

TEST_F(SessionTest, EndOfSessionSendOnlyWhenAskedAndEnabled)
{
	AnalyticsSession::setEndOfSessionSender(&countSend);
	struct Case
	{
		bool reportsOnClose, send, remove;
		int sends;
	};
	const Case cases[] = {{true, true, true, 1}, {false, true, true, 0}, {true, false, false, 0}, {true, true, false, 1}};
	for (const Case& c : cases)
	{
		g_sends = 0;
		auto s = start();
		s->setSessionReportsOnCloseEnabled(c.reportsOnClose);
		s->endSessionAndSend(c.send, c.remove);
		EXPECT_EQ(c.sends, g_sends);
		EXPECT_EQ(c.remove, s->closed());
		EXPECT_EQ(!c.remove, AnalyticsSession::currentSession() == s);
		advanceMillis(1);
	}
}
