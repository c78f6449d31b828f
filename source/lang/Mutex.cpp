#include <lang/Mutex.h>
#include <pthread.h>

namespace lang
{
class Mutex::MutexImpl : public Object
{
public:
	pthread_mutex_t m_mutex;

	MutexImpl()
	{
		pthread_mutexattr_t attr;
		pthread_mutexattr_init(&attr);
		pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
		pthread_mutex_init(&m_mutex, &attr);
		pthread_mutexattr_destroy(&attr);
	}

	~MutexImpl() override { pthread_mutex_destroy(&m_mutex); }
};

Mutex::Mutex() : m_this(new MutexImpl) {}
Mutex::Mutex(const Mutex& other) : m_this(other.m_this) {}
Mutex& Mutex::operator=(const Mutex& other)
{
	m_this = other.m_this;
	return *this;
}
Mutex::~Mutex() {}

void Mutex::lock() { pthread_mutex_lock(&m_this->m_mutex); }
void Mutex::unlock() { pthread_mutex_unlock(&m_this->m_mutex); }
}
