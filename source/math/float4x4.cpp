#include <math/float4x4.h>
#include <cfloat>
#include <cmath>

namespace math
{
void float4x4::setPerspectiveProjection(float fov, float front, float back, float aspect)
{
	LANG_ASSERT((back-front) > FLT_MIN);

	const float f = std::fabs(1.f / std::tan(fov * .5f));
	const float q = back / (back - front);
	*this = float4x4(0.f);
	m[0] = f;
	m[5] = f * aspect;
	m[10] = q;
	m[11] = -q * front;
	m[14] = 1.f;
}

void float4x4::setRotation(const float3& axis, float angle)
{
	LANG_ASSERT(axis.length() > FLT_MIN);

	const float3 n = axis / axis.length();
	const float s = std::sin(angle * .5f);
	const float w = std::cos(angle * .5f);
	const float qx = n.x * s, qy = n.y * s, qz = n.z * s;

	m[0] = 1.f - 2.f * (qy * qy + qz * qz);
	m[1] = 2.f * (qx * qy - w * qz);
	m[2] = 2.f * (qx * qz + w * qy);
	m[4] = 2.f * (qx * qy + w * qz);
	m[5] = 1.f - 2.f * (qx * qx + qz * qz);
	m[6] = 2.f * (qy * qz - w * qx);
	m[8] = 2.f * (qx * qz - w * qy);
	m[9] = 2.f * (qy * qz + w * qx);
	m[10] = 1.f - 2.f * (qx * qx + qy * qy);
}
}
