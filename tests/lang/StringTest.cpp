#include <lang/string.h>
#include <gtest/gtest.h>

using U16 = std::basic_string<unsigned short>;
using U32 = std::basic_string<unsigned int>;

TEST(String, CaseMappingTouchesOnlyAscii)
{
	// "Ä" in UTF-8 must survive byte for byte.
	EXPECT_EQ("abc-\xC3\x84-xyz09", lang::string::tolower("AbC-\xC3\x84-XyZ09"));
	EXPECT_EQ("ABC-\xC3\xA4-XYZ09", lang::string::toupper("aBc-\xC3\xA4-xYz09"));
	EXPECT_EQ("PNG", lang::string::toupper("png"));
}

TEST(String, Trim)
{
	struct Case { const char* text; const char* expected; };
	const Case cases[] = {
		{" \tx y \r\n", "x y"},
		{" \n", ""},
		{"", ""},
		{"x", "x"},
		{"\v x \f", "\v x \f"}, // only blank, newline, tab and carriage return count
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.expected, lang::string::trim(c.text)) << '"' << c.text << '"';
}

TEST(String, SplitKeepsEmptyPiecesAndTheTail)
{
	struct Case { const char* text; const char* delimiter; std::vector<std::string> expected; };
	const Case cases[] = {
		{"a,,b", ",", {"a", "", "b"}},
		{"abc", ",", {"abc"}},
		{"", ",", {""}},
		{",a,", ",", {"", "a", ""}},
		{"a::b:c", "::", {"a", "b:c"}},
		{"aaa", "aa", {"", "a"}}, // no overlap
		{"js.call.x", ".", {"js", "call", "x"}},
		{"abc", "", {"abc"}},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.expected, lang::string::split(c.text, c.delimiter)) << '"' << c.text << '"';
}

TEST(String, UTF8ToUTF16AndUTF32)
{
	struct Case { const char* utf8; U16 utf16; U32 utf32; };
	const Case cases[] = {
		{"", {}, {}},
		{"A\x7F", {0x41, 0x7F}, {0x41, 0x7F}},
		{"\xC3\xA9", {0xE9}, {0xE9}},
		{"\xE2\x82\xAC", {0x20AC}, {0x20AC}},
		{"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}, {0x1F600}},
		{"a\x80z", {'a', 'z'}, {'a', 'z'}},            // stray continuation byte dropped
		{"ab\xE2", {'a', 'b'}, {'a', 'b'}},            // lead byte without its continuation bytes
		{"\xE2\x82", {}, {}},
		{"\xF8\xFF" "A", {'A'}, {'A'}},                  // bytes that never lead a sequence
		{"\xE2" "AB", {0x2042}, {0x2042}},               // continuation bytes are not checked
	};
	for (const Case& c : cases)
	{
		EXPECT_EQ(c.utf16, lang::string::toUTF16string(c.utf8)) << c.utf8;
		EXPECT_EQ(c.utf32, lang::string::toUTF32string(c.utf8)) << c.utf8;
	}
}

TEST(String, ToUTF8)
{
	struct Case16 { U16 utf16; const char* utf8; };
	const Case16 cases16[] = {
		{{0x20AC}, "\xE2\x82\xAC"},
		{{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
		{{'a', 0xD83D}, "a"},               // high surrogate in the last unit
		{{0xDE00, 'b'}, "\xED\xB8\x80" "b"}, // lone low surrogate kept as it is
		{{0x7FF, 0x800}, "\xDF\xBF\xE0\xA0\x80"},
	};
	for (const Case16& c : cases16)
		EXPECT_EQ(c.utf8, lang::string::toUTF8string(c.utf16));

	struct Case32 { U32 utf32; const char* utf8; };
	const Case32 cases32[] = {
		{{0x1F600}, "\xF0\x9F\x98\x80"},
		{{0x200000}, ""},
		{{'x', 0xFFFFFFFFu, 'y'}, "xy"},
		{{0x1FFFFF}, "\xF7\xBF\xBF\xBF"},
	};
	for (const Case32& c : cases32)
		EXPECT_EQ(c.utf8, lang::string::toUTF8string(c.utf32));
}

TEST(String, RoundTripsEveryScalarValue)
{
	U32 all;
	for (unsigned int cp = 1; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 61))
		if (cp < 0xD800 || cp > 0xDFFF)
			all.push_back(cp);
	const std::string utf8 = lang::string::toUTF8string(all);
	EXPECT_EQ(all, lang::string::toUTF32string(utf8));
	EXPECT_EQ(utf8, lang::string::toUTF8string(lang::string::toUTF16string(utf8)));
}
