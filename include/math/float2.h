#ifndef MATH_FLOAT2_H
#define MATH_FLOAT2_H

namespace math
{
/** Two-component single-precision vector. */
class float2
{
public:
	float x, y;

	float2() : x(0.f), y(0.f) {}
	float2(float x_, float y_) : x(x_), y(y_) {}

	float& operator[](int i) { return (&x)[i]; }
	const float& operator[](int i) const { return (&x)[i]; }

	float2 operator+(const float2& o) const { return float2(x + o.x, y + o.y); }
	float2 operator-(const float2& o) const { return float2(x - o.x, y - o.y); }
	float2 operator-() const { return float2(-x, -y); }
	float2 operator*(float s) const { return float2(x * s, y * s); }
	float2& operator+=(const float2& o) { x += o.x; y += o.y; return *this; }
	float2& operator-=(const float2& o) { x -= o.x; y -= o.y; return *this; }
	float2& operator*=(float s) { x *= s; y *= s; return *this; }

	bool operator==(const float2& o) const { return x == o.x && y == o.y; }
	bool operator!=(const float2& o) const { return !(*this == o); }
};
}

#endif
