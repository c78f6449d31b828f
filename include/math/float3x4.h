#ifndef MATH_FLOAT3X4_H
#define MATH_FLOAT3X4_H

#include <math/float3.h>

namespace math
{
/**
 * Affine transform: three rows of four floats, row-major. Columns 0-2 hold
 * the linear part, column 3 the translation. Vectors are columns.
 */
class float3x4
{
public:
	enum { ROWS = 3, COLUMNS = 4, SIZE = 12 };

	/** All zero. */
	float3x4() : m{} {}
	/** d on the diagonal, zero elsewhere (translation included). */
	explicit float3x4(float d) : m{}
	{
		m[0] = m[5] = m[10] = d;
	}

	/** Element at position 4r + c. */
	float& operator[](int i) { return m[i]; }
	const float& operator[](int i) const { return m[i]; }
	float& operator()(int r, int c) { return m[r * COLUMNS + c]; }
	float operator()(int r, int c) const { return m[r * COLUMNS + c]; }

	const float* data() const { return m; }
	float* data() { return m; }

	/** This times (v, 1). */
	float3 transform(const float3& v) const
	{
		return float3(
			m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3],
			m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7],
			m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11]);
	}

	bool operator==(const float3x4& o) const
	{
		for (int i = 0; i < SIZE; ++i)
			if (m[i] != o.m[i])
				return false;
		return true;
	}
	bool operator!=(const float3x4& o) const { return !(*this == o); }

private:
	float m[SIZE];
};
}

#endif
