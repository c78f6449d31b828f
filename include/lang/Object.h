#ifndef LANG_OBJECT_H
#define LANG_OBJECT_H

#include <atomic>

namespace lang
{
/**
 * Base of every shared engine object: an intrusive reference count
 * managed by lang::Ptr. The count is atomic, so references may be taken
 * and dropped on the mixer, worker and upload threads too.
 */
class Object
{
public:
	Object() : m_refs(0) {}
	/** A copy never inherits the source's count. */
	Object(const Object&) : m_refs(0) {}
	Object& operator=(const Object&) { return *this; }
	virtual ~Object();

	int refs() const { return m_refs.load(std::memory_order_relaxed); }
	int references() const { return refs(); }

private:
	template <class T> friend class Ptr;
	std::atomic<int> m_refs;

	void addReference() { m_refs.fetch_add(1, std::memory_order_relaxed); }
	/** Decrements the count and deletes the object when it was 1. */
	void releaseReference();
};
}

#endif
