// Sprites, composites and text drawn on each back end, against golden images and exact pixels.
#include <support/TempDir.h>
#include "GLTestSupport.h"
#include <game/BitmapFont.h>
#include <game/CompoSpriteSet.h>
#include <game/Resources.h>
#include <game/SpriteSheet.h>
#include <game/TextGroupSet.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <lang/string.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <algorithm>
#include <cmath>
#include <set>
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

const char* const DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const DEJAVU_OBLIQUE = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf";

/**
 * FreeType's own rendering of a line, white over the grey 0x20 background: the pen starts at
 * penX on the baseline and moves by each glyph's rounded advance; ink of neighbours adds up.
 */
std::vector<float> freetypeLine(const char* fontFile, int size, const std::string& text, int penX, int baseline, int width, int height)
{
	std::vector<float> cover(size_t(width * height), 0.f);
	FT_Library lib;
	FT_Face face;
	if (FT_Init_FreeType(&lib) || FT_New_Face(lib, fontFile, 0, &face))
		throw std::runtime_error(std::string("FreeType cannot open ") + fontFile);
	FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
	int pen = penX;
	for (unsigned short code : lang::string::toUTF16string(text))
	{
		if (FT_Load_Char(face, code, FT_LOAD_RENDER))
			throw std::runtime_error("FreeType cannot render " + std::to_string(code));
		const FT_GlyphSlot g = face->glyph;
		for (unsigned row = 0; row < g->bitmap.rows; ++row)
			for (unsigned col = 0; col < g->bitmap.width; ++col)
			{
				const int x = pen + g->bitmap_left + int(col), y = baseline - g->bitmap_top + int(row);
				if (x < 0 || y < 0 || x >= width || y >= height)
					continue;
				const float a = g->bitmap.buffer[long(row) * g->bitmap.pitch + long(col)] / 255.f;
				float& c = cover[size_t(y * width + x)];
				c = a + c * (1.f - a);
			}
		pen += int(std::lround(g->advance.x / 64.0));
	}
	FT_Done_Face(face);
	FT_Done_FreeType(lib);
	std::vector<float> grey(cover.size());
	for (size_t i = 0; i < cover.size(); ++i)
		grey[i] = 255.f * cover[i] + 32.f * (1.f - cover[i]);
	return grey;
}

/** The largest difference of the red channel from the expected greys. */
int largestDifference(const gltest::RGBAImage& frame, const std::vector<float>& expected)
{
	int worst = 0;
	for (int y = 0; y < frame.height; ++y)
		for (int x = 0; x < frame.width; ++x)
			worst = std::max(worst, int(std::lround(std::fabs(float(frame.at(x, y) & 0xFF) - expected[size_t(y * frame.width + x)]))));
	return worst;
}

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
		// Right-aligned at 60: width 4 + 3 + 1 = 8 (x has no glyph and takes no tracking), so A starts at 52; top at 20.
		{52, 20, captured(RED)}, {51, 20, back}, {57, 20, captured(GREEN)}, {59, 27, captured(GREEN)}, {60, 20, back},
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
	const gltest::RGBAImage frame = capture();
	// Antialiased edges: many grey levels between the background and white.
	std::set<uint32_t> levels;
	for (uint32_t p : frame.pixels)
		levels.insert(p & 0xFF);
	EXPECT_GT(levels.size(), 16u);
	EXPECT_TRUE(gltest::matchesGolden("game-text-dejavu", frame, 8));
}

// Lines drawn with fonts the tool built equal FreeType's rendering of the same line, pen for pen:
// ink left of the pen and past the advance is kept (italic "fox" is not "tox"), edges keep their coverage,
// and a font built for a text group's characters draws its Cyrillic and Greek.
TEST_F(GLT(Content), LinesMatchFreeType)
{
	support::writeFile(m_dir / "fonts.lua",
		"texts = { { file = 'world.lang', locales = { 'en_EN', 'ru_RU', 'el_GR' }, texts = {\n"
		"  { id = 'hello', en_EN = 'fox jumps', ru_RU = '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80', "
		"el_GR = '\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCF\x83\xCE\xBF\xCF\x85' } } } }\n"
		"fonts = { { file = 'oblique.font', size = 18, font = '" + std::string(DEJAVU_OBLIQUE) + "' },\n"
		"  { file = 'world.font', size = 18, texts = { 'world.lang' } } }\n");
	qf3d::build(m_dir / "fonts.lua", m_dir.path());
	game::TextGroupSet texts("world.lang");
	texts.loadLocaleCodes();
	texts.loadTextGroup("ALL");
	struct Case
	{
		const char* font;
		const char* face;
		const char* locale;
	} cases[] = {
		{"oblique.font", DEJAVU_OBLIQUE, "en_EN"},
		{"world.font", DEJAVU, "ru_RU"},
		{"world.font", DEJAVU, "el_GR"},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(std::string(c.font) + " " + c.locale);
		const std::string line = texts.getTextGroup(c.locale)->get("hello");
		lang::Ptr<game::BitmapFont> font = new game::BitmapFont(m_context, c.font);
		EXPECT_EQ(font->filter(line), line) << "every character has a glyph";
		m_context->clear(0xFF202020, true, true, false);
		font->drawString(m_context, line, 10.f, 40.f, Anchor(Anchor::BASELINE, Anchor::LEFT));
		const gltest::RGBAImage frame = capture();
		EXPECT_LE(largestDifference(frame, freetypeLine(c.face, 18, line, 10, 40, WIDTH, HEIGHT)), 3);
	}
}

// Shapes of the tool carry premultiplied colour: a cloud of alpha 220 is blended once, not added
// at full brightness.
TEST_F(GLT(Content), TranslucentShapesBlendOnce)
{
	support::writeFile(m_dir / "shapes.lua",
		"sheets = { { file = 'shapes.sheet', sprites = {\n"
		"  { name = 'cloud', shape = 'rect', width = 8, height = 8, color = { 250, 250, 255, 220 } },\n"
		"  { name = 'disc', shape = 'circle', radius = 10, color = { 255, 255, 255 } } } } }\n");
	qf3d::build(m_dir / "shapes.lua", m_dir.path());
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(m_context, "shapes.sheet");
	sheet->getSprite("cloud")->draw(m_context, 10.f, 10.f, Anchor(Anchor::TOP, Anchor::LEFT));
	sheet->getSprite("disc")->draw(m_context, 40.f, 10.f, Anchor(Anchor::TOP, Anchor::LEFT));
	const gltest::RGBAImage frame = capture();
	const uint32_t cloud = frame.at(13, 13);
	const float a = 220.f / 255.f;
	EXPECT_NEAR(float(cloud & 0xFF), 250.f * a + 32.f * (1.f - a), 2.f);
	EXPECT_NEAR(float(cloud >> 16 & 0xFF), 255.f * a + 32.f * (1.f - a), 2.f);
	// The disc's edge has levels between the background and white.
	std::set<uint32_t> levels;
	for (int y = 10; y < 30; ++y)
		for (int x = 40; x < 60; ++x)
			levels.insert(frame.at(x, y) & 0xFF);
	EXPECT_GT(levels.size(), 6u);
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
