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
