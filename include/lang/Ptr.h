#ifndef LANG_PTR_H
#define LANG_PTR_H

#include <lang/Object.h>
#include <lang/assert.h>
#include <cstddef>

namespace lang
{
/** Intrusive smart pointer to a lang::Object descendant. */
template <class T> class Ptr
{
public:
	Ptr() : m_ptr(nullptr) {}
	Ptr(std::nullptr_t) : m_ptr(nullptr) {}
	Ptr(T* p) : m_ptr(p) { if (m_ptr) ref(m_ptr); }
	Ptr(const Ptr& o) : m_ptr(o.m_ptr) { if (m_ptr) ref(m_ptr); }
	template <class U> Ptr(const Ptr<U>& o) : m_ptr(o.ptr()) { if (m_ptr) ref(m_ptr); }
	~Ptr() { if (m_ptr) unref(m_ptr); }

	/** Increments the new target before releasing the old, so self-assignment is safe. */
	Ptr& operator=(const Ptr& o) { return assign(o.m_ptr); }
	Ptr& operator=(T* p) { return assign(p); }
	template <class U> Ptr& operator=(const Ptr<U>& o) { return assign(o.ptr()); }

	T& operator*() const { LANG_ASSERT(m_ptr); return *m_ptr; }
	T* operator->() const { LANG_ASSERT(m_ptr); return m_ptr; }

	/** The raw pointer, null when empty. */
	T* ptr() const { return m_ptr; }
	operator T*() const { return m_ptr; }

private:
	T* m_ptr;

	Ptr& assign(T* p)
	{
		if (p) ref(p);
		T* old = m_ptr;
		m_ptr = p;
		if (old) unref(old);
		return *this;
	}
	static void ref(T* p) { static_cast<Object*>(p)->addReference(); }
	static void unref(T* p) { static_cast<Object*>(p)->releaseReference(); }
};
}

#endif
