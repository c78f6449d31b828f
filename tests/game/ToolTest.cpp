#include "GameTestSupport.h"
#include <game/BitmapFont.h>
#include <game/CompoSpriteSet.h>
#include <game/SpriteSheet.h>
#include <game/TextGroupSet.h>
#include <io/BundleInputStream.h>
#include <qf3d/Build.h>

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

std::string buildError(const Bundle& bundle, const std::string& description)
{
	bundle.write("bad.lua", description);
	try
	{
		qf3d::build(bundle.path() + "/bad.lua", bundle.path() + "/bad");
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
	EXPECT_EQ(font->getTracking(), 1);
	EXPECT_GT(font->getMaxAscending(), 8);
	EXPECT_EQ(font->getMaxDescending() + font->getMaxAscending(), font->getGlyph('A')->getHeight());
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
