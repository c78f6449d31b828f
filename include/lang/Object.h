#ifndef LANG_OBJECT_H
#define LANG_OBJECT_H

namespace lang
{
/**
 * Base of every shared engine object: an intrusive reference count
 * managed by lang::Ptr. The count is plain (not atomic): share an object
 * only among code that runs on one thread at a time.
 */
class Object
{
public:
	Object() : m_refs(0) {}
	/** A copy never inherits the source's count. */
	Object(const Object&) : m_refs(0) {}
	Object& operator=(const Object&) { return *this; }
	virtual ~Object();

	int refs() const { return m_refs; }

private:
	template <class T> friend class Ptr;
	int m_refs;

	void addReference() { ++m_refs; }
	/** Decrements the count and deletes the object when it was 1. */
	void releaseReference();
};
}

#endif
