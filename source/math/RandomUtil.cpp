#include <math/RandomUtil.h>
#include <cstdint>

namespace math
{
namespace
{
const int LAG = 4096;

uint32_t s_Q[LAG];
uint32_t s_i = LAG - 1;
uint32_t s_c = 362436;
bool s_filled = false;

// Fills the lag table from xorshift128 with its standard seed.
void fill()
{
	uint32_t x = 123456789, y = 362436069, z = 521288629, w = 88675123;
	for (int k = 0; k < LAG; ++k)
	{
		const uint32_t t = x ^ (x << 11);
		x = y;
		y = z;
		z = w;
		w = w ^ (w >> 19) ^ t ^ (t >> 8);
		s_Q[k] = w;
	}
	s_i = LAG - 1;
	s_c = 362436;
	s_filled = true;
}
}

double RandomUtil::random()
{
	if (!s_filled)
		fill();

	s_i = (s_i + 1) & (LAG - 1);
	const uint64_t t = uint64_t(18782) * s_Q[s_i] + s_c;
	s_c = uint32_t(t >> 32);
	uint32_t x = uint32_t(t) + s_c;
	if (x < s_c)
	{
		++x;
		++s_c;
	}
	s_Q[s_i] = 0xFFFFFFFEu - x;
	return s_Q[s_i] * 2.3283064365386963e-10;
}

void RandomUtil::reset()
{
	s_filled = false;
}
}
