#include <lang/UTFConverter.h>
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

using lang::UTFConverter;

TEST(UTFConverter, NativeOrdersAreStoredLittleEndian)
{
	EXPECT_EQ(UTFConverter::ENCODING_UTF16LE, UTFConverter(UTFConverter::ENCODING_UTF16).encoding());
	EXPECT_EQ(UTFConverter::ENCODING_UTF32LE, UTFConverter(UTFConverter::ENCODING_UTF32).encoding());
	EXPECT_EQ(UTFConverter::ENCODING_UTF16BE, UTFConverter(UTFConverter::ENCODING_UTF16BE).encoding());
}

TEST(UTFConverter, Encode)
{
	struct Case { UTFConverter::EncodingType enc; unsigned int cp; std::vector<uint8_t> bytes; };
	const Case cases[] = {
		{UTFConverter::ENCODING_ASCII7, 'A', {0x41}},
		{UTFConverter::ENCODING_UTF8, 0x24, {0x24}},
		{UTFConverter::ENCODING_UTF8, 0xE9, {0xC3, 0xA9}},
		{UTFConverter::ENCODING_UTF8, 0x20AC, {0xE2, 0x82, 0xAC}},
		{UTFConverter::ENCODING_UTF8, 0x1F600, {0xF0, 0x9F, 0x98, 0x80}},
		{UTFConverter::ENCODING_UTF16BE, 0x20AC, {0x20, 0xAC}},
		{UTFConverter::ENCODING_UTF16LE, 0x20AC, {0xAC, 0x20}},
		{UTFConverter::ENCODING_UTF16, 0x20AC, {0xAC, 0x20}},
		{UTFConverter::ENCODING_UTF16BE, 0x1F600, {0xD8, 0x3D, 0xDE, 0x00}},
		{UTFConverter::ENCODING_UTF16LE, 0x1F600, {0x3D, 0xD8, 0x00, 0xDE}},
		{UTFConverter::ENCODING_UTF32BE, 0x1F600, {0x00, 0x01, 0xF6, 0x00}},
		{UTFConverter::ENCODING_UTF32LE, 0x1F600, {0x00, 0xF6, 0x01, 0x00}},
	};
	for (const Case& c : cases)
	{
		const UTFConverter conv(c.enc);
		uint8_t buf[8] = {};
		int written = -1;
		ASSERT_EQ(1, conv.encode(buf, buf + sizeof(buf), &written, c.cp)) << c.enc << " " << c.cp;
		EXPECT_EQ(std::vector<uint8_t>(buf, buf + written), c.bytes) << c.enc << " " << c.cp;

		// The same bytes decode back, and one byte less room fails without writing.
		int used = -1;
		unsigned int cp = 0;
		ASSERT_EQ(1, conv.decode(buf, buf + written, &used, &cp));
		EXPECT_EQ(written, used);
		EXPECT_EQ(c.cp, cp);
		uint8_t small[8] = {};
		EXPECT_EQ(0, conv.encode(small, small + written - 1, &written, c.cp));
		EXPECT_EQ(0, written);
		EXPECT_EQ(std::vector<uint8_t>(8, 0), std::vector<uint8_t>(small, small + 8));
	}
}

TEST(UTFConverter, EncodeFailures)
{
	struct Case { UTFConverter::EncodingType enc; unsigned int cp; };
	const Case cases[] = {
		{UTFConverter::ENCODING_ASCII7, 128},
		{UTFConverter::ENCODING_UTF8, 0x200000},
		{UTFConverter::ENCODING_UTF8, 0xFFFFFFFFu},
	};
	for (const Case& c : cases)
	{
		uint8_t buf[8];
		int written = -1;
		EXPECT_EQ(0, UTFConverter(c.enc).encode(buf, buf + sizeof(buf), &written, c.cp));
		EXPECT_EQ(0, written);
	}
	// An unknown encoding leaves the count alone.
	uint8_t buf[8];
	int written = -1;
	EXPECT_EQ(0, UTFConverter(UTFConverter::ENCODING_UNKNOWN).encode(buf, buf + 8, &written, 'a'));
	EXPECT_EQ(-1, written);
}

TEST(UTFConverter, Decode)
{
	struct Case { UTFConverter::EncodingType enc; std::vector<uint8_t> bytes; int ok; int used; unsigned int cp; };
	const Case cases[] = {
		{UTFConverter::ENCODING_ASCII7, {0xFF}, 1, 1, 0xFF},
		{UTFConverter::ENCODING_ASCII7, {}, 0, 0, 0},
		{UTFConverter::ENCODING_UTF8, {}, 0, 0, 0},
		{UTFConverter::ENCODING_UTF8, {0x80, 0x41}, 0, 1, 0},
		{UTFConverter::ENCODING_UTF8, {0xF8, 0x80, 0x80, 0x80}, 0, 1, 0},
		{UTFConverter::ENCODING_UTF8, {0xE2, 0x82}, 0, 1, 0},
		{UTFConverter::ENCODING_UTF8, {0xC0, 0x80}, 1, 2, 0},          // overlong accepted
		{UTFConverter::ENCODING_UTF8, {0xED, 0xA0, 0x80}, 1, 3, 0xD800}, // surrogate accepted
		{UTFConverter::ENCODING_UTF16BE, {0x00}, 0, 0, 0},
		{UTFConverter::ENCODING_UTF16BE, {0xD8, 0x3D}, 0, 2, 0},
		{UTFConverter::ENCODING_UTF16BE, {0xDE, 0x00}, 1, 2, 0xDE00},  // lone low surrogate
		{UTFConverter::ENCODING_UTF16LE, {0x3D, 0xD8, 0x00, 0xDE}, 1, 4, 0x1F600},
		{UTFConverter::ENCODING_UTF32BE, {0x00, 0x01, 0xF6}, 0, 0, 0},
		{UTFConverter::ENCODING_UTF32LE, {0x78, 0x56, 0x34, 0x12}, 1, 4, 0x12345678},
	};
	for (const Case& c : cases)
	{
		int used = -1;
		unsigned int cp = 0;
		const uint8_t* p = c.bytes.data();
		EXPECT_EQ(c.ok, UTFConverter(c.enc).decode(p, p + c.bytes.size(), &used, &cp)) << c.enc;
		EXPECT_EQ(c.used, used) << c.enc;
		if (c.ok)
		{
			EXPECT_EQ(c.cp, cp) << c.enc;
		}
	}
	int used = -1;
	unsigned int cp = 0;
	const uint8_t a = 'a';
	EXPECT_EQ(0, UTFConverter(UTFConverter::ENCODING_UNKNOWN).decode(&a, &a + 1, &used, &cp));
	EXPECT_EQ(-1, used);
}
