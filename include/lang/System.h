#ifndef LANG_SYSTEM_H
#define LANG_SYSTEM_H

#include <cstdint>

namespace lang
{
/**
 * Wall-clock time since the epoch. Every time read in the engine goes
 * through one replaceable source, so frame loops, timers and sessions
 * can run on a simulated clock in tests.
 */
class System
{
public:
	/** Microseconds since 1970. */
	typedef int64_t (*TimeSource)();

	static int64_t currentTimeMillis();
	static int64_t currentTimeMicros();

	/**
	 * Replaces the time source; null restores the real clock.
	 * Returns the source that was in force.
	 */
	static TimeSource setTimeSource(TimeSource source);

	/** The real clock, whatever source is in force. */
	static int64_t realTimeMicros();
};
}

#endif
