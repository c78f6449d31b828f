#ifndef LANG_THROWERROR_H
#define LANG_THROWERROR_H

namespace lang
{
/** The one throw path of engine code. */
template <class E> [[noreturn]] void throwError(E e)
{
	throw e;
}

/** Throws lang::OutOfMemoryException with an empty message. */
[[noreturn]] void throw_OutOfMemoryException();
}

#endif
