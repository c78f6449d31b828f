#include "GameTestSupport.h"
#include <game/BitmapFont.h>
#include <game/CompoSpriteSet.h>
#include <game/SpriteSheet.h>
#include <game/TextGroupSet.h>
#include <img/ImageReader.h>
#include <io/BundleInputStream.h>
#include <io/FileInputStream.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <lang/string.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <climits>
#include <cmath>

using namespace gametest;

namespace
{
const char* DESCRIPTION = R"(
sheets = { { file = "images/s.sheet", sprites = {
	{ name = "box", shape = "rect", width = 10, height = 6, color = { 255, 0, 0 }, pivot = { 1, 2 } },
	{ name = "dot", shape = "circle", radius = 3 },
	{ name = "band", shape = "gradient", width = 4, height = 20, from = { 0, 0, 0 }, to = { 255, 255, 255 }, direction = "horizontal" },
	{ name = "frame", shape = "roundrect", width = 12, height = 12, radius = 4, outline = 1 },
	{ name = "hoop", shape = "ring", radius = 5, thickness = 2 } } },
	{ file = "images/old.sheet", layout = "untagged", sprites = { { name = "old", shape = "rect", width = 2, height = 2 } } } }
composites = { { file = "images/c.compo", version = 2, unknownChunk = true, items = {
	{ name = "pair", parts = { { sprite = "box", x = 0, y = 0 }, { sprite = "dot", x = 20, y = -5 } }, extras = { { name = "e", a = 1, b = 2 } } } } } }
fonts = { { file = "fonts/f.font", size = 12, tracking = 1 } }
texts = { { file = "localization/t.lang", locales = { "en_EN", "fr_FR" }, texts = {
	{ id = "play", en_EN = "Play", fr_FR = "Jouer" }, { id = "back", en_EN = "Back", fr_FR = "Retour" } } },
	{ file = "localization/old.lang", layout = "untagged", locales = { "en_EN" }, texts = { { id = "a", en_EN = "A" } } } }
)";

class SheetProvider : public game::SpriteProvider
{
public:
	lang::Ptr<game::SpriteSheet> sheet;
	game::Sprite* getSprite(const std::string& name) override { return sheet->getSprite(name); }
};

/** A PNG written by the tool, as 0xAARRGGBB pixels. */
qf3d::Bitmap readPng(const std::string& path)
{
	img::ImageReader reader(new io::FileInputStream(path), io::FILEFORMAT_PNG);
	qf3d::Bitmap out(reader.surfaceWidth(), reader.surfaceHeight());
	const gr::SurfaceFormat argb(gr::SurfaceFormat::SURFACE_A8R8G8B8), none(gr::SurfaceFormat::SURFACE_UNKNOWN);
	reader.readSurface(out.pixels.data(), out.width * 4, out.width, out.height, argb, nullptr, none);
	return out;
}

/** What FreeType itself says of a face at a pixel size: the line's extent and each glyph's pen and ink. */
class FreeTypeFace
{
public:
	FreeTypeFace(const std::string& file, int size)
	{
		if (FT_Init_FreeType(&m_lib) || FT_New_Face(m_lib, file.c_str(), 0, &m_face) || FT_Set_Pixel_Sizes(m_face, 0, FT_UInt(size)))
			throw std::runtime_error("FreeType cannot open " + file);
	}
	~FreeTypeFace()
	{
		FT_Done_Face(m_face);
		FT_Done_FreeType(m_lib);
	}
	int ascender() const { return int(std::ceil(m_face->size->metrics.ascender / 64.0)); }
	int descender() const { return int(std::ceil(-m_face->size->metrics.descender / 64.0)); }
	bool has(unsigned code) const { return FT_Get_Char_Index(m_face, code) != 0; }
	/** The pen's travel over the characters the face has. */
	int width(const std::string& text)
	{
		int w = 0;
		for (unsigned short c : lang::string::toUTF16string(text))
			if (has(c))
				w += load(c)->advance.x;
		return int(std::lround(w / 64.0));
	}
	/** The left edge of a glyph's ink, right of the pen. */
	int inkLeft(unsigned code)
	{
		const FT_GlyphSlot g = load(code);
		for (unsigned col = 0; col < g->bitmap.width; ++col)
			for (unsigned row = 0; row < g->bitmap.rows; ++row)
				if (g->bitmap.buffer[long(row) * g->bitmap.pitch + long(col)])
					return g->bitmap_left + int(col);
		return 0;
	}

private:
	FT_Library m_lib = nullptr;
	FT_Face m_face = nullptr;

	FT_GlyphSlot load(unsigned code)
	{
		if (FT_Load_Char(m_face, code, FT_LOAD_RENDER))
			throw std::runtime_error("FreeType cannot render " + std::to_string(code));
		return m_face->glyph;
	}
};

std::string buildError(const Bundle& bundle, const std::string& description, bool strict = false)
{
	bundle.write("bad.lua", description);
	try
	{
		qf3d::BuildOptions options;
		options.strict = strict;
		options.warn = [](const std::string&) {};
		qf3d::build(bundle.path() + "/bad.lua", bundle.path() + "/bad", options);
	}
	catch (const qf3d::BuildError& e)
	{
		EXPECT_TRUE(support::fileExists(bundle.path() + "/bad") == false) << "nothing is written on an error";
		return e.what();
	}
	return "";
}
}

TEST(Qf3dTool, BuildsFilesTheReadersLoadAndDumpPrints)
{
	Bundle bundle;
	bundle.write("content.lua", std::string(DESCRIPTION));
	const std::vector<std::string> files = qf3d::build(bundle.path() + "/content.lua", bundle.path());
	EXPECT_EQ(files.size(), 9u);
	RecordingContext ctx;

	SheetProvider provider;
	provider.sheet = new game::SpriteSheet(&ctx, "images/s.sheet");
	const game::Sprite* box = provider.sheet->getSprite("box");
	ASSERT_TRUE(box);
	EXPECT_EQ(box->getWidth(), 10);
	EXPECT_EQ(box->getPivotX(), 1);
	EXPECT_EQ(box->getPivotY(), 2);
	EXPECT_EQ(provider.sheet->getSprite("dot")->getPivotX(), 3); // the centre by default
	EXPECT_EQ(provider.sheet->getSprite("hoop")->getWidth(), 10);
	// Atlas placements keep 2 px of padding.
	for (const auto& s : provider.sheet->getSprites())
	{
		EXPECT_GE(s.second->getPositionInSheetX(), 2);
		EXPECT_GE(s.second->getPositionInSheetY(), 2);
	}
	EXPECT_EQ(lang::Ptr<game::SpriteSheet>(new game::SpriteSheet(&ctx, "images/old.sheet"))->getSprites().size(), 1u);

	io::BundleInputStream compoFile("images/c.compo");
	lang::Ptr<game::CompoSpriteSet> compos = new game::CompoSpriteSet(compoFile, &provider);
	ASSERT_TRUE(compos->getCompoSprite("pair"));
	EXPECT_EQ(compos->getCompoSprite("pair")->getWidth(), 20 + 3 + 1);

	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(&ctx, "fonts/f.font");
	EXPECT_GT(font->getMaxAscending(), 8);
	// Anchors keep the face's whole line (the zero-wide U+FFFF record carries it), while A's box is its ink.
	ASSERT_TRUE(font->getGlyph(0xFFFF));
	EXPECT_EQ(font->getGlyph(0xFFFF)->getWidth(), 0);
	EXPECT_EQ(font->getMaxDescending() + font->getMaxAscending(), font->getGlyph(0xFFFF)->getHeight());
	EXPECT_LT(font->getGlyph('A')->getHeight(), font->getGlyph(0xFFFF)->getHeight());
	EXPECT_EQ(font->filter("a\xC3\xA9\xE2\x82\xAC~"), "a\xC3\xA9~"); // Latin-1 only: no euro sign

	game::TextGroupSet texts("localization/t.lang");
	texts.loadLocaleCodes();
	EXPECT_EQ(texts.loadTextGroup("fr_FR")->get("back"), "Retour");
	game::TextGroupSet old("localization/old.lang");
	old.loadLocaleCodes();
	EXPECT_EQ(old.loadTextGroup("en_EN")->get("a"), "A");

	EXPECT_EQ(qf3d::dump(bundle.path() + "/images/c.compo"),
		"QF3D payload 67\n"
		"ABCD size 12 (skipped)\n"
		"COMP size 39 version 2\n"
		"  composite \"pair\"\n"
		"    part \"box\" at 0 0\n"
		"    part \"dot\" at 20 -5\n"
		"    extra \"e\" 1 2\n");
	const std::string sheetText = qf3d::dump(bundle.path() + "/images/s.sheet");
	EXPECT_NE(sheetText.find("SPRT size"), std::string::npos);
	EXPECT_NE(sheetText.find("  sprite \"box\" x "), std::string::npos);
	EXPECT_NE(sheetText.find(" w 10 h 6 pivot 1 2\n"), std::string::npos);
	EXPECT_NE(qf3d::dump(bundle.path() + "/localization/t.lang").find("    text \"Jouer\"\n"), std::string::npos);
	EXPECT_EQ(qf3d::dump(bundle.path() + "/images/old.sheet").find("untagged layout"), 0u);
	EXPECT_NE(qf3d::dump(bundle.path() + "/fonts/f.font").find("glyph 233 "), std::string::npos);
	EXPECT_FALSE(support::fileExists(bundle.path() + "/images/s.sheet.tmp"));
}

// Glyph boxes hug the ink vertically; the described tracking adds to the face's advance; every
// picture the tool writes carries premultiplied colour.
TEST(Qf3dTool, GlyphBoxesAreTightAndColoursPremultiplied)
{
	Bundle bundle;
	bundle.write("content.lua", std::string(DESCRIPTION) +
		"fonts[2] = { file = 'fonts/g.font', size = 12, color = { 255, 200, 0 } }\n"
		"sheets[1].sprites[6] = { name = 'cloud', shape = 'roundrect', width = 20, height = 10, radius = 4, color = { 250, 250, 255, 220 } }\n");
	try
	{
		qf3d::build(bundle.path() + "/content.lua", bundle.path());
	}
	catch (const lang::Throwable& e)
	{
		FAIL() << e.getMessage().format();
	}
	RecordingContext ctx;
	lang::Ptr<game::BitmapFont> tracked = new game::BitmapFont(&ctx, "fonts/f.font");
	lang::Ptr<game::BitmapFont> plain = new game::BitmapFont(&ctx, "fonts/g.font");
	EXPECT_EQ(tracked->getTracking() - plain->getTracking(), 1);
	EXPECT_EQ(tracked->getStringWidth("fox", 0, 3) - plain->getStringWidth("fox", 0, 3), 2);

	const qf3d::Bitmap atlas = readPng(bundle.path() + "/fonts/g.png");
	int inked = 0;
	for (unsigned short code = 0x21; code < 0x7F; ++code)
	{
		const game::Sprite* g = plain->getGlyph(code);
		ASSERT_TRUE(g) << code;
		// Ink in the box's top row and in its bottom row.
		for (int row : {0, g->getHeight() - 1})
		{
			bool ink = false;
			for (int x = 0; x < g->getWidth(); ++x)
				ink = ink || atlas.at(g->getPositionInSheetX() + x, g->getPositionInSheetY() + row) >> 24;
			EXPECT_TRUE(ink) << "glyph " << code << " row " << row;
		}
		++inked;
	}
	EXPECT_EQ(inked, 0x7F - 0x21);
	EXPECT_LE(plain->getGlyph('.')->getHeight(), 3);
	EXPECT_EQ(plain->getGlyph(' ')->getHeight(), 0) << "a space draws no quad";

	for (const char* picture : {"/fonts/g.png", "/images/s.png"})
	{
		const qf3d::Bitmap b = readPng(bundle.path() + picture);
		int partial = 0;
		for (uint32_t p : b.pixels)
		{
			const uint32_t a = p >> 24;
			partial += a > 0 && a < 255;
			ASSERT_TRUE((p >> 16 & 0xFF) <= a && (p >> 8 & 0xFF) <= a && (p & 0xFF) <= a) << picture << std::hex << " pixel " << p;
		}
		EXPECT_GT(partial, 20) << picture << ": antialiased edges";
	}
	// The cloud's inside: colour times 220 / 255.
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(&ctx, "images/s.sheet");
	const game::Sprite* cloud = sheet->getSprite("cloud");
	const uint32_t inside = readPng(bundle.path() + "/images/s.png").at(cloud->getPositionInSheetX() + 10, cloud->getPositionInSheetY() + 5);
	EXPECT_EQ(inside, 0xDCD8D8DCu); // 250 x 220 / 255 rounds to 216
}

// A font may ask for ranges and for every character of text groups; a character the face lacks
// is a warning naming it and the face, or with strict the build's failure.
TEST(Qf3dTool, FontCharacterSetsAndMissingCharacters)
{
	Bundle bundle;
	const std::string description =
		"texts = { { file = 't.lang', locales = { 'en_EN', 'ru_RU', 'zh_CN' }, texts = {\n"
		"  { id = 'hi', en_EN = 'Hi', ru_RU = '\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\\n', zh_CN = '\xE4\xB8\xAD\xF0\x9F\x98\x80' } } } }\n"
		"fonts = { { file = 'ru.font', size = 12, ranges = { { 0x30, 0x39 }, 0x2D }, texts = { { file = 't.lang', locales = { 'ru_RU' } } } },\n"
		"  { file = 'all.font', size = 12, texts = { 't.lang' } } }\n";
	bundle.write("content.lua", description);
	std::vector<std::string> warnings;
	qf3d::BuildOptions options;
	options.warn = [&](const std::string& w) { warnings.push_back(w); };
	qf3d::build(bundle.path() + "/content.lua", bundle.path(), options);
	RecordingContext ctx;
	lang::Ptr<game::BitmapFont> ru = new game::BitmapFont(&ctx, "ru.font");
	EXPECT_EQ(ru->filter("-0123456789 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82" "AHi"), "-0123456789\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82")
		<< "exactly the ranges and the Russian group's characters, no control characters";
	lang::Ptr<game::BitmapFont> all = new game::BitmapFont(&ctx, "all.font");
	EXPECT_EQ(all->filter("Hi\xD0\x9F\xE4\xB8\xAD"), "Hi\xD0\x9F");
	ASSERT_EQ(warnings.size(), 2u);
	const std::string where = bundle.path() + "/content.lua: fonts[2] \"all.font\": ";
	EXPECT_EQ(warnings[0], where + "the face \"DejaVu Sans Book\" (" + qf3d::defaultFontFile() + ") has no glyph for U+4E2D \"\xE4\xB8\xAD\"");
	EXPECT_EQ(warnings[1], where + "U+1F600 \"\xF0\x9F\x98\x80\" lies beyond 16 bits: a font's glyphs are keyed by UTF-16 units (face \"DejaVu Sans Book\")");

	const std::string strict = buildError(bundle, description, true);
	EXPECT_EQ(strict.find(bundle.path() + "/bad.lua: fonts[2] \"all.font\": the face \"DejaVu Sans Book\""), 0u) << strict;
	EXPECT_NE(strict.find("no glyph for U+4E2D"), std::string::npos) << strict;
}

TEST(Qf3dTool, ErrorsNameTheDescriptionAndTheEntry)
{
	Bundle bundle;
	const std::string desc = bundle.path() + "/bad.lua";
	struct Case
	{
		const char* description;
		const char* message;
	} cases[] = {
		{"sheets = { { file = 's.sheet', sprites = { { name = 'a', shape = 'rect', width = 2, height = 2 } } } }\n"
		 "composites = { { file = 'c.compo', items = { { name = 'logo', parts = { { sprite = 'a' }, { sprite = 'ghost' } } } } } }",
			": composites[1] \"c.compo\": items[1] \"logo\": parts[2] \"ghost\": no sprite \"ghost\" in this build"},
		{"texts = { { file = 't.lang', locales = { 'en_EN', 'fr_FR' }, texts = { { id = 'play', en_EN = 'Play' } } } }",
			": texts[1] \"t.lang\": texts[1] \"play\": no text for the locale fr_FR"},
		{"sheets = { { file = 's.sheet', sprites = { { name = 'a', shape = 'star', width = 2, height = 2 } } } }",
			": sheets[1] \"s.sheet\": sprites[1] \"a\": unknown shape \"star\""},
		{"sheets = { { file = 's.sheet', sprites = { { name = 'a', shape = 'rect', height = 2 } } } }",
			": sheets[1] \"s.sheet\": sprites[1] \"a\": \"width\" must be a number"},
		{"fonts = { { file = 'f.font', size = 12, font = '/nonexistent.ttf' } }",
			": fonts[1] \"f.font\": cannot open the font file /nonexistent.ttf"},
		{"sheets = { { file = '../s.sheet', sprites = {} } }", ": sheets[1] \"../s.sheet\": \"file\" must be a relative path"},
		{"fonts = { { file = 'f.font', size = 12, ranges = { { 0x20, 0x1F600 } } } }",
			": fonts[1] \"f.font\": ranges[1]: must be whole codes from U+0000 to U+FFFF, first not above last"},
		{"fonts = { { file = 'f.font', size = 12, ranges = { 'abc' } } }", ": fonts[1] \"f.font\": ranges[1]: must be a character code or {first, last}"},
		{"fonts = { { file = 'f.font', size = 12, texts = { 'nowhere.lang' } } }",
			": fonts[1] \"f.font\": texts[1] \"nowhere.lang\": no text file \"nowhere.lang\" in this build"},
		{"texts = { { file = 't.lang', locales = { 'en_EN' }, texts = { { id = 'a', en_EN = 'A' } } } }\n"
		 "fonts = { { file = 'f.font', size = 12, texts = { { file = 't.lang', locales = { 'de_DE' } } } } }",
			": fonts[1] \"f.font\": texts[1] \"t.lang\": the text file has no locale \"de_DE\""},
		{"texts = { { file = 't.lang', texts = {} } }", ": texts[1] \"t.lang\": Tried to get value locales from table, but type was NIL"},
		// Counts the readers would take back wrong are refused, naming the limit.
		{"local s = {} for i = 1, 32768 do s[i] = { name = 's' .. i, shape = 'rect', width = 1, height = 1 } end\n"
		 "sheets = { { file = 's.sheet', sprites = s } }",
			": sheets[1] \"s.sheet\": 32768 sprites in one sheet: the engine reads at most 32767"},
		{"local t = {} for i = 1, 40000 do t[i] = { id = 't' .. i, en_EN = 'x' } end\n"
		 "texts = { { file = 't.lang', locales = { 'en_EN' }, texts = t } }",
			": texts[1] \"t.lang\": 40000 text ids: the engine reads at most 32767"},
		{"local l, x = {}, { id = 'a' } for i = 1, 300 do l[i] = 'l' .. i x[l[i]] = 'x' end\n"
		 "texts = { { file = 't.lang', layout = 'untagged', locales = l, texts = { x } } }",
			": texts[1] \"t.lang\": 300 locales in the untagged layout: the engine reads at most 127"},
		{"local p = {} for i = 1, 32768 do p[i] = { sprite = 'a' } end\n"
		 "sheets = { { file = 's.sheet', sprites = { { name = 'a', shape = 'rect', width = 2, height = 2 } } } }\n"
		 "composites = { { file = 'c.compo', items = { { name = 'big', parts = p } } } }",
			": composites[1] \"c.compo\": 32768 parts in the composite \"big\": the engine reads at most 32767"},
		{"sheets = {", ""},
	};
	for (const Case& c : cases)
	{
		const std::string message = buildError(bundle, c.description);
		EXPECT_EQ(message.find(desc + c.message), 0u) << message;
	}
}

// The demo's content, built by the build, loads in the readers.
TEST(Qf3dTool, DemoContentLoads)
{
	io::detail::setBundlePath(ENGINE_BINARY_DIR "/demo/data_iphone");
	RecordingContext ctx;
	SheetProvider provider;
	provider.sheet = new game::SpriteSheet(&ctx, "images/title.sheet");
	EXPECT_TRUE(provider.sheet->getSprite("title_sun"));
	lang::Ptr<game::SpriteSheet> level = new game::SpriteSheet(&ctx, "images/level.sheet");
	EXPECT_TRUE(level->getSprite("level_block"));
	io::BundleInputStream compoFile("images/logo.compo");
	lang::Ptr<game::CompoSpriteSet> logo = new game::CompoSpriteSet(compoFile, &provider);
	EXPECT_EQ(logo->getCompoSprite("logo")->getSpriteCount(), 5);
	lang::Ptr<game::BitmapFont> font = new game::BitmapFont(&ctx, "fonts/FONT_BASIC_DEFAULT.font");
	EXPECT_GT(font->getStringWidth("Physics Demo", 0, 100), 50);
	game::TextGroupSet texts("localization/TEXTS_BASIC.lang");
	texts.loadLocaleCodes();
	EXPECT_EQ(texts.getLocaleCodes(), (std::vector<std::string>{"en_EN", "fr_FR"}));
	EXPECT_EQ(texts.loadTextGroup("fr_FR")->get("PLAY"), "Jouer");
	io::detail::setBundlePath(".");
}

// Text lands where FreeType puts it, on real faces: widths are the pen's travel, characters a
// font lacks take no room, zero-advance marks move nothing, and anchors use the face's line.
TEST(Qf3dTool, TextLandsWhereFreeTypePutsIt)
{
	const std::string noto = "/usr/share/fonts/truetype/noto/";
	const struct
	{
		std::string face;
		int size;
		const char* text;
		/** Zero-advance marks of the face, some reaching above its ascent. */
		const char* marks;
	} cases[] = {
		{qf3d::defaultFontFile(), 20, "Winner: Score 100", "{ 0x300, 0x36F }, 0x1EA4"},
		{"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf", 24, "Winner: fjord 100", "{ 0x300, 0x36F }, 0x1EA4"},
		{noto + "NotoSansDevanagariUI-Regular.ttf", 24, "100: (25)", "{ 0x900, 0x97F }, { 0xA8E0, 0xA8FF }"},
	};
	const char* const cyrillic = "\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0";
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.face);
		Bundle bundle;
		bundle.write("fonts.lua", "local face, size = '" + c.face + "', " + std::to_string(c.size) + "\n"
			"local text = { ranges = {} } for _, u in ipairs({ ('" + c.text + "'):byte(1, -1) }) do table.insert(text.ranges, u) end\n"
			"fonts = { { file = 'plain.font', font = face, size = size, ranges = text.ranges },\n"
			"  { file = 'marks.font', font = face, size = size, ranges = { { 0x20, 0x7E }, " + c.marks + " } },\n"
			"  { file = 'old.font', font = face, size = size, ranges = text.ranges, layout = 'untagged' } }\n");
		qf3d::BuildOptions options;
		options.warn = [](const std::string&) {};
		qf3d::build(bundle.path() + "/fonts.lua", bundle.path(), options);
		FreeTypeFace ft(c.face, c.size);
		RecordingContext ctx;
		lang::Ptr<game::BitmapFont> plain = new game::BitmapFont(&ctx, "plain.font");
		lang::Ptr<game::BitmapFont> marks = new game::BitmapFont(&ctx, "marks.font");
		const std::string text = c.text;

		const int expected = ft.width(text);
		EXPECT_NEAR(plain->getStringWidth(text, 0, INT_MAX), expected, 1);
		EXPECT_EQ(plain->getStringWidth(text + cyrillic, 0, INT_MAX), plain->getStringWidth(text, 0, INT_MAX)) << "no glyph, no room";
		EXPECT_EQ(plain->getStringWidth(std::string(cyrillic) + " " + cyrillic, 0, INT_MAX), plain->getAdvance(' '));
		EXPECT_EQ(plain->getStringWidth(cyrillic, 0, INT_MAX), 0);

		// Each glyph's ink where FreeType's pen puts it; right-anchored lines end at the anchor.
		std::vector<float> placed[2];
		for (int i = 0; i < 2; ++i)
		{
			game::BitmapFont* f = i ? marks.ptr() : plain.ptr();
			ctx.draws.clear();
			f->drawString(&ctx, text + cyrillic, 2032.f, 40.f, game::Anchor(game::Anchor::BASELINE, game::Anchor::RIGHT));
			float pen = 2032.f - float(expected);
			size_t k = 0;
			for (unsigned short u : lang::string::toUTF16string(text))
			{
				ASSERT_LT(k, ctx.draws.size());
				if (f->getGlyph(u)->getHeight())
				{
					EXPECT_NEAR(ctx.draws[k].x, pen + float(ft.inkLeft(u)), 1.f) << "character " << u;
				}
				placed[i].push_back(ctx.draws[k++].x);
				pen += float(ft.width(std::string(1, char(u))));
			}
			EXPECT_EQ(k, ctx.draws.size()) << "nothing drawn for the missing characters";
			EXPECT_NEAR(pen, 2032.f, 1.f);
		}
		EXPECT_EQ(placed[0], placed[1]) << "the marks move nothing";
		EXPECT_EQ(marks->getStringWidth(text, 0, INT_MAX), plain->getStringWidth(text, 0, INT_MAX));

		// The marks reach above the face's ascent; the anchors keep to the face's line.
		int tallest = 0;
		for (unsigned u = 0x300; u < 0xFFFF; ++u)
		{
			if (const game::Sprite* g = marks->getGlyph((unsigned short)u))
				tallest = std::max(tallest, g->getPivotY());
		}
		EXPECT_GT(tallest, ft.ascender());
		const int asc = ft.ascender(), desc = ft.descender();
		EXPECT_EQ(marks->getMaxAscending(), asc);
		EXPECT_EQ(marks->getMaxDescending(), desc);
		const game::Sprite* first = marks->getGlyph((unsigned short)text[0]);
		const struct
		{
			int v;
			int baseline;
		} anchors[] = {{game::Anchor::TOP, 100 + asc}, {game::Anchor::VCENTER, 100 + asc - (asc + desc) / 2}, {game::Anchor::BOTTOM, 100 - desc}};
		for (const auto& a : anchors)
		{
			ctx.draws.clear();
			marks->drawString(&ctx, text, 16.f, 100.f, game::Anchor(a.v, game::Anchor::LEFT));
			ASSERT_FALSE(ctx.draws.empty());
			EXPECT_EQ(ctx.draws[0].y + float(first->getPivotY()), float(a.baseline)) << "anchor " << a.v;
		}

		// The older layout still builds: every box starts at the pen and moves it by FreeType's advance.
		lang::Ptr<game::BitmapFont> old = new game::BitmapFont(&ctx, "old.font");
		ctx.draws.clear();
		old->drawString(&ctx, text, 0.f, 40.f, game::Anchor(game::Anchor::BASELINE, game::Anchor::LEFT));
		ASSERT_EQ(ctx.draws.size(), text.size());
		for (size_t k = 1; k < text.size(); ++k)
			EXPECT_EQ(ctx.draws[k].x - ctx.draws[k - 1].x, float(ft.width(text.substr(k - 1, 1)))) << k;
	}
}

// Scripts whose text needs shaping or right-to-left order are built with a warning naming the
// script, once per text file or font; scripts drawn right (Latin, Cyrillic, Greek, CJK) warn nothing.
TEST(Qf3dTool, ScriptsTheEngineDoesNotShapeWarn)
{
	Bundle bundle;
	bundle.write("content.lua", std::string(
		"texts = { { file = 't.lang', locales = { 'en_EN', 'he_IL', 'ar_SA', 'th_TH' }, texts = {\n"
		"  { id = 'hi', en_EN = '\xD0\x9F\xCE\x93 \xE4\xB8\xAD', he_IL = '\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D', ar_SA = '\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7', th_TH = '\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA' },\n"
		"  { id = 'bye', en_EN = 'Bye', he_IL = '\xD7\x91\xD7\x99\xD7\x99', ar_SA = '\xD8\xA8\xD8\xA7\xD9\x8A', th_TH = 'ok' } } } }\n"
		"fonts = { { file = 'f.font', size = 12, ranges = { { 0x20, 0x7E }, { 0x900, 0x97F }, 0x5D0 } } }\n"));
	std::vector<std::string> warnings;
	qf3d::BuildOptions options;
	options.warn = [&](const std::string& w) {
		if (w.find("no glyph") == std::string::npos)
			warnings.push_back(w);
	};
	qf3d::build(bundle.path() + "/content.lua", bundle.path(), options);
	const std::string texts = bundle.path() + "/content.lua: texts[1] \"t.lang\": ";
	const std::string font = bundle.path() + "/content.lua: fonts[1] \"f.font\": ";
	const std::string drawn = ", which the engine does not do: it draws each character's glyph in turn, left to right";
	EXPECT_EQ(warnings, (std::vector<std::string>{
		texts + "he_IL \"hi\": Hebrew (U+05E9 \"\xD7\xA9\") needs right-to-left order" + drawn,
		texts + "ar_SA \"hi\": Arabic (U+0645 \"\xD9\x85\") needs right-to-left order and joined letter forms" + drawn,
		texts + "th_TH \"hi\": Thai (U+0E2A \"\xE0\xB8\xAA\") needs marks placed and stacked on their letters" + drawn,
		font + "ranges[2]: Devanagari (U+0900 \"\xE0\xA4\x80\") needs conjuncts, reordered vowel signs and placed marks" + drawn,
		font + "ranges[3]: Hebrew (U+05D0 \"\xD7\x90\") needs right-to-left order" + drawn}));
}

// A description that never ends is stopped, in a coroutine too; counts at their limits read back
// (the untagged text layout holds 127 locales, the tagged one 32,767), one past is refused.
TEST(Qf3dTool, EndlessDescriptionsStopAndCountsReadBackToTheirLimits)
{
	Bundle bundle;
	for (const char* endless : {"sheets = {}\nwhile true do end", "local function f() while true do end end\ncoroutine.wrap(f)()"})
	{
		const std::string message = buildError(bundle, endless);
		EXPECT_EQ(message.find(bundle.path() + "/bad.lua: "), 0u) << message;
		EXPECT_NE(message.find("the description did not finish within 20000000 Lua instructions (an endless loop?)"), std::string::npos) << message;
	}
	EXPECT_NE(qf3d::encodeFont({"f.png", 0, 0, std::vector<qf3d::GlyphRecord>(32767, qf3d::GlyphRecord{'A', 0, 0, 1, 1, 1})}).size(), 0u);
	try
	{
		qf3d::encodeFont({"f.png", 0, 0, std::vector<qf3d::GlyphRecord>(32768, qf3d::GlyphRecord{'A', 0, 0, 1, 1, 1})});
		ADD_FAILURE() << "32768 glyphs encoded";
	}
	catch (const std::length_error& e)
	{
		EXPECT_STREQ(e.what(), "32768 glyphs in one font: the engine reads at most 32767");
	}

	// At the limits, every locale reads back.
	for (const char* layout : {"untagged", "tagged"})
	{
		const int n = std::string(layout) == "untagged" ? 127 : 300;
		bundle.write("locales.lua", "local l, x = {}, { id = 'a' } for i = 1, " + std::to_string(n) + " do l[i] = 'l' .. i x[l[i]] = 'x' .. i end\n"
			"texts = { { file = 'l.lang', layout = '" + layout + "', locales = l, texts = { x } } }");
		qf3d::build(bundle.path() + "/locales.lua", bundle.path());
		game::TextGroupSet set("l.lang");
		set.loadLocaleCodes();
		ASSERT_EQ(set.getLocaleCodes().size(), size_t(n)) << layout;
		EXPECT_EQ(set.loadTextGroup("l" + std::to_string(n))->get("a"), "x" + std::to_string(n)) << layout;
	}
}
