// Shot trails and the aiming stream drawn by the object pass on each back end, against
// golden images and exact pixels, at two camera views.
#include "GameGLFixture.h"
#include <cmath>

namespace
{
const uint32_t BACKGROUND = 0xFF202020, OLD_DOT = 0xFF4080FF, DOT = 0xFFFFFFFF, PUFF = 0xFFFFE000, AIM = 0xFFFF6000,
	SHOT = 0xFFE02020;

// Solid squares with their pivot on the centre pixel, so a drawn point shows its colour exactly.
struct Square
{
	const char* name;
	int size;
	uint32_t colour;
};
const Square SQUARES[] = {{"dot_old", 5, OLD_DOT}, {"dot", 5, DOT}, {"puff", 9, PUFF}, {"aim", 7, AIM}, {"shot", 3, SHOT}};

// Two shots (each with a puff), the shot itself, and a flight prediction of a ball thrown up and right.
const char* const SCENE = R"(
setBGColor(32, 32, 32)
setPhysicsSimulationScale(20)
startNewTrajectory() setNormalTrailSprite('dot_old') setSpecialTrailSprite('puff')
for x = 10, 90, 10 do addToTrajectory(0, x, 110 - x * 0.5) end
addPuffToTrajectory(0, 90, 65)
startNewTrajectory()
for x = 20, 100, 8 do addToTrajectory(0, x, 60 + ((x - 60) / 40) ^ 2 * 30) end
setNormalTrailSprite('dot') setSpecialTrailSprite('puff') -- names after the points still apply
addPuffToTrajectory(0, 0, 0) addPuffToTrajectory(0, 100, 90)
createCircle('shot', 'shot', 5.5, 4.5, 0.1, 0, 0, 0, true, true, 3)
worldAttributes = {simulationIterations = 30, simulationTimeStepMultiplier = 1,
  simulationStorePointsSampler = 2, simulationAimSpawnTime = 0.5, simulationAimSpeed = 2}
)";
// After the level's settings.
const char* const PREDICTION = R"(
setWorldGravity(0, 10)
createCircle('ProjectileSimulation', '', 1, 4, 0.25, 1, 0, 0, true, false, 0)
setVisible('ProjectileSimulation', false)
setVelocity('ProjectileSimulation', 6, -8)
setPhysicsEnabled(true) -- the prediction runs only in an unpaused game
ClearSimulationTrajectory() updateProjectileTrajectoryTable()
setAimingAidSprite('aim') enableAimingAid(true)
)";

class GLT(TrailDraw) : public GLT(GameGL)
{
protected:
	void SetUp() override
	{
		GLT(GameGL)::SetUp();
		qf3d::Bitmap image(64, 16);
		qf3d::SheetRecord sheet{"trails.png", {}};
		int x = 0;
		for (const Square& s : SQUARES)
		{
			paint(image, x, 0, s.size, s.size, s.colour);
			sheet.sprites.push_back({s.name, x, 0, s.size, s.size, s.size / 2, s.size / 2});
			x += s.size + 2;
		}
		write("trails.png", qf3d::encodePng(image));
		write("trails.sheet", qf3d::encodeSheet(sheet));
		resources().createSpriteSheet("trails.sheet", false);
		startGame();
		run(SCENE);
		m_game->applyWorldAttributes();
		run(PREDICTION);
	}

	gltest::RGBAImage view(float left, float top, float scale)
	{
		return frame("setTopLeft(" + std::to_string(left) + ", " + std::to_string(top) + ") setWorldScale(" +
			std::to_string(scale) + ") drawGameNative(200)");
	}
};
}

TEST_F(GLT(TrailDraw), BothTrailsWithPuffsAndTheStreamFollowTheCamera)
{
	ASSERT_EQ(15u, m_game->simulationPoints().size());
	// The first pass switches spawning on, which fills the whole path at once.
	view(0.f, 0.f, 1.f);
	ASSERT_EQ(14u, m_game->aimStream().particles().size());

	const struct
	{
		const char* golden;
		float left, top, scale;
	} views[] = {
		{"trails-stream-zoomed", 4.f, 12.f, 2.f},
		{"trails-stream-moved", -40.f, -40.f, 1.f},
	};
	for (const auto& v : views)
	{
		SCOPED_TRACE(v.golden);
		const gltest::RGBAImage frame = view(v.left, v.top, v.scale);
		auto at = [&](float x, float y, uint32_t colour) {
			const int sx = int(std::floor((x - v.left) * v.scale)), sy = int(std::floor((y - v.top) * v.scale));
			EXPECT_EQ(captured(colour), frame.at(sx, sy)) << "world " << x << ", " << y;
		};
		at(10.f, 105.f, OLD_DOT);
		at(44.f, 64.8f, DOT);
		at(90.f, 65.f, PUFF); // each puff over its trail
		at(100.f, 90.f, PUFF);
		at(110.f, 90.f, SHOT); // the shot over the trails
		if (v.left <= 0.f && v.top <= 0.f)
			at(0.f, 0.f, BACKGROUND); // a moved puff leaves nothing behind
		const math::float2 start = m_game->simulationPoints().front();
		at(start.x * 20.f, start.y * 20.f, AIM); // the newest stream sprite sits on the first point
		EXPECT_TRUE(gltest::matchesGolden(v.golden, frame, 8));
	}
}

TEST_F(GLT(TrailDraw), UnknownSpritesDrawNothingAndSpawningFollowsTheAimingFlag)
{
	run("setNormalTrailSprite('unknown') setSpecialTrailSprite('') setAimingAidSprite('unknown') setVisible('shot', false)");
	run("startNewTrajectory() setNormalTrailSprite('nothing')");
	const gltest::RGBAImage frame = view(0.f, 0.f, 1.f);
	EXPECT_EQ(14u, m_game->aimStream().particles().size());
	for (int y = 0; y < HEIGHT; ++y)
		for (int x = 0; x < WIDTH; ++x)
			ASSERT_EQ(captured(BACKGROUND), frame.at(x, y)) << x << ", " << y;

	run("enableAimingAid(false)");
	view(0.f, 0.f, 1.f);
	EXPECT_FALSE(m_game->aimStream().spawning());
	run("enableAimingAid(true)");
	view(0.f, 0.f, 1.f);
	EXPECT_TRUE(m_game->aimStream().spawning());
}

TEST_F(GLT(TrailDraw), TheCallersTransformComesBack)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.translation = math::float2(3.f, 4.f);
	rs.scale = math::float2(2.f, 2.f);
	m_game->drawTrajectories();
	m_game->drawSimulationTrajectory();
	EXPECT_EQ(3.f, rs.translation.x);
	EXPECT_EQ(4.f, rs.translation.y);
	EXPECT_EQ(2.f, rs.scale.x);
	EXPECT_EQ(0.f, rs.angle);
}
