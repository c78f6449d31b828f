#include <lang/Debug.h>
#include <cstdarg>
#include <cstdio>

namespace lang
{
void Debug::printf(const char* fmt, ...)
{
	char buf[2000];
	va_list args;
	va_start(args, fmt);
	std::vsnprintf(buf, sizeof(buf), fmt, args);
	va_end(args);
	buf[sizeof(buf) - 1] = 0;
	std::printf("%s", buf);
}
}
