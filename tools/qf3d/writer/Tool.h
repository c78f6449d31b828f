#ifndef QF3D_TOOL_H
#define QF3D_TOOL_H

#include <qf3d/Build.h>
#include <string>
#include <vector>

namespace qf3d
{
/** Channels 0 to 255. */
struct Colour
{
	float r = 255, g = 255, b = 255, a = 255;
};

struct Shape
{
	/** "rect", "roundrect", "circle", "ring" or "gradient" (a rectangle). */
	std::string kind;
	int width = 0;
	int height = 0;
	float radius = 0;
	/** Ring width. */
	float thickness = 0;
	/** Outline width; 0 fills. */
	float outline = 0;
	Colour colour;
	bool gradient = false;
	Colour from, to;
	bool vertical = true;
};

/** Draws a shape anti-aliased into a bitmap of its size; throws std::invalid_argument on a bad shape. */
Bitmap drawShape(const Shape& shape);

struct RenderedGlyph
{
	int code;
	Bitmap cell;
	int baseline;
};

struct RenderedFont
{
	int leading = 0;
	std::vector<RenderedGlyph> glyphs;
};

/**
 * Renders glyphs with FreeType: each cell is the glyph's advance wide and the line height
 * tall, with the baseline at the ascender. Throws std::runtime_error when FreeType fails.
 */
RenderedFont renderFont(const std::string& fontFile, int pixelSize, const Colour& colour, const std::vector<int>& codes);
}

#endif
