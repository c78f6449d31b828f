#include "b2Triangle.h"

b2Triangle::b2Triangle() : x{0.f, 0.f, 0.f}, y{0.f, 0.f, 0.f}
{
}

b2Triangle::b2Triangle(float x1, float y1, float x2, float y2, float x3, float y3)
{
	const float cross = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
	x[0] = x1;
	y[0] = y1;
	if (cross > 0.f)
	{
		x[1] = x2; y[1] = y2;
		x[2] = x3; y[2] = y3;
	}
	else
	{
		x[1] = x3; y[1] = y3;
		x[2] = x2; y[2] = y2;
	}
}

void b2Triangle::Set(const b2Triangle& other)
{
	for (int i = 0; i < 3; ++i)
	{
		x[i] = other.x[i];
		y[i] = other.y[i];
	}
}

bool b2Triangle::IsInside(float px, float py) const
{
	if ((px < x[0] && px < x[1] && px < x[2]) || (px > x[0] && px > x[1] && px > x[2]))
		return false;
	if ((py < y[0] && py < y[1] && py < y[2]) || (py > y[0] && py > y[1] && py > y[2]))
		return false;
	const float vx2 = px - x[0], vy2 = py - y[0];
	const float vx1 = x[1] - x[0], vy1 = y[1] - y[0];
	const float vx0 = x[2] - x[0], vy0 = y[2] - y[0];
	const float dot00 = vx0 * vx0 + vy0 * vy0;
	const float dot01 = vx0 * vx1 + vy0 * vy1;
	const float dot02 = vx0 * vx2 + vy0 * vy2;
	const float dot11 = vx1 * vx1 + vy1 * vy1;
	const float dot12 = vx1 * vx2 + vy1 * vy2;
	const float inv = 1.f / (dot00 * dot11 - dot01 * dot01);
	const float u = (dot11 * dot02 - dot01 * dot12) * inv;
	const float v = (dot00 * dot12 - dot01 * dot02) * inv;
	return u >= 0.f && v >= 0.f && u + v <= 1.f;
}
