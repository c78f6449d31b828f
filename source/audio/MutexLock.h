#ifndef AUDIO_MUTEXLOCK_H
#define AUDIO_MUTEXLOCK_H

#include <lang/Mutex.h>

namespace audio
{
/** Holds a lang::Mutex for a scope, also when an exception leaves it. */
class MutexLock
{
public:
	explicit MutexLock(lang::Mutex& m) : m_mutex(m) { m_mutex.lock(); }
	~MutexLock() { m_mutex.unlock(); }
	MutexLock(const MutexLock&) = delete;
	MutexLock& operator=(const MutexLock&) = delete;

private:
	lang::Mutex& m_mutex;
};
}

#endif
