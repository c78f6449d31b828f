#include "b2Polygon.h"
#include "../PhysicsChecks.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
const float INTERSECT_EPSILON = 1.1920929e-7f;
const float ANGLE_TOLERANCE = 0.03490659f;
const float THIN_TOLERANCE = 0.005f;
const int MAX_VERTICES = 8;

int prevIndex(int i, int n)
{
	return i == 0 ? n - 1 : i - 1;
}

int nextIndex(int i, int n)
{
	return i == n - 1 ? 0 : i + 1;
}

float signedArea(const float* x, const float* y, int n)
{
	float area = 0.f;
	for (int i = 0; i < n; ++i)
	{
		const int j = nextIndex(i, n);
		area += x[i] * y[j] - x[j] * y[i];
	}
	return area * 0.5f;
}

void reject(bool print, const char* reason)
{
	if (print)
		std::printf("Found invalid polygon, %s", reason);
}
}

b2Polygon::b2Polygon() : nVertices(0), area(0.f), areaIsSet(false)
{
}

b2Polygon::b2Polygon(const b2Vec2* vertices, int count) : nVertices(count), area(0.f), areaIsSet(false)
{
	x.resize(static_cast<size_t>(count));
	y.resize(static_cast<size_t>(count));
	for (int i = 0; i < count; ++i)
	{
		x[i] = vertices[i].x;
		y[i] = vertices[i].y;
	}
}

b2Polygon::b2Polygon(const float* xs, const float* ys, int count) :
	x(xs, xs + count), y(ys, ys + count), nVertices(count), area(0.f), areaIsSet(false)
{
}

b2Polygon::b2Polygon(const b2Triangle& t) : x(t.x, t.x + 3), y(t.y, t.y + 3), nVertices(3), area(0.f), areaIsSet(false)
{
}

void b2Polygon::Set(const b2Polygon& other)
{
	x = other.x;
	y = other.y;
	nVertices = other.nVertices;
	areaIsSet = false;
}

float b2Polygon::GetArea()
{
	area = signedArea(x.data(), y.data(), nVertices);
	areaIsSet = true;
	return area;
}

bool b2Polygon::IsConvex() const
{
	bool positive = false;
	for (int i = 0; i < nVertices; ++i)
	{
		const int lower = prevIndex(i, nVertices);
		const int upper = nextIndex(i, nVertices);
		const float dx0 = x[i] - x[lower], dy0 = y[i] - y[lower];
		const float dx1 = x[upper] - x[i], dy1 = y[upper] - y[i];
		const bool isPositive = dx0 * dy1 - dx1 * dy0 >= 0.f;
		if (i == 0)
			positive = isPositive;
		else if (positive != isPositive)
			return false;
	}
	return true;
}

bool b2Polygon::IsSimple() const
{
	for (int i = 0; i < nVertices; ++i)
	{
		const b2Vec2 a0(x[i], y[i]);
		const b2Vec2 a1(x[nextIndex(i, nVertices)], y[nextIndex(i, nVertices)]);
		for (int j = i + 1; j < nVertices; ++j)
		{
			const b2Vec2 b0(x[j], y[j]);
			const b2Vec2 b1(x[nextIndex(j, nVertices)], y[nextIndex(j, nVertices)]);
			b2Vec2 crossing;
			if (intersect(a0, a1, b0, b1, crossing))
				return false;
		}
	}
	return true;
}

bool b2Polygon::IsUsable(bool printErrors)
{
	const int n = nVertices;
	if (n < 3 || n > MAX_VERTICES)
	{
		if (printErrors)
			std::printf("Found invalid polygon, must have between 3 and %d vertices.\n", MAX_VERTICES);
		return false;
	}
	if (!IsConvex())
	{
		reject(printErrors, "must be convex.");
		return false;
	}
	if (!IsSimple())
	{
		reject(printErrors, "must be simple (cannot intersect itself).");
		return false;
	}
	if (GetArea() < INTERSECT_EPSILON)
	{
		reject(printErrors, "area is too small.");
		return false;
	}

	b2Vec2 normals[MAX_VERTICES];
	for (int i = 0; i < n; ++i)
	{
		const int j = nextIndex(i, n);
		b2Vec2 edge(x[j] - x[i], y[j] - y[i]);
		if (edge.Normalize() == 0.f)
		{
			reject(printErrors, "sides are too close to parallel.");
			return false;
		}
		normals[i] = b2Vec2(edge.y, -edge.x);
	}
	for (int i = 0; i < n; ++i)
	{
		const int lower = prevIndex(i, n);
		const int upper = nextIndex(i, n);
		b2Vec2 e0(x[i] - x[lower], y[i] - y[lower]);
		b2Vec2 e1(x[upper] - x[i], y[upper] - y[i]);
		e0.Normalize();
		e1.Normalize();
		const float cross = std::max(-1.f, std::min(1.f, b2Cross(e0, e1)));
		if (!(std::asin(cross) > ANGLE_TOLERANCE))
		{
			reject(printErrors, "sides are too close to parallel.");
			return false;
		}
	}
	for (int i = 0; i < n; ++i)
	{
		const int j = nextIndex(i, n);
		for (int k = 0; k < n; ++k)
		{
			if (k == i || k == j)
				continue;
			const float d = b2Dot(normals[i], b2Vec2(x[k] - x[i], y[k] - y[i]));
			if (!(d < -THIN_TOLERANCE))
			{
				reject(printErrors, "polygon is too thin.");
				return false;
			}
		}
	}

	// Area-weighted centroid: every vertex must lie outside both its edges' lines as seen from it.
	b2Vec2 centroid(0.f, 0.f);
	float total = 0.f;
	for (int i = 0; i < n; ++i)
	{
		const int j = nextIndex(i, n);
		const b2Vec2 p1(x[0], y[0]), p2(x[i], y[i]), p3(x[j], y[j]);
		const float a = 0.5f * b2Cross(p2 - p1, p3 - p1);
		total += a;
		centroid += (a / 3.f) * (p1 + p2 + p3);
	}
	if (!(total > 0.f))
	{
		reject(printErrors, "don't know why.");
		return false;
	}
	centroid *= 1.f / total;
	for (int i = 0; i < n; ++i)
	{
		const b2Vec2 v = b2Vec2(x[i], y[i]) - centroid;
		if (b2Dot(normals[prevIndex(i, n)], v) < 0.f || b2Dot(normals[i], v) < 0.f)
		{
			reject(printErrors, "core shape generation would move edge past centroid (too thin).");
			return false;
		}
	}
	return true;
}

void b2Polygon::MergeParallelEdges(float tolerance)
{
	if (nVertices <= 3)
		return;
	std::vector<bool> merge(static_cast<size_t>(nVertices), false);
	int remaining = nVertices;
	for (int i = 0; i < nVertices; ++i)
	{
		const int lower = prevIndex(i, nVertices);
		const int upper = nextIndex(i, nVertices);
		float dx0 = x[i] - x[lower], dy0 = y[i] - y[lower];
		float dx1 = x[upper] - x[i], dy1 = y[upper] - y[i];
		const float norm0 = std::sqrt(dx0 * dx0 + dy0 * dy0);
		const float norm1 = std::sqrt(dx1 * dx1 + dy1 * dy1);
		if (!(norm0 > 0.f && norm1 > 0.f))
		{
			if (remaining > 3)
			{
				merge[i] = true;
				--remaining;
			}
			continue;
		}
		dx0 /= norm0;
		dy0 /= norm0;
		dx1 /= norm1;
		dy1 /= norm1;
		const float cross = dx0 * dy1 - dx1 * dy0;
		const float dot = dx0 * dx1 + dy0 * dy1;
		if (std::fabs(cross) < tolerance && dot > 0.f && remaining > 3)
		{
			merge[i] = true;
			--remaining;
		}
	}
	if (remaining == nVertices)
		return;
	std::vector<float> nx, ny;
	for (int i = 0; i < nVertices; ++i)
	{
		if (!merge[i])
		{
			nx.push_back(x[i]);
			ny.push_back(y[i]);
		}
	}
	x.swap(nx);
	y.swap(ny);
	nVertices = remaining;
	areaIsSet = false;
}

std::unique_ptr<b2Polygon> b2Polygon::Add(const b2Triangle& t) const
{
	int match[3] = {-1, -1, -1};
	int matched = 0;
	for (int k = 0; k < 3; ++k)
	{
		for (int i = 0; i < nVertices; ++i)
		{
			if (t.x[k] == x[i] && t.y[k] == y[i])
			{
				match[k] = i;
				++matched;
				break;
			}
		}
	}
	if (matched != 2)
		return nullptr;
	int tip = 0;
	while (match[tip] >= 0)
		++tip;
	const int a = match[(tip + 1) % 3];
	const int b = match[(tip + 2) % 3];
	int after;
	if (b == nextIndex(a, nVertices))
		after = a;
	else if (a == nextIndex(b, nVertices))
		after = b;
	else
		return nullptr;

	std::unique_ptr<b2Polygon> result(new b2Polygon());
	result->nVertices = nVertices + 1;
	result->x.reserve(static_cast<size_t>(result->nVertices));
	result->y.reserve(static_cast<size_t>(result->nVertices));
	for (int i = 0; i < nVertices; ++i)
	{
		result->x.push_back(x[i]);
		result->y.push_back(y[i]);
		if (i == after)
		{
			result->x.push_back(t.x[tip]);
			result->y.push_back(t.y[tip]);
		}
	}
	return result;
}

void b2Polygon::AddTo(b2Body* body, const b2FixtureDef& def) const
{
	b2Vec2 vertices[MAX_VERTICES];
	int count = 0;
	for (int i = 0; i < nVertices; ++i)
	{
		const int j = nextIndex(i, nVertices);
		if (x[i] == x[j] && y[i] == y[j])
			continue;
		if (count == MAX_VERTICES)
			return;
		vertices[count++] = b2Vec2(x[i], y[i]);
	}
	// The last word on a piece is Box2D's own polygon rule.
	if (count < 3 || !physics::polygonAccepted(vertices, count))
		return;
	b2PolygonShape shape;
	shape.Set(vertices, count);
	shape.m_radius = 0.01f;
	b2FixtureDef piece = def;
	piece.shape = &shape;
	body->CreateFixture(&piece);
}

bool intersect(const b2Vec2& a0, const b2Vec2& a1, const b2Vec2& b0, const b2Vec2& b1, b2Vec2& out)
{
	if (a0 == b0 || a0 == b1 || a1 == b0 || a1 == b1)
		return false;
	if (std::max(a0.x, a1.x) < std::min(b0.x, b1.x) || std::max(b0.x, b1.x) < std::min(a0.x, a1.x) ||
		std::max(a0.y, a1.y) < std::min(b0.y, b1.y) || std::max(b0.y, b1.y) < std::min(a0.y, a1.y))
		return false;
	const float d = (b1.y - b0.y) * (a1.x - a0.x) - (b1.x - b0.x) * (a1.y - a0.y);
	if (std::fabs(d) < INTERSECT_EPSILON)
		return false;
	const float ua = ((b1.x - b0.x) * (a0.y - b0.y) - (b1.y - b0.y) * (a0.x - b0.x)) / d;
	const float ub = ((a1.x - a0.x) * (a0.y - b0.y) - (a1.y - a0.y) * (a0.x - b0.x)) / d;
	if (!(ua > 0.f && ua < 1.f && ub > 0.f && ub < 1.f))
		return false;
	out = a0 + ua * (a1 - a0);
	return true;
}

bool IsEar(int i, const float* x, const float* y, int n)
{
	if (i < 0 || i >= n)
		return false;
	const int prev = prevIndex(i, n);
	const int next = nextIndex(i, n);
	const float cross = (x[i] - x[prev]) * (y[next] - y[i]) - (y[i] - y[prev]) * (x[next] - x[i]);
	if (cross > 0.f)
		return false;
	const b2Triangle t(x[prev], y[prev], x[i], y[i], x[next], y[next]);
	for (int j = 0; j < n; ++j)
	{
		if (j == i || j == prev || j == next)
			continue;
		if (t.IsInside(x[j], y[j]))
			return false;
	}
	return true;
}

bool ResolvePinchPoint(const b2Polygon& p, b2Polygon& out1, b2Polygon& out2)
{
	const int n = p.nVertices;
	if (n < 3)
		return false;
	const float tolerance = 0.001f;
	for (int i = 0; i < n; ++i)
	{
		for (int j = i + 2; j < n; ++j)
		{
			if (std::fabs(p.x[i] - p.x[j]) < tolerance && std::fabs(p.y[i] - p.y[j]) < tolerance)
			{
				std::vector<float> ax, ay, bx, by;
				for (int k = i; k < j; ++k)
				{
					ax.push_back(p.x[k]);
					ay.push_back(p.y[k]);
				}
				for (int k = j; k != i; k = nextIndex(k, n))
				{
					bx.push_back(p.x[k]);
					by.push_back(p.y[k]);
				}
				out1 = b2Polygon(ax.data(), ay.data(), static_cast<int>(ax.size()));
				out2 = b2Polygon(bx.data(), by.data(), static_cast<int>(bx.size()));
				return true;
			}
		}
	}
	return false;
}

int TriangulatePolygon(const float* xv, const float* yv, int n, b2Triangle* triangles)
{
	if (n < 3)
		return 0;
	b2Polygon a, b;
	if (ResolvePinchPoint(b2Polygon(xv, yv, n), a, b))
	{
		std::vector<b2Triangle> ta(static_cast<size_t>(std::max(1, a.nVertices))), tb(static_cast<size_t>(std::max(1, b.nVertices)));
		const int na = TriangulatePolygon(a.x.data(), a.y.data(), a.nVertices, ta.data());
		const int nb = TriangulatePolygon(b.x.data(), b.y.data(), b.nVertices, tb.data());
		if (na < 0 || nb < 0)
			return -1;
		std::copy(ta.begin(), ta.begin() + na, triangles);
		std::copy(tb.begin(), tb.begin() + nb, triangles + na);
		return na + nb;
	}

	std::vector<float> x(xv, xv + n), y(yv, yv + n);
	int left = n;
	int count = 0;
	while (left > 3)
	{
		int ear = -1;
		for (int i = 0; i < left; ++i)
		{
			if (IsEar(i, x.data(), y.data(), left))
			{
				ear = i;
				break;
			}
		}
		if (ear < 0)
			return -1;
		const int prev = prevIndex(ear, left);
		const int next = nextIndex(ear, left);
		triangles[count++] = b2Triangle(x[prev], y[prev], x[ear], y[ear], x[next], y[next]);
		x.erase(x.begin() + ear);
		y.erase(y.begin() + ear);
		--left;
	}
	triangles[count++] = b2Triangle(x[0], y[0], x[1], y[1], x[2], y[2]);
	return count;
}

int PolygonizeTriangles(const b2Triangle* triangles, int n, b2Polygon* polys, int maxPolys)
{
	if (n <= 0)
		return 0;
	std::vector<bool> covered(static_cast<size_t>(n));
	for (int i = 0; i < n; ++i)
	{
		const b2Triangle& t = triangles[i];
		covered[i] = (t.x[0] == t.x[1] && t.y[0] == t.y[1]) || (t.x[1] == t.x[2] && t.y[1] == t.y[2]) ||
			(t.x[0] == t.x[2] && t.y[0] == t.y[2]);
	}
	int count = 0;
	for (;;)
	{
		int start = -1;
		for (int i = 0; i < n; ++i)
		{
			if (!covered[i])
			{
				start = i;
				break;
			}
		}
		if (start < 0)
			break;
		b2Polygon poly(triangles[start]);
		covered[start] = true;
		int index = 0;
		for (int step = 0; step < 2 * n; ++step)
		{
			while (index >= n)
				index -= n;
			if (!covered[index])
			{
				std::unique_ptr<b2Polygon> merged = poly.Add(triangles[index]);
				if (merged && merged->nVertices <= MAX_VERTICES && merged->IsConvex())
				{
					poly.Set(*merged);
					covered[index] = true;
				}
			}
			++index;
		}
		if (count < maxPolys)
		{
			poly.MergeParallelEdges(ANGLE_TOLERANCE);
			if (poly.nVertices > 2)
				polys[count++].Set(poly);
		}
	}
	return count;
}

int DecomposeConvex(const b2Polygon* p, b2Polygon* results, int maxPolys)
{
	const int n = p->nVertices;
	if (n < 3)
		return 0;
	b2Polygon clockwise;
	clockwise.Set(*p);
	if (clockwise.GetArea() > 0.f)
	{
		std::reverse(clockwise.x.begin(), clockwise.x.end());
		std::reverse(clockwise.y.begin(), clockwise.y.end());
	}
	std::vector<b2Triangle> triangles(static_cast<size_t>(n - 2));
	const int count = TriangulatePolygon(clockwise.x.data(), clockwise.y.data(), n, triangles.data());
	if (count < 1)
		return 0;
	return PolygonizeTriangles(triangles.data(), count, results, maxPolys);
}

namespace
{
void addIfUsable(b2Polygon& piece, b2Body* body, const b2FixtureDef& def)
{
	if (piece.IsUsable(false))
		piece.AddTo(body, def);
}
}

void DecomposeConvexAndAddTo(const b2Polygon* p, b2Body* body, const b2FixtureDef* def)
{
	const int n = p->nVertices;
	if (n < 3)
		return;
	std::vector<b2Polygon> pieces(static_cast<size_t>(n - 2));
	const int count = DecomposeConvex(p, pieces.data(), n - 2);
	for (int k = 0; k < count; ++k)
	{
		b2Polygon& piece = pieces[k];
		if (piece.nVertices != 3)
		{
			addIfUsable(piece, body, *def);
			continue;
		}
		bool handled = false;
		for (int c = 0; c < 3 && !handled; ++c)
		{
			const int l = prevIndex(c, 3);
			const int u = nextIndex(c, 3);
			const b2Vec2 pc(piece.x[c], piece.y[c]), pl(piece.x[l], piece.y[l]), pu(piece.x[u], piece.y[u]);
			b2Vec2 e0 = pc - pl;
			b2Vec2 e1 = pu - pc;
			if (e0.Normalize() == 0.f || e1.Normalize() == 0.f)
			{
				handled = true;
				break;
			}
			const float length = (pl - pu).Length();
			if (std::fabs(b2Cross(e0, e1)) < ANGLE_TOLERANCE && b2Dot(e0, e1) > 0.f && length != 0.f)
			{
				// A nearly straight corner: push it out and cut the sliver in two.
				const float h = 2.f * signedArea(piece.x.data(), piece.y.data(), 3) / length;
				const b2Vec2 moved = pc + h * b2Vec2((pl.y - pu.y) / length, -(pl.x - pu.x) / length);
				const float x1[3] = {moved.x, pl.x, pc.x}, y1[3] = {moved.y, pl.y, pc.y};
				const float x2[3] = {moved.x, pc.x, pu.x}, y2[3] = {moved.y, pc.y, pu.y};
				b2Polygon first(x1, y1, 3), second(x2, y2, 3);
				addIfUsable(first, body, *def);
				addIfUsable(second, body, *def);
				handled = true;
			}
		}
		if (!handled)
			addIfUsable(piece, body, *def);
	}
}
