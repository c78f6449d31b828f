#ifndef CONVEXDECOMPOSITION_B2POLYGON_H
#define CONVEXDECOMPOSITION_B2POLYGON_H

#include "b2Triangle.h"
#include <box2d/box2d.h>
#include <memory>
#include <vector>

/** A simple polygon to be cut into convex pieces Box2D takes. */
class b2Polygon
{
public:
	std::vector<float> x;
	std::vector<float> y;
	int nVertices;
	float area;
	bool areaIsSet;

	b2Polygon();
	b2Polygon(const b2Vec2* vertices, int count);
	b2Polygon(const float* xs, const float* ys, int count);
	explicit b2Polygon(const b2Triangle& t);

	void Set(const b2Polygon& other);
	/** Signed area (counter-clockwise positive); also stored in area. */
	float GetArea();
	bool IsConvex() const;
	/** No edge crosses a later edge. */
	bool IsSimple() const;
	/** Convex, simple, counter-clockwise, 3 to 8 vertices, not too thin for Box2D. */
	bool IsUsable(bool printErrors = false);
	/** Drops vertices on zero-length or nearly straight edges while more than 3 remain. */
	void MergeParallelEdges(float tolerance);
	/** This polygon with the triangle joined along a shared edge, or null when they share none. */
	std::unique_ptr<b2Polygon> Add(const b2Triangle& t) const;
	/** One polygon fixture of radius 0.01 on the body (repeated vertices left out), when Box2D takes it. */
	void AddTo(b2Body* body, const b2FixtureDef& def) const;
};

/** Proper crossing of segments a0-a1 and b0-b1 (shared endpoints do not count). */
bool intersect(const b2Vec2& a0, const b2Vec2& a1, const b2Vec2& b0, const b2Vec2& b1, b2Vec2& out);
bool IsEar(int i, const float* x, const float* y, int n);
/** Splits at the first pair of non-neighbour vertices within 0.001 of each other. */
bool ResolvePinchPoint(const b2Polygon& p, b2Polygon& out1, b2Polygon& out2);
/** Ear clipping of a clockwise polygon: the triangle count, or -1 when no ear is left. */
int TriangulatePolygon(const float* x, const float* y, int n, b2Triangle* triangles);
/** Greedy merging of triangles into convex polygons of at most 8 vertices. */
int PolygonizeTriangles(const b2Triangle* triangles, int n, b2Polygon* polys, int maxPolys);
/** The convex pieces of p (either winding), at most maxPolys; 0 on failure. */
int DecomposeConvex(const b2Polygon* p, b2Polygon* results, int maxPolys);
/** Adds one fixture per usable convex piece of p, each with a copy of def. */
void DecomposeConvexAndAddTo(const b2Polygon* p, b2Body* body, const b2FixtureDef* def);

#endif
