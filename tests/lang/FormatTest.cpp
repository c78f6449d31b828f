#include <lang/Character.h>
#include <lang/Debug.h>
#include <lang/Format.h>
#include <lang/FormatException.h>
#include <lang/Integer.h>
#include <gtest/gtest.h>
#include <climits>
#include <cstring>

TEST(Format, ExpandsPlaceholdersAndPatterns)
{
	struct Case { lang::Format fmt; const char* expected; };
	const Case cases[] = {
		{lang::Format("Loaded {0} of {1}", 3, "levels"), "Loaded 3 of levels"},
		{lang::Format("{0,x} {0,X}", 255), "ff FF"},
		{lang::Format("{0,#.##}", 3.14159), "3.14"},
		{lang::Format("{0}", 3.14159), "3.14159"},
		{lang::Format("{0,000}", 7), "007"},
		{lang::Format("{0,000.00}", 5), "5.00"},
		{lang::Format("{0,d}", 2.5), "2"},
		{lang::Format("{0,x}", -1), "0"},
		{lang::Format("{0,d}", 5e9), "2147483647"},
		{lang::Format("\\{0}", 1), "{0}"},
		{lang::Format("a\\\\b"), "a\\b"},
		{lang::Format("end{"), "end{"},
		{lang::Format("x}y"), "x}y"},
		{lang::Format("{0x}", 255), "ff"},
		{lang::Format("{0,000.00}", 5), "5.00"},
		{lang::Format("{0,00.00}", 3.14159), "3.14"},
		{lang::Format("{0,000}", -7), "-07"},
		{lang::Format("{0,#}", 2.5), "2"},
		{lang::Format("{0,#.##}", 1e30), "1000000000000000019884624838656.00"},
		{lang::Format("{0,i}", -3.9), "-3"},
		{lang::Format("{0,d}", -5e9), "-2147483648"},
		{lang::Format("{0,x}", 5e9), "ffffffff"},
		{lang::Format("{0,x}", 3.5), "3"},
		{lang::Format("{12}", 1, 2), "2"},           // only one digit is the index
		{lang::Format("{0,x}", "text"), "text"},    // texts ignore the pattern
		{lang::Format("{3}{2}{1}{0}", "a", "b", "c", "d"), "dcba"},
		{lang::Format("{0}", 1e-7), "1e-07"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.expected, c.fmt.format()) << c.fmt.pattern();
}

TEST(Format, MalformedPatternsThrowWithPosition)
{
	struct Case { lang::Format fmt; const char* expected; };
	const Case cases[] = {
		{lang::Format("{0"), "Failed to format \"{0\", '}' not found after 1"},
		{lang::Format("{}"), "Failed to format \"{}\", argument index not found at 1"},
		{lang::Format("{a}", 1), "Failed to format \"{a}\", digit expected at 1"},
		{lang::Format("{1}", 1), "Failed to format \"{1}\", invalid argument index at 1"},
	};
	for (const Case& c : cases)
	{
		try
		{
			c.fmt.format();
			ADD_FAILURE() << "no exception for " << c.fmt.pattern();
		}
		catch (const lang::FormatException& e)
		{
			EXPECT_EQ(c.expected, e.getMessage().format());
		}
	}
}

TEST(Format, CutOutputReportsNeededSize)
{
	lang::Format f("0123456789");
	char buf[4] = {'x', 'x', 'x', 'x'};
	EXPECT_GT(f.format(buf, 4), 4);
	EXPECT_STREQ("012", buf);
	EXPECT_EQ("0123456789", f.format());
	const std::string longText(1500, 'a');
	EXPECT_EQ(longText, lang::Format("{0}", longText).format());
}

TEST(Format, NumberTextIsCutToItsBoundedBuffer)
{
	// Forty decimals of a huge value need 72 characters; the number text keeps 63.
	const std::string wide = lang::Format("<{0,0." + std::string(40, '#') + "}>", 1e30).format();
	EXPECT_EQ("<1000000000000000019884624838656." + std::string(31, '0') + ">", wide);
	const std::string padded = lang::Format("{0," + std::string(100, '0') + "}", 1).format();
	EXPECT_EQ(std::string(63, '0'), padded);
}

TEST(Format, SmallBuffersAreNeverOverrun)
{
	struct Case { lang::Format fmt; int size; const char* text; int result; };
	const Case cases[] = {
		{lang::Format("0123456789"), 11, "0123456789", 11},
		{lang::Format("0123456789"), 10, "012345678", 11},
		{lang::Format("0123456789"), 1, "", 2},
		{lang::Format("ab{0}cd", "x"), 4, "abx", 5},
		{lang::Format("ab{0}", "xyz"), 3, "ab", 4},
		{lang::Format("{0}{0}{0}", "xyz"), 5, "xyzx", 7}, // each argument is cut to its room
	};
	for (const Case& c : cases)
	{
		char buf[16];
		std::memset(buf, '#', sizeof(buf));
		const int n = c.fmt.format(buf, c.size);
		EXPECT_STREQ(c.text, buf) << c.fmt.pattern() << " " << c.size;
		EXPECT_LE(c.result, n) << c.fmt.pattern() << " " << c.size;
		EXPECT_GT(n, c.size == 11 ? 0 : c.size) << c.fmt.pattern() << " " << c.size;
		for (int i = c.size; i < 16; ++i)
			ASSERT_EQ('#', buf[i]) << c.fmt.pattern() << " wrote past " << c.size;
	}
	char untouched = '#';
	EXPECT_GT(lang::Format("abc").format(&untouched, 0), 0);
	EXPECT_EQ('#', untouched);
}

TEST(Debug, PrintfWritesTheTextUnchangedAndCutsAt1999)
{
	testing::internal::CaptureStdout();
	lang::Debug::printf("value %d%s", 42, "");
	lang::Debug::printf("%s", std::string(2500, 'z').c_str());
	EXPECT_EQ("value 42" + std::string(1999, 'z'), testing::internal::GetCapturedStdout());
}

TEST(Character, IsDigitOnlyForTheTenDigits)
{
	for (int c = -300; c < 600; ++c)
		EXPECT_EQ(c >= '0' && c <= '9', lang::Character::isDigit(c)) << c;
}

TEST(Integer, ParseFollowsStrtol)
{
	struct Case { const char* text; int value; int consumed; };
	const Case cases[] = {
		{"42", 42, 2},
		{"  -17x", -17, 5},
		{"+8", 8, 2},
		{"abc", 0, 0},
		{"", 0, 0},
		{"12.5", 12, 2},
		{"99999999999", INT_MAX, 11},
		{"-99999999999", INT_MIN, 12},
	};
	for (const Case& c : cases)
	{
		const char* end = nullptr;
		EXPECT_EQ(c.value, lang::Integer::parse(c.text, &end, nullptr)) << c.text;
		EXPECT_EQ(c.consumed, end - c.text) << c.text;
	}
	EXPECT_EQ(7, lang::Integer::parse("7"));
}
