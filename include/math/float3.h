#ifndef MATH_FLOAT3_H
#define MATH_FLOAT3_H

#include <math/float2.h>
#include <cmath>

namespace math
{
/** Three-component single-precision vector. */
class float3
{
public:
	float x, y, z;

	float3() : x(0.f), y(0.f), z(0.f) {}
	float3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
	float3(const float2& xy, float z_) : x(xy.x), y(xy.y), z(z_) {}

	float& operator[](int i) { return (&x)[i]; }
	const float& operator[](int i) const { return (&x)[i]; }

	/** Euclidean length. */
	float length() const { return std::sqrt(x * x + y * y + z * z); }

	float3 operator+(const float3& o) const { return float3(x + o.x, y + o.y, z + o.z); }
	float3 operator-(const float3& o) const { return float3(x - o.x, y - o.y, z - o.z); }
	float3 operator-() const { return float3(-x, -y, -z); }
	float3 operator*(float s) const { return float3(x * s, y * s, z * s); }
	float3 operator/(float s) const { return float3(x / s, y / s, z / s); }
	float3& operator+=(const float3& o) { x += o.x; y += o.y; z += o.z; return *this; }
	float3& operator-=(const float3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
	float3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }

	bool operator==(const float3& o) const { return x == o.x && y == o.y && z == o.z; }
	bool operator!=(const float3& o) const { return !(*this == o); }
};
}

#endif
