#include <util/Base16.h>
#include <util/Base64.h>
#include <util/SHA1.h>
#include <gtest/gtest.h>

TEST(Base16, EncodesUpperCaseHighNibbleFirst)
{
	EXPECT_EQ("00ABFF", util::Base16::encode(std::string("\x00\xab\xff", 3)));
	EXPECT_EQ("", util::Base16::encode(""));
	EXPECT_EQ("0102037F80", util::Base16::encode("\x01\x02\x03\x7f\x80"));
}

TEST(Base64, DecodesWithOrWithoutPadding)
{
	struct Case { const char* text; std::string bytes; };
	const Case cases[] = {
		{"QUJD", "ABC"},
		{"YWJj", "abc"},
		{"QUI=", "AB"},
		{"QUI", "AB"},
		{"QQ==", "A"},
		{"Q", ""},
		{"", ""},
		{"QU\nJD\r\n QUI", "ABCAB"},
		// Text after "=" goes on as further groups.
		{"QQ==QUI=", "AAB"},
		// The URL-safe characters for 62 and 63.
		{"-_-_", "\xfb\xff\xbf"},
		{"AAAA", std::string(3, '\0')},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.bytes, util::Base64::decode(c.text)) << c.text;
}

TEST(Base64, BadCharacterThrowsWithItsValue)
{
	struct Case { std::string text; const char* message; };
	const Case cases[] = {
		{"QU+D", "BaseN::decode: Bad character in input: 43"},
		{"QU/D", "BaseN::decode: Bad character in input: 47"},
		{"QU\tD", "BaseN::decode: Bad character in input: 9"},
		// Bytes above 127 must be looked up as unsigned.
		{"QU\xc3\xa9", "BaseN::decode: Bad character in input: 195"},
		{std::string("Q\xff", 2), "BaseN::decode: Bad character in input: 255"},
		{std::string("Q\0", 2), "BaseN::decode: Bad character in input: 0"},
	};
	for (const Case& c : cases)
	{
		try
		{
			util::Base64::decode(c.text);
			ADD_FAILURE() << "no exception for " << c.message;
		}
		catch (const lang::Exception& e)
		{
			EXPECT_EQ(c.message, e.getMessage().format());
		}
	}
}

TEST(SHA1, GivesStandardDigestsInUpperCaseHex)
{
	EXPECT_EQ("A9993E364706816ABA3E25717850C26C9CD0D89D", util::SHA1::hash(std::string("abc")));
	EXPECT_EQ("84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
		util::SHA1::hash(std::string("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
	EXPECT_EQ("34AA973CD4C4DAA4F61EEB2BDBAD27316534016F", util::SHA1::hash(std::vector<char>(1000000, 'a')));
	EXPECT_EQ("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", util::SHA1::hash(std::string()));
	EXPECT_EQ("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709", util::SHA1::hash(nullptr, 0));
	EXPECT_EQ(util::SHA1::hash(std::string("abc")), util::SHA1::hash("abcdef", 3));
	EXPECT_THROW(util::SHA1::hash("abc", -1), lang::Exception);
	EXPECT_THROW(util::SHA1::hash(nullptr, 4), lang::Exception);
}
