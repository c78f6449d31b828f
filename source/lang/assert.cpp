#include <lang/assert.h>
#include <cstdio>
#include <cstdlib>

namespace lang
{
void assertFailed(const char* expr, const char* func, const char* file, int line)
{
	std::fflush(stdout);
	std::fprintf(stderr, "ASSERTION FAILED: %s\n  in %s\n  at %s(%d)\n", expr, func, file, line);
	std::fflush(stderr);
	std::abort();
}
}
