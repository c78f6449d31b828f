#include "AnalyticsTestSupport.h"
#include "ReportDecoder.h"
#include "AnalyticsAutoIncrement.h"
#include <analytics/AnalyticsEvent.h>
#include <cjson/cJSON.h>

using analytics::AnalyticsEvent;
using analytics::Bytes;
using namespace analytics_test;

typedef AnalyticsTest EventTest;

TEST_F(EventTest, RecordOfAnUntimedEventAtTheSessionStart)
{
	const int64_t start = Clock::now();
	AnalyticsEvent e("abc");
	EXPECT_EQ(1, e.eventLogId());
	Bytes expected = bytesOf({0x00, 0x01, 0x00, 0x03, 0x61, 0x62, 0x63, 0x00, 0x00});
	expected.resize(expected.size() + 16, 0);
	EXPECT_EQ(hex(expected), hex(e.dataRelativeToSessionStart(start)));
	EXPECT_EQ(2, AnalyticsEvent("next").eventLogId());
}

TEST_F(EventTest, ParametersAreWrittenInKeyOrder)
{
	AnalyticsEvent e("n", false, {{"b", "2"}, {"a", "1"}});
	const Bytes data = e.dataRelativeToSessionStart(Clock::now());
	ReportReader r(data);
	const DecodedEvent d = DecodedEvent::read(r);
	ASSERT_EQ(2u, d.parameters.size());
	EXPECT_EQ("a", d.parameters[0].first);
	EXPECT_EQ("1", d.parameters[0].second);
	EXPECT_EQ("b", d.parameters[1].first);
	EXPECT_TRUE(r.atEnd());
}

TEST_F(EventTest, OffsetsAndDurations)
{
	const int64_t start = Clock::now();
	struct Case
	{
		const char* what;
		int64_t startedMicros;
		bool timed;
		std::optional<int64_t> endedMicros;
		int64_t offset;
		int64_t duration;
	};
	const int64_t wrap = (int64_t(1) << 31) * 1000;
	const Case cases[] = {
		{"1500 ms after the start", 1500000, false, std::nullopt, 1500, 0},
		{"before the start", -2000, false, std::nullopt, -2, 0},
		{"untimed with an end", 0, false, 5000000, 0, 0},
		{"timed, not ended", 0, true, std::nullopt, 0, 0},
		{"timed and ended", 1000, true, 2500999, 1, 2500},
		{"2^31 ms wraps", wrap, true, wrap, INT32_MIN, INT32_MIN},
	};
	for (const Case& c : cases)
	{
		AnalyticsEvent e("x", c.timed);
		e.setStarted(start + c.startedMicros);
		if (c.endedMicros)
			e.setEnded(start + c.startedMicros + *c.endedMicros);
		EXPECT_EQ(c.timed && !c.endedMicros, e.isUnterminated()) << c.what;
		const Bytes data = e.dataRelativeToSessionStart(start);
		ReportReader r(data);
		const DecodedEvent d = DecodedEvent::read(r);
		EXPECT_EQ(c.offset, d.startOffset) << c.what;
		EXPECT_EQ(c.duration, d.duration) << c.what;
	}
	AnalyticsEvent before("x");
	before.setStarted(start - 1000);
	EXPECT_EQ(0xFF, before.dataRelativeToSessionStart(start)[4 + 1 + 2]);
}

TEST_F(EventTest, ArchiveKeepsEveryField)
{
	AnalyticsEvent e("timer", true, {{"k", "v"}, {"", "empty key"}});
	e.setEnded(Clock::now() + 777);
	e.setAutomaticallyEnded(true);
	e.setEventLogId(65535);
	cJSON* json = e.toJSON();
	char* text = cJSON_PrintUnformatted(json);
	cJSON* parsed = cJSON_Parse(text);
	const AnalyticsEvent back = AnalyticsEvent::fromJSON(parsed);
	EXPECT_TRUE(back == e);
	cJSON_free(text);
	cJSON_Delete(json);
	cJSON_Delete(parsed);

	// Wrongly typed values read as missing.
	cJSON* bad = cJSON_Parse("{\"name\":5,\"started\":\"x\",\"timed\":true,\"parameters\":[1],\"eventLogId\":\"3\"}");
	const AnalyticsEvent odd = AnalyticsEvent::fromJSON(bad);
	EXPECT_EQ("", odd.name());
	EXPECT_FALSE(odd.started());
	EXPECT_TRUE(odd.timed());
	EXPECT_TRUE(odd.parameters().empty());
	EXPECT_EQ(0, odd.eventLogId());
	cJSON_Delete(bad);
}
