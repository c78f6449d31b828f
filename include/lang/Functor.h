#ifndef LANG_FUNCTOR_H
#define LANG_FUNCTOR_H

#include <lang/FuncBase.h>

namespace lang
{
/** Owner of one heap-allocated callable (may be null); deletes it when destroyed. */
class Functor
{
public:
	explicit Functor(FuncBase* func = nullptr) : m_func(func) {}
	~Functor() { delete m_func; }

	// One owner only: a copy would delete the callable twice.
	Functor(const Functor&) = delete;
	Functor& operator=(const Functor&) = delete;

	void operator()() const { if (m_func) (*m_func)(); }
	FuncBase* func() const { return m_func; }

private:
	FuncBase* m_func;
};
}

#endif
