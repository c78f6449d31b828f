#ifndef MATH_RANDOMUTIL_H
#define MATH_RANDOMUTIL_H

namespace math
{
/**
 * The engine's one uniform random-number generator (complementary
 * multiply-with-carry, lag 4096) with a fixed seed: every run draws the
 * same sequence. Global and unguarded: main thread only.
 */
class RandomUtil
{
public:
	/** Next value in [0, 1). */
	static double random();

	/** Restarts the sequence from the fixed seed, as on a fresh run. */
	static void reset();
};
}

#endif
