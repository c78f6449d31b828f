// Shot trails and the aiming stream drawn through the game object on each back end,
// against golden images and exact pixels, at two camera views.
#include "GLTestSupport.h"
#include "GameFixture.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include <dirent.h>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const uint32_t CLEAR = 0xFF202020, OLD_DOT = 0xFF4080FF, DOT = 0xFFFFFFFF, PUFF = 0xFFFFE000, AIM = 0xFFFF6000;

// Captured pixels read 0xAABBGGRR.
uint32_t captured(uint32_t argb)
{
	return (argb & 0xFF00FF00u) | (argb >> 16 & 0xFF) | (argb & 0xFF) << 16;
}

// Solid squares with their pivot on the centre pixel, so a drawn point shows its colour exactly.
struct Square
{
	const char* name;
	int size;
	uint32_t colour;
};
const Square SQUARES[] = {{"dot_old", 5, OLD_DOT}, {"dot", 5, DOT}, {"puff", 9, PUFF}, {"aim", 7, AIM}};

// Two shots (each with a puff) and a flight prediction of a ball thrown up and right.
const char* const SCENE =
	"_G.res.createSpriteSheet(imagePath .. '/trails.sheet')\n"
	"setPhysicsSimulationScale(20)\n"
	"startNewTrajectory() setNormalTrailSprite('dot_old') setSpecialTrailSprite('puff')\n"
	"for x = 10, 90, 10 do addToTrajectory(0, x, 110 - x * 0.5) end\n"
	"addPuffToTrajectory(0, 90, 65)\n"
	"startNewTrajectory()\n"
	"for x = 20, 100, 8 do addToTrajectory(0, x, 60 + ((x - 60) / 40) ^ 2 * 30) end\n"
	"setNormalTrailSprite('dot') setSpecialTrailSprite('puff')\n" // names after the points still apply
	"addPuffToTrajectory(0, 0, 0) addPuffToTrajectory(0, 100, 90)\n"
	"worldAttributes = {simulationIterations = 30, simulationTimeStepMultiplier = 1,\n"
	"  simulationStorePointsSampler = 2, simulationAimSpawnTime = 0.5, simulationAimSpeed = 2}\n"
	"loadLevel(levelPath .. '/missing')\n"
	"setWorldGravity(0, 10)\n"
	"createCircle('ProjectileSimulation', '', 1, 4, 0.25, 1, 0, 0, true, false, 0)\n"
	"setVelocity('ProjectileSimulation', 6, -8)\n"
	"ClearSimulationTrajectory() updateProjectileTrajectoryTable()\n"
	"setAimingAidSprite('aim') enableAimingAid(true)\n";

class GLT(TrailDraw) : public GameTest
{
protected:
	static constexpr int WIDTH = 160;
	static constexpr int HEIGHT = 120;

	void SetUp() override
	{
		// The test bundle seen through a folder of links, beside a sheet of our own.
		const std::string data = m_bundle.path() + "/data_iphone";
		ASSERT_EQ(0, ::mkdir(data.c_str(), 0755));
		const std::string source = std::string(TEST_BUNDLE) + "/data_iphone";
		DIR* dir = ::opendir(source.c_str());
		ASSERT_TRUE(dir);
		while (dirent* e = ::readdir(dir))
		{
			if (e->d_name[0] == '.')
				continue;
			ASSERT_EQ(0, ::symlink((source + "/" + e->d_name).c_str(), (data + "/" + e->d_name).c_str()));
		}
		::closedir(dir);
		ASSERT_EQ(0, ::mkdir((data + "/images").c_str(), 0755));
		writeSheet(data + "/images");
		io::detail::setBundlePath(m_bundle.path());

		isolateAnalytics(m_dir.path());
		framework::App::Configuration config;
		framework::configure(config, m_os);
		m_view = new gr::gl::EGLHeadlessView(GR_GL_VERSION, WIDTH, HEIGHT);
		gr::GR_GL_NS::gl.load();
		gr::GR_GL_NS::GL_State::reset();
		gr::GR_GL_NS::GL_setExtensionsOverride(nullptr);
		m_context = gr::GR_GL_NS::GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT,
			&gr::gl::EGLHeadlessView::presentCurrent);
		framework::init(&m_os, m_context);
		run(SCENE);
	}

	static void writeSheet(const std::string& folder)
	{
		qf3d::Bitmap image(64, 16);
		qf3d::SheetRecord sheet{"trails.png", {}};
		int x = 0;
		for (const Square& s : SQUARES)
		{
			for (int j = 0; j < s.size; ++j)
				for (int i = 0; i < s.size; ++i)
					image.at(x + i, j) = s.colour;
			sheet.sprites.push_back({s.name, x, 0, s.size, s.size, s.size / 2, s.size / 2});
			x += s.size + 2;
		}
		qf3d::writeFile(folder + "/trails.png", qf3d::encodePng(image));
		qf3d::writeFile(folder + "/trails.sheet", qf3d::encodeSheet(sheet));
	}

	gltest::RGBAImage draw(float left, float top, float scale)
	{
		m_context->clear(CLEAR, true, true, false);
		lua()->setView(math::float2(left, top), scale);
		lua()->drawTrajectories();
		lua()->drawSimulationTrajectory();
		m_context->flush();
		gltest::RGBAImage img;
		img.width = WIDTH;
		img.height = HEIGHT;
		img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
		return img;
	}

	void TearDown() override { stop(); }

	ScratchDir m_bundle;
};
}

TEST_F(GLT(TrailDraw), BothTrailsWithPuffsAndTheStreamFollowTheCamera)
{
	ASSERT_EQ(15u, lua()->simulationPoints().size());
	// The first draw switches spawning on, which fills the whole path at once.
	draw(0.f, 0.f, 1.f);
	ASSERT_EQ(14u, lua()->aimStream().particles().size());

	const struct
	{
		const char* golden;
		float left, top, scale;
	} views[] = {
		{"trails-stream-scale1", 0.f, 0.f, 1.f},
		{"trails-stream-scale-half", -40.f, -40.f, 0.5f},
	};
	for (const auto& v : views)
	{
		SCOPED_TRACE(v.golden);
		gr::RenderState2D& rs = m_context->getRenderState2D();
		rs.translation = math::float2(3.f, 4.f);
		const gltest::RGBAImage frame = draw(v.left, v.top, v.scale);
		// The caller's transform comes back.
		EXPECT_EQ(3.f, rs.translation.x);
		EXPECT_EQ(1.f, rs.scale.x);
		EXPECT_EQ(0.f, rs.angle);
		rs.translation = math::float2(0.f, 0.f);

		auto screen = [&](float x, float y, uint32_t colour) {
			const int sx = int(std::floor((x - v.left) * v.scale)), sy = int(std::floor((y - v.top) * v.scale));
			EXPECT_EQ(captured(colour), frame.at(sx, sy)) << "world " << x << ", " << y;
		};
		screen(10.f, 105.f, OLD_DOT);
		screen(44.f, 64.8f, DOT);
		screen(90.f, 65.f, PUFF); // each puff over its trail
		screen(100.f, 90.f, PUFF);
		screen(0.f, 0.f, CLEAR); // a moved puff leaves nothing behind
		const math::float2 start = lua()->simulationPoints().front();
		screen(start.x * 20.f, start.y * 20.f, AIM); // the newest stream sprite sits on the first point
		EXPECT_TRUE(gltest::matchesGolden(v.golden, frame, 8));
	}
}

TEST_F(GLT(TrailDraw), UnknownSpritesDrawNothingAndSpawningFollowsTheAimingFlag)
{
	run("setNormalTrailSprite('unknown') setSpecialTrailSprite('') setAimingAidSprite('unknown')");
	run("startNewTrajectory() setNormalTrailSprite('nothing')");
	const gltest::RGBAImage frame = draw(0.f, 0.f, 1.f);
	EXPECT_EQ(14u, lua()->aimStream().particles().size());
	for (int y = 0; y < HEIGHT; ++y)
		for (int x = 0; x < WIDTH; ++x)
			ASSERT_EQ(captured(CLEAR), frame.at(x, y)) << x << ", " << y;

	run("enableAimingAid(false)");
	draw(0.f, 0.f, 1.f);
	EXPECT_FALSE(lua()->aimStream().spawning());
	run("enableAimingAid(true)");
	draw(0.f, 0.f, 1.f);
	EXPECT_TRUE(lua()->aimStream().spawning());
}
