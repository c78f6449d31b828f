#ifndef LANG_DEBUG_H
#define LANG_DEBUG_H

namespace lang
{
/** The engine's one diagnostic output. */
class Debug
{
public:
	/** printf-style; the text is cut at 1999 characters and written to stdout as is. */
	static void printf(const char* fmt, ...)
#if defined(__GNUC__)
		__attribute__((format(printf, 1, 2)))
#endif
		;
};
}

#endif
