#include <lang/Thread.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>
#include <sched.h>
#include <unistd.h>

namespace lang
{
namespace
{
// No one waits for the thread's result: the log is the only place the failure can show.
void logUncaught(const char* message)
{
	const std::type_info* type = abi::__cxa_current_exception_type();
	int status = -1;
	char* name = type ? abi::__cxa_demangle(type->name(), nullptr, nullptr, &status) : nullptr;
	const char* shown = name && status == 0 ? name : type ? type->name() : "unknown";
	Debug::printf("Thread ended by exception %s: %s\n", shown, message);
	std::free(name);
}

void* threadFunc(void* arg)
{
	Functor* func = static_cast<Functor*>(arg);
	try
	{
		(*func)();
	}
	catch (abi::__forced_unwind&)
	{
		// Thread cancellation must unwind through here.
		delete func;
		throw;
	}
	catch (const Throwable& e)
	{
		logUncaught(e.getMessage().format().c_str());
	}
	catch (const std::exception& e)
	{
		logUncaught(e.what());
	}
	catch (...)
	{
		logUncaught("");
	}
	delete func;
	return nullptr;
}
}

Thread::Thread(const Functor& f, bool join) :
	m_func(new Functor(f.func() ? f.func()->clone() : nullptr)),
	m_thread(),
	m_join(join)
{
	startThread();
}

Thread::~Thread()
{
	// A thread cannot join itself: one that drops the last reference to its own object detaches.
	if (m_join && !pthread_equal(m_thread, pthread_self()))
		pthread_join(m_thread, nullptr);
	else
		pthread_detach(m_thread);
}

void Thread::startThread()
{
	if (pthread_create(&m_thread, nullptr, threadFunc, m_func) != 0)
	{
		delete m_func;
		m_func = nullptr;
		throwError(Exception(Format("Creating thread failed")));
	}
}

int Thread::priority() const
{
	int policy = 0;
	sched_param param = {};
	pthread_getschedparam(m_thread, &policy, &param);
	return param.sched_priority;
}

void Thread::setPriority(int priority)
{
	int policy = 0;
	sched_param param = {};
	if (pthread_getschedparam(m_thread, &policy, &param) != 0)
		return;
	param.sched_priority = priority;
	pthread_setschedparam(m_thread, policy, &param);
}

void Thread::sleep(unsigned int ms)
{
	// 64 bits: ms * 1000 overflows 32 bits after about 71 minutes.
	const uint64_t slice = 999999;
	uint64_t us = static_cast<uint64_t>(ms) * 1000;
	while (us > slice)
	{
		usleep(static_cast<useconds_t>(slice));
		us -= slice;
	}
	usleep(static_cast<useconds_t>(us));
}

void Thread::yield()
{
	sched_yield();
}
}
