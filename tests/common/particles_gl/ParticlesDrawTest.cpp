// A particle burst drawn by the game on each back end: the background and foreground passes in
// world space, then the menu pass in screen space.
#include "GLTestSupport.h"
#include "GameApp.h"
#include "NullOSInterface.h"
#include <game/Resources.h>
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lua/LuaException.h>
#include <math/RandomUtil.h>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace
{
const int WIDTH = 128, HEIGHT = 96;

class GLT(ParticlesDraw) : public ::testing::Test
{
protected:
	void SetUp() override
	{
		char tmpl[] = "/tmp/particles_gl.XXXXXX";
		m_user = mkdtemp(tmpl);
		setenv("XDG_CONFIG_HOME", (m_user + "/config").c_str(), 1);
		setenv("XDG_STATE_HOME", (m_user + "/state").c_str(), 1);
		setenv("XDG_CACHE_HOME", (m_user + "/cache").c_str(), 1);
		setenv("XDG_DATA_HOME", (m_user + "/data").c_str(), 1);
		setenv("ENGINE_ANALYTICS_BASE_URL", "http://127.0.0.1:9", 1);
		io::detail::setBundlePath(TEST_BUNDLE);
		io::detail::setAppdataPath(m_user);
		m_view = new gr::gl::EGLHeadlessView(GR_GL_VERSION, WIDTH, HEIGHT);
		gr::GR_GL_NS::gl.load();
		gr::GR_GL_NS::GL_State::reset();
		framework::App::Configuration config;
		framework::configure(config, m_os);
		m_context = gr::GR_GL_NS::GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT,
			&gr::gl::EGLHeadlessView::presentCurrent);
		m_app = static_cast<GameApp*>(framework::init(&m_os, m_context));
		addSheet();
	}

	void TearDown() override
	{
		framework::App::deleteApp();
		m_context = nullptr;
		m_view = nullptr;
		io::detail::setBundlePath(".");
		io::detail::setAppdataPath(".");
		std::error_code ignored;
		std::filesystem::remove_all(m_user, ignored);
	}

	/** Three 8 x 8 sprites, pivot in the middle: a red square, a green cross and a blue frame. */
	void addSheet()
	{
		const int w = 24, h = 8;
		std::vector<uint32_t> pixels(w * h, 0);
		for (int y = 0; y < h; ++y)
			for (int x = 0; x < 8; ++x)
			{
				pixels[y * w + x] = 0xFFE03020;
				if (x == 3 || x == 4 || y == 3 || y == 4)
					pixels[y * w + 8 + x] = 0xFF30E040;
				if (x == 0 || x == 7 || y == 0 || y == 7)
					pixels[y * w + 16 + x] = 0xFF4060F0;
			}
		lang::Ptr<gr::Image> image = m_context->createImage(
			w, h, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
		// The back end may keep the image in byte order R, G, B, A.
		if (image->format().type() == gr::SurfaceFormat::SURFACE_A8B8G8R8)
			for (uint32_t& p : pixels)
				p = (p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
		image->blt(0, 0, pixels.data(), w * 4, 0, w, h, image->format());
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(image);
		const char* const names[] = {"square", "cross", "frame"};
		for (int i = 0; i < 3; ++i)
			sheet->createSprite(names[i], i * 8, 0, 8, 8, 4, 4);
		m_app->luaResources()->getResources()->addSpriteSheet("particles", sheet);
	}

	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		try
		{
			m_app->luaState()->compile(in, "test", m_app->gameLua());
		}
		catch (lua::LuaException& e)
		{
			FAIL() << e.getMessage().format();
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

	std::string m_user;
	NullOSInterface m_os;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
	GameApp* m_app = nullptr;
};
}

TEST_F(GLT(ParticlesDraw), BurstAfterResetInWorldAndMenuSpace)
{
	run("particleTable = { particles = {\n"
		"  behind = { sprites = { 'frame' }, background = true, lifeTime = 4, minVel = 10, maxVel = 30,\n"
		"    minAngleEmitter = 0, maxAngleEmitter = 360, minScaleBegin = 1.5, maxScaleBegin = 2, minScaleEnd = 1,\n"
		"    maxScaleEnd = 1 },\n"
		"  sparks = { sprites = { 'square', 'cross' }, lifeTime = 4, minVel = 20, maxVel = 40, minAngleEmitter = 180,\n"
		"    maxAngleEmitter = 360, minAngle = 0, maxAngle = 90, minAngleVel = -1, maxAngleVel = 1,\n"
		"    minScaleBegin = 0.5, maxScaleBegin = 1.5, minScaleEnd = 0.5, maxScaleEnd = 0.5, gravityY = 20 },\n"
		"} }\n"
		"enableInGameParticlesNative(true)\n");
	math::RandomUtil::reset();
	run("_G.particles.addParticles('behind', 6, 40, 40, 20, 10, 0)\n"
		"_G.particles.addParticles('sparks', 20, 40, 40, 30, 10, 0.5)\n");
	GameLua* lua = m_app->gameLua();
	for (int i = 0; i < 30; ++i)
		lua->particles().update(1.f / 60.f, true, m_context);

	m_context->clear(0xFF202020, true, true, false);
	lua->drawGameParticles(true);
	lua->drawGameParticles(false);
	// The menu pass draws the foreground particles again in screen space, at half their scale.
	run("setMenuParticlesScale(0.5)");
	m_context->getRenderState2D().translation = math::float2(60.f, 40.f);
	run("drawMenuParticlesNative()");
	const gltest::RGBAImage frame = capture();
	EXPECT_TRUE(gltest::matchesGolden("particles-burst", frame));
}

TEST_F(GLT(ParticlesDraw), ParticlesLandOnTheirPointAtTheirScale)
{
	run("particleTable = { particles = {\n"
		"  big = { sprites = { 'square' }, lifeTime = 9, minScaleBegin = 2, maxScaleBegin = 2, minScaleEnd = 2,\n"
		"    maxScaleEnd = 2 },\n"
		"} }\n"
		"_G.particles.addParticles('big', 1, 40, 30, 0, 0, 0)\n"
		"setMenuParticlesScale(0.5)\n");
	const uint32_t red = 0xFF2030E0, grey = 0xFF202020; // captured as 0xAABBGGRR
	const struct
	{
		bool inGame;
		int half; // half the drawn size: 8 x 8 at scale 2 in game, at 2 x 0.5 in menus
	} cases[] = {{true, 8}, {false, 4}};
	for (const auto& c : cases)
	{
		m_context->clear(0xFF202020, true, true, false);
		run("enableInGameParticlesNative(true)");
		if (c.inGame)
			m_app->gameLua()->drawGameParticles(false);
		else
			run("drawMenuParticlesNative()");
		const gltest::RGBAImage frame = capture();
		const auto at = [&](int x, int y) { return frame.at(x, y); };
		// Two pixels in from each edge and two out: filtering may blend the border pixels.
		EXPECT_EQ(red, at(40 - c.half + 2, 30 - c.half + 2)) << c.inGame;
		EXPECT_EQ(red, at(40 + c.half - 3, 30 + c.half - 3)) << c.inGame;
		EXPECT_EQ(grey, at(40 + c.half + 2, 30)) << c.inGame;
		EXPECT_EQ(grey, at(40, 30 - c.half - 3)) << c.inGame;
		EXPECT_EQ(grey, at(40 - c.half - 3, 30 + c.half + 2)) << c.inGame;
	}
}
