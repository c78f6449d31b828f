// Themes, layer motion, theme sprites and the object operations of the scene.
#include "GameFixture.h"
#include <cmath>

namespace
{
class Scene : public GameTest
{
protected:
	void SetUp() override
	{
		start(960, 640);
		run(R"(
themes = { t = {
	skyColor = {r = 10, g = 20, b = 30}, groundColor = {r = 1, g = 2, b = 3},
	bgLayers = {
		{sprite = "a", zDistance = 0.5, xMult = 2, [5] = 3},
		{sprite = "", bLoop = false, parallaxSpeed = 0.5, scale = 2, velX = 10, velY = -4, offsetY = 7},
	},
	fgLayers = { {"front", "g", 0.75, 1.5, 2, horizontalRepetition = true}, {"back", "h"} },
} }
setTheme("t")
)");
	}
	const std::vector<GameLua::ThemeLayerData>& bg() const { return lua()->backgroundLayers(); }
	const std::vector<GameLua::ThemeLayerData>& fg() const { return lua()->foregroundLayers(); }
	const GameLua::ThemeSpriteData& sprite(size_t layer, size_t i = 0) const
	{
		return layer < bg().size() ? bg()[layer].sprites.at(i) : fg()[layer - bg().size()].sprites.at(i);
	}
};
}

TEST_F(Scene, ThemeLayersTakeTheirKeysAndDefaults)
{
	ASSERT_EQ(2u, bg().size());
	ASSERT_EQ(2u, fg().size());
	const GameLua::ThemeLayerData& a = bg()[0];
	EXPECT_EQ("a", a.spriteName);
	EXPECT_TRUE(a.bLoop);
	EXPECT_FALSE(a.emptySprite);
	EXPECT_EQ(0.5f, a.zDistance);
	EXPECT_EQ(2.f, a.xMult);
	EXPECT_EQ(1.f, a.yMult);
	EXPECT_EQ(3.f, a.scrollStep);
	EXPECT_EQ(1.f, a.parallaxSpeed);
	EXPECT_EQ(1.f, a.scale);
	EXPECT_EQ(1.f, a.scaleSpeed);
	const GameLua::ThemeLayerData& b = bg()[1];
	EXPECT_TRUE(b.emptySprite);
	EXPECT_FALSE(b.bLoop);
	EXPECT_EQ(0.5f, b.parallaxSpeed);
	EXPECT_EQ(7.f, b.offsetY);
	const GameLua::ThemeLayerData& f = fg()[0];
	EXPECT_EQ("front", f.secondaryName);
	EXPECT_EQ("g", f.spriteName);
	EXPECT_EQ(0.75f, f.parallaxSpeed);
	EXPECT_EQ(1.5f, f.scale);
	EXPECT_EQ(2.f, f.scrollStep);
	EXPECT_TRUE(f.horizontalRepetition);
	EXPECT_EQ(1.f, fg()[1].parallaxSpeed);
	EXPECT_EQ(1.f, fg()[1].scale);

	// The sky colour becomes the background colour on every background pass.
	run("drawBackgroundNative(-1)");
	EXPECT_EQ(0x0A141Eu, lua()->getBGColor());
}

TEST_F(Scene, UnknownThemesAndMissingTablesGiveNoLayersAndBlackColours)
{
	for (const char* code : {"setTheme('nothing')", "themes.u = {}; setTheme('u')", "themes = nil; setTheme('t')"})
	{
		run("setBGColor(9, 9, 9)");
		run(code);
		EXPECT_TRUE(bg().empty()) << code;
		EXPECT_TRUE(fg().empty()) << code;
		run("drawBackgroundNative(-1); drawForegroundNative()");
		EXPECT_EQ(0u, lua()->getBGColor()) << code;
	}
}

TEST_F(Scene, BackgroundColourIsClampedAndTruncated)
{
	run("setBGColor(300, -5, 12.9); r, g, b = getBGColor()");
	EXPECT_EQ(0xFF000Cu, lua()->getBGColor());
	EXPECT_EQ("255 0 12", eval("r .. ' ' .. g .. ' ' .. b"));
}

TEST_F(Scene, BackgroundPassDrawsEveryLayerOrTheTruncatedOne)
{
	// Every pass a layer takes part in advances its scroll offset by its step.
	run("themes.t.bgLayers[2][5] = 1; themes.t.bgLayers[1].zDistance = 0; setTheme('t')");
	const struct
	{
		const char* call;
		float first, second;
	} cases[] = {
		{"drawBackgroundNative(-1)", 3.f, 1.f},
		{"drawBackgroundNative(1.7)", 3.f, 2.f},
		{"drawBackgroundNative(0)", 6.f, 2.f},
		{"drawBackgroundNative(2)", 6.f, 2.f},
		{"drawLayer(0)", 6.f, 2.f},
	};
	for (const auto& c : cases)
	{
		run(c.call);
		EXPECT_EQ(c.first, bg()[0].scrollOffset) << c.call;
		EXPECT_EQ(c.second, bg()[1].scrollOffset) << c.call;
	}
}

TEST_F(Scene, ObjectPassRunsTheForegroundOnlyAtItsZ)
{
	const struct
	{
		const char* call;
		int passes;
	} cases[] = {
		{"drawGameNative(200)", 0}, {"drawGameNative(170)", 0}, {"drawGameNative(-1)", 0},
		{"drawGameNative(169)", 1}, {"drawGameNative(0)", 1}, {"drawForegroundNative()", 1},
	};
	for (const auto& c : cases)
	{
		const int before = lua()->foregroundPasses();
		run(c.call);
		EXPECT_EQ(c.passes, lua()->foregroundPasses() - before) << c.call;
	}
}

TEST_F(Scene, ThemeSpriteLayerIndexRunsOnIntoTheForeground)
{
	run("createThemeSprite('s0', 'x', 1, 2, 1, 1, 0, 1.9, 0, false, 0, 0)\n"
		"createThemeSprite('s1', 'x', 1, 2, 1, 1, 0, 2, 0, false, 0, 0)\n"
		"createThemeSprite('s2', 'x', 1, 2, 1, 1, 0, 3, 0, false, 0, 0)");
	EXPECT_EQ("s0", sprite(1).name);
	EXPECT_EQ("s1", sprite(2).name);
	EXPECT_EQ("s2", sprite(3).name);
	run("ok, msg = _G.pcall(createThemeSprite, 's3', 'x', 1, 2, 1, 1, 0, 4, 0, false, 0, 0)");
	EXPECT_EQ("false", eval("ok"));

	run("modifyThemeSprite('s1', 5, 6, 2, 3, 0.5, 2); setThemeSprite('s1', 'y', 2)");
	EXPECT_EQ(5.f, sprite(2).x);
	EXPECT_EQ(6.f, sprite(2).y);
	EXPECT_EQ(3.f, sprite(2).scaleY);
	EXPECT_EQ(0.5f, sprite(2).angle);
	EXPECT_EQ("y", sprite(2).spriteName);
	// Origin and start keep the place of creation.
	EXPECT_EQ(1.f, sprite(2).originX);
	EXPECT_EQ(1.f, sprite(2).startX);

	run("removeThemeSprite('s1', 1); removeThemeSprite('nobody', 2)");
	EXPECT_EQ(1u, fg()[0].sprites.size());
	run("removeThemeSprite('s1', 2)");
	EXPECT_TRUE(fg()[0].sprites.empty());
}

TEST_F(Scene, LayerMotionMovesScalesAndWrapsTheForeground)
{
	// Screen 960 x 640 at simulation scale 1: the foreground wraps past 4 x 960 across and 640 down.
	const struct
	{
		float layer, x, velX, y, velY, scaleSpeed;
		float dt;
		float wantX, wantY, wantScale;
	} cases[] = {
		{0, 10, 4, 20, -2, 0.5f, 0.5f, 12, 19, 1.25f},
		{0, 10, 0, 20, 0, -4, 0.5f, 10, 20, 1}, // the scale would reach 0: it stays
		{0, 5000, 0, 0, 0, 0, 0.1f, 5000, 0, 1}, // background sprites never wrap
		{2, 10, 0, 0, 0, 0, 1, 10, 0, 1},
		{2, 3000, 500, 0, 0, 0, 1, 3500, 0, 1},
		{2, 3000, 1000, 0, 0, 0, 1, -2400, 0, 1},
		{2, -3000, -1000, 0, 0, 0, 1, 2400, 0, 1},
		{2, 4000, 0, 0, 0, 0, 1, 2400, 0, 1},
		{2, 0, 0, 700, 0, 0, 0.1f, 0, 640, 1},
		{2, 0, 0, 700, 10, 0, 0.1f, 0, -640, 1},
	};
	for (const auto& c : cases)
	{
		run("setTheme('t')");
		run("createThemeSprite('s', 'x', 0, 0, 1, 1, 0, " + std::to_string(c.layer) + ", " +
			std::to_string(c.scaleSpeed) + ", false, " + std::to_string(c.velX) + ", " + std::to_string(c.velY) + ")");
		run("modifyThemeSprite('s', " + std::to_string(c.x) + ", " + std::to_string(c.y) + ", 1, 1, 0, " +
			std::to_string(c.layer) + ")");
		lua()->moveLayerSprites(c.dt);
		const GameLua::ThemeSpriteData& s = sprite(static_cast<size_t>(c.layer));
		EXPECT_FLOAT_EQ(c.wantX, s.x) << c.layer << " " << c.x << " " << c.velX;
		EXPECT_FLOAT_EQ(c.wantY, s.y) << c.layer << " " << c.y << " " << c.velY;
		EXPECT_FLOAT_EQ(c.wantScale, s.scaleX);
		EXPECT_FLOAT_EQ(c.wantScale, s.scaleY);
	}
	// Layers move by their own velocity.
	run("setTheme('t')");
	lua()->moveLayerSprites(0.5f);
	EXPECT_EQ(5.f, bg()[1].posX);
	EXPECT_EQ(-2.f, bg()[1].posY);
}

TEST_F(Scene, AnimationsStepTheirFramesAndEndOrRestart)
{
	run("createThemeAnimation({layer = 0, name = 'once', animation = {'f1', 'f2', 'f3'}, animDelay = 1, bLoop = false})\n"
		"createThemeAnimation({layer = 0, name = 'loop', animation = {'f1', 'f2', 'f3'}, animDelay = 1, bLoop = true})\n"
		"createThemeAnimation({layer = 2, name = 'fg', animation = {'f1', 'f2'}, animDelay = 0})");
	// Timer 0 at start: every step of 1 s with delay 1 alternates between advancing and counting down.
	const struct
	{
		size_t count;
		const char* once;
		const char* loop;
	} steps[] = {
		{2, "f2", "f2"}, {2, "f2", "f2"}, {2, "f3", "f3"}, {2, "f3", "f3"}, {1, nullptr, "f1"}, {1, nullptr, "f1"}, {1, nullptr, "f2"},
	};
	ASSERT_EQ(2u, bg()[0].sprites.size());
	for (const auto& s : steps)
	{
		lua()->moveLayerSprites(1.f);
		ASSERT_EQ(s.count, bg()[0].sprites.size());
		if (s.once)
		{
			EXPECT_EQ(s.once, bg()[0].sprites[0].spriteName);
		}
		EXPECT_EQ(s.loop, bg()[0].sprites.back().spriteName);
	}
	// Foreground layers do not animate.
	EXPECT_EQ("f1", fg()[0].sprites[0].spriteName);
	EXPECT_EQ(0, fg()[0].sprites[0].frame);

	run("ok, msg = _G.pcall(createThemeAnimation, {layer = 0, name = 'empty'})");
	EXPECT_EQ("false", eval("ok"));
	EXPECT_NE(std::string::npos, eval("msg").find("animation")) << eval("msg");
	run("ok, msg = _G.pcall(createThemeAnimation, {layer = 0, name = 'empty', animation = {}})");
	EXPECT_EQ("false", eval("ok"));
	EXPECT_EQ(1u, bg()[0].sprites.size());
}

TEST_F(Scene, RotationKeepsAnglesInOneTurn)
{
	const float twoPi = 2.f * static_cast<float>(M_PI);
	const struct
	{
		float angle, speed, dt, want;
	} cases[] = {
		{1, 2, 0.5f, 2}, {6, 1, 1, 7 - twoPi}, {0.5f, -1, 1, twoPi - 0.5f}, {0, 3 * twoPi + 1, 1, 1},
	};
	for (const auto& c : cases)
	{
		run("setTheme('t'); createThemeSprite('s', 'x', 0, 0, 1, 1, " + std::to_string(c.angle) + ", 2, 0, false, 0, 0)");
		const_cast<GameLua::ThemeSpriteData&>(sprite(2)).angularSpeed = c.speed;
		lua()->rotateThemeSprites(c.dt);
		EXPECT_NEAR(c.want, sprite(2).angle, 1e-4f) << c.angle << " " << c.speed;
		EXPECT_GE(sprite(2).angle, 0.f);
		EXPECT_LT(sprite(2).angle, twoPi);
	}
}

TEST_F(Scene, ThemeOffsetYScalesForLayersWithoutSprites)
{
	run("createThemeSprite('s', 'x', 0, 0, 1, 1, 0, 0, 0, false, 0, 0)\n"
		"setThemeOffsetY('t', 64)");
	EXPECT_EQ(64.f, bg()[0].offsetY);               // with a theme sprite: the offset as given
	EXPECT_EQ(7.f + 64.f * 768.f / 640.f, bg()[1].offsetY); // without: scaled to the 768-pixel screen, on top of its own
	run("setThemeOffsetY('nothing', 5)");
	EXPECT_EQ(64.f, bg()[0].offsetY);
}

TEST_F(Scene, ObjectOperationsStoreTheirValues)
{
	run("createBox('b', '', 1, 1, 1, 1, 0, 1, 0, true, false, 3)");
	GameLua::RenderObjectData* b = lua()->findObject("b");
	ASSERT_NE(nullptr, b);
	const struct
	{
		const char* material;
		int code;
	} materials[] = {{"wood", 1}, {"rock", 2}, {"light", 3}, {"propeller", 4}, {"immovable", 5}, {"cheese", 5}, {"Wood", 5}};
	for (const auto& m : materials)
	{
		run(std::string("setMaterial('b', '") + m.material + "')");
		EXPECT_EQ(m.code, b->material) << m.material;
	}
	run("setSpriteRotation('b', 7); setVisible('b', false); setTextureScale('b', 2.5)");
	EXPECT_NEAR(7.f - 2.f * static_cast<float>(M_PI), b->spriteAngle, 1e-5f);
	EXPECT_NEAR(7.f - 2.f * static_cast<float>(M_PI), std::stof(eval("objects.world.b.spriteAngle")), 1e-5f);
	EXPECT_FALSE(b->visible);
	EXPECT_EQ(2.5f, b->textureScale);
	run("setTexture('b', 'noSuchSheet')");
	EXPECT_EQ("noSuchSheet", b->textureName);
	EXPECT_FALSE(b->textureImage);

	// Decorations come from the block definition; missing tables read as empty.
	run("setDecorationObjects('b')");
	EXPECT_TRUE(b->decorated);
	ASSERT_TRUE(b->decoration);
	EXPECT_EQ(0, b->decoration->amount);
	run("objects.world.b.definition = 'd'\n"
		"blockTable.blocks.d = {decorations = {amount = 3.7, sprite = 'none', angleIncrement = 45, scale = 2}}\n"
		"setDecorationObjects('b')");
	EXPECT_EQ(3, b->decoration->amount);
	EXPECT_EQ(45.f, b->decoration->angleIncrement);
	EXPECT_EQ(2.f, b->decoration->scale);

	for (const char* call : {"setVisible('x', true)", "setSprite('x', 'a')", "setMaterial('x', 'wood')", "setDecorationObjects('x')"})
	{
		run(std::string("ok = _G.pcall(function() ") + call + " end)");
		EXPECT_EQ("false", eval("ok")) << call;
	}
}

TEST_F(Scene, WorldScaleReachesTheApplicationZoom)
{
	run("setWorldScale(1.75)");
	EXPECT_EQ(1.75f, lua()->worldScale());
	EXPECT_EQ(1.75f, app()->zoom());
	EXPECT_EQ(1.75f, app()->lastZoom());
}

TEST_F(Scene, ThemeSpritesWrapAgainstTheCameraLimitInTheirDirection)
{
	// Layer 1 does not repeat: M = limit x 20 / simulation scale = 200.
	const struct
	{
		float x, velX, y;
		float wantX, wantY;
	} cases[] = {
		{150, 5, 0, 150, 0},
		{250, 5, 0, 30 - 200, 0},
		{-250, -5, 0, 30 + 200, 0},
		{250, 0, 0, 250, 0},   // standing still beyond the limit: left where it is
		{250, -5, 0, 250, 0},  // coming back into view
		{-250, 5, 0, -250, 0},
		{0, 0, 40 + 4 * 640 + 1, 0, 40 - 10},
	};
	run("setCameraLimits(10)");
	for (const auto& c : cases)
	{
		run("setTheme('t'); createThemeSprite('s', 'x', 30, 40, 1, 1, 0, 1, 0, false, " + std::to_string(c.velX) + ", 0)");
		run("modifyThemeSprite('s', " + std::to_string(c.x) + ", " + std::to_string(c.y) + ", 1, 1, 0, 1)");
		run("drawBackgroundNative(1)");
		EXPECT_FLOAT_EQ(c.wantX, sprite(1).x) << c.x << " " << c.velX;
		EXPECT_FLOAT_EQ(c.wantY, sprite(1).y) << c.y;
	}
	// Layer 0 repeats: M = (10 x 10 + 10 x 960 / 1024) / 1.
	run("setTheme('t'); createThemeSprite('s', 'x', 30, 0, 1, 1, 0, 0, 0, false, 5, 0)");
	run("modifyThemeSprite('s', 105, 0, 1, 1, 0, 0); drawBackgroundNative(0)");
	EXPECT_FLOAT_EQ(105.f, sprite(0).x);
	run("modifyThemeSprite('s', 110, 0, 1, 1, 0, 0); setPhysicsSimulationScale(2); drawBackgroundNative(0)");
	EXPECT_FLOAT_EQ(30.f - (100.f + 9.375f) / 2.f, sprite(0).x);
}
