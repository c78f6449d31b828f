#include <lang/Object.h>
#include <lang/Ptr.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
struct Counted : lang::Object
{
	explicit Counted(int* deaths) : m_deaths(deaths) {}
	~Counted() override { ++*m_deaths; }
	int* m_deaths;
};

struct Derived : Counted
{
	explicit Derived(int* deaths) : Counted(deaths) {}
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
	// Assigning one object to another leaves both counts alone.
	copy = *a;
	EXPECT_EQ(0, copy.refs());
	EXPECT_EQ(3, a->refs());
}

TEST(Ptr, SelfAssignmentKeepsObjectAndLastReleaseDeletes)
{
	int deaths = 0;
	{
		lang::Ptr<Counted> p = new Counted(&deaths);
		lang::Ptr<Counted>& alias = p;
		p = alias;
		EXPECT_EQ(1, p->refs());
		EXPECT_EQ(0, deaths);
	}
	EXPECT_EQ(1, deaths);
}

TEST(Ptr, AssignmentReleasesTheOldTargetAndConvertsToBase)
{
	int deaths = 0;
	lang::Ptr<Counted> a = new Counted(&deaths);
	lang::Ptr<Derived> d = new Derived(&deaths);
	lang::Ptr<Counted> base = d;
	EXPECT_EQ(2, d->refs());
	a = base; // the first object's last reference goes
	EXPECT_EQ(1, deaths);
	EXPECT_EQ(3, d->refs());
	a = nullptr;
	base = nullptr;
	EXPECT_EQ(1, d->refs());
	EXPECT_EQ(nullptr, a.ptr());
	EXPECT_FALSE(a);
	d = nullptr; // deleted through the virtual destructor
	EXPECT_EQ(2, deaths);
}

TEST(Ptr, ObjectsNeverGivenToAPtrAreDestroyedNormally)
{
	int deaths = 0;
	{
		Counted local(&deaths);
		EXPECT_EQ(0, local.refs());
	}
	EXPECT_EQ(1, deaths);
}

TEST(ObjectDeathTest, NullDereferenceAndDestroyingAReferencedObjectStop)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	int deaths = 0;
	lang::Ptr<Counted> p;
	EXPECT_DEATH(p->refs(), "m_ptr.*operator->");
	EXPECT_DEATH((*p).refs(), "m_ptr.*operator\\*");
	lang::Ptr<Counted> held = new Counted(&deaths);
	EXPECT_DEATH(delete held.ptr(), "0 == m_refs.*~Object.*source/lang/Object");
}

TEST(Ptr, CopiesOnManyThreadsKeepTheCountExact)
{
	int deaths = 0;
	lang::Ptr<Counted> shared = new Counted(&deaths);
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; ++t)
		threads.emplace_back([&shared] {
			for (int i = 0; i < 100000; ++i)
			{
				lang::Ptr<Counted> copy = shared;
				lang::Ptr<Counted> again = copy;
			}
		});
	for (auto& t : threads)
		t.join();
	EXPECT_EQ(1, shared->references());
	shared = nullptr;
	EXPECT_EQ(1, deaths);
}
