// The scene passes drawn through the game object: theme layers, objects in z order, foreground.
#include "GameGLFixture.h"

namespace
{
const uint32_t SKY = 0xFF80B0E0, BAND = 0xFFF0F0F0, HILL = 0xFF208040, SOIL = 0xFF806030, GRASS = 0xFF40C040,
	CRATE = 0xFFE0C020, EDGE = 0xFFC02020, BALL = 0xFFD02020, STAR = 0xFFFFFFFF, PLANK = 0xFFE08020, POST = 0xFF8030C0;

class GLT(SceneDraw) : public GLT(GameGL)
{
protected:
	void SetUp() override
	{
		GLT(GameGL)::SetUp();
		qf3d::Bitmap scene(128, 128);
		paint(scene, 0, 0, 64, 48, SKY);
		paint(scene, 0, 10, 32, 4, BAND);
		for (int row = 0; row < 24; ++row) // a stepped hill, widest at the bottom
			paint(scene, 64 + 24 - row, row, 2 * row, 1, HILL);
		paint(scene, 0, 48, 32, 16, SOIL);
		paint(scene, 0, 48, 32, 3, GRASS);
		paint(scene, 32, 48, 12, 12, EDGE);
		paint(scene, 34, 50, 8, 8, CRATE);
		paint(scene, 48, 48, 8, 8, BALL);
		paint(scene, 58, 48, 1, 5, STAR);
		paint(scene, 56, 50, 5, 1, STAR);
		paint(scene, 64, 48, 16, 6, BAND);
		paint(scene, 80, 56, 4, 4, EDGE); // "flag": red left half, white right half
		paint(scene, 84, 56, 4, 4, STAR);
		write("scene.png", qf3d::encodePng(scene));
		write("scene.sheet", qf3d::encodeSheet({"scene.png", {{"sky", 0, 0, 64, 48, 0, 0}, {"hill", 64, 0, 48, 24, 24, 24},
			{"ground", 0, 48, 32, 16, 0, 0}, {"crate", 32, 48, 12, 12, 6, 6}, {"ball", 48, 48, 8, 8, 4, 4},
			{"star", 56, 48, 5, 5, 2, 2}, {"cloud", 64, 48, 16, 6, 8, 3}, {"flag", 80, 56, 8, 4, 4, 2}}}));
		qf3d::Bitmap props(32, 32);
		paint(props, 0, 0, 24, 4, PLANK);
		paint(props, 24, 0, 4, 16, POST);
		write("props.png", qf3d::encodePng(props));
		write("props.sheet", qf3d::encodeSheet({"props.png", {{"plank", 0, 0, 24, 4, 12, 2}, {"post", 24, 0, 4, 16, 2, 8}}}));
		resources().createSpriteSheet("scene.sheet", false);
		resources().createSpriteSheet("props.sheet", false);
		// The tower's first part comes from the second sheet, so it is grouped under that sheet.
		write("towers.compo", qf3d::encodeCompos({{"tower", {{"plank", 0, -8}, {"crate", 0, 0}, {"crate", 0, 12}}, {}}}));
		resources().createCompoSpriteSet("towers.compo", false);
		startGame();
		run(R"(
themes = { hills = {
	skyColor = {r = 300, g = 40, b = 90.7}, groundColor = {r = 128, g = 96, b = 48},
	bgLayers = {
		{sprite = "sky", scale = 4, zDistance = 0.1, scaleSpeed = 0, posY = -24},
		{sprite = "hill", bLoop = false, scale = 4, zDistance = 0.4, scaleSpeed = 0, posX = 150, posY = 110},
	},
	fgLayers = { {"front", "ground", 1, 1, 0} },
} }
setTheme("hills")
createThemeSprite("cloud", "cloud", 100, 20, 1, 1, 0, 0, 0, false, 0, 0)
createThemeSprite("flower", "star", 140, 80, 2, 2, 0, 1, 0, false, 0, 0)
screen = {x = 0, y = 0}
setTopLeft(0, -150)
createBox("crate1", "crate", 2, -1, 0.6, 0.6, 0, 1, 0, true, false, 10)
createBox("crate2", "crate", 3, -1, 0.6, 0.6, 0, 1, 0, true, false, 10)
setRotation("crate2", 0.4)
createCircle("ball", "ball", 4.5, -2, 0.2, 0, 1, 0, true, false, 20)
createBox("tower", "tower", 6, -1.5, 0.6, 1.6, 0, 1, 0, true, false, 5)
createBox("post", "post", 5, -0.1, 0.2, 0.8, 0, 1, 0, true, false, 120)
createBox("hidden", "crate", 5, -3, 0.6, 0.6, 0, 1, 0, true, false, 10)
setVisible("hidden", false)
createCompoundBodyFromTable({name = "cmp", x = 9, y = -2, angle = 0.3,
	material = {density = 0, friction = 1, restitution = 0},
	children = {
		{x = 0, y = 0, angle = 0, blockData = {sprite = "plank", type = "box", width = 1.2, height = 0.2}},
		{x = 0.3, y = -0.4, angle = 0, blockData = {sprite = "crate", type = "box", width = 0.6, height = 0.6}},
	}})
createBox("deco", "ball", 10.5, -4, 0.4, 0.4, 0, 1, 0, true, false, 30)
blockTable.blocks.flowerBlock = {decorations = {amount = 4, sprite = "star", angleIncrement = 90, scale = 2}}
objects.world.deco.definition = "flowerBlock"
setDecorationObjects("deco")
function drawScene() drawBackgroundNative(-1); drawGameNative(100) end
)");
		// The first pass takes the reference camera and the sky colour.
		frame("drawScene()");
	}
};
}

TEST_F(GLT(SceneDraw), LayersObjectsAndForegroundAtTwoWorldScales)
{
	EXPECT_EQ(0xFF285Au, m_game->getBGColor());
	run("screen.x = 60; setTopLeft(30, -150)");
	const gltest::RGBAImage moved = frame("drawScene()");
	// Ground fill from the ground layer's bottom line to the screen's edge; the tile's grass on top of it.
	EXPECT_EQ(captured(0xFF806030), moved.at(0, HEIGHT - 1));
	EXPECT_EQ(captured(GRASS), moved.at(100, 151));
	// The hill (z distance 0.4) follows the screen's 60-pixel move by 60 x 0.4 / 2: its slope's row 6 starts at 108, not 120.
	EXPECT_EQ(captured(HILL), moved.at(109, 104));
	EXPECT_NE(captured(HILL), moved.at(107, 104));
	EXPECT_TRUE(gltest::matchesGolden("scene-moved-camera", moved, 8));

	run("setWorldScale(0.5); setTopLeft(0, -300)");
	const gltest::RGBAImage zoomed = frame("drawScene()");
	// (16 - 0) x 1 + 300, halved: the ground line.
	EXPECT_EQ(captured(0xFF806030), zoomed.at(10, 158 + 2));
	EXPECT_TRUE(gltest::matchesGolden("scene-half-scale", zoomed, 8));
}

TEST_F(GLT(SceneDraw), ForegroundZDecidesWhatCoversTheGround)
{
	// The post (z 120) stands over the ground tile when the foreground comes at z 100, under it at z 150.
	run("setTopLeft(0, -150)");
	const gltest::RGBAImage over = frame("drawGameNative(100)");
	const gltest::RGBAImage under = frame("drawGameNative(150)");
	const int x = 100, y = 151; // the post spans 140 to 156, the tile's grass 150 to 152
	EXPECT_EQ(captured(POST), over.at(x, y));
	EXPECT_EQ(captured(GRASS), under.at(x, y));
	EXPECT_EQ(captured(POST), under.at(x, 145));
}

TEST_F(GLT(SceneDraw), SetSpriteRegroupsTheObjectUnderItsSheet)
{
	write("more.compo", qf3d::encodeCompos({{"bare", {}, {}}}));
	resources().createCompoSpriteSet("more.compo", false);
	const game::SpriteSheet* scene = resources().getSpriteSheet("scene");
	const game::SpriteSheet* props = resources().getSpriteSheet("props");
	GameLua::RenderObjectData* crate = m_game->findObject("crate1");
	ASSERT_NE(nullptr, crate);
	auto groupOf = [&]() -> const void* {
		for (const auto& group : m_game->zOrderTable().at(10))
			for (const std::string& name : group.second)
				if (name == "crate1")
					return group.first;
		return reinterpret_cast<const void*>(-1);
	};
	const struct
	{
		const char* sprite;
		const void* sheet;
		bool compound;
		bool hasSprite;
	} cases[] = {
		{"crate", scene, false, true},
		{"plank", props, false, true},
		{"tower", props, true, false},
		{"bare", nullptr, true, false}, // a composite without parts has no sheet
		{"nothing", nullptr, false, false},
		{"ball", scene, false, true},
	};
	for (const auto& c : cases)
	{
		run(std::string("setSprite('crate1', '") + c.sprite + "')");
		EXPECT_EQ(c.sheet, groupOf()) << c.sprite;
		EXPECT_EQ(c.compound, crate->compound) << c.sprite;
		EXPECT_EQ(c.hasSprite, static_cast<bool>(crate->sprite)) << c.sprite;
	}
	// Drawing an object without a sprite skips it.
	run("setSprite('crate1', 'nothing')");
	frame("drawScene()");
}

TEST_F(GLT(SceneDraw), TexturedObjectsKeepTheirSheetImageAndStillDraw)
{
	run("setTexture('crate1', 'props'); setTextureScale('crate1', 0.5); setTopLeft(0, -150)");
	GameLua::RenderObjectData* crate = m_game->findObject("crate1");
	EXPECT_EQ("props", crate->textureName);
	EXPECT_EQ(resources().getSpriteSheet("props")->getImage(), crate->textureImage.ptr());
	const gltest::RGBAImage f = frame("drawGameNative(100)");
	// The crate (34..46 x 124..136) now shows the props picture, repeated every 16 pixels by the
	// scale of 0.5 and following the world position: the plank's rows end at y = 136 (world -14),
	// the picture is clear above them, where the sky shows through.
	EXPECT_EQ(captured(PLANK), f.at(38, 135));
	EXPECT_EQ(captured(0xFFFF285A), f.at(38, 130));
}

TEST_F(GLT(SceneDraw), ForegroundStepsBelowOnePixelDrawOneTile)
{
	for (const char* scale : {"0.01", "0"})
	{
		run(std::string("themes.hills.fgLayers[1][4] = ") + scale + "; setTheme('hills'); setTopLeft(0, -150)");
		const gltest::RGBAImage f = frame("drawForegroundNative()");
		EXPECT_EQ(captured(0xFF806030), f.at(5, HEIGHT - 1)) << scale;
	}
	run("themes.hills.fgLayers[1][4] = 1; setTheme('hills'); setWorldScale(0.001)");
	frame("drawForegroundNative(); drawForeground()");
}

TEST_F(GLT(SceneDraw), MirroredFixedAndKillingObjects)
{
	// Each flag at (x, 2) units: 20 pixels per unit, camera at the origin.
	run("setTopLeft(0, 0)\n"
		"for i, name in _G.ipairs({'plain', 'mirrored', 'fixed', 'killer', 'scaled'}) do\n"
		"  createBox(name, 'flag', i * 2, 2, 0.4, 0.2, 0, 1, 0, true, false, 50)\n"
		"end\n"
		"setObjectParameter('mirrored', 8, 1)\n"
		"setRotation('fixed', 0); setRotation('fixed', 3.14159265); setObjectParameter('fixed', 10, 1)\n"
		"setObjectParameter('killer', 19, 1)\n"
		"setObjectParameter('scaled', 17, 2)");
	const gltest::RGBAImage f = frame("drawGameNative(200)");
	const uint32_t back = captured(0xFF000000u | m_game->getBGColor());
	const struct
	{
		int x, y;
		uint32_t colour;
	} cases[] = {
		{40 - 3, 40, captured(EDGE)}, {40 + 2, 40, captured(STAR)},   // plain
		{80 - 3, 40, captured(STAR)}, {80 + 2, 40, captured(EDGE)},   // mirrored: turned over about its pivot
		{120 - 3, 40, captured(EDGE)}, {120 + 2, 40, captured(STAR)}, // fixed: drawn at its first angle (0), not turned
		{160 - 3, 40, back}, {160 + 2, 40, back},                     // in a killing volume: not drawn
		{200 - 7, 40, captured(EDGE)}, {200 + 6, 40, captured(STAR)}, {200 - 9, 40, back}, // twice as wide
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.colour, f.at(c.x, c.y)) << c.x << "," << c.y;
}

TEST_F(GLT(SceneDraw), RepeatedForegroundStandsOnTheBottomEdgeEvery512ScaledPixels)
{
	// 256 x 192: the screen factor is 0.25, so the 32 x 16 ground tile draws 8 x 4, every 128 pixels.
	run("setTheme('hills')");
	const gltest::RGBAImage f = frame("drawForeground()");
	const uint32_t back = captured(0xFF000000u | m_game->getBGColor());
	const struct
	{
		int x, y;
		uint32_t colour;
	} cases[] = {
		{4, 190, captured(SOIL)}, {132, 190, captured(SOIL)}, {64, 190, back}, {4, 186, back}, {140, 190, back},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.colour, f.at(c.x, c.y)) << c.x << "," << c.y;
}
