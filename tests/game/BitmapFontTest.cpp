#include "GameTestSupport.h"
#include <game/BitmapFont.h>
#include <climits>

using namespace gametest;
using game::Anchor;

namespace
{
// A (10 x 12, baseline 10), g (8 x 14, baseline 9), e acute (9 x 12, baseline 10); tracking 2.
qf3d::FontRecord font()
{
	qf3d::FontRecord f;
	f.image = "font.png";
	f.leading = 16;
	f.tracking = 2;
	f.glyphs = {{'A', 0, 0, 10, 12, 10}, {'g', 10, 0, 8, 14, 9}, {233, 20, 0, 9, 12, 10}};
	return f;
}

class Fonts : public ::testing::Test
{
protected:
	lang::Ptr<game::BitmapFont> load(const qf3d::Layout& layout = qf3d::Layout())
	{
		::mkdir((m_bundle.path() + "/fonts").c_str(), 0700);
		m_bundle.image("fonts/font.png", 64, 16);
		m_bundle.write("fonts/f.font", qf3d::encodeFont(font(), layout));
		return new game::BitmapFont(&m_ctx, "fonts/f.font");
	}
	std::vector<float> xs() const
	{
		std::vector<float> out;
		for (const Draw& d : m_ctx.draws)
			out.push_back(d.x);
		return out;
	}

	Bundle m_bundle;
	RecordingContext m_ctx;
};
}

TEST_F(Fonts, MetricsAndWidths)
{
	for (bool untagged : {false, true})
	{
		qf3d::Layout layout;
		layout.untagged = untagged;
		lang::Ptr<game::BitmapFont> f = load(layout);
		EXPECT_EQ(f->getMaxAscending(), 10);
		EXPECT_EQ(f->getMaxDescending(), 5);
		EXPECT_EQ(f->getLeading(), 16);
		EXPECT_EQ(f->getTracking(), 2);
		struct Case
		{
			const char* text;
			int begin, count, width;
		} cases[] = {
			{"Ag", 0, INT_MAX, 20},
			{"A", 0, INT_MAX, 10},
			{"", 0, INT_MAX, 0},
			{"A?g", 0, INT_MAX, 20},   // a character without a glyph takes no tracking
			{"??", 0, INT_MAX, 0},     // nor makes a line narrower than nothing
			{"AgA", 1, 1, 8},
			{"AgA", 1, 99, 20},
			{"AgA", -5, 1, 10},        // a begin below 0 counts as 0
			{"AgA", 5, 1, 0},
			{"AgA", 0, 0, 0},
			{"AgA", 2, INT_MAX, 10},   // no overflow of begin + count
			{"\xC3\xA9g", 0, INT_MAX, 19}, // e acute is one unit
		};
		for (const Case& c : cases)
			EXPECT_EQ(f->getStringWidth(c.text, c.begin, c.count), c.width) << c.text << " " << c.begin << " " << c.count;
		EXPECT_EQ(f->filter("A?g\xC3\xA9!"), "Ag\xC3\xA9");
		EXPECT_EQ(f->getGlyph(233)->getWidth(), 9);
	}
}

TEST_F(Fonts, DrawingAdvancesOnlyOverGlyphs)
{
	lang::Ptr<game::BitmapFont> f = load();
	f->drawString(&m_ctx, "A?g", 100.f, 50.f, Anchor(Anchor::BASELINE, Anchor::LEFT));
	ASSERT_EQ(m_ctx.draws.size(), 2u);
	EXPECT_EQ(xs(), (std::vector<float>{100.f, 112.f}));
	EXPECT_EQ(m_ctx.draws[0].y, 40.f); // baseline 10 lands on y
	EXPECT_EQ(m_ctx.draws[1].y, 41.f);

	// Empty ranges draw nothing.
	m_ctx.draws.clear();
	f->drawString(&m_ctx, "AgA", 5, 1, 0.f, 0.f, Anchor());
	f->drawString(&m_ctx, "AgA", 1, 0, 0.f, 0.f, Anchor());
	f->drawString(&m_ctx, "", 0.f, 0.f, Anchor());
	EXPECT_TRUE(m_ctx.draws.empty());
	f->drawString(&m_ctx, "AgA", -3, 2, 0.f, 0.f, Anchor());
	EXPECT_EQ(xs(), (std::vector<float>{0.f, 12.f}));
}

TEST_F(Fonts, AnchorsMoveTheBaselineAndTheStart)
{
	lang::Ptr<game::BitmapFont> f = load();
	// Width of "Ag" is 20; ascending 10, descending 5.
	struct Case
	{
		int v, h;
		float x, baseline;
	} cases[] = {
		{Anchor::TOP, Anchor::LEFT, 100, 60},
		{Anchor::VCENTER, Anchor::HCENTER, 90, 53},
		{Anchor::BOTTOM, Anchor::RIGHT, 80, 45},
		{Anchor::BASELINE, Anchor::HPIVOT, 100, 50},
		{Anchor::VPIVOT, Anchor::LEFT, 100, 50},
	};
	for (const Case& c : cases)
	{
		m_ctx.draws.clear();
		f->drawString(&m_ctx, "Ag", 100.f, 50.f, Anchor(c.v, c.h));
		ASSERT_EQ(m_ctx.draws.size(), 2u);
		EXPECT_EQ(m_ctx.draws[0].x, c.x) << c.v << "," << c.h;
		EXPECT_EQ(m_ctx.draws[0].y + 10.f, c.baseline) << c.v << "," << c.h;
	}
}

TEST_F(Fonts, GlyphsOutliveAReplacedSheet)
{
	// Two FONT chunks: the second makes a new sheet; glyphs of the first stay drawable.
	::mkdir((m_bundle.path() + "/fonts").c_str(), 0700);
	m_bundle.image("fonts/font.png", 64, 16);
	qf3d::FontRecord second = font();
	second.glyphs = {{'B', 0, 0, 7, 12, 10}};
	m_bundle.write("fonts/f.font", qf3d::container({qf3d::versioned(qf3d::Tag::FONT, 1, qf3d::fontBody(font())),
		qf3d::versioned(qf3d::Tag::FONT, 1, qf3d::fontBody(second))}));
	lang::Ptr<game::BitmapFont> f = new game::BitmapFont(&m_ctx, "fonts/f.font");
	f->drawString(&m_ctx, "AB", 0.f, 0.f, Anchor());
	EXPECT_EQ(xs(), (std::vector<float>{0.f, 12.f}));
	lang::Ptr<game::IFont> asInterface = f.ptr();
	EXPECT_EQ(asInterface->getStringWidth("AB", 0, 2), 19);
}

// Version 2 glyphs carry their box's offset from the pen and their advance: a zero-advance mark
// is drawn left of the pen and moves nothing, and the width is the pen's travel.
TEST_F(Fonts, GlyphOffsetsAndAdvances)
{
	qf3d::FontRecord f = font();
	f.tracking = 0;
	f.glyphs = {{'A', 0, 0, 12, 12, 10, -1, 10}, {'g', 12, 0, 8, 14, 9, 1, 9}, {0x301, 20, 0, 5, 3, 13, -7, 0}};
	qf3d::Layout v2;
	v2.version = 2;
	::mkdir((m_bundle.path() + "/fonts").c_str(), 0700);
	m_bundle.image("fonts/font.png", 64, 16);
	m_bundle.write("fonts/f.font", qf3d::encodeFont(f, v2));
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(&m_ctx, "fonts/f.font");
	EXPECT_EQ(font->getAdvance('A'), 10);
	EXPECT_EQ(font->getAdvance('?'), 0);
	EXPECT_EQ(font->getStringWidth("Ag", 0, INT_MAX), 19);
	EXPECT_EQ(font->getStringWidth("A\xCC\x81g", 0, INT_MAX), 19) << "the mark adds nothing";
	font->drawString(&m_ctx, "A\xCC\x81g", 100.f, 50.f, Anchor(Anchor::BASELINE, Anchor::LEFT));
	EXPECT_EQ(xs(), (std::vector<float>{99.f, 103.f, 111.f}));
	m_ctx.draws.clear();
	font->drawString(&m_ctx, "Ag", 100.f, 50.f, Anchor(Anchor::BASELINE, Anchor::RIGHT));
	EXPECT_EQ(xs(), (std::vector<float>{80.f, 92.f}));
}

// A U+FFFF record holds the face's line: anchors follow it, not the tallest glyph.
TEST_F(Fonts, TheLineBoxPlacesTheAnchors)
{
	qf3d::FontRecord f = font();
	f.glyphs.push_back({0xFFFF, 0, 0, 0, 11, 8});
	::mkdir((m_bundle.path() + "/fonts").c_str(), 0700);
	m_bundle.image("fonts/font.png", 64, 16);
	m_bundle.write("fonts/f.font", qf3d::encodeFont(f));
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(&m_ctx, "fonts/f.font");
	EXPECT_EQ(font->getMaxAscending(), 8);
	EXPECT_EQ(font->getMaxDescending(), 3);
	const struct
	{
		int v;
		float baseline;
	} cases[] = {{Anchor::TOP, 58}, {Anchor::VCENTER, 53}, {Anchor::BOTTOM, 47}, {Anchor::BASELINE, 50}};
	for (const auto& c : cases)
	{
		m_ctx.draws.clear();
		font->drawString(&m_ctx, "A", 100.f, 50.f, Anchor(c.v, Anchor::LEFT));
		ASSERT_EQ(m_ctx.draws.size(), 1u);
		EXPECT_EQ(m_ctx.draws[0].y + 10.f, c.baseline) << c.v;
	}
}
