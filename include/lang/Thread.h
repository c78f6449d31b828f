#ifndef LANG_THREAD_H
#define LANG_THREAD_H

#include <lang/Functor.h>
#include <lang/Object.h>
#include <pthread.h>

namespace lang
{
/**
 * A POSIX thread running a copy of a callable from construction on.
 * A joining thread is waited for on destruction; any other is detached
 * then and runs on with its own copy. An exception leaving the callable
 * ends the thread with one log line naming the exception.
 */
class Thread : public Object
{
public:
	/** Clones f's callable and starts it; throws lang::Exception "Creating thread failed". */
	Thread(const Functor& f, bool join);
	~Thread() override;

	Thread(const Thread&) = delete;
	Thread& operator=(const Thread&) = delete;

	/** The thread's scheduling priority. */
	int priority() const;
	/** Best effort: values the scheduler refuses (any non-zero one under Linux's default policy) are ignored. */
	void setPriority(int priority);

	static void sleep(unsigned int ms);
	static void yield();

private:
	Functor* m_func;
	pthread_t m_thread;
	bool m_join;

	void startThread();
};
}

#endif
