// The scripts' immediate drawing operations on each back end: golden images, exact pixels,
// the render state they leave behind, and word wrap.
#include <support/TempDir.h>
#include "GLTestSupport.h"
#include "GameApp.h"
#include "GameLua.h"
#include "NullOSInterface.h"
#include <game/Resources.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <game/IFont.h>
#include <lang/Exception.h>
#include <lang/string.h>
#include <lua/LuaState.h>
#include <lua.hpp>
#include <qf3d/Build.h>
#include <climits>
#include <cstring>
#include <cmath>
#include <memory>
#include <unistd.h>

namespace
{
const uint32_t BACK = 0xFF202020u;

// Captured pixels read 0xAABBGGRR.
uint32_t captured(uint32_t argb)
{
	return (argb & 0xFF00FF00u) | (argb >> 16 & 0xFF) | (argb & 0xFF) << 16;
}

// Our own content: shapes, the default font and a text group, built by the content tool.
const char* const CONTENT = R"(
sheets = {
	{
		file = "images/draw.sheet",
		sprites = {
			{ name = "band", shape = "gradient", width = 32, height = 8, from = { 255, 40, 40 }, to = { 255, 230, 40 }, direction = "horizontal" },
			{ name = "box_tl", shape = "rect", width = 6, height = 6, color = { 240, 60, 60 } },
			{ name = "box_t", shape = "rect", width = 4, height = 6, color = { 60, 200, 60 } },
			{ name = "box_tr", shape = "rect", width = 6, height = 6, color = { 60, 60, 240 } },
			{ name = "box_l", shape = "rect", width = 6, height = 4, color = { 220, 220, 60 } },
			{ name = "box_c", shape = "rect", width = 4, height = 4, color = { 120, 120, 120 } },
			{ name = "box_r", shape = "rect", width = 6, height = 4, color = { 60, 220, 220 } },
			{ name = "box_bl", shape = "rect", width = 6, height = 6, color = { 220, 60, 220 } },
			{ name = "box_b", shape = "rect", width = 4, height = 6, color = { 255, 255, 255 } },
			{ name = "box_br", shape = "rect", width = 6, height = 6, color = { 255, 140, 0 } },
			{ name = "petal", shape = "circle", radius = 3, color = { 120, 200, 255 }, pivot = { 3, 12 } },
			{ name = "chevron", shape = "roundrect", width = 8, height = 16, radius = 3, color = { 255, 255, 0 } },
		},
	},
	{
		file = "images/wall.sheet",
		sprites = { { name = "wall", shape = "rect", width = 60, height = 60, color = { 40, 220, 120 } } },
	},
	{
		file = "images/fade.sheet",
		sprites = {
			{ name = "THEME_1_GRAVITY_SLICE_BOX_FADED", shape = "rect", width = 8, height = 16, color = { 200, 200, 255, 160 } },
		},
	},
}
composites = {
	{
		file = "images/draw.compo",
		version = 2,
		items = { { name = "pair", parts = { { sprite = "box_tl", x = 0, y = 0 }, { sprite = "box_br", x = 8, y = 4 } }, extras = {} } },
	},
}
fonts = { { file = "fonts/FONT_BASIC_DEFAULT.font", size = 12, tracking = 0 } }
texts = {
	{
		file = "localization/TEXTS.lang",
		locales = { "en_EN" },
		texts = {
			{ id = "SCORE", en_EN = "Score 120" },
			{ id = "TITLE", en_EN = "Level 3" },
			{ id = "TWO", en_EN = "abcd efgh" },
			{ id = "SPACES", en_EN = "alpha beta gamma delta  epsilon" },
			{ id = "HYPHENS", en_EN = "well-known state-of-the-art co-op" },
			{ id = "FEEDS", en_EN = "line one\nline two\n\nafter a blank" },
			{ id = "ZWSP", en_EN = "zero\226\128\139width\226\128\139breaks\226\128\139here" },
			{ id = "WIDE", en_EN = "Supercalifragilistic word" },
			{ id = "ACCENTS", en_EN = "d\195\169j\195\160 vu \195\188ber na\195\175ve" },
		},
	},
}
)";

class GLT(Drawing) : public ::testing::Test
{
protected:
	static constexpr int WIDTH = 160;
	static constexpr int HEIGHT = 120;

	void SetUp() override
	{
		m_context = gltest::createGameContext(m_view, m_dir.path(), WIDTH, HEIGHT);
		io::detail::setAppdataPath(m_dir.path());
		support::writeFile(m_dir / "content.lua", CONTENT);
		qf3d::build(m_dir / "content.lua", m_dir.path());
		m_context->clear(BACK, true, true, false);
		m_resources = new game::Resources(m_context);
		m_resources->createSpriteSheet("images/draw.sheet", false);
		m_resources->createSpriteSheet("images/fade.sheet", false);
		m_resources->createSpriteSheet("images/wall.sheet", false);
		m_resources->createCompoSpriteSet("images/draw.compo", false);
		m_resources->createBitmapFont("fonts/FONT_BASIC_DEFAULT.font", false);
		m_resources->createTextGroupSet("localization/TEXTS.lang", false);
		m_resources->loadLocale("TEXTS", "en_EN");
		m_resources->useLocale("en_EN");
		m_resources->useFont("FONT_BASIC_DEFAULT");
		m_state = new lua::LuaState();
		m_game.reset(new GameLua(&m_app, m_resources, m_state, m_context));
	}

	void TearDown() override
	{
		m_game.reset();
		m_state = nullptr;
		m_resources = nullptr;
		m_context = nullptr;
		io::detail::setBundlePath(".");
		io::detail::setAppdataPath(".");
		m_view = nullptr;
	}

	/** Runs script text in the game table; a script error fails the test. */
	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), int(code.size()));
		try
		{
			m_state->compile(in, "test", m_game.get());
		}
		catch (lang::Exception& e)
		{
			ADD_FAILURE() << e.getMessage().format();
		}
	}

	gltest::RGBAImage capture()
	{
		m_context->flush();
		gltest::RGBAImage img;
		img.width = WIDTH;
		img.height = HEIGHT;
		img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
		return img;
	}

	static ::testing::AssertionResult blank(const gltest::RGBAImage& f)
	{
		for (int y = 0; y < f.height; ++y)
			for (int x = 0; x < f.width; ++x)
				if (f.at(x, y) != BACK)
					return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << f.at(x, y);
		return ::testing::AssertionSuccess();
	}

	support::TempDir m_dir;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
	lang::Ptr<game::Resources> m_resources;
	lang::Ptr<lua::LuaState> m_state;
	NullOSInterface m_os;
	GameApp m_app{GameApp::StandIn(), m_os};
	std::unique_ptr<GameLua> m_game;
};
}

TEST_F(GLT(Drawing), LinesRectanglesAndFramesWithAlpha)
{
	run("drawRect(1, 0, 0, 1, 10, 10, 20, 30, false)\n"
		// Out-of-range channels clamp instead of spilling into their neighbours.
		"drawRect(2, -1, 0, 1, 24, 10, 34, 30, false)\n"
		"drawRect(0, 0.5, 1, 0.5, 30, 20, 60, 40, false)\n"
		"drawLine2D(0, 50, 70, 50, 2, 255, 0, 0, 128)\n"
		"drawLine2D(5, 60, 70, 90, 3, 300, 255, -40, 255)\n"
		"drawRectLines(80, 10, 150, 50, 2, 0, 255, 255, 255)\n"
		"drawRectLines(90, 60, 140, 110, 4, 255, 255, 255, 96)\n"
		// keepState draws under the state the script set; without it the state is reset first.
		"setRenderState(100, 0, 1, 1, 0, 0, 0, 0.5)\n"
		"drawRect(1, 1, 0, 1, 0, 95, 20, 115, true)\n"
		"drawRect(0, 0, 1, 1, 0, 95, 20, 115, false)");
	const gltest::RGBAImage f = capture();
	EXPECT_EQ(f.at(12, 12), captured(0xFFFF0000));
	EXPECT_EQ(f.at(19, 29), captured(0xFFFF0000));
	EXPECT_EQ(f.at(21, 12), BACK);
	EXPECT_EQ(f.at(12, 31), BACK);
	EXPECT_EQ(f.at(26, 12), captured(0xFFFF0000));
	EXPECT_EQ(f.at(5, 100), captured(0xFF0000FF));
	EXPECT_TRUE(gltest::matchesGolden("drawing-lines-rects", f, 8));
}

TEST_F(GLT(Drawing), TexturedRectanglesFollowTheCameraUnderTheDefaultState)
{
	// The scale the script left is reset; the camera moves the rectangle; unknown sprites draw nothing.
	run("setRenderState(50, 50, 3, 3)\n"
		"setTopLeft(-20, 10)\n"
		"drawTexturedRect('box_tl', 10, 30, 30, 12, false)\n"
		"drawTexturedRect('unknown', 0, 0, 50, 50, true)");
	const gltest::RGBAImage f = capture();
	// 30 x 12 at (10 + 20, 30 - 10); the stretched edges blend, the middle is the sprite's colour.
	EXPECT_EQ(f.at(45, 26), captured(0xFFF03C3C));
	EXPECT_NE(f.at(30, 20), BACK);
	EXPECT_NE(f.at(59, 31), BACK);
	EXPECT_EQ(f.at(29, 21), BACK);
	EXPECT_EQ(f.at(61, 25), BACK);
	EXPECT_EQ(f.at(40, 33), BACK);
	EXPECT_EQ(f.at(5, 5), BACK);
	EXPECT_EQ(1.f, m_context->getRenderState2D().scale.x);
}

TEST_F(GLT(Drawing), SelectedTexturizedObjectFillsTheSpriteWithTheTexture)
{
	// Missing sprite, texture or scale: nothing.
	run("drawSelectedTexturizedObject('box_c', 'nothing', 2, 1, 1, 1)\n"
		"drawSelectedTexturizedObject('unknown', 'wall', 2, 1, 1, 1)\n"
		"drawSelectedTexturizedObject('box_c', 'wall', 2, 1, 0, 1)");
	EXPECT_TRUE(blank(capture()));
	// box_c (4 x 4, pivot 2, 2) at (2, 1) physics units, doubled: 8 x 8 around (40, 20) on screen.
	run("setTopLeft(0, 0)\n"
		"drawSelectedTexturizedObject('box_c', 'wall', 2, 1, 2, 2)");
	const gltest::RGBAImage f = capture();
	EXPECT_NE(f.at(40, 20), BACK);
	EXPECT_NE(f.at(37, 17), BACK);
	EXPECT_EQ(f.at(30, 20), BACK);
	EXPECT_EQ(f.at(40, 30), BACK);
}

TEST_F(GLT(Drawing), TexturedLinesAndRubberBandsAtSeveralAngles)
{
	// A line without length draws nothing.
	run("drawTexturedLine2D('band', 40, 40, 40, 40, 6, 0, 0, 0, 0)\n"
		"drawRubberband(40, 40, 40, 40, 6, 'band')\n"
		"drawTexturedLine2D('unknown', 10, 10, 50, 50, 6, 0, 0, 0, 0)");
	EXPECT_TRUE(blank(capture()));

	run("for i = 0, 5 do\n"
		"  local a = i * _G.math.pi / 5\n"
		"  drawTexturedLine2D('band', 40, 40, 40 + 34 * _G.math.cos(a), 40 + 34 * _G.math.sin(a), 3, 0, 0, 0, 0)\n"
		"  drawRubberband(115, 80, 115 + 38 * _G.math.cos(-a - 0.3), 80 + 38 * _G.math.sin(-a - 0.3), 6, 'band')\n"
		"end\n"
		"setRenderState(0, 90, 1, 1, 0.3, 20, 0)\n"
		"drawTexturedLine2D('band', 10, 0, 70, 0, 4, 0, 0, 0, 0)");
	EXPECT_TRUE(gltest::matchesGolden("drawing-textured-lines", capture(), 8));
}

// Six arguments are the operation; four more numbers, which older scripts pass, change nothing.
TEST_F(GLT(Drawing), TexturedLineTakesSixArgumentsAndIgnoresFourMore)
{
	run("drawTexturedLine2D('band', 10, 20, 60, 45, 5)\n"
		"drawTexturedLine2D('band', 90, 20, 140, 45, 5, 1, 2, 3, 4)");
	const gltest::RGBAImage f = capture();
	bool drawn = false;
	for (int y = 0; y < HEIGHT; ++y)
		for (int x = 0; x < 80; ++x)
		{
			ASSERT_EQ(f.at(x, y), f.at(x + 80, y)) << x << "," << y;
			drawn = drawn || f.at(x, y) != BACK;
		}
	EXPECT_TRUE(drawn);
	// Too few, and a further value that is no number, are still the script's errors.
	lua_State* lua = m_state->getLua();
	for (const char* call : {"drawTexturedLine2D('band', 1, 2, 3, 4)", "drawTexturedLine2D('band', 1, 2, 3, 4, 5, 'x')"})
	{
		io::ByteArrayInputStream in(call, int(std::strlen(call)));
		EXPECT_THROW(m_state->compile(in, "test", m_game.get()), lang::Exception) << call;
		lua_settop(lua, 0);
	}
}

TEST_F(GLT(Drawing), NineSliceBoxesWithAndWithoutColourTable)
{
	run("box = { topLeft = 'box_tl', topMiddle = 'box_t', topRight = 'box_tr', left = 'box_l', center = 'box_c',\n"
		"  right = 'box_r', bottomLeft = 'box_bl', bottomMiddle = 'box_b', bottomRight = 'box_br' }\n"
		"drawBoxNative(box, 10, 10, 50, 30, 'LEFT', 'TOP')\n"
		"drawBoxNative(box, 120, 10, 50, 30, 'HCENTER', 'TOP', { red = 0.2, green = 0.4, alpha = 0.6 })\n"
		"drawBoxNative(box, 150, 110, 40, 40, 'RIGHT', 'BOTTOM', { green = 3, blue = -1 })\n"
		"drawBoxNative({ topLeft = 'box_tl', bottomRight = 'box_br', left = 'box_l', right = 'box_r' }, 40, 85, 40, 30, 'HCENTER', 'VCENTER')\n"
		"drawCompoSprite('pair', 70, 100)\n"
		"drawCompoSprite('unknown', 70, 100)");
	const gltest::RGBAImage f = capture();
	// Corners unstretched at their corners, the centre sprite stretched between the borders.
	EXPECT_EQ(f.at(10, 10), captured(0xFFF03C3C));
	EXPECT_EQ(f.at(59, 39), captured(0xFFFF8C00));
	EXPECT_EQ(f.at(35, 25), captured(0xFF787878));
	// The coloured centre clamps its channels: red defaults to 1, green 3 is full green, blue -1 none.
	EXPECT_EQ(f.at(130, 90), captured(0xFFFFFF00));
	// A box without a centre sprite or colour leaves its centre empty.
	EXPECT_EQ(f.at(40, 85), BACK);
	EXPECT_TRUE(gltest::matchesGolden("drawing-boxes", f, 8));
}

TEST_F(GLT(Drawing), UITextScaledRotatedWithAlphaAndAnchors)
{
	run("function text(t) t.visible = true t.group = 'TEXTS' t.scaleX = t.scaleX or 1 t.scaleY = t.scaleY or 1 t.x = t.x or 0 t.y = t.y or 0 return t end\n"
		"drawUITextNative(text { text = 'SCORE' }, 4, 4)\n"
		"drawUITextNative(text { text = 'SCORE', hanchor = 'RIGHT', vanchor = 'BOTTOM' }, 156, 116)\n"
		"drawUITextNative(text { text = 'TITLE', scaleX = 2, x = 10 }, 0, 30, 1, 1.5)\n"
		"drawUITextNative(text { text = 'TITLE', rotationPivotX = 0, rotationPivotY = 0, floorCoordinates = true }, 90.7, 40.2, 1, 1, 0.6)\n"
		"drawUITextNative(text { text = 'SCORE', hanchor = 'HCENTER', vanchor = 'VCENTER' }, 80, 95, 1, 1, 0, 0.4)\n"
		"drawUITextNative({ visible = false, group = 'TEXTS', text = 'SCORE' }, 4, 60)");
	const gltest::RGBAImage f = capture();
	EXPECT_EQ(m_context->getRenderState2D().alphaFactor, 1.f);
	EXPECT_TRUE(gltest::matchesGolden("drawing-ui-text", f, 8));
}

TEST_F(GLT(Drawing), ClippedTextBlockAndTextIn3D)
{
	// The clipped form hands each line to its own draw function with the block's position and scale.
	run("calls = {}\n"
		"clipText('TEXTS', 'SPACES', 70)\n"
		"block = { visible = true, clipped = true, x = 6, y = 4, scaleX = 1, scaleY = 1, lines = {} }\n"
		"for i, line in _G.ipairs(clippedText.lines) do\n"
		"  block.lines[i] = { text = line, draw = function(self, x, y, sx, sy, angle)\n"
		"    calls[#calls + 1] = x .. ',' .. y .. ',' .. sx .. ',' .. angle\n"
		"    setRenderState(0, 0, sx, sy)\n"
		"    drawRectLines(x - 2, y + (i - 1) * 14 - 1, x + clippedText.widestLine + 2, y + i * 14 - 1, 1, 0, 200, 255, 255)\n"
		"  end }\n"
		"end\n"
		"drawUITextNative(block, 4, 6, 1, 1, 0, 0.5)\n"
		"drawUITextNative({ visible = false, clipped = true, lines = { { draw = function() calls[#calls + 1] = 'hidden' end } } }, 0, 0)");
	run("callCount, lineCount = #calls, #clippedText.lines");
	EXPECT_LT(1.f, m_game->getNumber("lineCount"));
	EXPECT_EQ(m_game->getNumber("lineCount"), m_game->getNumber("callCount"));
	EXPECT_EQ("10,10,1,0", m_game->getTable("calls").getString(1));
	EXPECT_EQ(m_context->getRenderState2D().alphaFactor, 1.f);
	// Each line drawn with the font, then text in perspective.
	const lua::LuaTable lines = m_game->getTable("clippedText").getTable("lines");
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.reset();
	for (int i = 1; !lines.isNil(i); ++i)
		m_resources->getFont()->drawString(m_context, lines.getString(i), 10.f, 10.f + 14.f * float(i - 1), game::Anchor());
	run("drawString3D('TEXTS', 'TITLE', -20, 10, 60, 0.7, 0, 0, 0.8)\n"
		"drawRect(1, 1, 1, 1, 150, 110, 154, 114, false)");
	EXPECT_TRUE(math::float4x4(1.f) == m_context->projectionTransform());
	EXPECT_TRUE(gltest::matchesGolden("drawing-clipped-and-3d-text", capture(), 8));
}

TEST_F(GLT(Drawing), TextLeavesProjectionTransformAndAlphaAsTheyWereAlsoWithoutAFont)
{
	m_resources->releaseFont("FONT_BASIC_DEFAULT");
	run("ok3d, msg3d = _G.pcall(drawString3D, 'TEXTS', 'TITLE', 100, 80, 300, 0.7, 0, 0, 0.3)\n"
		"okUI, msgUI = _G.pcall(drawUITextNative, { visible = true, group = 'TEXTS', text = 'TITLE', font = 'none' }, 0, 0, 2, 2, 0.5, 0.25)");
	EXPECT_FALSE(m_game->getBoolean("ok3d"));
	EXPECT_NE(std::string::npos, m_game->getString("msg3d").find("drawString3D: No font is set")) << m_game->getString("msg3d");
	EXPECT_FALSE(m_game->getBoolean("okUI"));
	EXPECT_NE(std::string::npos, m_game->getString("msgUI").find("No font is set")) << m_game->getString("msgUI");
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	EXPECT_TRUE(math::float4x4(1.f) == m_context->projectionTransform());
	EXPECT_FALSE(rs.useTransform);
	EXPECT_TRUE(math::float4x4(1.f) == rs.worldTransform);
	EXPECT_EQ(1.f, rs.alphaFactor);
}

TEST_F(GLT(Drawing), GravityVisualsCircleAndBox)
{
	run("blockTable.blocks.ring = { type = 'circle' }\n"
		"blockTable.blocks.lift = { type = 'box' }\n"
		"ring = { sensorType = 'gravity', addVisualTimer = 0, active = true, definition = 'ring', radius = 1.2,\n"
		"  gravityVisuals = { { scale = 20, x = 0, y = 0, sprite = 'petal' }, { scale = 40, x = 0, y = 0, sprite = 'petal' } } }\n"
		"lift = { sensorType = 'gravity', addVisualTimer = 0, active = true, definition = 'lift', width = 1.6, height = 4, angle = 0.4,\n"
		"  gravityVisuals = { { pos = 0.1, sprite = 'chevron' }, { pos = 0.5, sprite = 'THEME_1_GRAVITY_SLICE_BOX_FADED' }, { pos = 0.9, sprite = 'chevron' } } }\n"
		"renderGravityVisualsNative(ring, 45, 60, 1)\n"
		"renderGravityVisualsNative(lift, 115, 60, 1)\n"
		// Tables missing a required field draw nothing.
		"renderGravityVisualsNative({ sensorType = 'gravity', active = true, definition = 'ring', gravityVisuals = ring.gravityVisuals }, 45, 60, 1)");
	const gltest::RGBAImage f = capture();
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	EXPECT_EQ(1.f, rs.scale.x);
	EXPECT_EQ(1.f, rs.scale.y);
	EXPECT_EQ(0.f, rs.angle);
	EXPECT_TRUE(gltest::matchesGolden("drawing-gravity", f, 8));

	// Without the box's slice sprite the box form has no scale: nothing is drawn.
	m_context->clear(BACK, true, true, false);
	m_resources->releaseSpriteSheet("fade");
	run("renderGravityVisualsNative(lift, 115, 60, 1)");
	EXPECT_TRUE(blank(capture()));
}

TEST_F(GLT(Drawing), SetRenderStateTakesTwoToEightNumbers)
{
	run("setRenderState(5, 6, 2, 2, 0, 99)");
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	EXPECT_EQ(5.f, rs.translation.x);
	EXPECT_EQ(6.f, rs.translation.y);
	EXPECT_EQ(2.f, rs.scale.x);
	EXPECT_EQ(2.f, rs.scale.y);
	EXPECT_EQ(0.f, rs.angle);
	EXPECT_EQ(0.f, rs.pivot.x);
	EXPECT_EQ(0.f, rs.pivot.y);
	run("setRenderState(1, 2, 3, 4, 0.5, 7, 8, 0.25)");
	EXPECT_EQ(7.f, rs.pivot.x);
	EXPECT_EQ(8.f, rs.pivot.y);
	EXPECT_EQ(0.25f, rs.alphaFactor);
	EXPECT_FLOAT_EQ(std::sin(0.5f), rs.rotation[1]);
	EXPECT_FLOAT_EQ(-std::sin(0.5f), rs.rotation[2]);
	run("ok1, msg1 = _G.pcall(setRenderState, 1)\n"
		"ok9 = _G.pcall(setRenderState, 1, 2, 3, 4, 5, 6, 7, 8, 9)");
	EXPECT_FALSE(m_game->getBoolean("ok1"));
	EXPECT_EQ(0u, m_game->getString("msg1").find("setRenderState: ")) << m_game->getString("msg1");
	EXPECT_FALSE(m_game->getBoolean("ok9"));
}

namespace
{
size_t codePoints(const std::string& s)
{
	return lang::string::toUTF32string(s).size();
}

/** The text without its break characters, so wrapped lines can be compared with the original. */
std::basic_string<unsigned> withoutBreaks(const std::string& s)
{
	std::basic_string<unsigned> out;
	for (unsigned c : lang::string::toUTF32string(s))
		if (c != 10 && c != 32 && c != 0x200B)
			out += c;
	return out;
}
}

TEST_F(GLT(Drawing), ClipTextKeepsEveryLineNarrowerThanTheWidth)
{
	const int w = m_resources->getStringWidth("W", 0, INT_MAX);
	const char* const keys[] = {"SPACES", "HYPHENS", "FEEDS", "ZWSP", "WIDE", "ACCENTS", "TWO"};
	const float widths[] = {0.f, 1.f, float(w), 40.f, 70.f, 1000.f, NAN};
	for (const char* key : keys)
	{
		const std::string text = m_resources->getString("TEXTS", key);
		for (float maxWidth : widths)
		{
			m_game->clipText("TEXTS", key, maxWidth);
			const lua::LuaTable clipped = m_game->getTable("clippedText");
			const lua::LuaTable lines = clipped.getTable("lines");
			std::string joined;
			int widest = 0;
			for (int i = 1; !lines.isNil(i); ++i)
			{
				const std::string line = lines.getString(i);
				const int lw = m_resources->getStringWidth(line, 0, INT_MAX);
				EXPECT_TRUE(float(lw) < maxWidth || codePoints(line) <= 1)
					<< key << " at " << maxWidth << ": line " << i << " \"" << line << "\" is " << lw << " wide";
				widest = std::max(widest, lw);
				joined += line;
			}
			// Nothing lost, nothing repeated: only break characters may go.
			EXPECT_EQ(withoutBreaks(text), withoutBreaks(joined)) << key << " at " << maxWidth;
			EXPECT_EQ(float(widest), clipped.getNumber("widestLine")) << key << " at " << maxWidth;
		}
	}
}

TEST_F(GLT(Drawing), ClipTextBreaksAtSpacesHyphensAndLineFeeds)
{
	const int abcd = m_resources->getStringWidth("abcd", 0, INT_MAX);
	const int efgh = m_resources->getStringWidth("efgh", 0, INT_MAX);
	const int all = m_resources->getStringWidth("abcd efgh", 0, INT_MAX);
	const struct
	{
		const char* key;
		float maxWidth;
		std::vector<std::string> lines;
	} cases[] = {
		{"TWO", float(std::max(abcd, efgh) + 1), {"abcd", "efgh"}},
		{"TWO", float(all + 1), {"abcd efgh"}},
		{"FEEDS", 1000.f, {"line one", "line two", "", "after a blank"}},
		{"HYPHENS", float(m_resources->getStringWidth("well-known state-", 0, INT_MAX) + 1), {"well-known state-", "of-the-art co-op"}},
		{"ZWSP", float(m_resources->getStringWidth("breaks\xE2\x80\x8Bhere", 0, INT_MAX) + 1), {"zero\xE2\x80\x8Bwidth", "breaks\xE2\x80\x8Bhere"}},
	};
	for (const auto& c : cases)
	{
		m_game->clipText("TEXTS", c.key, c.maxWidth);
		const lua::LuaTable lines = m_game->getTable("clippedText").getTable("lines");
		std::vector<std::string> got;
		for (int i = 1; !lines.isNil(i); ++i)
			got.push_back(lines.getString(i));
		EXPECT_EQ(c.lines, got) << c.key << " at " << c.maxWidth;
	}
	m_game->clipText("TEXTS", "TWO", float(std::max(abcd, efgh) + 1));
	EXPECT_EQ(float(std::max(abcd, efgh)), m_game->getTable("clippedText").getNumber("widestLine"));
}
