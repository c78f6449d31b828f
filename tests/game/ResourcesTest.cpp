#include "GameTestSupport.h"
#include <audio/AudioClip.h>
#include <game/CompoSprite.h>
#include <game/Resources.h>
#include <game/SpriteSheet.h>
#include <cstdint>
#include <filesystem>

using namespace gametest;

namespace
{
qf3d::SheetRecord sheet(const std::string& image, std::vector<qf3d::SpriteRecord> sprites)
{
	qf3d::SheetRecord s;
	s.image = image;
	s.sprites = std::move(sprites);
	return s;
}

qf3d::FontRecord boxFont()
{
	qf3d::FontRecord f;
	f.image = "font.png";
	f.tracking = 1;
	f.glyphs = {{'A', 0, 0, 10, 12, 10}, {'B', 10, 0, 8, 12, 10}};
	return f;
}

struct Fixture
{
	Bundle bundle;
	RecordingContext ctx;
	game::Resources res{&ctx};

	Fixture()
	{
		std::filesystem::create_directories(bundle.path() + "/a");
		std::filesystem::create_directories(bundle.path() + "/c");
		bundle.image("a/one.png", 64, 64);
		bundle.image("c/two.png", 64, 64);
		bundle.write("a/b.sheet", qf3d::encodeSheet(sheet("one.png", {{"x", 0, 0, 10, 20, 5, 10}, {"y", 0, 0, 4, 4, 0, 0}})));
		bundle.write("c/b.sheet", qf3d::encodeSheet(sheet("two.png", {{"x", 0, 0, 30, 40, 0, 0}})));
	}
};
}

TEST(Resources, SheetsAreKeyedByBaseNameAndReloadReplacesTheirSprites)
{
	Fixture f;
	game::SpriteSheet* first = f.res.createSpriteSheet("a/b.sheet", false);
	EXPECT_EQ(first, f.res.createSpriteSheet("c/b.sheet", false));
	EXPECT_EQ(10, f.res.getSpriteWidth("x"));
	EXPECT_EQ(first, f.res.findSpriteSheet("y"));

	game::SpriteSheet* second = f.res.createSpriteSheet("c/b.sheet", true);
	EXPECT_NE(first, second);
	EXPECT_EQ(second, f.res.getSpriteSheet("b"));
	EXPECT_EQ(30, f.res.getSpriteWidth("x"));
	EXPECT_EQ(nullptr, f.res.getSprite("y")) << "the old sheet's names leave the registry";

	f.res.releaseSpriteSheet("b");
	EXPECT_EQ(nullptr, f.res.getSprite("x"));
	EXPECT_EQ(0, f.res.getSpriteWidth("x"));
	f.res.releaseSpriteSheet("never");
}

TEST(Resources, CompositesShareTheNamespaceOfSprites)
{
	Fixture f;
	f.res.createSpriteSheet("a/b.sheet", false);
	qf3d::CompoRecord logo{"logo", {{"x", 0, 0}, {"y", 5, 5}}, {}};
	qf3d::CompoRecord shadow{"y", {{"x", 1, 1}}, {}};
	f.bundle.write("set.compo", qf3d::encodeCompos({logo, shadow}));
	f.res.createCompoSpriteSet("set.compo", false);
	ASSERT_TRUE(f.res.getCompoSprite("logo"));
	EXPECT_EQ(nullptr, f.res.getSprite("y")) << "a composite of a sprite's name replaces its entry";
	EXPECT_TRUE(f.res.getCompoSprite("y"));
	EXPECT_TRUE(f.res.findCompoSpriteSet("logo"));

	f.ctx.draws.clear();
	f.res.drawSprite("logo", 50, 50, game::Anchor());
	EXPECT_EQ(2u, f.ctx.draws.size());
	f.res.drawSprite("unknown", 0, 0, game::Anchor());
	f.res.drawSprite("unknown", 0, 0, 5, 5, game::Anchor());
	EXPECT_EQ(2u, f.ctx.draws.size());

	// Releasing the sheet removes every name it has, the composite's "y" too.
	f.res.releaseSpriteSheet("b");
	EXPECT_EQ(nullptr, f.res.getCompoSprite("y"));
	EXPECT_TRUE(f.res.getCompoSprite("logo")) << "parts keep their sprites";
	f.res.releaseCompoSpriteSet("set");
	EXPECT_EQ(nullptr, f.res.getCompoSprite("logo"));
}

TEST(Resources, FontsAndTexts)
{
	Fixture f;
	f.bundle.image("font.png", 32, 32);
	f.bundle.write("f.font", qf3d::encodeFont(boxFont()));
	qf3d::TextSetRecord texts{{"en_EN", "fr_FR"}, {"HI"}, {{"hello"}, {"salut"}}};
	f.bundle.write("t.lang", qf3d::encodeTexts(texts));

	const struct
	{
		std::function<void()> call;
		const char* message;
	} noFont[] = {
		{[&] { f.res.drawString("t", "HI", 0, 0, game::Anchor()); }, "No font is set while trying to draw string"},
		{[&] { f.res.getStringWidth("A", 0, 1); }, "No font is set while trying to get string width"},
		{[&] { f.res.getFontMaxAscending(); }, "No font is set while trying to get font max ascending"},
		{[&] { f.res.getFontMaxDescending(); }, "No font is set while trying to get font max descending"},
		{[&] { f.res.getFontLeading(); }, "No font is set while trying to get font leading"},
		{[&] { f.res.getFontTracking(); }, "No font is set while trying to get font tracking"},
		{[&] { f.res.getFontHeight(); }, "No font is set while trying to get font height!"},
	};
	for (const auto& c : noFont)
		EXPECT_EQ(c.message, thrownMessage(c.call));

	EXPECT_EQ("HI", f.res.getString("t", "HI")) << "an unknown set answers the id";
	f.res.createTextGroupSet("t.lang", false);
	f.res.loadLocale("t", "fr_FR");
	f.res.useLocale("fr_FR");
	EXPECT_EQ("salut", f.res.getString("t", "HI"));
	f.res.loadLocale("t", "en_EN");
	EXPECT_NE("", thrownMessage([&] { f.res.getString("t", "HI"); })) << "fr_FR is no longer loaded";

	f.res.createBitmapFont("f.font", false);
	f.res.useFont("f");
	const int width = f.res.getStringWidth("AB", 0, 2);
	EXPECT_LT(0, width);
	f.res.useFont("nothing");
	EXPECT_EQ(width, f.res.getStringWidth("AB", 0, 2)) << "an unknown key keeps the font";
	EXPECT_EQ(f.res.getFontMaxAscending() + f.res.getFontMaxDescending(), f.res.getFontHeight());

	// Releasing the current font clears it: nothing freed is ever used.
	f.res.releaseFont("f");
	EXPECT_EQ(nullptr, f.res.getFont());
	EXPECT_EQ("No font is set while trying to get font tracking", thrownMessage([&] { f.res.getFontTracking(); }));
}

TEST(Resources, AudioWithoutOutput)
{
	Fixture f;
	const struct
	{
		std::function<void()> call;
		const char* message;
	} cases[] = {
		{[&] { f.res.playAudio("x", 1, false, 0); }, "Trying to play audio clip but no audio output has been created"},
		{[&] { f.res.stopAudio("x"); }, "Trying to stop audio clip but no audio output has been created"},
		{[&] { f.res.stopAllAudio(); }, "Trying to stop all audio clips but no audio output has been created"},
		{[&] { f.res.startAudioOutput(); }, "Trying to start audio output but no audio output has been created"},
		{[&] { f.res.startAudioInput(); }, "Trying to start audio input but no audio input has been created"},
		{[&] { f.res.createAudio("a.wav", "a", false); }, "Trying to create audio but no audio output has been created"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.message, thrownMessage(c.call));
	f.res.stopAudioOutput();
	f.res.stopAudioInput();
	f.res.setMasterVolume(0.5f);
	EXPECT_EQ(0.f, f.res.getMasterVolume());
	EXPECT_FALSE(f.res.isAudioPlaying("x"));
	EXPECT_FALSE(f.res.isAudioPlaying(0));
}

TEST(Resources, AudioClipsLoadAndReplaceUnderTheirId)
{
	Fixture f;
	f.bundle.write("a.wav", wavFile(100));
	f.bundle.write("b.wav", wavFile(30));
	f.res.createAudioOutput(audio::AudioConfiguration{2, 16, 44100});
	EXPECT_EQ(-1, f.res.playAudio("never", 1, false, 0));
	audio::AudioClip* a = f.res.createAudio("a.wav", "a", false);
	EXPECT_EQ(200, a->dataSize());
	EXPECT_EQ(1, a->channels());
	audio::AudioClip* streamed = f.res.createAudio("b.wav", "a", true);
	EXPECT_EQ(streamed, f.res.getAudioClip("a"));
	EXPECT_EQ(60, streamed->dataSize());
	EXPECT_NE("", thrownMessage([&] { f.res.createCompositeAudio("c", {}); }));
	EXPECT_EQ(nullptr, f.res.getAudioClip("c"));
	f.res.setMasterVolume(0.25f);
	EXPECT_FLOAT_EQ(0.25f, f.res.getMasterVolume());
}
