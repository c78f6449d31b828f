// Checks that keep script input away from Box2D's asserts, shared by every physics topic.
#include "PhysicsChecks.h"
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaState.h>
#include <cmath>

namespace physics
{
int toInt(float v)
{
	return lua::detail::numberToInt(v);
}

void scriptError(const char* message, const std::string& name)
{
	lang::throwError(lang::Exception(lang::Format("{0} ({1})", std::string(message), name)));
}

float finite(float v, const char* what, const std::string& name)
{
	if (!std::isfinite(v))
		lang::throwError(lang::Exception(lang::Format("{0} is not a finite number ({1})", std::string(what), name)));
	return v;
}

bool polygonAccepted(const b2Vec2* vertices, int count)
{
	if (count < 3 || count > b2_maxPolygonVertices)
		return false;
	// Box2D welds points closer than half the linear slop, then takes the hull.
	b2Vec2 ps[b2_maxPolygonVertices];
	int n = 0;
	const float weld = (0.5f * b2_linearSlop) * (0.5f * b2_linearSlop);
	for (int i = 0; i < count; ++i)
	{
		const b2Vec2 v = vertices[i];
		if (!std::isfinite(v.x) || !std::isfinite(v.y))
			return false;
		bool unique = true;
		for (int j = 0; j < n; ++j)
		{
			if (b2DistanceSquared(v, ps[j]) < weld)
			{
				unique = false;
				break;
			}
		}
		if (unique)
			ps[n++] = v;
	}
	if (n < 3)
		return false;

	int i0 = 0;
	for (int i = 1; i < n; ++i)
	{
		if (ps[i].x > ps[i0].x || (ps[i].x == ps[i0].x && ps[i].y < ps[i0].y))
			i0 = i;
	}
	int hull[b2_maxPolygonVertices];
	int m = 0;
	int ih = i0;
	for (;;)
	{
		if (m >= b2_maxPolygonVertices)
			return false;
		hull[m] = ih;
		int ie = 0;
		for (int j = 1; j < n; ++j)
		{
			if (ie == ih)
			{
				ie = j;
				continue;
			}
			const b2Vec2 r = ps[ie] - ps[hull[m]];
			const b2Vec2 v = ps[j] - ps[hull[m]];
			const float c = b2Cross(r, v);
			if (c < 0.f || (c == 0.f && v.LengthSquared() > r.LengthSquared()))
				ie = j;
		}
		++m;
		ih = ie;
		if (ie == i0)
			break;
	}
	if (m < 3)
		return false;

	// Edges and area with a margin over the library's own asserts.
	const float eps = 4.f * b2_epsilon;
	float area = 0.f;
	const b2Vec2 s = ps[hull[0]];
	for (int i = 0; i < m; ++i)
	{
		const b2Vec2 a = ps[hull[i]];
		const b2Vec2 b = ps[hull[(i + 1) % m]];
		if ((b - a).LengthSquared() <= eps * eps)
			return false;
		area += 0.5f * b2Cross(a - s, b - s);
	}
	return area > eps;
}
}
