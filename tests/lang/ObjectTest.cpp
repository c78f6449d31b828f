#include <lang/Object.h>
#include <lang/Ptr.h>
#include <gtest/gtest.h>

namespace
{
struct Counted : lang::Object
{
	explicit Counted(int* deaths) : m_deaths(deaths) {}
	~Counted() override { ++*m_deaths; }
	int* m_deaths;
};
}

TEST(Object, CopyStartsWithZeroCount)
{
	int deaths = 0;
	lang::Ptr<Counted> a = new Counted(&deaths);
	lang::Ptr<Counted> b = a;
	lang::Ptr<Counted> c = a;
	ASSERT_EQ(3, a->refs());
	Counted copy(*a);
	EXPECT_EQ(0, copy.refs());
}

TEST(Ptr, SelfAssignmentKeepsObjectAndLastReleaseDeletes)
{
	int deaths = 0;
	{
		lang::Ptr<Counted> p = new Counted(&deaths);
		p = p;
		EXPECT_EQ(1, p->refs());
		EXPECT_EQ(0, deaths);
	}
	EXPECT_EQ(1, deaths);
}

TEST(PtrDeathTest, NullDereferenceStops)
{
	lang::Ptr<Counted> p;
	EXPECT_DEATH(p->refs(), "m_ptr");
}
