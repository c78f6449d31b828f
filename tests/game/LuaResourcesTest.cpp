#include "GameTestSupport.h"
#include "Sweep.h"
#include <audio/AudioClip.h>
#include <game/LuaResources.h>
#include <io/ByteArrayInputStream.h>
#include <lua/LuaException.h>
#include <lua/LuaState.h>
#include <cstdint>
#include <string>
#include <vector>

using namespace gametest;

namespace
{
// Copied from the table of res's functions, in order.
const char* const kResNames[] = {"setPath", "createSpriteSheet", "createCompoSpriteSet", "createBitmapFont",
	"createTextGroupSet", "createAudioOutput", "createAudioInput", "createAudio", "createCompositeAudio",
	"captureSprite", "releaseSpriteSheet", "releaseCompoSpriteSet", "releaseFont", "releaseTextGroupSet",
	"loadLocale", "useLocale", "useFont", "drawSprite", "drawCompoSprite", "drawString", "setClipRect",
	"getClipRect", "getString", "playAudio", "stopAudio", "stopAllAudio", "isAudioPlaying", "getSpriteBounds",
	"getSpritePivot", "getCompoSpriteBounds", "getCompoSpriteData", "getStringWidth", "getFontMaxAscending",
	"getFontMaxDescending", "getFontLeading", "getFontTracking", "getFontHeight", "getLocale", "startAudioOutput",
	"stopAudioOutput", "startAudioInput", "stopAudioInput", "setMasterVolume", "setTrackVolume", "getTrackVolume",
	"openURL"};


struct Fixture
{
	Bundle bundle;
	RecordingContext ctx;
	lua::LuaState state;
	lang::Ptr<game::LuaResources> res = new game::LuaResources(&state, &ctx);

	Fixture()
	{
		bundle.image("s.png", 64, 64);
		qf3d::SheetRecord s;
		s.image = "s.png";
		s.sprites = {{"box", 0, 0, 20, 10, 4, 2}};
		bundle.write("s.sheet", qf3d::encodeSheet(s));
	}

	void run(const std::string& text)
	{
		io::ByteArrayInputStream in(text.data(), int(text.size()));
		state.compile(in, "test", nullptr);
	}
	std::string error(const std::string& text)
	{
		try
		{
			run(text);
		}
		catch (const lua::LuaException& e)
		{
			return e.getMessage().format();
		}
		return "";
	}
	std::string str(const char* key) { return state.globals().getString(key); }
	float num(const char* key) { return state.globals().getNumber(key); }
};

std::string firstLine(const std::string& s)
{
	return s.substr(0, s.find('\n'));
}
}

TEST(LuaResources, EveryFunctionIsPublished)
{
	Fixture f;
	EXPECT_EQ(46u, sizeof kResNames / sizeof *kResNames);
	for (const char* name : kResNames)
	{
		f.run(std::string("kind = type(res.") + name + ")");
		EXPECT_EQ("function", f.str("kind")) << name;
	}
}

TEST(LuaResources, DrawSpriteFormsAndAnchors)
{
	Fixture f;
	f.run("res.createSpriteSheet('s.sheet')");
	struct Case
	{
		const char* call;
		float x, y, w, h;
	} cases[] = {
		{"res.drawSprite('box', 100, 50)", 96, 48, 20, 10},
		{"res:drawSprite('box', 100, 50, 'TOP', 'LEFT')", 100, 50, 20, 10},
		{"res.drawSprite('box', 100, 50, 'BOTTOM', 'HCENTER', 64, 32)", 90, 40, 64, 32},
		{"res.drawSprite('box', 100, 50, 'BOTTOM', 'HCENTER', 64)", 90, 40, 20, 10},
		{"res.drawCompoSprite('box', 100, 50, 'LEFT')", 100, 48, 20, 10},
	};
	for (const Case& c : cases)
	{
		f.ctx.draws.clear();
		f.run(c.call);
		ASSERT_EQ(1u, f.ctx.draws.size()) << c.call;
		const Draw& d = f.ctx.draws[0];
		EXPECT_EQ(c.x, d.x) << c.call;
		EXPECT_EQ(c.y, d.y) << c.call;
		EXPECT_EQ(c.w, d.w) << c.call;
		EXPECT_EQ(c.h, d.h) << c.call;
	}
	f.run("w, h = res.getSpriteBounds('box'); px, py = res:getSpritePivot('box')\n"
		  "l, t, r, b = res.getCompoSpriteBounds('box'); uw = res.getSpriteBounds('none')");
	EXPECT_EQ(20, f.num("w"));
	EXPECT_EQ(2, f.num("py"));
	EXPECT_EQ(-4, f.num("l"));
	EXPECT_EQ(8, f.num("b"));
	EXPECT_EQ(0, f.num("uw"));
}

TEST(LuaResources, ArgumentErrorsNameTheFunction)
{
	Fixture f;
	const struct
	{
		const char* call;
		const char* message;
	} cases[] = {
		{"res.drawSprite('box', 1, 2, 'TOP', 'LEFT', 1, 2, 3, 4)", "drawSprite: 3 to 7 arguments expected, got 9"},
		{"res.drawSprite()", "drawSprite: 4 to 8 arguments expected, got 0"},
		{"res.drawString('a', 'b', 1)", "drawString: 4 to 6 arguments expected, got 3"},
		{"res.createSpriteSheet('a', true, 1)", "createSpriteSheet: 1 to 2 arguments expected, got 3"},
		{"res.playAudio()", "playAudio: 1 to 4 arguments expected, got 0"},
		{"res.setClipRect(1, 2, 'x', 4)", "setClipRect: Excepted type NUMBER at stack position 3 but found STRING"},
		{"res.playAudio('a', 1, true, 'x')", "playAudio: Excepted type NUMBER at stack position 4 but found STRING"},
		{"res.drawSprite('box', 1, 2, 'SIDEWAYS')", "drawSprite: Invalid anchor: SIDEWAYS"},
		{"res.getFontHeight()", "getFontHeight: No font is set while trying to get font height!"},
		{"res.stopAllAudio()", "stopAllAudio: Trying to stop all audio clips but no audio output has been created"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.message, firstLine(f.error(c.call))) << c.call;
	EXPECT_NE(std::string::npos, f.error("res.setClipRect(1, 2, 'x', 4)").find("Call stack:"));
}

TEST(LuaResources, EdgeCases)
{
	Fixture f;
	f.run("l, t, w, h = res.getClipRect()");
	EXPECT_EQ(-10000, f.num("l"));
	EXPECT_EQ(-10000, f.num("t"));
	EXPECT_EQ(20000, f.num("w"));
	EXPECT_EQ(20000, f.num("h"));
	f.run("res.setClipRect(10.7, 20, 0/0, 1e300); l, t, w, h = res.getClipRect()");
	EXPECT_EQ(10, f.num("l"));
	EXPECT_EQ(-10, f.num("w")) << "NaN gives 0";
	EXPECT_FLOAT_EQ(2147483647.f - 20, f.num("h")) << "saturated";
	EXPECT_EQ(10, f.ctx.state.clipRect.left());

	f.run("nothing = res.isAudioPlaying(true); none = res.getTrackVolume(0); res.setTrackVolume(1, 0)\n"
		  "data = res.getCompoSpriteData('box'); count = #data; id = res.getString('NOSET', 'HELLO')\n"
		  "locale = res.getLocale()");
	EXPECT_FALSE(f.state.globals().getBoolean("nothing"));
	EXPECT_EQ(0, f.num("none"));
	EXPECT_EQ(0, f.num("count"));
	EXPECT_EQ("HELLO", f.str("id"));
	EXPECT_EQ("en_EN", f.str("locale"));
}

TEST(LuaResources, OpenURLGoesToTheApplicationsOpener)
{
	Fixture f;
	f.run("alone = res.openURL('https://example.org/')");
	EXPECT_FALSE(f.state.globals().getBoolean("alone")) << "nothing opens without an opener";

	std::vector<std::string> asked;
	f.res->setURLOpener([&](const std::string& url) {
		asked.push_back(url);
		return url.rfind("https:", 0) == 0;
	});
	f.run("yes = res.openURL('https://example.org/a b'); no = res.openURL('mailto:x')");
	EXPECT_TRUE(f.state.globals().getBoolean("yes"));
	EXPECT_FALSE(f.state.globals().getBoolean("no"));
	EXPECT_EQ((std::vector<std::string>{"https://example.org/a b", "mailto:x"}), asked);
}

TEST(LuaResources, AudioThroughTheTable)
{
	Fixture f;
	f.bundle.write("a.wav", wavFile(100));
	f.bundle.write("b.wav", wavFile(50));
	f.bundle.write("c.wav", wavFile(10));
	f.run("res.createAudioOutput(2, 16, 44100); res.startAudioOutput()\n"
		  "res.createAudio('a.wav', 'a', false); res.createAudio('b.wav', 'b'); res.createAudio('c.wav', 'c', true)\n"
		  "res.createCompositeAudio('abc', {'a', 'b', 5, 'c'})\n"
		  "never = res.playAudio('never')\n"
		  "handle = res.playAudio('a', 0.5, true, 1)\n"
		  "playing = res.isAudioPlaying('a'); byHandle = res.isAudioPlaying(handle)\n"
		  "res.setTrackVolume(0.25, 3); track = res.getTrackVolume(3)\n"
		  "res.stopAudio('a'); res.stopAllAudio()");
	EXPECT_EQ(-1, f.num("never"));
	EXPECT_TRUE(f.state.globals().getBoolean("playing"));
	EXPECT_TRUE(f.state.globals().getBoolean("byHandle"));
	EXPECT_EQ(0.25f, f.num("track"));
	audio::AudioClip* abc = f.res->getResources()->getAudioClip("abc");
	ASSERT_TRUE(abc);
	EXPECT_EQ(300, abc->dataSize()) << "a and b only: reading stops at the number";

	EXPECT_EQ("createCompositeAudio: No loaded audio clip for the composite clip none",
		firstLine(f.error("res.createCompositeAudio('none', {'x', 'y'})")));
	EXPECT_EQ(nullptr, f.res->getResources()->getAudioClip("none"));
	EXPECT_EQ("setTrackVolume: Track 9 out of bounds! Range [0-7]", firstLine(f.error("res.setTrackVolume(1, 9)")));
}

TEST(LuaResources, SweepRaisesOnlyNamedErrors)
{
	Fixture f;
	f.run(sweepScript());
	f.run("res.createSpriteSheet('s.sheet')");
	std::string names = "names = {";
	for (const char* name : kResNames)
		names += std::string("'") + name + "',";
	f.run(names + "}\nbad = sweep(res, names, {openURL = true, createAudioInput = true, startAudioInput = true})\n"
				  "count = #bad\nfirst = bad[1]");
	EXPECT_EQ(0, f.num("count")) << f.str("first");
}
