#include "Tool.h"
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qf3d
{
namespace
{
// Signed distance to a rectangle of half size (hw, hh) with corner radius r, centred at 0.
float roundedBox(float x, float y, float hw, float hh, float r)
{
	const float qx = std::fabs(x) - hw + r, qy = std::fabs(y) - hh + r;
	const float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
	return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.f) - r;
}
}

Bitmap drawShape(const Shape& s)
{
	if (s.width <= 0 || s.height <= 0 || s.width > 4096 || s.height > 4096)
		throw std::invalid_argument("a size of 1 to 4096 pixels is needed");
	const float hw = s.width * 0.5f, hh = s.height * 0.5f;
	float radius = 0.f;
	bool round = false;
	if (s.kind == "rect" || s.kind == "gradient")
		radius = 0.f;
	else if (s.kind == "roundrect")
		radius = std::min(std::max(s.radius, 0.f), std::min(hw, hh));
	else if (s.kind == "circle" || s.kind == "ring")
		radius = std::min(hw, hh), round = true;
	else
		throw std::invalid_argument("unknown shape \"" + s.kind + "\"");
	if (s.kind == "ring" && s.thickness <= 0.f)
		throw std::invalid_argument("a ring needs a thickness above 0");
	// Inside test at one point; rings and outlines are bands inside the edge.
	auto inside = [&](float x, float y) {
		const float d = round ? std::sqrt(x * x + y * y) - radius : roundedBox(x, y, hw, hh, radius);
		if (d > 0.f)
			return false;
		const float band = s.kind == "ring" ? s.thickness : s.outline;
		return band <= 0.f || d > -band;
	};
	Bitmap out(s.width, s.height);
	const int N = 4;
	for (int y = 0; y < s.height; ++y)
	{
		for (int x = 0; x < s.width; ++x)
		{
			int hits = 0;
			for (int j = 0; j < N; ++j)
				for (int i = 0; i < N; ++i)
					hits += inside(x + (i + 0.5f) / N - hw, y + (j + 0.5f) / N - hh);
			Colour c = s.colour;
			if (s.gradient)
			{
				const float t = s.vertical ? (s.height > 1 ? float(y) / float(s.height - 1) : 0.f) : (s.width > 1 ? float(x) / float(s.width - 1) : 0.f);
				c.r = s.from.r + (s.to.r - s.from.r) * t;
				c.g = s.from.g + (s.to.g - s.from.g) * t;
				c.b = s.from.b + (s.to.b - s.from.b) * t;
				c.a = s.from.a + (s.to.a - s.from.a) * t;
			}
			out.at(x, y) = hits ? premultiplied(c, float(hits) / float(N * N)) : 0u;
		}
	}
	return out;
}
}
