// Sprites, composites and text drawn on each back end, against golden images and exact pixels.
#include <support/TempDir.h>
#include "GLTestSupport.h"
#include <game/BitmapFont.h>
#include <game/CompoSpriteSet.h>
#include <game/Resources.h>
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <cmath>
#include <unistd.h>

using game::Anchor;

namespace
{
const uint32_t RED = 0xFFFF0000, GREEN = 0xFF00FF00, BLUE = 0xFF0000FF, YELLOW = 0xFFFFFF00;

// Captured pixels read 0xAABBGGRR.
uint32_t captured(uint32_t argb)
{
	return (argb & 0xFF00FF00u) | (argb >> 16 & 0xFF) | (argb & 0xFF) << 16;
}

class GLT(Content) : public ::testing::Test
{
protected:
	static constexpr int WIDTH = 128;
	static constexpr int HEIGHT = 96;

	void SetUp() override
	{
		// The bundle is a fresh folder that sees the game's 2-D shaders.
		m_context = gltest::createGameContext(m_view, m_dir.path(), WIDTH, HEIGHT);
		m_context->clear(0xFF202020, true, true, false);
	}

	void TearDown() override
	{
		m_context = nullptr;
		io::detail::setBundlePath(".");
		m_view = nullptr;
	}

	void write(const std::string& name, const qf3d::Bytes& bytes) { qf3d::writeFile(m_dir / name, bytes); }

	gltest::RGBAImage capture()
	{
		m_context->flush();
		gltest::RGBAImage img;
		img.width = WIDTH;
		img.height = HEIGHT;
		img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
		return img;
	}

	/** A sheet of one 64 x 32 image: "mark" 9 x 7 (red left, green right, blue pivot pixel at (2, 5)) and solid blocks. */
	lang::Ptr<game::SpriteSheet> sheet()
	{
		qf3d::Bitmap image(64, 32);
		for (int y = 0; y < 7; ++y)
			for (int x = 0; x < 9; ++x)
				image.at(x, y) = x == 2 && y == 5 ? BLUE : x < 5 ? RED : GREEN;
		for (int y = 0; y < 8; ++y)
			for (int x = 0; x < 12; ++x)
				image.at(16 + x, y) = YELLOW, image.at(32 + x, y) = BLUE;
		write("sheet.png", qf3d::encodePng(image));
		write("s.sheet", qf3d::encodeSheet({"sheet.png", {{"mark", 0, 0, 9, 7, 2, 5}, {"yellow", 16, 0, 12, 8, 6, 4}, {"blue", 32, 0, 12, 8, 0, 0}}}));
		return new game::SpriteSheet(m_context, "s.sheet");
	}

	void marker(int x, int y) { m_context->fillRect2D(0xFFFFFFFF, x, y, 1, 1); }

	support::TempDir m_dir;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
};

struct Provider : game::SpriteProvider
{
	lang::Ptr<game::SpriteSheet> sheet;
	game::Sprite* getSprite(const std::string& name) override { return sheet->getSprite(name); }
};
}

TEST_F(GLT(Content), SpritesUnderEveryAnchor)
{
	lang::Ptr<game::SpriteSheet> s = sheet();
	game::Sprite* mark = s->getSprite("mark");
	for (int v = 0; v < 5; ++v)
	{
		for (int h = 0; h < 4; ++h)
		{
			const int x = h * 32 + 16, y = v * 19 + 10;
			mark->draw(m_context, float(x), float(y), Anchor(v, h));
			marker(x, y);
		}
	}
	const gltest::RGBAImage frame = capture();
	// Exact pixels: {TOP, LEFT} starts at the point; {VPIVOT, HPIVOT} puts the pivot pixel on it.
	EXPECT_EQ(frame.at(17, 10), captured(RED));
	EXPECT_EQ(frame.at(16 + 8, 10 + 6), captured(GREEN));
	EXPECT_EQ(frame.at(16 + 9, 10), 0xFF202020u);
	EXPECT_EQ(frame.at(3 * 32 + 16 - 2, 4 * 19 + 10 - 5), captured(RED));
	EXPECT_EQ(frame.at(3 * 32 + 16, 4 * 19 + 10 + 2), 0xFF202020u); // below the sprite
	EXPECT_TRUE(gltest::matchesGolden("game-sprite-anchors", frame));
}

TEST_F(GLT(Content), CompositesPlainAndRotated)
{
	Provider provider;
	provider.sheet = sheet();
	const qf3d::Bytes bytes = qf3d::encodeCompos({{"logo", {{"yellow", 0, 0}, {"blue", 6, 4}, {"mark", -10, 6}}, {}}});
	io::ByteArrayInputStream in(bytes.data(), int(bytes.size()));
	lang::Ptr<game::CompoSpriteSet> set = new game::CompoSpriteSet(in, &provider);
	game::CompoSprite* logo = set->getCompoSprite("logo");
	logo->draw(m_context, 10.f, 10.f, Anchor(Anchor::TOP, Anchor::LEFT));
	logo->draw(m_context, 90.f, 30.f, Anchor(Anchor::VCENTER, Anchor::HCENTER));
	marker(90, 30);
	// Yellow's top-left at the box's left edge: yellow has pivot (6, 4), the box's left is -12.
	const gltest::RGBAImage plain = capture();
	EXPECT_EQ(plain.at(10 + 12 - 6, 10 + 4 - 4), captured(YELLOW));
	EXPECT_EQ(plain.at(10, 10 + 4 + 6 - 5), captured(RED));

	gr::RenderState2D& rs = m_context->getRenderState2D();
	const float a = float(M_PI) / 6.f;
	rs.rotation[0] = std::cos(a), rs.rotation[1] = std::sin(a), rs.rotation[2] = -std::sin(a), rs.rotation[3] = std::cos(a);
	rs.angle = a;
	logo->draw(m_context, 40.f, 60.f, Anchor(Anchor::VPIVOT, Anchor::HPIVOT));
	rs.angle = 0.f;
	rs.rotation[0] = 1.f, rs.rotation[1] = 0.f, rs.rotation[2] = 0.f, rs.rotation[3] = 1.f;
	marker(40, 60);
	EXPECT_TRUE(gltest::matchesGolden("game-composites", capture(), 8));
}

// Glyphs that are solid boxes give exact pixels: A 4 x 6 (baseline 5, red), B 3 x 8 (baseline 5, green), tracking 1.
TEST_F(GLT(Content), BoxFontPixels)
{
	qf3d::Bitmap image(16, 16);
	for (int y = 0; y < 8; ++y)
		for (int x = 0; x < 4; ++x)
		{
			if (y < 6)
				image.at(x, y) = RED;
			if (x < 3)
				image.at(8 + x, y) = GREEN;
		}
	write("box.png", qf3d::encodePng(image));
	write("box.font", qf3d::encodeFont({"box.png", 10, 1, {{'A', 0, 0, 4, 6, 5}, {'B', 8, 0, 3, 8, 5}}}));
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(m_context, "box.font");
	font->drawString(m_context, "AB", 10.f, 20.f, Anchor(Anchor::BASELINE, Anchor::LEFT));
	font->drawString(m_context, "AxB", 60.f, 20.f, Anchor(Anchor::TOP, Anchor::RIGHT));
	const gltest::RGBAImage f = capture();
	const uint32_t back = 0xFF202020u;
	struct Case
	{
		int x, y;
		uint32_t colour;
	} cases[] = {
		{10, 15, captured(RED)}, {13, 20, captured(RED)}, {10, 21, back}, {9, 15, back},
		{14, 17, back}, // the tracking gap
		{15, 15, captured(GREEN)}, {17, 22, captured(GREEN)}, {18, 15, back}, {15, 23, back},
		// Right-aligned at 60: width 4 + 3 + 2 x 1 = 9 (x has no glyph but counts for the tracking), so A starts at 51; top at 20.
		{51, 20, captured(RED)}, {50, 20, back}, {56, 20, captured(GREEN)}, {58, 27, captured(GREEN)}, {59, 20, back},
	};
	for (const Case& c : cases)
		EXPECT_EQ(f.at(c.x, c.y), c.colour) << c.x << "," << c.y;
}

TEST_F(GLT(Content), DejaVuTextUnderEveryAnchor)
{
	support::writeFile(m_dir / "font.lua", "fonts = { { file = 'dejavu.font', size = 11, tracking = 2 } }");
	qf3d::build(m_dir / "font.lua", m_dir.path());
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(m_context, "dejavu.font");
	for (int v = 0; v < 5; ++v)
	{
		for (int h = 0; h < 4; ++h)
		{
			const int x = h * 32 + 16, y = v * 19 + 10;
			font->drawString(m_context, "T\xC3\xA9", float(x), float(y), Anchor(v, h));
			marker(x, y);
		}
	}
	EXPECT_TRUE(gltest::matchesGolden("game-text-dejavu", capture(), 8));
}

TEST_F(GLT(Content), CapturedScreenBecomesADrawableSprite)
{
	game::Resources res(m_context);
	m_context->fillRect2D(YELLOW, 10, 20, 8, 6);
	m_context->flush();
	res.captureSprite("shot");
	game::Sprite* shot = res.getSprite("shot");
	ASSERT_TRUE(shot);
	EXPECT_EQ(WIDTH, shot->getWidth());
	EXPECT_EQ(HEIGHT, shot->getHeight());

	// A second capture goes into the same sheet's image.
	m_context->clear(0xFF202020, true, true, false);
	m_context->fillRect2D(BLUE, 40, 40, 4, 4);
	m_context->flush();
	res.captureSprite("shot");
	EXPECT_EQ(shot, res.getSprite("shot"));

	m_context->clear(0xFF000000, true, true, false);
	res.drawSprite("shot", 0, 0, Anchor(Anchor::TOP, Anchor::LEFT));
	const gltest::RGBAImage frame = capture();
	EXPECT_EQ(frame.at(41, 41), captured(BLUE));
	EXPECT_EQ(frame.at(12, 22), 0xFF202020u) << "the first picture was replaced";

	// An image of another size gets what fits.
	lang::Ptr<game::SpriteSheet> small = new game::SpriteSheet(
		m_context->createImage(16, 200, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE));
	res.addSpriteSheet("small", small);
	res.captureSprite("small");
}
