#include "AnalyticsTestSupport.h"
#include <analytics/AnalyticsProtocolData.h>
#include <lang/Exception.h>
#include <functional>

using analytics::AnalyticsProtocolData;
using analytics::Bytes;
using namespace analytics_test;

TEST(ProtocolData, NumbersAreBigEndian)
{
	struct Case
	{
		const char* what;
		std::function<void(Bytes&)> write;
		Bytes expected;
	};
	const Case cases[] = {
		{"ushort 22", [](Bytes& d) { AnalyticsProtocolData::appendUshort(22, d); }, bytesOf({0x00, 0x16})},
		{"int 1", [](Bytes& d) { AnalyticsProtocolData::appendInt(1, d); }, bytesOf({0, 0, 0, 1})},
		{"int -2", [](Bytes& d) { AnalyticsProtocolData::appendInt(-2, d); }, bytesOf({0xFF, 0xFF, 0xFF, 0xFE})},
		{"long -1", [](Bytes& d) { AnalyticsProtocolData::appendLong(-1, d); }, Bytes(8, 0xFF)},
		{"float 1", [](Bytes& d) { AnalyticsProtocolData::appendFloat(1.0f, d); }, bytesOf({0x3F, 0x80, 0, 0})},
		{"double 1", [](Bytes& d) { AnalyticsProtocolData::appendDouble(1.0, d); }, bytesOf({0x3F, 0xF0, 0, 0, 0, 0, 0, 0})},
		{"boolean", [](Bytes& d) { AnalyticsProtocolData::appendBoolean(true, d); AnalyticsProtocolData::appendBoolean(false, d); }, bytesOf({1, 0})},
		{"byte low bits", [](Bytes& d) { AnalyticsProtocolData::appendByte(-1, d); AnalyticsProtocolData::appendByte(0x1234, d); }, bytesOf({0xFF, 0x34})},
		{"1.5 s after 1970", [](Bytes& d) { AnalyticsProtocolData::appendTimestamp(1500000, d); }, bytesOf({0, 0, 0, 0, 0, 0, 0x05, 0xDC})},
		{"999 us truncated", [](Bytes& d) { AnalyticsProtocolData::appendTimestamp(999, d); }, Bytes(8, 0)},
		{"before 1970 toward zero", [](Bytes& d) { AnalyticsProtocolData::appendTimestamp(-1500, d); }, Bytes(8, 0xFF)},
		{"missing date", [](Bytes& d) { AnalyticsProtocolData::appendTimestamp(std::nullopt, d); }, Bytes(8, 0)},
		{"string abc", [](Bytes& d) { AnalyticsProtocolData::appendString("abc", d); }, bytesOf({0, 3, 0x61, 0x62, 0x63})},
		{"empty string", [](Bytes& d) { AnalyticsProtocolData::appendString("", d); }, bytesOf({0, 0})},
	};
	for (const Case& c : cases)
	{
		Bytes data = bytesOf({0xAA});
		c.write(data);
		Bytes expected = bytesOf({0xAA});
		for (uint8_t b : c.expected)
			expected.push_back(b);
		EXPECT_EQ(hex(expected), hex(data)) << c.what;
	}
}

TEST(ProtocolData, StringsAreCutAt255Utf16Units)
{
	struct Case
	{
		std::string text;
		size_t keptBytes;
	};
	const std::string twoByte = "\xC3\xA9"; // é
	const std::string pair = "\xF0\x9F\x98\x80"; // one character, two UTF-16 units
	std::string twoByte255, twoByte256;
	for (int i = 0; i < 255; ++i)
		twoByte255 += twoByte;
	twoByte256 = twoByte255 + twoByte;
	const Case cases[] = {
		{std::string(255, 'a'), 255},
		{std::string(256, 'a'), 255},
		{std::string(300, 'a'), 255},
		{twoByte255, 510},
		{twoByte256, 510},
		// The 255th unit would be the first half of a pair: cut at 254.
		{std::string(254, 'a') + pair, 254},
		{std::string(253, 'a') + pair, 257},
	};
	for (const Case& c : cases)
	{
		Bytes data;
		AnalyticsProtocolData::appendString(c.text, data);
		ASSERT_EQ(c.keptBytes + 2, data.size()) << c.text.size();
		EXPECT_EQ(c.keptBytes, static_cast<size_t>((data[0] << 8) | data[1]));
		EXPECT_EQ(c.text.substr(0, c.keptBytes), std::string(data.begin() + 2, data.end()));
	}
}

TEST(ProtocolData, MalformedUtf8BecomesReplacementCharacters)
{
	EXPECT_EQ("a\xEF\xBF\xBD" "b", AnalyticsProtocolData::limitStringLength("a\xFF" "b"));
	EXPECT_EQ("\xEF\xBF\xBD", AnalyticsProtocolData::limitStringLength("\xC3"));
	EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD", AnalyticsProtocolData::limitStringLength("\xED\xA0"));
	EXPECT_FALSE(AnalyticsProtocolData::isValidUTF8("\xC0\xAF"));
	EXPECT_TRUE(AnalyticsProtocolData::isValidUTF8("h\xC3\xA9llo \xF0\x9F\x98\x80"));
}

TEST(ProtocolData, ByteBlocks)
{
	Bytes block(20);
	for (size_t i = 0; i < block.size(); ++i)
		block[i] = static_cast<uint8_t>(i + 1);
	Bytes tiny;
	AnalyticsProtocolData::appendTinyData(block, tiny);
	ASSERT_EQ(21u, tiny.size());
	EXPECT_EQ(0x14, tiny[0]);
	EXPECT_EQ(Bytes(tiny.begin() + 1, tiny.end()), block);

	Bytes shortData;
	AnalyticsProtocolData::appendShortData(Bytes(65535, 7), shortData);
	EXPECT_EQ(65537u, shortData.size());
	EXPECT_EQ(0xFF, shortData[0]);
	Bytes empty;
	AnalyticsProtocolData::appendShortData(Bytes(), empty);
	EXPECT_EQ(bytesOf({0, 0}), empty);

	// A wrapped length followed by all bytes would corrupt the stream: refused, nothing written.
	Bytes data;
	EXPECT_THROW(AnalyticsProtocolData::appendShortData(Bytes(65536), data), lang::Exception);
	EXPECT_TRUE(data.empty());
}

TEST(ProtocolData, TimeIntervals)
{
	EXPECT_EQ(1234, AnalyticsProtocolData::timeIntervalFrom(1000000, 1000000 + 1234500));
	EXPECT_EQ(-1234, AnalyticsProtocolData::timeIntervalFrom(1000000 + 1234500, 1000000));
	EXPECT_EQ(0, AnalyticsProtocolData::timeIntervalFrom(std::nullopt, 5));
	EXPECT_EQ(0, AnalyticsProtocolData::timeIntervalFrom(5, std::nullopt));
}
