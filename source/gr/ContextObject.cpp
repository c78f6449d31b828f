#include <gr/ContextObject.h>
#include <lang/assert.h>

namespace gr
{
ContextObject::Lock::Lock(ContextObject* obj, LockType type) : m_obj(obj)
{
	LANG_ASSERT(obj);
	obj->lock(type);
}

ContextObject::Lock::~Lock()
{
	if (m_obj)
		m_obj->unlock();
}

ContextObject::~ContextObject()
{
}

void ContextObject::lock(LockType)
{
}

void ContextObject::unlock()
{
}

ContextObject::LockType ContextObject::locked() const
{
	return LOCK_READ | LOCK_WRITE;
}
}
