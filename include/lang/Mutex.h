#ifndef LANG_MUTEX_H
#define LANG_MUTEX_H

#include <lang/Object.h>
#include <lang/Ptr.h>

namespace lang
{
/** A recursive mutex; copies share it. Each lock needs its unlock. */
class Mutex
{
public:
	Mutex();
	Mutex(const Mutex& other);
	Mutex& operator=(const Mutex& other);
	~Mutex();

	void lock();
	void unlock();

private:
	class MutexImpl;
	Ptr<MutexImpl> m_this;
};
}

#endif
