#ifndef LANG_ASSERT_H
#define LANG_ASSERT_H

namespace lang
{
/** Prints the failed expression with its function, source and line, then stops the program. */
[[noreturn]] void assertFailed(const char* expr, const char* func, const char* file, int line);
}

// Stays on in release builds: a broken invariant must never run on.
#define LANG_ASSERT(EXPR) \
	((EXPR) ? (void)0 : ::lang::assertFailed(#EXPR, __func__, __FILE__, __LINE__))

#endif
