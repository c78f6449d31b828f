#ifndef LANG_FUNCBASE_H
#define LANG_FUNCBASE_H

namespace lang
{
/** A callable that can copy itself; what lang::Functor holds and lang::Thread runs. */
class FuncBase
{
public:
	virtual void operator()() = 0;
	/** A new heap copy of this callable, owned by the caller. */
	virtual FuncBase* clone() const = 0;
	virtual ~FuncBase() {}
};
}

#endif
