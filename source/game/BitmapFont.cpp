#include "ContentFile.h"
#include <game/BitmapFont.h>
#include <gr/Context.h>
#include <io/PathName.h>
#include <lang/assert.h>
#include <lang/string.h>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace game
{
namespace
{
/** The noncharacter whose record holds the face's ascent and descent. */
const unsigned short LINE_BOX = 0xFFFF;

// Clamps a range to a text of length units: begin below 0 counts as 0, past the end as
// the end; count is cut to what is left. Written so that no sum overflows.
void clampRange(int length, int& begin, int& count)
{
	if (begin < 0)
		begin = 0;
	if (begin > length)
		begin = length;
	if (count > length - begin)
		count = length - begin;
}
}

BitmapFont::BitmapFont(gr::Context* context, const std::string& fileName) :
	m_tracking(0),
	m_maxAscending(0),
	m_maxDescending(0),
	m_leading(0)
{
	ContentFile file(fileName);
	io::DataInputStream& in = file.in();
	const std::string dir = io::PathName(fileName).parent().toString();
	// Version 1: the box starts at the pen and its width is the advance. Version 2 adds each
	// glyph's box offset from the pen and its advance, so ink may reach left of the pen.
	auto readFont = [&](int version) {
		const std::string imageName = in.readUTF();
		lang::Ptr<gr::Image> image = context->createImagefromBundle(io::PathName(dir, imageName).toString());
		m_sheet = new SpriteSheet(image);
		m_leading = in.readShort();
		m_tracking = in.readShort();
		const int count = in.readShort();
		for (int i = 0; i < count; ++i)
		{
			const unsigned short code = static_cast<unsigned short>(in.readShort());
			const int x = in.readShort(), y = in.readShort(), w = in.readShort(), h = in.readShort();
			const int baseline = in.readShort();
			const int left = version >= 2 ? in.readShort() : 0;
			const int advance = version >= 2 ? in.readShort() : w;
			m_maxAscending = std::max(m_maxAscending, baseline);
			m_maxDescending = std::max(m_maxDescending, h - baseline);
			char name[8];
			std::snprintf(name, sizeof name, "%u", unsigned(code));
			m_glyphs[code] = Glyph{m_sheet->createSprite(name, x, y, w, h, -left, baseline), advance};
		}
	};
	if (!file.readHeader())
		readFont(1);
	else
	{
		while (const int version = file.nextChunkOf(ContentTag::FONT, 1, 2))
			readFont(version);
	}
	if (const Sprite* line = getGlyph(LINE_BOX))
	{
		m_maxAscending = line->getPivotY();
		m_maxDescending = line->getHeight() - line->getPivotY();
	}
}

BitmapFont::~BitmapFont() {}

Sprite* BitmapFont::getGlyph(unsigned short code) const
{
	auto it = m_glyphs.find(code);
	return it == m_glyphs.end() ? nullptr : it->second.sprite.ptr();
}

int BitmapFont::getAdvance(unsigned short code) const
{
	auto it = m_glyphs.find(code);
	return it == m_glyphs.end() ? 0 : it->second.advance;
}

void BitmapFont::drawString(gr::Context* context, const std::string& text, float x, float y, Anchor anchor)
{
	drawString(context, text, 0, INT_MAX, x, y, anchor);
}

void BitmapFont::drawString(gr::Context* context, const std::string& text, int begin, int count, float x, float y, Anchor anchor)
{
	if (text.empty())
		return;
	const std::basic_string<unsigned short> units = lang::string::toUTF16string(text);
	clampRange(int(units.size()), begin, count);
	drawString(context, units.c_str(), begin, count, x, y, anchor);
}

int BitmapFont::width(const unsigned short* text, int begin, int count) const
{
	// The pen's travel: tracking only between glyphs that are there, so characters the font
	// lacks (names and chat the game did not know) neither widen nor shrink a line.
	int w = 0, glyphs = 0;
	for (int i = begin; i < begin + count; ++i)
	{
		auto it = m_glyphs.find(text[i]);
		if (it != m_glyphs.end())
			w += it->second.advance, ++glyphs;
	}
	return glyphs ? w + m_tracking * (glyphs - 1) : 0;
}

void BitmapFont::drawString(gr::Context* context, const unsigned short* text, int begin, int count, float x, float y, Anchor anchor)
{
	LANG_ASSERT(text);
	if (count < 1)
		return;
	switch (anchor.vertical)
	{
	case Anchor::TOP: y += float(m_maxAscending); break;
	case Anchor::VCENTER: y += float(m_maxAscending - ((m_maxDescending + m_maxAscending) >> 1)); break;
	case Anchor::BOTTOM: y -= float(m_maxDescending); break;
	default: break;
	}
	if (anchor.horizontal == Anchor::HCENTER)
		x -= float(width(text, begin, count) >> 1);
	else if (anchor.horizontal == Anchor::RIGHT)
		x -= float(width(text, begin, count));
	const Anchor pivot(Anchor::VPIVOT, Anchor::HPIVOT);
	for (int i = begin; i < begin + count; ++i)
	{
		auto it = m_glyphs.find(text[i]);
		if (it != m_glyphs.end())
		{
			it->second.sprite->draw(context, x, y, pivot);
			x += float(it->second.advance + m_tracking);
		}
	}
}

std::string BitmapFont::filter(const std::string& text)
{
	const std::basic_string<unsigned short> units = lang::string::toUTF16string(text);
	std::basic_string<unsigned short> kept;
	kept.reserve(units.size());
	for (unsigned short u : units)
	{
		if (getGlyph(u))
			kept.push_back(u);
	}
	return lang::string::toUTF8string(kept);
}

int BitmapFont::getStringWidth(const std::string& text, int begin, int count)
{
	if (text.empty())
		return 0;
	const std::basic_string<unsigned short> units = lang::string::toUTF16string(text);
	clampRange(int(units.size()), begin, count);
	if (count < 1)
		return 0;
	return width(units.c_str(), begin, count);
}
}
