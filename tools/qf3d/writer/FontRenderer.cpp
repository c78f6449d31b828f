#include "Tool.h"
#include <ft2build.h>
#include FT_FREETYPE_H
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qf3d
{
namespace
{
struct Library
{
	FT_Library lib = nullptr;
	FT_Face face = nullptr;
	~Library()
	{
		if (face)
			FT_Done_Face(face);
		if (lib)
			FT_Done_FreeType(lib);
	}
};
}

std::string defaultFontFile()
{
	return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

uint32_t premultiplied(const Colour& c, float coverage)
{
	// The 2-D effects blend ONE, ONE_MINUS_SRC_ALPHA: colour must already carry its alpha.
	const float a = std::min(std::max(c.a * coverage, 0.f), 255.f);
	auto ch = [a](float v) { return uint32_t(std::lround(std::min(std::max(v, 0.f), 255.f) * a / 255.f)); };
	return uint32_t(std::lround(a)) << 24 | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
}

RenderedFont renderFont(const std::string& fontFile, int pixelSize, const Colour& colour, const std::vector<int>& codes)
{
	Library ft;
	if (FT_Init_FreeType(&ft.lib))
		throw std::runtime_error("FreeType cannot start");
	if (FT_New_Face(ft.lib, fontFile.c_str(), 0, &ft.face))
		throw std::runtime_error("cannot open the font file " + fontFile);
	if (pixelSize < 4 || pixelSize > 256 || FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(pixelSize)))
		throw std::runtime_error("cannot use the size " + std::to_string(pixelSize));
	const FT_Size_Metrics& m = ft.face->size->metrics;
	RenderedFont out;
	out.face = std::string(ft.face->family_name ? ft.face->family_name : "?") + (ft.face->style_name ? std::string(" ") + ft.face->style_name : "");
	out.ascender = int(std::ceil(m.ascender / 64.0));
	out.descender = int(std::ceil(-m.descender / 64.0));
	out.leading = int(std::lround(m.height / 64.0));
	for (int code : codes)
	{
		if (FT_Get_Char_Index(ft.face, FT_ULong(code)) == 0)
		{
			out.missing.push_back(code);
			continue;
		}
		if (FT_Load_Char(ft.face, FT_ULong(code), FT_LOAD_RENDER))
			throw std::runtime_error("cannot render the character " + std::to_string(code));
		const FT_GlyphSlot g = ft.face->glyph;
		const FT_Bitmap& b = g->bitmap;
		auto cover = [&b](int col, int row) { return b.buffer[long(row) * b.pitch + long(col)]; };
		// Trim the bitmap to the pixels with any coverage.
		int x0 = int(b.width), x1 = -1, y0 = int(b.rows), y1 = -1;
		for (int row = 0; row < int(b.rows); ++row)
			for (int col = 0; col < int(b.width); ++col)
				if (cover(col, row))
				{
					x0 = std::min(x0, col), x1 = std::max(x1, col);
					y0 = std::min(y0, row), y1 = std::max(y1, row);
				}
		RenderedGlyph glyph{code, Bitmap(), 0, 0, int(std::lround(g->advance.x / 64.0))};
		if (x1 >= 0)
		{
			glyph.ink = Bitmap(x1 - x0 + 1, y1 - y0 + 1);
			glyph.left = g->bitmap_left + x0;
			glyph.top = g->bitmap_top - y0;
			for (int row = y0; row <= y1; ++row)
				for (int col = x0; col <= x1; ++col)
					if (const unsigned char c = cover(col, row))
						glyph.ink.at(col - x0, row - y0) = premultiplied(colour, c / 255.f);
		}
		out.glyphs.push_back(std::move(glyph));
	}
	return out;
}
}
