#ifndef LANG_EXCEPTION_H
#define LANG_EXCEPTION_H

#include <lang/Throwable.h>

namespace lang
{
/** Base of every exception the engine throws. */
class Exception : public Throwable
{
public:
	Exception() {}
	explicit Exception(const Format& msg) : Throwable(msg) {}
};
}

// Declares an exception class that differs from its base only by type.
#define LANG_DECLARE_EXCEPTION(NAME, BASE) \
	class NAME : public BASE \
	{ \
	public: \
		NAME() {} \
		explicit NAME(const ::lang::Format& msg) : BASE(msg) {} \
	}

#endif
