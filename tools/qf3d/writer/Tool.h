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

/** Packs a colour at a coverage of 0 to 1 as 0xAARRGGBB with premultiplied colour. */
uint32_t premultiplied(const Colour& colour, float coverage);

/** One glyph's ink, trimmed to the pixels it covers. */
struct RenderedGlyph
{
	int code;
	/** The ink box; empty for a glyph without ink (a space). */
	Bitmap ink;
	/** The ink box's left edge right of the pen, and its top edge above the baseline. */
	int left;
	int top;
	/** Whole pixels the pen moves. */
	int advance;
};

struct RenderedFont
{
	/** "Family Style" of the face. */
	std::string face;
	int leading = 0;
	/** The line's extent above and below the baseline, whole pixels. */
	int ascender = 0;
	int descender = 0;
	std::vector<RenderedGlyph> glyphs;
	/** Characters the face has no glyph for, in the order asked. */
	std::vector<int> missing;
};

/**
 * Renders glyphs with FreeType, antialiased, in one colour. Characters the face lacks are
 * listed in missing, not rendered. Throws std::runtime_error when FreeType fails.
 */
RenderedFont renderFont(const std::string& fontFile, int pixelSize, const Colour& colour, const std::vector<int>& codes);
}

#endif
