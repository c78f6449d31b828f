#include "ConvexDecomposition/b2Polygon.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
/** A dynamic body in its own world, for the fixtures a polygon gives. */
class Decomposition : public ::testing::Test
{
protected:
	b2World world{b2Vec2(0.f, 0.f)};
	b2Body* body = nullptr;

	void SetUp() override
	{
		b2BodyDef def;
		def.type = b2_dynamicBody;
		body = world.CreateBody(&def);
	}

	/** Vertex counts of the fixtures made from the points, in creation order. */
	std::vector<int> pieces(std::vector<b2Vec2> points)
	{
		world.DestroyBody(body);
		SetUp();
		b2Polygon polygon(points.data(), static_cast<int>(points.size()));
		b2FixtureDef def;
		def.density = 1.f;
		DecomposeConvexAndAddTo(&polygon, body, &def);
		std::vector<int> counts;
		for (b2Fixture* f = body->GetFixtureList(); f; f = f->GetNext())
		{
			const b2PolygonShape* shape = static_cast<const b2PolygonShape*>(f->GetShape());
			EXPECT_FLOAT_EQ(0.01f, shape->m_radius);
			counts.push_back(shape->m_count);
		}
		std::sort(counts.begin(), counts.end());
		return counts;
	}

	static std::vector<b2Vec2> reversed(std::vector<b2Vec2> points)
	{
		std::reverse(points.begin(), points.end());
		return points;
	}
};

const std::vector<b2Vec2> L_SHAPE = {{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}};
}

TEST_F(Decomposition, ShapesGiveTheirConvexPieces)
{
	EXPECT_EQ(std::vector<int>({4}), pieces({{0, 0}, {0, 1}, {2, 1.5f}, {2, 0}}));
	EXPECT_EQ(std::vector<int>({4, 4}), pieces(L_SHAPE));
	EXPECT_EQ(pieces(L_SHAPE), pieces(reversed(L_SHAPE))) << "either winding";
	// Two loops touching at one point are split there.
	EXPECT_EQ(std::vector<int>({3, 3}), pieces({{0, 0}, {1, 1}, {0, 2}, {2, 2}, {1, 1}, {2, 0}}));
	std::vector<b2Vec2> pentagram;
	for (int i = 0; i < 5; ++i)
	{
		const float a = 2.f * b2_pi * static_cast<float>(i * 2 % 5) / 5.f;
		pentagram.push_back(b2Vec2(std::cos(a), std::sin(a)));
	}
	// A self-crossing outline still finds ears; what it gives is only pieces Box2D takes.
	for (int count : pieces(pentagram))
		EXPECT_EQ(3, count);
	EXPECT_EQ(std::vector<int>({4}), pieces({{0, 0}, {0, 1}, {0, 1}, {1, 1}, {1, 0}})) << "a repeated point goes";
	EXPECT_TRUE(pieces({{0, 0}, {1, 0}}).empty());

	// A 64-point star: every piece Box2D took is convex with at most 8 points.
	std::vector<b2Vec2> star;
	for (int i = 0; i < 64; ++i)
	{
		const float r = i % 2 ? 1.f : 3.f;
		const float a = -2.f * b2_pi * static_cast<float>(i) / 64.f;
		star.push_back(b2Vec2(r * std::cos(a), r * std::sin(a)));
	}
	const std::vector<int> starPieces = pieces(star);
	EXPECT_GE(starPieces.size(), 8u);
	EXPECT_LE(starPieces.back(), 8);
	EXPECT_NEAR(32.f * 3.f * std::sin(2.f * b2_pi / 64.f), body->GetMass(), 1e-3) << "the pieces cover the star";
}

TEST_F(Decomposition, NearlyStraightSliversNeverReachBox2D)
{
	// A corner of 179.5 degrees: the sliver and its split halves are too thin to use.
	const float h = 100.f * std::tan(0.25f / 180.f * b2_pi);
	for (int count : pieces({{0, 0}, {200, 0}, {100, h}}))
		EXPECT_EQ(3, count);
	EXPECT_TRUE(pieces({{0, 0}, {1, 0}, {2, 0}}).empty()) << "points on a line";
	EXPECT_TRUE(pieces({{0, 0}, {0.001f, 0}, {0, 0.001f}}).empty()) << "below the weld distance";
}

TEST(DecompositionParts, TrianglesEarsAndCrossings)
{
	const b2Triangle t(0, 0, 0, 1, 1, 0);
	EXPECT_EQ(1.f, t.x[1]) << "stored counter-clockwise";
	EXPECT_TRUE(t.IsInside(0.2f, 0.2f));
	EXPECT_TRUE(t.IsInside(0.5f, 0.f)) << "an edge point is inside";
	EXPECT_FALSE(t.IsInside(0.6f, 0.6f));

	b2Vec2 out;
	EXPECT_TRUE(intersect({0, 0}, {2, 2}, {0, 2}, {2, 0}, out));
	EXPECT_FLOAT_EQ(1.f, out.x);
	EXPECT_FALSE(intersect({0, 0}, {2, 2}, {2, 2}, {3, 0}, out)) << "a shared endpoint";
	EXPECT_FALSE(intersect({0, 0}, {1, 0}, {0, 1}, {1, 1}, out)) << "parallel";

	// Clockwise square with a notch: the reflex corner is no ear.
	const float x[] = {0, 0, 2, 1, 2}, y[] = {0, 2, 2, 1, 0};
	EXPECT_TRUE(IsEar(2, x, y, 5));
	EXPECT_FALSE(IsEar(0, x, y, 5)) << "the notch point lies on its edge";
	EXPECT_FALSE(IsEar(3, x, y, 5));
	EXPECT_FALSE(IsEar(5, x, y, 5));
	b2Triangle triangles[3];
	EXPECT_EQ(3, TriangulatePolygon(x, y, 5, triangles));

	b2Polygon a, b;
	const b2Vec2 hourglass[] = {{0, 0}, {1, 1}, {0, 2}, {2, 2}, {1, 1.0005f}, {2, 0}};
	ASSERT_TRUE(ResolvePinchPoint(b2Polygon(hourglass, 6), a, b));
	EXPECT_EQ(3, a.nVertices);
	EXPECT_EQ(3, b.nVertices);
	EXPECT_FLOAT_EQ(1.0005f, b.y[0]);

	b2Polygon thin(std::vector<b2Vec2>({{0, 0}, {1, 0}, {1, 0.004f}, {0, 0.004f}}).data(), 4);
	EXPECT_FALSE(thin.IsUsable());
	b2Polygon clockwise(std::vector<b2Vec2>({{0, 0}, {0, 1}, {1, 1}, {1, 0}}).data(), 4);
	EXPECT_FALSE(clockwise.IsUsable()) << "pieces must run counter-clockwise";
	b2Polygon square(std::vector<b2Vec2>({{0, 0}, {1, 0}, {1, 1}, {0, 1}}).data(), 4);
	EXPECT_TRUE(square.IsUsable());
	EXPECT_FLOAT_EQ(1.f, square.area);
}
