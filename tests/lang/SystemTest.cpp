#include <lang/System.h>
#include <gtest/gtest.h>

namespace
{
int64_t s_now = 0;
int64_t fakeClock() { return s_now; }
}

TEST(System, TimeReadsGoThroughTheReplaceableSource)
{
	s_now = 1234567891;
	lang::System::TimeSource previous = lang::System::setTimeSource(fakeClock);
	EXPECT_EQ(nullptr, previous);
	EXPECT_EQ(1234567891, lang::System::currentTimeMicros());
	EXPECT_EQ(1234567, lang::System::currentTimeMillis());
	s_now += 1000;
	EXPECT_EQ(1234568, lang::System::currentTimeMillis());

	EXPECT_EQ(&fakeClock, lang::System::setTimeSource(nullptr));
	int64_t real = lang::System::currentTimeMicros();
	EXPECT_GT(real, int64_t(1600000000) * 1000000); // after 2020
	EXPECT_LE(real, lang::System::realTimeMicros());
}
