#include "Tool.h"
#include <ft2build.h>
#include FT_FREETYPE_H
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
	const int ascender = int(std::ceil(m.ascender / 64.0));
	const int descender = int(std::ceil(-m.descender / 64.0));
	RenderedFont out;
	out.leading = int(std::lround(m.height / 64.0));
	for (int code : codes)
	{
		if (FT_Load_Char(ft.face, FT_ULong(code), FT_LOAD_RENDER))
			throw std::runtime_error("cannot render the character " + std::to_string(code));
		const FT_GlyphSlot g = ft.face->glyph;
		const int advance = int(std::lround(g->advance.x / 64.0));
		RenderedGlyph glyph{code, Bitmap(std::max(advance, 1), ascender + descender), ascender};
		const FT_Bitmap& b = g->bitmap;
		for (unsigned row = 0; row < b.rows; ++row)
		{
			const int y = ascender - g->bitmap_top + int(row);
			if (y < 0 || y >= glyph.cell.height)
				continue;
			for (unsigned col = 0; col < b.width; ++col)
			{
				const int x = g->bitmap_left + int(col);
				if (x < 0 || x >= glyph.cell.width)
					continue;
				const unsigned char cover = b.buffer[long(row) * b.pitch + long(col)];
				if (cover)
					glyph.cell.at(x, y) = uint32_t(std::lround(colour.a * cover / 255.f)) << 24 | uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | uint32_t(colour.b);
			}
		}
		out.glyphs.push_back(glyph);
	}
	return out;
}
}
