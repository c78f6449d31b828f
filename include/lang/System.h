#ifndef LANG_SYSTEM_H
#define LANG_SYSTEM_H

#include <cstdint>

namespace lang
{
/** Wall-clock time since the epoch. */
class System
{
public:
	static int64_t currentTimeMillis();
	static int64_t currentTimeMicros();
};
}

#endif
