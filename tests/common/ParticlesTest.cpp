// Particle bursts, their limits, motion, animation and sensors, driven through the scripts' table.
#include "PhysicsFixture.h"
#include <game/Resources.h>
#include <game/SpriteSheet.h>
#include <gr/Context.h>
#include <gr/SurfaceFormat.h>
#include <math/RandomUtil.h>
#include <cmath>

namespace
{
// Definitions with fixed ranges, so every particle of a burst moves alike.
const char* const kDefinitions = R"(
particleTable = { particles = {
	filler = { sprites = { 'spark' }, lifeTime = 100, ignoreLimits = true, minScaleBegin = 1, maxScaleBegin = 1,
		minScaleEnd = 1, maxScaleEnd = 1 },
	dust = { sprites = { 'spark' }, lifeTime = 100, minScaleBegin = 1, maxScaleBegin = 1 },
	wild = { sprites = { 'spark' }, lifeTime = 100, ignoreLimits = true },
	short = { sprites = { 'spark' }, lifeTime = 1 },
	long = { sprites = { 'spark' }, lifeTime = 2 },
	falling = { sprites = { 'spark' }, lifeTime = 10, minVel = 100, maxVel = 100, minAngleEmitter = 90,
		maxAngleEmitter = 90, gravityX = 4, gravityY = 10, minAngleVel = 2, maxAngleVel = 2,
		minScaleBegin = 1, maxScaleBegin = 1, minScaleEnd = 3, maxScaleEnd = 3 },
	still = { sprites = { 'spark' }, lifeTime = 10 },
	frames = { sprites = { 'f1', 'f2', 'f3' }, animation = 'lifeTime', lifeTime = 3 },
	bare = { lifeTime = 5, background = true },
	area = { sprites = { 'spark' }, lifeTime = 5, emitAreaScaleX = 0, emitAreaScaleY = 0 },
	seen = { sprites = { 'spark' }, lifeTime = 10, minScaleBegin = 2, maxScaleBegin = 2, minScaleEnd = 2, maxScaleEnd = 2,
		minAngle = 30, maxAngle = 30 },
} }
)";

class ParticleBursts : public PhysicsTest
{
protected:
	void SetUp() override
	{
		PhysicsTest::SetUp();
		math::RandomUtil::reset();
		game::Resources* res = app()->luaResources()->getResources();
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(m_context->createImage(
			64, 16, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE));
		const char* const names[] = {"spark", "f1", "f2", "f3"};
		for (int i = 0; i < 4; ++i)
			sheet->createSprite(names[i], i * 16, 0, 16, 16, 8, 8);
		res->addSpriteSheet("sparks", sheet);
		run(kDefinitions);
	}

	::Particles& sys() { return lua()->particles(); }
	const std::vector<::Particles::ParticleData>& live() { return sys().particles(); }
	void update(float dt, bool inGame = true) { sys().update(dt, inGame, m_context); }
};
}

TEST_F(ParticleBursts, BurstsAreHalvedPastSixtyAndCappedAtTheLimit)
{
	const struct
	{
		int live;
		const char* definition;
		int count;
		size_t added;
	} cases[] = {
		{0, "dust", 20, 20},
		{50, "dust", 20, 10}, // 70 > 60 halves
		{220, "dust", 20, 5}, // halved to 10, then capped at 225
		{230, "dust", 20, 0}, // already past the cap
		{230, "wild", 20, 20}, // ignores the limits
		{58, "dust", 3, 2}, // halved to 1.5, which rounds up
		{0, "dust", 0, 0},
		{0, "dust", -4, 0},
		{0, "nothing", 5, 5}, // unknown definitions follow the same rules
	};
	for (const auto& c : cases)
	{
		sys().clearAll();
		run("_G.particles.addParticles('filler', " + std::to_string(c.live) + ", 0, 0, 0, 0, 0)");
		ASSERT_EQ(size_t(c.live), live().size());
		run(std::string("_G.particles.addParticles('") + c.definition + "', " + std::to_string(c.count) +
			", 0, 0, 10, 10, 0)");
		EXPECT_EQ(c.added, live().size() - c.live) << c.live << " live, " << c.definition << " x " << c.count;
	}
}

TEST_F(ParticleBursts, ParticlesDieAfterTheirLifetimeAndTheRestKeepTheirOrder)
{
	run("for i = 1, 3 do _G.particles.addParticles('short', 1, i, 0, 0, 0, 0) _G.particles.addParticles('long', 1, i, 1, 0, 0, 0) end");
	ASSERT_EQ(6u, live().size());
	for (int i = 0; i < 4; ++i)
		update(0.25f);
	EXPECT_EQ(6u, live().size()) << "an age equal to the lifetime is still alive";
	update(0.25f);
	ASSERT_EQ(3u, live().size());
	for (size_t i = 0; i < 3; ++i)
	{
		EXPECT_EQ("long", live()[i].definition->name);
		EXPECT_FLOAT_EQ(float(i + 1), live()[i].x);
	}
	update(1.5f);
	EXPECT_TRUE(live().empty());
}

TEST_F(ParticleBursts, MotionGravitySpinAndScaleInGameAndInMenus)
{
	// In menus the motion follows the screen height (640 here) against 768.
	for (bool inGame : {true, false})
	{
		sys().clearAll();
		run("_G.particles.addParticles('falling', 1, 10, 20, 0, 0, 0)");
		ASSERT_EQ(1u, live().size());
		const ::Particles::ParticleData& p = live()[0];
		EXPECT_NEAR(0.f, p.vx, 1e-4f);
		EXPECT_NEAR(100.f, p.vy, 1e-3f);
		update(0.5f, inGame);
		const float f = inGame ? 1.f : 640.f / 768.f;
		EXPECT_NEAR(2.f, p.vx, 1e-3f);
		EXPECT_NEAR(105.f, p.vy, 1e-3f);
		EXPECT_NEAR(10.f + 2.f * 0.5f * f, p.x, 1e-3f);
		EXPECT_NEAR(20.f + 105.f * 0.5f * f, p.y, 1e-3f);
		EXPECT_NEAR(1.f, p.angle, 1e-5f);
		EXPECT_NEAR(1.1f, p.scale, 1e-5f); // a twentieth of the way from 1 to 3
	}
}

TEST_F(ParticleBursts, BurstsSpreadOverTheRotatedAreaAndRepeatAfterReset)
{
	const double pi = std::acos(-1.0);
	run("_G.particles.addParticles('still', 40, 100, 50, 20, 10, " + std::to_string(pi / 2) + ")");
	ASSERT_EQ(40u, live().size());
	// Turned a quarter, the 20 x 10 area stands 10 wide and 20 high about (100, 50).
	for (const auto& p : live())
	{
		EXPECT_LE(std::fabs(p.x - 100.f), 5.001f);
		EXPECT_LE(std::fabs(p.y - 50.f), 10.001f);
	}
	run("_G.particles.addParticles('area', 3, 7, 8, 20, 20, 0)");
	EXPECT_FLOAT_EQ(7.f, live().back().x) << "an emit-area scale of 0 spawns on the point";

	std::vector<float> first;
	for (const auto& p : live())
		first.push_back(p.x);
	sys().clearAll();
	math::RandomUtil::reset();
	run("_G.particles.addParticles('still', 40, 100, 50, 20, 10, " + std::to_string(pi / 2) + ")");
	for (size_t i = 0; i < 40; ++i)
		EXPECT_EQ(first[i], live()[i].x);
}

TEST_F(ParticleBursts, AnimationByLifetimeStepsThroughTheFrames)
{
	run("_G.particles.addParticles('frames', 1, 0, 0, 0, 0, 0)");
	ASSERT_EQ("f1", live()[0].sprite->getName());
	const struct
	{
		float age;
		int frame;
		const char* sprite;
	} steps[] = {{0.5f, 1, "f1"}, {1.f, 1, "f1"}, {1.5f, 2, "f2"}, {2.f, 2, "f2"}, {2.5f, 3, "f3"}, {3.f, 3, "f3"}};
	for (const auto& s : steps)
	{
		update(0.5f);
		ASSERT_EQ(1u, live().size());
		EXPECT_FLOAT_EQ(s.age, live()[0].age);
		EXPECT_EQ(s.frame, live()[0].frame) << s.age;
		EXPECT_EQ(s.sprite, live()[0].sprite->getName()) << s.age;
	}
}

TEST_F(ParticleBursts, GravitySensorsPushPullAndAbsorb)
{
	const struct
	{
		const char* sensor;
		const char* definition;
		float vx, vy;
		bool survives;
	} cases[] = {
		// A pusher acts everywhere: push x strength x dt.
		{"1000, 1000, 2, false, 1, 0, 3, -4", "still", 0.6f, -0.8f, true},
		// An attractor pulls along the unit direction inside its radius only.
		{"3, 4, 10, true, 6, 0, 0, 0", "still", 0.6f, 0.8f, true},
		{"3, 4, 10, true, 5, 0, 0, 0", "still", 0.f, 0.f, true},
		// Closer than half the particle's speed (100), it swallows the particle.
		{"0, 40, 10, true, 100, 0, 0, 0", "falling", 0.f, 0.f, false},
		{"0, 60, 10, true, 100, 0, 0, 0", "falling", 0.4f, 102.f, true},
	};
	for (const auto& c : cases)
	{
		sys().clearAll();
		run(std::string("_G.particles.addGravitySensor(") + c.sensor + ") _G.particles.addParticles('" + c.definition +
			"', 1, 0, 0, 0, 0, 0)");
		ASSERT_EQ(1u, sys().gravitySensors().size());
		update(0.1f);
		ASSERT_EQ(c.survives ? 1u : 0u, live().size()) << c.sensor;
		if (c.survives)
		{
			EXPECT_NEAR(c.vx, live()[0].vx, 1e-3f) << c.sensor;
			EXPECT_NEAR(c.vy, live()[0].vy, 1e-3f) << c.sensor;
		}
	}
	sys().clearAll();
	EXPECT_TRUE(sys().gravitySensors().empty());
}

TEST_F(ParticleBursts, ScaleAndPropertyBurstsRewriteTheirCachedDefinitions)
{
	run("_G.particles.addParticlesWithScale('still', 1, 0, 0, 0, 0, 0, 2, 5)");
	const ::Particles::ParticleSystemData* still = sys().cachedDefinition("still");
	ASSERT_NE(nullptr, still);
	EXPECT_EQ(2.f, still->minScaleBegin);
	EXPECT_EQ(2.f, still->maxScaleBegin);
	EXPECT_EQ(5.f, still->maxScaleEnd);
	run("_G.particles.addParticles('still', 1, 0, 0, 0, 0, 0)");
	EXPECT_EQ(2.f, live().back().scaleBegin) << "the scale stays for later bursts";
	EXPECT_EQ(5.f, live().back().scaleEnd);

	testing::internal::CaptureStdout();
	run("_G.particles.addParticlesWithProperties('still', 1, 0, 0, 0, 0, 0, 10, 10, 180, 180, '-left')");
	run("_G.particles.addParticlesWithProperties('wild', 1, 0, 0, 0, 0, 0, 10, 10, 180, 180, '-left')");
	EXPECT_EQ("**** particles: ignoreLimits = false\n**** particles: ignoreLimits = true\n",
		testing::internal::GetCapturedStdout());
	const ::Particles::ParticleSystemData* left = sys().cachedDefinition("still-left");
	ASSERT_NE(nullptr, left);
	EXPECT_EQ(10.f, left->minVel);
	EXPECT_NEAR(3.14159f, left->maxAngleEmitter, 1e-5f);
	EXPECT_EQ(0.f, sys().cachedDefinition("still")->minVel) << "the plain definition is untouched";
	EXPECT_NEAR(-10.f, live()[live().size() - 2].vx, 1e-4f);

	// Editing drops the cache: the next burst reads the table again.
	run("particleTable.particles.still.minScaleBegin = 7 particleTable.particles.still.maxScaleBegin = 7");
	lua()->setEditing(false);
	EXPECT_EQ(nullptr, sys().cachedDefinition("still"));
	run("_G.particles.addParticles('still', 1, 0, 0, 0, 0, 0)");
	EXPECT_EQ(7.f, live().back().scaleBegin);
	EXPECT_EQ("still-left", live()[live().size() - 3].definition->name) << "live particles outlive the cache";
}

TEST_F(ParticleBursts, DefinitionsWithoutSpritesSpawnButAreNotDrawn)
{
	for (const char* name : {"bare", "unknown"})
	{
		sys().clearAll();
		testing::internal::CaptureStdout();
		run(std::string("_G.particles.addParticles('") + name + "', 3, 0, 0, 0, 0, 0)");
		EXPECT_EQ(std::string("Particle sprite is missing for ") + name + "\n", testing::internal::GetCapturedStdout());
		ASSERT_EQ(3u, live().size());
		EXPECT_EQ(nullptr, live()[0].sprite.ptr());
		run("enableInGameParticlesNative(true)");
		lua()->drawGameParticles(true);
		lua()->drawGameParticles(false);
		run("drawMenuParticlesNative()");
	}
	sys().clearAll();
	run("particleTable = nil _G.particles.addParticles('other', 2, 0, 0, 0, 0, 0)");
	EXPECT_EQ(2u, live().size()) << "no table at all reads as empty too";
	update(0.1f);
	EXPECT_TRUE(live().empty()) << "an empty definition lives for no time";
}

TEST_F(ParticleBursts, ParticlesKeepTheirSpritesWhenTheSheetIsReleased)
{
	run("_G.particles.addParticles('still', 3, 0, 0, 0, 0, 0) _G.particles.addParticles('frames', 1, 0, 0, 0, 0, 0)");
	app()->luaResources()->getResources()->releaseSpriteSheet("sparks");
	ASSERT_EQ("spark", live()[0].sprite->getName());
	run("enableInGameParticlesNative(true) drawParticlesNative() drawMenuParticlesNative()");
	// The next frame name is no longer in the registry: that particle goes on undrawn.
	testing::internal::CaptureStdout();
	update(1.5f);
	EXPECT_EQ("Particle sprite is missing for frames\n", testing::internal::GetCapturedStdout());
	ASSERT_EQ(4u, live().size());
	EXPECT_EQ(nullptr, live()[3].sprite.ptr());
	run("drawParticlesNative()");
}

TEST_F(ParticleBursts, BadScalesAndCountsAreRefused)
{
	run("setMenuParticlesScale(2.5)");
	EXPECT_EQ(2.5f, sys().menuScale());
	for (const char* bad : {"0", "-1", "100", "1e9", "0/0"})
	{
		const std::string message = error(std::string("setMenuParticlesScale(") + bad + ")");
		EXPECT_NE(std::string::npos, message.find("setMenuParticlesScale: Menu particle scale")) << bad << ": " << message;
		EXPECT_EQ(2.5f, sys().menuScale()) << bad;
	}
	EXPECT_NE(std::string::npos, error("setMenuParticlesScale(0)").find("scale 0 is outside")) << "names the value";

	for (const char* count : {"1e9", "1/0", "0/0"})
	{
		const std::string message = error(std::string("_G.particles.addParticles('wild', ") + count + ", 0, 0, 0, 0, 0)");
		EXPECT_NE(std::string::npos, message.find("addParticles: Particle count ")) << count << ": " << message;
	}
	EXPECT_TRUE(live().empty());
}

TEST_F(ParticleBursts, GameOperationsClearUpdateAndDrawTheLayers)
{
	// Drawn at twice their size, turned: the drawing changes the state it must reset.
	run("_G.particles.addParticles('seen', 2, 0, 0, 0, 0, 0) _G.particles.addGravitySensor(0, 0, 1, false, 1, 0, 0, 0)"
		" updateMenuParticlesNative(0.5)");
	ASSERT_EQ(2u, live().size());
	EXPECT_EQ(0.5f, live()[0].age);

	// The frame update moves particles only while physics runs.
	frame(0.1f);
	EXPECT_EQ(0.5f, live()[0].age);
	enable();
	frame(0.1f);
	EXPECT_NEAR(0.6f, live()[0].age, 1e-6f);

	EXPECT_FALSE(lua()->inGameParticlesEnabled());
	run("enableInGameParticlesNative(true) drawParticlesNative()");
	EXPECT_TRUE(lua()->inGameParticlesEnabled());
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	EXPECT_EQ(1.f, rs.scale.x) << "drawing leaves the default state";
	EXPECT_EQ(0.f, rs.angle);

	run("clearParticlesNative()");
	EXPECT_TRUE(live().empty());
	EXPECT_TRUE(sys().gravitySensors().empty());
	run("_G.particles.addParticles('still', 2, 0, 0, 0, 0, 0)");
	run("loadLevel(levelPath .. '/good')");
	EXPECT_TRUE(live().empty()) << "a new level starts without particles";
}
