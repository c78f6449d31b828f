#include <lang/Format.h>
#include <lang/FormatException.h>
#include <gtest/gtest.h>

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
	// Forty decimals never overflow anything.
	const std::string wide = lang::Format("{0,0." + std::string(40, '#') + "}", 1e30).format();
	EXPECT_EQ(31u + 1u + 40u, wide.size());
}
