#include "GameTestSupport.h"
#include <game/SpriteSheet.h>

using namespace gametest;
using game::Anchor;

namespace
{
qf3d::SheetRecord twoSprites()
{
	qf3d::SheetRecord s;
	s.image = "sheet.png";
	s.sprites = {{"a", 0, 0, 31, 20, 10, 20}, {"b", 32, 16, 16, 16, 0, 0}};
	return s;
}
}

TEST(Anchor, FromStringSetsOneComponent)
{
	Anchor a(Anchor::TOP, Anchor::LEFT);
	a.fromString("HPIVOT");
	EXPECT_EQ(a, Anchor(Anchor::TOP, Anchor::HPIVOT));
	a.fromString("");
	a.fromString(nullptr);
	EXPECT_EQ(a, Anchor(Anchor::TOP, Anchor::HPIVOT));
	a.fromString("BASELINE");
	EXPECT_EQ(a, Anchor(Anchor::BASELINE, Anchor::HPIVOT));
	EXPECT_EQ(thrownMessage([&] { a.fromString("MIDDLE"); }), "Invalid anchor: MIDDLE");
	EXPECT_EQ(a, Anchor(Anchor::BASELINE, Anchor::HPIVOT));
}

TEST(Sprite, AnchorsMoveTheDrawingPosition)
{
	Bundle bundle;
	bundle.image("sheet.png", 64, 64);
	bundle.write("s.sheet", qf3d::encodeSheet(twoSprites()));
	RecordingContext ctx;
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "s.sheet");
	game::Sprite* a = sheet->getSprite("a"); // 31 x 20, pivot (10, 20)
	ASSERT_TRUE(a);
	struct Case
	{
		int v, h;
		float x, y;
	} cases[] = {
		{Anchor::TOP, Anchor::LEFT, 100, 100},
		{Anchor::VCENTER, Anchor::HCENTER, 85, 90},
		{Anchor::BOTTOM, Anchor::RIGHT, 69, 80},
		{Anchor::BASELINE, Anchor::HPIVOT, 90, 80},
		{Anchor::VPIVOT, Anchor::HPIVOT, 90, 80},
	};
	for (const Case& c : cases)
	{
		ctx.draws.clear();
		a->draw(&ctx, 100.f, 100.f, Anchor(c.v, c.h));
		ASSERT_EQ(ctx.draws.size(), 1u);
		EXPECT_EQ(ctx.draws[0].x, c.x) << c.v << "," << c.h;
		EXPECT_EQ(ctx.draws[0].y, c.y) << c.v << "," << c.h;
		EXPECT_EQ(ctx.draws[0].w, 31.f);
		EXPECT_EQ(ctx.draws[0].h, 20.f);
	}
	// Scaled: the anchor still uses the sprite's own size.
	ctx.draws.clear();
	a->draw(&ctx, 100.f, 100.f, 62.f, 40.f, Anchor(Anchor::BOTTOM, Anchor::HCENTER));
	EXPECT_EQ(ctx.draws[0].x, 85.f);
	EXPECT_EQ(ctx.draws[0].y, 80.f);
	EXPECT_EQ(ctx.draws[0].w, 62.f);

	// Texture coordinates over the 64 x 64 image: corners top-left, top-right, bottom-left, bottom-right.
	const math::float2* uv = sheet->getSprite("b")->getTextureCoordinates();
	EXPECT_EQ(uv[0].x, 0.5f);
	EXPECT_EQ(uv[0].y, 0.25f);
	EXPECT_EQ(uv[1].x, 0.75f);
	EXPECT_EQ(uv[2].y, 0.5f);
	EXPECT_EQ(uv[3].x, 0.75f);
	EXPECT_EQ(uv[3].y, 0.5f);
}

TEST(Sprite, TransformedCornersDrawWithTheSpriteCoordinates)
{
	Bundle bundle;
	bundle.image("sheet.png", 64, 64);
	RecordingContext ctx;
	lang::Ptr<gr::Image> image = ctx.createImagefromBundle("sheet.png");
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(image);
	game::Sprite* s = sheet->createSprite("s", 0, 0, 32, 32, 0, 0);
	game::Transform t;
	t.tm(0, 3) = 5.f, t.tm(1, 3) = 7.f, t.tm(2, 3) = 9.f;
	const math::float2 corners[4] = {{0, 0}, {10, 0}, {0, 10}, {10, 10}};
	s->draw(&ctx, t, corners, nullptr, nullptr);
	t.mode = 1;
	s->draw(&ctx, t, corners, nullptr, nullptr);
	ASSERT_EQ(ctx.draws.size(), 2u);
	EXPECT_TRUE(ctx.draws[0].corners);
	EXPECT_EQ(ctx.draws[0].p[3].x, 15.f);
	EXPECT_EQ(ctx.draws[0].p[3].y, 17.f);
	EXPECT_EQ(ctx.draws[0].p[3].z, 0.f); // the plain 2-D form drops z
	EXPECT_EQ(ctx.draws[1].p[3].z, 9.f);
	EXPECT_EQ(ctx.draws[1].uv[3].x, 0.5f);
}

TEST(SpriteSheet, LayoutsReadTheSameSprites)
{
	for (const NamedLayout& c : readableLayouts())
	{
		Bundle bundle;
		::mkdir((bundle.path() + "/img").c_str(), 0700);
		bundle.image("img/sheet.png", 64, 64);
		bundle.write("img/s.sheet", qf3d::encodeSheet(twoSprites(), c.layout));
		RecordingContext ctx;
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "img/s.sheet");
		ASSERT_EQ(sheet->getSprites().size(), 2u) << c.name;
		const game::Sprite* b = sheet->getSprite("b");
		EXPECT_EQ(b->getPositionInSheetX(), 32);
		EXPECT_EQ(b->getPositionInSheetY(), 16);
		EXPECT_EQ(b->getWidth(), 16);
		EXPECT_EQ(sheet->getSprite("a")->getPivotY(), 20);
		EXPECT_EQ(b->getSheet(), sheet.ptr());
		EXPECT_EQ(sheet->getImage()->width(), 64);
		EXPECT_EQ(sheet->getSprite("c"), nullptr);
	}
}

TEST(SpriteSheet, ChunksOfOtherVersionsAreSkippedAndLaterNamesReplace)
{
	Bundle bundle;
	bundle.image("one.png", 16, 16);
	bundle.image("two.png", 32, 32);
	qf3d::SheetRecord first = {"one.png", {{"x", 0, 0, 4, 4, 0, 0}, {"x", 1, 1, 5, 5, 0, 0}}};
	qf3d::SheetRecord skipped = {"missing.png", {{"y", 0, 0, 1, 1, 0, 0}}};
	qf3d::SheetRecord second = {"two.png", {{"z", 0, 0, 8, 8, 0, 0}}};
	bundle.write("s.sheet", qf3d::container({qf3d::versioned(qf3d::Tag::SPRT, 1, qf3d::sheetBody(first)),
		qf3d::versioned(qf3d::Tag::SPRT, 9, qf3d::sheetBody(skipped)), {0x41424344, qf3d::Bytes(12, 0)},
		qf3d::versioned(qf3d::Tag::SPRT, 1, qf3d::sheetBody(second))}));
	RecordingContext ctx;
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "s.sheet");
	EXPECT_EQ(sheet->getSprites().size(), 2u);
	EXPECT_EQ(sheet->getSprite("x")->getWidth(), 5); // the second x replaced the first
	EXPECT_EQ(sheet->getSprite("y"), nullptr);
	EXPECT_EQ(sheet->getImage()->width(), 32); // a later chunk's image replaces the sheet image
	// Sprites keep the image they were cut from.
	EXPECT_EQ(sheet->getSprite("x")->getImage()->width(), 16);
}

TEST(SpriteSheet, SpritesOutliveTheirSheet)
{
	Bundle bundle;
	bundle.image("sheet.png", 64, 64);
	bundle.write("s.sheet", qf3d::encodeSheet(twoSprites()));
	RecordingContext ctx;
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "s.sheet");
	lang::Ptr<game::Sprite> a = sheet->getSprite("a");
	lang::Ptr<game::Sprite> replaced = sheet->createSprite("b", 0, 0, 2, 2, 0, 0);
	lang::Ptr<game::Sprite> old = sheet->getSprite("b");
	sheet->createSprite("b", 0, 0, 3, 3, 0, 0);
	EXPECT_EQ(old->getSheet(), nullptr);
	EXPECT_EQ(old->getWidth(), 2);
	sheet = nullptr;
	EXPECT_EQ(a->getSheet(), nullptr);
	a->draw(&ctx, 0.f, 0.f, Anchor());
	ASSERT_EQ(ctx.draws.size(), 1u);
	EXPECT_EQ(ctx.draws[0].image, "sheet.png");
}

TEST(SpriteSheet, MissingFileOrImageThrowsNamingIt)
{
	Bundle bundle;
	bundle.write("s.sheet", qf3d::encodeSheet(twoSprites()));
	RecordingContext ctx;
	EXPECT_NE(thrownMessage([&] { game::SpriteSheet(&ctx, "none.sheet"); }).find("none.sheet"), std::string::npos);
	EXPECT_NE(thrownMessage([&] { game::SpriteSheet(&ctx, "s.sheet"); }).find("sheet.png"), std::string::npos);
}
