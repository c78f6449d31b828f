#ifndef LANG_FUNC1_H
#define LANG_FUNC1_H

#include <lang/FuncBase.h>

namespace lang
{
/**
 * A member function without arguments bound to an object.
 * F is the member-function pointer type, T the object pointer type.
 */
template <class R, class F, class T> class Func1 : public FuncBase
{
public:
	Func1(F func, T obj) : m_func(func), m_obj(obj) {}

	void operator()() override { (m_obj->*m_func)(); }
	FuncBase* clone() const override { return new Func1(m_func, m_obj); }

private:
	F m_func;
	T m_obj;
};
}

#endif
