#include "AnalyticsTestSupport.h"
#include "ReportDecoder.h"
#include "AnalyticsFiles.h"
#include <analytics/AnalyticsSession.h>
#include <lang/Exception.h>
#include <openssl/evp.h>

using analytics::AnalyticsSession;
using analytics::Bytes;
using namespace analytics_test;

namespace
{
typedef AnalyticsTest ReportTest;

// The table-driven CRC the report format describes, to hold zlib's against.
uint32_t tableCrc(const Bytes& data)
{
	uint32_t table[256];
	for (uint32_t n = 0; n < 256; ++n)
	{
		uint32_t c = n;
		for (int k = 0; k < 8; ++k)
			c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
		table[n] = c;
	}
	uint32_t crc = 0xFFFFFFFFu;
	for (uint8_t b : data)
		crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
	return crc ^ 0xFFFFFFFFu;
}
}

TEST_F(ReportTest, Checksum)
{
	Bytes nine = bytesOf({'1', '2', '3', '4', '5', '6', '7', '8', '9'});
	EXPECT_EQ(0xCBF43926u, AnalyticsSession::appendSessionsDataChecksum(nine));
	EXPECT_EQ("31 32 33 34 35 36 37 38 39 CB F4 39 26", hex(nine));
	Bytes many;
	for (int i = 0; i < 5000; ++i)
		many.push_back(static_cast<uint8_t>(i * 7 + (i >> 3)));
	const uint32_t expected = tableCrc(many);
	EXPECT_EQ(expected, AnalyticsSession::appendSessionsDataChecksum(many));
}

TEST_F(ReportTest, EnvelopeNeedsACurrentSession)
{
	EXPECT_THROW(AnalyticsSession::dataForSessions({}, false, false, false, false), lang::Exception);
}

TEST_F(ReportTest, EnvelopeFields)
{
	analytics::AnalyticsDevice::setScreenSize(1024, 768);
	auto s = AnalyticsSession::createActiveAnalyticsSession("APIKEY", "3.1");
	const int64_t started = Clock::now();
	advanceMillis(2500);
	const Bytes report = AnalyticsSession::dataForSessions({}, false, false, false, false);
	EXPECT_EQ("00 16 00 00 00 00 00 00 00 00 00 00 00 00", hex(Bytes(report.begin(), report.begin() + 14)));
	const DecodedReport d = DecodedReport::decode(report);
	EXPECT_TRUE(d.checksumMatches);
	EXPECT_EQ(22, d.format);
	EXPECT_EQ(2, d.deviceClass);
	EXPECT_EQ(89, d.agentVersion);
	EXPECT_EQ(Clock::now() / 1000, d.reportTime);
	EXPECT_EQ("APIKEY", d.apiKey);
	EXPECT_EQ("3.1", d.appVersion);
	EXPECT_EQ((std::vector<uint16_t>{2, 4, 3}), d.identifierTypes);
	EXPECT_EQ(20u, d.macBasedUID.size());
	EXPECT_EQ(20u, d.macUID.size());
	EXPECT_EQ(38u, d.generatedUID.size());
	EXPECT_EQ(1, d.generatedStatus);
	EXPECT_EQ(started / 1000, d.firstUse);
	EXPECT_EQ(started / 1000, d.sessionStart);
	const std::vector<std::pair<std::string, std::string>> properties = {
		{"device.model.1", AnalyticsSession::devicePlatform()},
		{"device.os.version", "12"},
		{"scr.height", "768"},
		{"scr.width", "1024"},
	};
	EXPECT_EQ(properties, d.properties);
	EXPECT_TRUE(d.records.empty());
	// An empty list: the count 00 00 right before the checksum.
	EXPECT_EQ(0, report[report.size() - 6]);
	EXPECT_EQ(0, report[report.size() - 5]);

	// The second report finds the generated identifier again.
	EXPECT_EQ(2, DecodedReport::decode(AnalyticsSession::dataForSessions({}, false, false, false, false)).generatedStatus);
}

TEST_F(ReportTest, AdvertisementRequestField)
{
	AnalyticsSession::createActiveAnalyticsSession("k");
	struct Case
	{
		bool promo, video, slot, recall;
		std::vector<uint16_t> field;
	};
	const Case cases[] = {
		{false, false, false, false, {0}},
		{true, true, true, true, {3, 5, 1}},
		{false, true, false, false, {3, 3, 0}},
		{true, false, false, false, {3, 1, 0}},
		{false, false, true, false, {3, 0, 1}},
	};
	for (const Case& c : cases)
	{
		const DecodedReport d = DecodedReport::decode(AnalyticsSession::dataForSessions({}, c.promo, c.video, c.slot, c.recall));
		EXPECT_EQ(c.field, d.adRequest);
		EXPECT_TRUE(d.checksumMatches);
	}
}

TEST_F(ReportTest, SessionRecordFields)
{
	setenv("LANG", "de_CH.UTF-8@euro", 1);
	setenv("TZ", ":Europe/Zurich", 1);
	auto s = AnalyticsSession::createActiveAnalyticsSession("k", "1.2");
	unsetenv("TZ");
	Bytes record = s->data();
	DecodedRecord r = DecodedRecord::decode(record);
	EXPECT_EQ(1, r.version);
	EXPECT_EQ("1.2", r.appVersion);
	EXPECT_EQ(-1, r.length);
	EXPECT_EQ("de_CH@euro", r.locale);
	EXPECT_EQ("Europe/Zurich", r.timeZone);
	EXPECT_TRUE(r.reachable);
	EXPECT_EQ("", r.userID);
	EXPECT_TRUE(r.constant);
	EXPECT_EQ(0xFF, r.deviceStatus);
	EXPECT_EQ(0xFF, r.gender);
	EXPECT_FALSE(r.hasAge);
	EXPECT_TRUE(r.eventLogComplete);

	// Byte positions of the early fields: no user identifier is 00 00 at field 9.
	const size_t userAt = 2 + 2 + 3 + 8 + 8 + 8 + 2 + 10 + 2 + 13 + 1;
	EXPECT_EQ(0, record[userAt]);
	EXPECT_EQ(0, record[userAt + 1]);
	EXPECT_EQ(Bytes(8, 0xFF), Bytes(record.begin() + 2 + 2 + 3 + 8, record.begin() + 2 + 2 + 3 + 16));

	s->setUserID("me");
	s->setGender("f");
	s->setAge(20);
	s->recordEvent("b", nullptr);
	s->recordEvent("a", {{"x", "1"}});
	s->recordEvent("a", nullptr);
	s->recordErrorWithString("E", "M", "X");
	s->setCrashed(true);
	advanceMillis(3000);
	s->endSessionAndSend(false, false);
	r = DecodedRecord::decode(s->data());
	EXPECT_EQ(3000, r.length);
	EXPECT_EQ("me", r.userID);
	EXPECT_EQ(0, r.gender);
	EXPECT_EQ(1, r.crashed);
	EXPECT_TRUE(r.hasAge);
	EXPECT_EQ(*s->snapshot().age / 1000, r.age);
	EXPECT_EQ((std::vector<std::pair<std::string, int32_t>>{{"a", 2}, {"b", 1}}), r.eventCounts);
	ASSERT_EQ(3u, r.events.size());
	EXPECT_EQ("b", r.events[0].name);
	EXPECT_EQ(1u, r.events[1].parameters.size());
	EXPECT_EQ(r.events[0].id + 1, r.events[1].id);
	ASSERT_EQ(1u, r.errors.size());
	EXPECT_EQ(1, r.errors[0].sequence);
	EXPECT_EQ("X", r.errors[0].exception);
	EXPECT_EQ(1, r.totalErrors);
}

TEST_F(ReportTest, SavedRecordsAndTheCurrentSessionTogether)
{
	auto old = AnalyticsSession::createActiveAnalyticsSession("k", "old");
	old->recordEvent("first", nullptr);
	old->endSession();
	const Bytes saved = AnalyticsSession::savedSessions().at(0);

	advanceMillis(1000);
	auto s = AnalyticsSession::createActiveAnalyticsSession("k", "new");
	size_t consumed = 0;
	const Bytes report = AnalyticsSession::dataForSessions({saved, std::shared_ptr<AnalyticsSession>(), s}, false, false, false, false, &consumed);
	EXPECT_EQ(3u, consumed);
	const DecodedReport d = DecodedReport::decode(report);
	EXPECT_TRUE(d.checksumMatches);
	ASSERT_EQ(2u, d.records.size());
	EXPECT_EQ("old", d.records[0].appVersion);
	EXPECT_EQ("first", d.records[0].events.at(0).name);
	EXPECT_EQ("new", d.records[1].appVersion);
	// The saved record goes in unchanged.
	EXPECT_NE(std::search(report.begin(), report.end(), saved.begin(), saved.end()), report.end());
	// First use is taken when first asked for: the start of the session current then.
	EXPECT_EQ(*s->startTime() / 1000, d.firstUse);
}

TEST_F(ReportTest, AtMost65535RecordsPerReport)
{
	AnalyticsSession::createActiveAnalyticsSession("k");
	const Bytes tiny = bytesOf({0xAB});
	std::vector<AnalyticsSession::ReportItem> items(65537, tiny);
	size_t consumed = 0;
	const Bytes report = AnalyticsSession::dataForSessions(items, false, false, false, false, &consumed);
	EXPECT_EQ(65535u, consumed);
	ASSERT_GT(report.size(), 65535u + 6);
	const size_t countAt = report.size() - 4 - 65535 - 2;
	EXPECT_EQ(0xFF, report[countAt]);
	EXPECT_EQ(0xFF, report[countAt + 1]);
}

TEST_F(ReportTest, InitialTimestampStaysFixed)
{
	const int64_t first = Clock::now();
	EXPECT_EQ(first, AnalyticsSession::initialTimestamp());
	advanceMillis(5000);
	auto s = AnalyticsSession::createActiveAnalyticsSession("");
	EXPECT_EQ(first, AnalyticsSession::initialTimestamp());
	restart();
	AnalyticsSession::createActiveAnalyticsSession("");
	EXPECT_EQ(first, AnalyticsSession::initialTimestamp());
}
