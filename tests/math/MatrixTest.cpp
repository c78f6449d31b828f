#include <math/float3x4.h>
#include <math/float4x4.h>
#include <gtest/gtest.h>
#include <cfloat>
#include <cmath>
#include <limits>

namespace
{
// A matrix with distinct elements 1..16 so that misplaced indices show.
math::float4x4 counting()
{
	math::float4x4 m;
	for (int i = 0; i < 16; ++i)
		m[i] = float(i + 1);
	return m;
}

void expectNear(const math::float4& expected, const math::float4& actual)
{
	for (int i = 0; i < 4; ++i)
		EXPECT_NEAR(expected[i], actual[i], 1e-6f) << "component " << i;
}
}

TEST(Vector, ConstructorsAndFinite)
{
	const math::float3 v(math::float2(1, 2), 3);
	EXPECT_EQ(math::float3(1, 2, 3), v);
	const math::float4 p(v, 4);
	EXPECT_EQ(math::float4(1, 2, 3, 4), p);
	EXPECT_EQ(v, p.xyz());
	EXPECT_FLOAT_EQ(5.f, math::float3(3, 4, 0).length());

	const float inf = std::numeric_limits<float>::infinity();
	const float nan = std::numeric_limits<float>::quiet_NaN();
	EXPECT_TRUE(math::float4(FLT_MAX, -FLT_MAX, 0, 1).finite());
	EXPECT_FALSE(math::float4(0, 0, inf, 0).finite());
	EXPECT_FALSE(math::float4(0, -inf, 0, 0).finite());
	EXPECT_FALSE(math::float4(0, 0, 0, nan).finite());
}

TEST(Matrix, DiagonalConstructorsAndTranslation)
{
	const math::float4x4 m(2.f);
	for (int i = 0; i < 16; ++i)
		EXPECT_EQ(i % 5 == 0 ? 2.f : 0.f, m[i]) << i;

	math::float3x4 a(3.f);
	for (int i = 0; i < 12; ++i)
		EXPECT_EQ(i % 5 == 0 ? 3.f : 0.f, a[i]) << i;
	a[3] = 10; a[7] = 20; a[11] = 30;
	EXPECT_EQ(math::float3(13, 26, 39), a.transform(math::float3(1, 2, 3)));

	math::float4x4 t = counting();
	t.setTranslation(math::float3(-1, -2, -3));
	for (int i = 0; i < 16; ++i)
	{
		const float expected = i == 3 ? -1.f : i == 7 ? -2.f : i == 11 ? -3.f : float(i + 1);
		EXPECT_EQ(expected, t[i]) << i;
	}
}

TEST(Matrix, ProductTransposeAndTransform)
{
	const math::float4x4 a = counting();
	const math::float4x4 id(1.f);
	EXPECT_EQ(a, id * a);
	EXPECT_EQ(a, a * id);
	EXPECT_EQ(a, a.transpose().transpose());
	EXPECT_EQ(5.f, a.transpose()(0, 1));
	EXPECT_EQ(2.f, a.transpose()(1, 0));

	// Row 0 of a times column 0 of a: 1*1 + 2*5 + 3*9 + 4*13.
	const math::float4x4 sq = a * a;
	EXPECT_EQ(90.f, sq(0, 0));
	EXPECT_EQ(202.f, sq(1, 0));
	EXPECT_EQ(600.f, sq(3, 3));

	// A * B applies B first.
	math::float4x4 move(1.f), scale(2.f);
	move.setTranslation(math::float3(1, 0, 0));
	scale[15] = 1.f;
	const math::float4 p(1, 1, 1, 1);
	EXPECT_EQ(math::float4(4, 2, 2, 1), (scale * move).transform(p));
	EXPECT_EQ(math::float4(3, 2, 2, 1), (move * scale).transform(p));

	math::float4 out;
	a.transform(math::float4(1, 0, 0, 1), &out);
	EXPECT_EQ(math::float4(1 + 4, 5 + 8, 9 + 12, 13 + 16), out);
}

TEST(Matrix, RotationKeepsTranslationAndTurnsCounterClockwise)
{
	const float halfPi = 1.57079632679f;
	math::float4x4 r = counting();
	r.setRotation(math::float3(0, 0, 5), halfPi);
	EXPECT_EQ(4.f, r[3]);
	EXPECT_EQ(8.f, r[7]);
	EXPECT_EQ(12.f, r[11]);
	for (int i = 12; i < 16; ++i)
		EXPECT_EQ(float(i + 1), r[i]);

	r = math::float4x4(1.f);
	r.setRotation(math::float3(0, 0, 1), halfPi);
	expectNear(math::float4(0, 1, 0, 0), r.transform(math::float4(1, 0, 0, 0)));
	r.setRotation(math::float3(1, 0, 0), halfPi);
	expectNear(math::float4(0, 0, 1, 0), r.transform(math::float4(0, 1, 0, 0)));
	r.setRotation(math::float3(0, 1, 0), halfPi);
	expectNear(math::float4(1, 0, 0, 0), r.transform(math::float4(0, 0, 1, 0)));
}

TEST(Matrix, PerspectiveMapsNearAndFarPlanes)
{
	math::float4x4 p = counting();
	const float fov = 1.5707963f, front = 1.f, back = 101.f, aspect = 1.5f;
	p.setPerspectiveProjection(fov, front, back, aspect);
	EXPECT_NEAR(1.f, p(0, 0), 1e-6f);
	EXPECT_NEAR(1.5f, p(1, 1), 1e-6f);
	EXPECT_EQ(1.f, p(3, 2));
	EXPECT_EQ(0.f, p(3, 3));
	EXPECT_EQ(0.f, p(0, 3));

	const math::float4 nearPoint = p.transform(math::float4(0, 0, front, 1));
	const math::float4 farPoint = p.transform(math::float4(0, 0, back, 1));
	EXPECT_NEAR(0.f, nearPoint.z / nearPoint.w, 1e-6f);
	EXPECT_NEAR(1.f, farPoint.z / farPoint.w, 1e-6f);

	// A negative angle gives the same scale.
	math::float4x4 q;
	q.setPerspectiveProjection(-fov, front, back, aspect);
	EXPECT_EQ(p, q);
}

TEST(MatrixDeathTest, BadArgumentsStop)
{
	math::float4x4 m(1.f);
	EXPECT_DEATH(m.setPerspectiveProjection(1.f, 2.f, 2.f, 1.f), "\\(back-front\\) > FLT_MIN");
	EXPECT_DEATH(m.setRotation(math::float3(0, 0, 0), 1.f), "axis.length\\(\\) > FLT_MIN");
	math::float4 v(1, 2, 3, 4);
	EXPECT_DEATH(m.transform(v, &v), "&v != out");
}
