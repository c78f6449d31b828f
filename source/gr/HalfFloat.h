#ifndef GR_HALFFLOAT_H
#define GR_HALFFLOAT_H

#include <stdint.h>
#include <cstring>

namespace gr
{
/** IEEE 754 half to float, exactly (subnormals normalised, NaN payload kept). */
inline float halfToFloat(uint16_t h)
{
	const uint32_t sign = uint32_t(h & 0x8000) << 16;
	const uint32_t exp = (h >> 10) & 31;
	uint32_t mant = h & 0x3FF;
	uint32_t bits;
	if (exp == 0)
	{
		if (mant == 0)
			bits = sign;
		else
		{
			int e = -14;
			while (!(mant & 0x400))
			{
				mant <<= 1;
				--e;
			}
			bits = sign | (uint32_t(e + 127) << 23) | ((mant & 0x3FF) << 13);
		}
	}
	else if (exp == 31)
		bits = sign | 0x7F800000u | (mant << 13);
	else
		bits = sign | ((exp + 112) << 23) | (mant << 13);
	float f;
	std::memcpy(&f, &bits, 4);
	return f;
}

/**
 * Float to IEEE 754 half: round to nearest with ties away from zero,
 * overflow to infinity, anything below the smallest subnormal to +0, NaN
 * to a NaN with the top bits of the payload.
 */
inline uint16_t floatToHalf(float value)
{
	uint32_t f;
	std::memcpy(&f, &value, 4);
	const uint32_t sign = (f >> 16) & 0x8000;
	const int exp = (f >> 23) & 0xFF;
	const uint32_t mant = f & 0x7FFFFF;
	if (exp == 255)
	{
		if (mant == 0)
			return static_cast<uint16_t>(sign | 0x7C00);
		uint32_t payload = mant >> 13;
		return static_cast<uint16_t>(sign | 0x7C00 | (payload ? payload : 1));
	}
	const int e = exp - 127;
	if (e > 15)
		return static_cast<uint16_t>(sign | 0x7C00);
	if (e < -24)
		return 0;
	if (e >= -14)
	{
		uint32_t h = sign | (uint32_t(e + 15) << 10) | (mant >> 13);
		if (mant & 0x1000)
			++h; // a carry into the exponent rounds up to the next power or to infinity
		return static_cast<uint16_t>(h);
	}
	const uint32_t m = mant | 0x800000;
	const int shift = -e - 1;
	uint32_t h = sign | (m >> shift);
	if ((m >> (shift - 1)) & 1)
		++h;
	return static_cast<uint16_t>(h);
}
}

#endif
