#include "GameTestSupport.h"
#include <game/CompoSpriteSet.h>
#include <game/SpriteSheet.h>
#include <io/ByteArrayInputStream.h>
#include <cmath>

using namespace gametest;
using game::Anchor;

namespace
{
class SheetProvider : public game::SpriteProvider
{
public:
	lang::Ptr<game::SpriteSheet> sheet;
	game::Sprite* getSprite(const std::string& name) override { return sheet->getSprite(name); }
};

class CompoSprites : public ::testing::Test
{
protected:
	void SetUp() override
	{
		m_bundle.image("sheet.png", 64, 64);
		m_image = m_ctx.createImagefromBundle("sheet.png");
		m_provider.sheet = new game::SpriteSheet(m_image);
		m_provider.sheet->createSprite("A", 0, 0, 10, 10, 0, 0);
		m_provider.sheet->createSprite("B", 10, 0, 10, 10, 0, 0);
		m_provider.sheet->createSprite("big", 0, 10, 40, 30, 20, 30);
	}

	lang::Ptr<game::CompoSpriteSet> read(const qf3d::Bytes& bytes)
	{
		io::ByteArrayInputStream in(bytes.data(), int(bytes.size()));
		in.setName("logo.compo");
		return new game::CompoSpriteSet(in, &m_provider);
	}

	static std::vector<qf3d::CompoRecord> twoParts()
	{
		return {{"pair", {{"A", 0, 0}, {"B", 20, -5}}, {{"x", 1, 2}, {"y", 3, 4}, {"z", 5, 6}}}};
	}

	Bundle m_bundle;
	RecordingContext m_ctx;
	lang::Ptr<gr::Image> m_image;
	SheetProvider m_provider;
};
}

TEST_F(CompoSprites, BoundsCoverEveryPart)
{
	game::CompoSprite none;
	EXPECT_EQ(none.getWidth(), 0);
	EXPECT_EQ(none.getHeight(), 0);
	none.draw(&m_ctx, 0.f, 0.f, Anchor());
	EXPECT_TRUE(m_ctx.draws.empty());

	game::CompoSprite one;
	one.addSprite("big", 0.f, 0.f, m_provider.sheet->getSprite("big"));
	EXPECT_EQ(one.getWidth(), 40);
	EXPECT_EQ(one.getHeight(), 30);
	EXPECT_EQ(one.getPivotX(), 20);
	EXPECT_EQ(one.getPivotY(), 30);

	lang::Ptr<game::CompoSpriteSet> set = read(qf3d::encodeCompos(twoParts()));
	game::CompoSprite* pair = set->getCompoSprite("pair");
	ASSERT_TRUE(pair);
	EXPECT_EQ(pair->getWidth(), 30);
	EXPECT_EQ(pair->getHeight(), 15);
	EXPECT_EQ(pair->getPivotX(), 0);
	EXPECT_EQ(pair->getPivotY(), 5);
	EXPECT_EQ(pair->getSpriteCount(), 2);
	EXPECT_EQ(pair->getSpriteEntry(1).name, "B");
	EXPECT_EQ(pair->getSpriteEntry(1).y, -5.f);
}

TEST_F(CompoSprites, AnchorsPlaceThePartsAndRotationTurnsThem)
{
	lang::Ptr<game::CompoSpriteSet> set = read(qf3d::encodeCompos(twoParts()));
	game::CompoSprite* pair = set->getCompoSprite("pair");
	struct Case
	{
		int v, h;
		float ax, ay; // where part A lands; B is 20 right and 5 up of it
	} cases[] = {
		{Anchor::TOP, Anchor::LEFT, 100, 105},
		{Anchor::VCENTER, Anchor::HCENTER, 85, 98},
		{Anchor::BOTTOM, Anchor::RIGHT, 70, 90},
		{Anchor::VPIVOT, Anchor::HPIVOT, 100, 100},
		{Anchor::BASELINE, Anchor::HPIVOT, 100, 100},
	};
	for (const Case& c : cases)
	{
		m_ctx.draws.clear();
		pair->draw(&m_ctx, 100.f, 100.f, Anchor(c.v, c.h));
		ASSERT_EQ(m_ctx.draws.size(), 2u);
		EXPECT_EQ(m_ctx.draws[0].x, c.ax) << c.v << "," << c.h;
		EXPECT_EQ(m_ctx.draws[0].y, c.ay) << c.v << "," << c.h;
		EXPECT_EQ(m_ctx.draws[1].x, c.ax + 20) << c.v << "," << c.h;
		EXPECT_EQ(m_ctx.draws[1].y, c.ay - 5) << c.v << "," << c.h;
	}

	// A quarter turn: offsets turn with the state, each part about its own pivot, and the pivot is restored.
	m_ctx.draws.clear();
	gr::RenderState2D& rs = m_ctx.state;
	rs.angle = float(M_PI / 2);
	rs.rotation[0] = 0.f, rs.rotation[1] = 1.f, rs.rotation[2] = -1.f, rs.rotation[3] = 0.f;
	rs.pivot = math::float2(3.f, 4.f);
	lang::Ptr<game::CompoSpriteSet> big = read(qf3d::encodeCompos({{"big", {{"big", 10, 0}}, {}}}));
	big->getCompoSprite("big")->draw(&m_ctx, 100.f, 100.f, Anchor(Anchor::VPIVOT, Anchor::HPIVOT));
	ASSERT_EQ(m_ctx.draws.size(), 1u);
	EXPECT_EQ(m_ctx.draws[0].x, 100.f - 20.f);
	EXPECT_EQ(m_ctx.draws[0].y, 110.f - 30.f);
	EXPECT_EQ(m_ctx.draws[0].pivot.x, 20.f);
	EXPECT_EQ(m_ctx.draws[0].pivot.y, 30.f);
	EXPECT_EQ(rs.pivot.x, 3.f);
	EXPECT_EQ(rs.pivot.y, 4.f);
}

TEST_F(CompoSprites, FilesOfBothVersionsReadTheSame)
{
	for (int version : {1, 2})
	{
		qf3d::Layout layout;
		layout.version = version;
		layout.unknownChunk = version == 2;
		lang::Ptr<game::CompoSpriteSet> set = read(qf3d::encodeCompos(twoParts(), layout));
		ASSERT_EQ(set->getCompoSprites().size(), 1u) << version;
		EXPECT_EQ(set->getCompoSprite("pair")->getWidth(), 30) << version;
		EXPECT_EQ(set->getCompoSprite("other"), nullptr);
	}
	// A composite of the same name replaces the first; a chunk of version 3 is skipped.
	qf3d::Bytes bytes = qf3d::container({qf3d::versioned(qf3d::Tag::COMP, 1, qf3d::compoBody({{"c", {{"A", 0, 0}}, {}}}, 1)),
		qf3d::versioned(qf3d::Tag::COMP, 3, qf3d::compoBody({{"d", {{"nothing", 0, 0}}, {}}}, 1)),
		qf3d::versioned(qf3d::Tag::COMP, 2, qf3d::compoBody({{"c", {{"A", 0, 0}, {"B", 10, 0}}, {}}}, 2))});
	lang::Ptr<game::CompoSpriteSet> set = read(bytes);
	EXPECT_EQ(set->getCompoSprites().size(), 1u);
	EXPECT_EQ(set->getCompoSprite("c")->getSpriteCount(), 2);
}

TEST_F(CompoSprites, PartsOutliveTheirSheet)
{
	lang::Ptr<game::CompoSpriteSet> set = read(qf3d::encodeCompos(twoParts()));
	m_provider.sheet = nullptr;
	set->getCompoSprite("pair")->draw(&m_ctx, 0.f, 0.f, Anchor());
	EXPECT_EQ(m_ctx.draws.size(), 2u);
}

TEST_F(CompoSprites, ErrorsNameTheFile)
{
	EXPECT_EQ(thrownMessage([&] { read(qf3d::encodeCompos({{"c", {{"A", 0, 0}, {"ghost", 0, 0}}, {}}})); }),
		"Sprite \"ghost\" not loaded while loading logo.compo");
	EXPECT_EQ(thrownMessage([&] { read(qf3d::compoBody(twoParts(), 1)); }), "Malformed QF3D file: logo.compo");
}
