#ifndef MATH_FLOAT4X4_H
#define MATH_FLOAT4X4_H

#include <math/float3.h>
#include <math/float4.h>
#include <lang/assert.h>

namespace math
{
/**
 * 4x4 matrix, row-major: element (r, c) at position 4r + c, translation in
 * column 3. Vectors are columns, so A * B applies B first.
 */
class float4x4
{
public:
	enum { ROWS = 4, COLUMNS = 4, SIZE = 16 };

	/** All zero. */
	float4x4() : m{} {}
	/** d on the diagonal, zero elsewhere; 1 gives the identity. */
	explicit float4x4(float d) : m{}
	{
		m[0] = m[5] = m[10] = m[15] = d;
	}

	/** Element at position 4r + c. */
	float& operator[](int i) { return m[i]; }
	const float& operator[](int i) const { return m[i]; }
	float& operator()(int r, int c) { return m[r * COLUMNS + c]; }
	float operator()(int r, int c) const { return m[r * COLUMNS + c]; }

	const float* data() const { return m; }
	float* data() { return m; }

	/** Sets the translation column; nothing else changes. */
	void setTranslation(const float3& t)
	{
		m[3] = t.x;
		m[7] = t.y;
		m[11] = t.z;
	}

	/**
	 * Left-handed perspective projection: depth 0 at front, 1 at back after
	 * division by w (= the point's z). fov is the full angle in radians; the
	 * aspect scales y. Replaces the whole matrix.
	 */
	void setPerspectiveProjection(float fov, float front, float back, float aspect);

	/**
	 * Sets the upper-left 3x3 to a rotation by angle radians about axis
	 * (counter-clockwise for column vectors); the rest keeps its values.
	 */
	void setRotation(const float3& axis, float angle);

	float4x4 operator*(const float4x4& b) const
	{
		float4x4 r;
		for (int i = 0; i < 16; i += 4)
		{
			const float a0 = m[i], a1 = m[i + 1], a2 = m[i + 2], a3 = m[i + 3];
			r.m[i] = a0 * b.m[0] + a1 * b.m[4] + a2 * b.m[8] + a3 * b.m[12];
			r.m[i + 1] = a0 * b.m[1] + a1 * b.m[5] + a2 * b.m[9] + a3 * b.m[13];
			r.m[i + 2] = a0 * b.m[2] + a1 * b.m[6] + a2 * b.m[10] + a3 * b.m[14];
			r.m[i + 3] = a0 * b.m[3] + a1 * b.m[7] + a2 * b.m[11] + a3 * b.m[15];
		}
		return r;
	}

	float4x4 transpose() const
	{
		float4x4 r;
		r.m[0] = m[0]; r.m[1] = m[4]; r.m[2] = m[8]; r.m[3] = m[12];
		r.m[4] = m[1]; r.m[5] = m[5]; r.m[6] = m[9]; r.m[7] = m[13];
		r.m[8] = m[2]; r.m[9] = m[6]; r.m[10] = m[10]; r.m[11] = m[14];
		r.m[12] = m[3]; r.m[13] = m[7]; r.m[14] = m[11]; r.m[15] = m[15];
		return r;
	}

	/** out = this times v; out must not alias v. */
	void transform(const float4& v, float4* out) const
	{
		LANG_ASSERT(&v != out);
		out->x = m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3] * v.w;
		out->y = m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7] * v.w;
		out->z = m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11] * v.w;
		out->w = m[12] * v.x + m[13] * v.y + m[14] * v.z + m[15] * v.w;
	}

	float4 transform(const float4& v) const
	{
		float4 r;
		transform(v, &r);
		return r;
	}

	bool operator==(const float4x4& o) const
	{
		for (int i = 0; i < SIZE; ++i)
			if (m[i] != o.m[i])
				return false;
		return true;
	}
	bool operator!=(const float4x4& o) const { return !(*this == o); }

private:
	float m[SIZE];
};
}

#endif
