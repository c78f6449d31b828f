#ifndef LANG_FUNC2_H
#define LANG_FUNC2_H

#include <lang/FuncBase.h>

namespace lang
{
/**
 * A member function taking one argument by constant reference, bound to an
 * object and a stored copy of the argument.
 */
template <class R, class F, class T, class A> class Func2 : public FuncBase
{
public:
	Func2(F func, T obj, const A& arg) : m_func(func), m_obj(obj), m_arg(arg) {}

	void operator()() override { (m_obj->*m_func)(m_arg); }
	FuncBase* clone() const override { return new Func2(m_func, m_obj, m_arg); }

private:
	F m_func;
	T m_obj;
	A m_arg;
};
}

#endif
