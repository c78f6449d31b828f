#ifndef MATH_FLOAT4_H
#define MATH_FLOAT4_H

#include <math/float3.h>
#include <cfloat>

namespace math
{
/** Four-component single-precision vector. */
class float4
{
public:
	float x, y, z, w;

	float4() : x(0.f), y(0.f), z(0.f), w(0.f) {}
	float4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
	float4(const float3& xyz_, float w_) : x(xyz_.x), y(xyz_.y), z(xyz_.z), w(w_) {}

	float& operator[](int i) { return (&x)[i]; }
	const float& operator[](int i) const { return (&x)[i]; }

	float3 xyz() const { return float3(x, y, z); }

	/** False when any component is infinite or not a number. */
	bool finite() const
	{
		return inRange(x) && inRange(y) && inRange(z) && inRange(w);
	}

	float4 operator+(const float4& o) const { return float4(x + o.x, y + o.y, z + o.z, w + o.w); }
	float4 operator-(const float4& o) const { return float4(x - o.x, y - o.y, z - o.z, w - o.w); }
	float4 operator-() const { return float4(-x, -y, -z, -w); }
	float4 operator*(float s) const { return float4(x * s, y * s, z * s, w * s); }
	float4& operator+=(const float4& o) { x += o.x; y += o.y; z += o.z; w += o.w; return *this; }
	float4& operator-=(const float4& o) { x -= o.x; y -= o.y; z -= o.z; w -= o.w; return *this; }
	float4& operator*=(float s) { x *= s; y *= s; z *= s; w *= s; return *this; }

	bool operator==(const float4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
	bool operator!=(const float4& o) const { return !(*this == o); }

private:
	// NaN fails both comparisons.
	static bool inRange(float v) { return v >= -FLT_MAX && v <= FLT_MAX; }
};
}

#endif
