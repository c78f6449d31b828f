#include <lang/Exception.h>
#include <lang/Func1.h>
#include <lang/Func2.h>
#include <lang/Functor.h>
#include <lang/Mutex.h>
#include <lang/Ptr.h>
#include <lang/System.h>
#include <lang/Thread.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
// A one-shot signal between threads, without any timing.
class Gate
{
public:
	void open()
	{
		std::lock_guard<std::mutex> lock(m_mutex);
		m_open = true;
		m_cv.notify_all();
	}
	void wait()
	{
		std::unique_lock<std::mutex> lock(m_mutex);
		m_cv.wait(lock, [this] { return m_open; });
	}

private:
	std::mutex m_mutex;
	std::condition_variable m_cv;
	bool m_open = false;
};

struct Worker
{
	std::vector<std::string> received;
	int runs = 0;
	Gate started;
	Gate release;
	Gate finished;
	lang::Mutex mutex;
	int counter = 0;

	void run() { ++runs; }
	void take(const std::string& s) { received.push_back(s); }
	void waitForRelease()
	{
		started.open();
		release.wait();
		++runs;
		finished.open();
	}
	void fail() { lang::throwError(lang::Exception(lang::Format("worker failed"))); }
	void count()
	{
		for (int i = 0; i < 20000; ++i)
		{
			mutex.lock();
			mutex.lock();
			++counter;
			mutex.unlock();
			mutex.unlock();
		}
	}
};

typedef lang::Func1<void, void (Worker::*)(), Worker*> WorkerFunc;
typedef lang::Func2<void, void (Worker::*)(const std::string&), Worker*, std::string> WorkerArgFunc;
}

TEST(Thread, JoiningThreadRunsCopiesOfCallables)
{
	Worker w;
	{
		std::string arg = "first";
		lang::Functor f(new WorkerArgFunc(&Worker::take, &w, arg));
		lang::Ptr<lang::Thread> t = new lang::Thread(f, true);
		arg = "changed";
		// Replacing the held thread joins the previous one, as the game's workers do.
		lang::Functor g(new WorkerFunc(&Worker::run, &w));
		t = new lang::Thread(g, true);
		// The caller's functor still owns its callable and can run it itself.
		f();
	}
	ASSERT_EQ(2u, w.received.size());
	EXPECT_EQ("first", w.received[0]);
	EXPECT_EQ("first", w.received[1]);
	EXPECT_EQ(1, w.runs);
}

TEST(Thread, DetachedThreadOutlivesItsObject)
{
	Worker w;
	{
		lang::Functor f(new WorkerFunc(&Worker::waitForRelease, &w));
		lang::Ptr<lang::Thread> t = new lang::Thread(f, false);
		w.started.wait();
	}
	// Destroying the object did not wait: the callable is still blocked until now.
	EXPECT_EQ(0, w.runs);
	w.release.open();
	w.finished.wait();
	EXPECT_EQ(1, w.runs);
}

TEST(Thread, ExceptionEndsOnlyTheThread)
{
	Worker w;
	lang::Functor f(new WorkerFunc(&Worker::fail, &w));
	testing::internal::CaptureStdout();
	{
		lang::Ptr<lang::Thread> t = new lang::Thread(f, true);
	}
	const std::string out = testing::internal::GetCapturedStdout();
	EXPECT_NE(std::string::npos, out.find("Thread ended by exception lang::Exception: worker failed\n")) << out;
	lang::Functor g(new WorkerFunc(&Worker::run, &w));
	lang::Ptr<lang::Thread> t = new lang::Thread(g, true);
	t = nullptr;
	EXPECT_EQ(1, w.runs);
}

TEST(Thread, ExceptionsOfAnyKindAreLoggedByName)
{
	struct Throwing
	{
		void standard() { throw std::runtime_error("disk gone"); }
		void other() { throw 7; }
	} thrower;
	typedef lang::Func1<void, void (Throwing::*)(), Throwing*> ThrowFunc;
	const struct
	{
		void (Throwing::*member)();
		const char* line;
	} cases[] = {
		{&Throwing::standard, "Thread ended by exception std::runtime_error: disk gone\n"},
		{&Throwing::other, "Thread ended by exception int: \n"},
	};
	for (const auto& c : cases)
	{
		testing::internal::CaptureStdout();
		{
			lang::Ptr<lang::Thread> t = new lang::Thread(lang::Functor(new ThrowFunc(c.member, &thrower)), true);
		}
		const std::string out = testing::internal::GetCapturedStdout();
		EXPECT_EQ(c.line, out);
	}
}

TEST(Thread, PriorityChangesNeverFail)
{
	Worker w;
	lang::Functor f(new WorkerFunc(&Worker::waitForRelease, &w));
	lang::Ptr<lang::Thread> t = new lang::Thread(f, true);
	const int before = t->priority();
	t->setPriority(before);
	t->setPriority(99);
	t->setPriority(-5);
	EXPECT_EQ(before, t->priority());
	w.release.open();
	lang::Thread::sleep(0);
	lang::Thread::yield();
}

TEST(Mutex, RecursiveLocksGuardSharedCounter)
{
	Worker w;
	lang::Functor f(new WorkerFunc(&Worker::count, &w));
	{
		lang::Ptr<lang::Thread> a = new lang::Thread(f, true);
		lang::Ptr<lang::Thread> b = new lang::Thread(f, true);
		w.count();
	}
	EXPECT_EQ(60000, w.counter);
	// Taken twice and released twice: free again for another thread.
	w.mutex.lock();
	w.mutex.lock();
	w.mutex.unlock();
	w.mutex.unlock();
	lang::Functor g(new WorkerFunc(&Worker::count, &w));
	lang::Ptr<lang::Thread> c = new lang::Thread(g, true);
	c = nullptr;
	EXPECT_EQ(80000, w.counter);
}

TEST(System, MillisAndMicrosReadTheSameClock)
{
	const int64_t before = lang::System::currentTimeMillis();
	const int64_t us = lang::System::currentTimeMicros();
	const int64_t after = lang::System::currentTimeMillis();
	EXPECT_LE(before, us / 1000);
	EXPECT_LE(us / 1000, after);
	EXPECT_GT(before, INT64_C(1600000000000));
}
