#ifndef GAME_BITMAPFONT_H
#define GAME_BITMAPFONT_H

#include <game/IFont.h>
#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <lang/Ptr.h>
#include <map>
#include <string>

namespace gr
{
class Context;
}

namespace game
{
/**
 * Text drawn from glyph sprites of one image, keyed by UTF-16 code unit, on a common baseline.
 * A character without a glyph takes no room: no advance and no tracking. A font may carry a
 * zero-wide U+FFFF glyph whose pivot and height give the face's ascent and descent, which then
 * place the anchors whatever the tallest glyph.
 */
class BitmapFont : public IFont
{
public:
	/** Loads a font file of the bundle ("FONT" chunks or the untagged layout); its image is looked up beside it. */
	BitmapFont(gr::Context* context, const std::string& fileName);
	~BitmapFont() override;

	void drawString(gr::Context* context, const std::string& text, float x, float y, Anchor anchor) override;
	void drawString(gr::Context* context, const std::string& text, int begin, int count, float x, float y, Anchor anchor) override;
	/** Draws count units of UTF-16 text from begin; the caller keeps the range inside the text. */
	void drawString(gr::Context* context, const unsigned short* text, int begin, int count, float x, float y, Anchor anchor);
	std::string filter(const std::string& text) override;
	int getStringWidth(const std::string& text, int begin, int count) override;
	int getMaxAscending() override { return m_maxAscending; }
	int getMaxDescending() override { return m_maxDescending; }
	int getLeading() override { return m_leading; }
	int getTracking() override { return m_tracking; }

	/** The glyph of a UTF-16 code unit, or null. */
	Sprite* getGlyph(unsigned short code) const;
	/** How far the pen moves over the glyph of a code unit, before tracking; 0 without a glyph. */
	int getAdvance(unsigned short code) const;

private:
	struct Glyph
	{
		lang::Ptr<Sprite> sprite;
		int advance;
	};
	std::map<unsigned short, Glyph> m_glyphs;
	lang::Ptr<SpriteSheet> m_sheet;
	int m_tracking;
	int m_maxAscending;
	int m_maxDescending;
	int m_leading;

	int width(const unsigned short* text, int begin, int count) const;
};
}

#endif
