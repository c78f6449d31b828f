#include <AimStream.h>
#include <AimingStep.h>

#include <gtest/gtest.h>

#include <cmath>

using math::float2;

namespace {

struct AimWorld
{
	b2World world{b2Vec2(0.f, -10.f)};
	b2Body* body = nullptr;

	explicit AimWorld(float linearDamping = 0.f, float angularDamping = 0.f)
	{
		b2BodyDef def;
		def.type = b2_dynamicBody;
		def.position.Set(1.f, 2.f);
		def.linearDamping = linearDamping;
		def.angularDamping = angularDamping;
		body = world.CreateBody(&def);
		b2PolygonShape box;
		box.SetAsBox(0.5f, 0.5f, b2Vec2(0.25f, 0.f), 0.f); // centre off the origin
		b2FixtureDef fd;
		fd.shape = &box;
		fd.density = 2.f;
		body->CreateFixture(&fd);
	}
};

std::vector<float2> line(int count)
{
	std::vector<float2> p;
	for (int i = 0; i < count; ++i)
		p.push_back(float2(10.f * i, 0.f));
	return p;
}

} // namespace

TEST(StepForAiming, IntegratesGravityForceAndDampingByHand)
{
	struct Case { float damping; b2Vec2 v0; b2Vec2 force; float torque; float dt; };
	const Case cases[] = {
		{0.f, b2Vec2(1.f, 0.f), b2Vec2(0.f, 0.f), 0.f, 0.1f},
		{0.5f, b2Vec2(3.f, 1.f), b2Vec2(4.f, 0.f), 0.f, 1.f / 35},
		{2.f, b2Vec2(-1.f, 2.f), b2Vec2(0.f, 8.f), 0.3f, 0.05f},
	};
	for (const Case& c : cases)
	{
		AimWorld w(c.damping, c.damping);
		w.body->SetLinearVelocity(c.v0);
		const float mass = w.body->GetMass(); // 2 kg
		const float inertia = mass * (1.f + 1.f) / 12.f;
		const b2Vec2 c0 = w.body->GetWorldCenter();
		AimingForces f;
		f.force = c.force;
		f.torque = c.torque;
		StepForAiming(w.world, c.dt, 10, 10, w.body, f);

		const float k = 1.f / (1.f + c.dt * c.damping);
		const b2Vec2 v = k * (c.v0 + c.dt * (b2Vec2(0.f, -10.f) + (1.f / mass) * c.force));
		const float omega = k * c.dt * c.torque / inertia;
		EXPECT_NEAR(w.body->GetLinearVelocity().x, v.x, 1e-5f);
		EXPECT_NEAR(w.body->GetLinearVelocity().y, v.y, 1e-5f);
		EXPECT_NEAR(w.body->GetAngularVelocity(), omega, 1e-5f);
		EXPECT_NEAR(w.body->GetWorldCenter().x, c0.x + c.dt * v.x, 1e-5f);
		EXPECT_NEAR(w.body->GetWorldCenter().y, c0.y + c.dt * v.y, 1e-5f);
		EXPECT_NEAR(w.body->GetAngle(), c.dt * omega, 1e-6f);
	}
}

TEST(StepForAiming, LimitsTranslationAndRotationPerStep)
{
	AimWorld w;
	w.world.SetGravity(b2Vec2(0.f, 0.f));
	w.body->SetLinearVelocity(b2Vec2(300.f, 400.f));
	w.body->SetAngularVelocity(100.f);
	const b2Vec2 c0 = w.body->GetWorldCenter();
	StepForAiming(w.world, 0.1f, 10, 10, w.body, AimingForces());
	// |dt v| = 50 > 2: scaled to a translation of 2; dt w = 10 > pi/2.
	EXPECT_NEAR(w.body->GetLinearVelocity().Length(), 20.f, 1e-3f);
	EXPECT_NEAR((w.body->GetWorldCenter() - c0).Length(), 2.f, 1e-4f);
	EXPECT_NEAR(w.body->GetAngularVelocity(), 0.5f * b2_pi / 0.1f, 1e-3f);
	EXPECT_NEAR(w.body->GetAngle(), 0.5f * b2_pi, 1e-5f);
}

TEST(StepForAiming, ZeroStepAndClearLeaveNothingBehind)
{
	AimWorld w;
	w.body->SetLinearVelocity(b2Vec2(5.f, 6.f));
	const b2Transform before = w.body->GetTransform();
	AimingForces f;
	f.force.Set(100.f, 100.f);
	f.torque = 4.f;
	StepForAiming(w.world, 0.f, 10, 10, w.body, f);
	EXPECT_EQ(w.body->GetTransform().p, before.p);
	EXPECT_EQ(w.body->GetLinearVelocity(), b2Vec2(5.f, 6.f));
	ClearBodyForces(f);
	EXPECT_EQ(f.force, b2Vec2(0.f, 0.f));
	EXPECT_EQ(f.torque, 0.f);
}

TEST(StepForAiming, FirstFixturesOverlapFollowsTheMovedBody)
{
	AimWorld w;
	b2BodyDef def;
	def.position.Set(10.f, 2.f);
	b2Body* field = w.world.CreateBody(&def);
	b2CircleShape circle;
	circle.m_radius = 1.f;
	field->CreateFixture(&circle, 0.f);
	EXPECT_FALSE(FirstFixturesOverlap(w.body, field));
	w.world.SetGravity(b2Vec2(0.f, 0.f));
	w.body->SetLinearVelocity(b2Vec2(17.5f, 0.f));
	for (int i = 0; i < 10; ++i)
		StepForAiming(w.world, 0.05f, 10, 10, w.body, AimingForces());
	EXPECT_TRUE(FirstFixturesOverlap(w.body, field));
	EXPECT_FALSE(FirstFixturesOverlap(w.body, nullptr));
}

TEST(AimStream, SetStreamNeedsFourPointsAndPadsTheEnds)
{
	AimStream s(nullptr);
	s.setStream(line(3), 0);
	EXPECT_FALSE(s.isStreamReady());
	s.setStream(line(4), 0);
	ASSERT_EQ(s.points().size(), 6u);
	EXPECT_EQ(s.segmentCount(), 3);
	EXPECT_EQ(s.points().front().x, s.points()[1].x);
	EXPECT_EQ(s.points().back().x, s.points()[4].x);
	s.setStream(line(2), 0); // refused: the previous stream stays
	EXPECT_EQ(s.points().size(), 6u);
	// The spline passes through the inner control points.
	EXPECT_NEAR(s.pointAt(1.f).x, 10.f, 1e-5f);
	EXPECT_NEAR(s.pointAt(1.5f).x, 15.f, 1e-4f);
}

TEST(AimStream, RibbonGivesTwoEdgesAroundThePath)
{
	AimStream s(nullptr);
	s.setStream(line(4), 1);
	// 3 segments, t = 0, 0.08 .. 0.96 (13 steps), left and right each.
	EXPECT_EQ(s.points().size(), 3u * 13u * 2u);
	EXPECT_NEAR(s.points()[0].y, 10.f, 1e-5f);
	EXPECT_NEAR(s.points()[1].y, -10.f, 1e-5f);
	s.update(1.f); // does nothing for the ribbon
	EXPECT_TRUE(s.particles().empty());
}

TEST(AimStream, PopulateUpdateAndClearFollowTheTimeline)
{
	AimStream s(nullptr);
	s.setStream(line(13), 0); // n = 12
	ASSERT_EQ(s.segmentCount(), 12);
	s.populateStream();
	const float expected[] = {0.f, 2.4f, 4.8f, 7.2f, 9.6f};
	ASSERT_EQ(s.particles().size(), 5u);
	for (int i = 0; i < 5; ++i)
	{
		EXPECT_NEAR(s.particles()[i].position, expected[i], 1e-5f);
		EXPECT_NEAR(s.particles()[i].scale, 1.f - expected[i] / 12.f + 0.2f, 1e-5f);
	}
	EXPECT_FLOAT_EQ(s.spawnTimer(), 0.6f);

	// Spawning off: sprites flow on and leave at the end.
	s.update(0.5f); // 9.6 -> 11.6
	EXPECT_EQ(s.particles().size(), 5u);
	s.update(0.2f); // 11.6 -> 12.4 leaves
	EXPECT_EQ(s.particles().size(), 4u);

	// Switching spawning on refills evenly; the timer then spawns at the start.
	s.setSpawningEnabled(true);
	EXPECT_EQ(s.particles().size(), 5u);
	s.update(0.7f);
	EXPECT_EQ(s.particles().front().position, 0.f);
	EXPECT_FLOAT_EQ(s.particles().front().scale, 1.2f);
	EXPECT_NEAR(s.spawnTimer(), 0.5f, 1e-5f);

	// Clearing removes the newest up to the fraction.
	s.clearParticlesFromStream(0.5f);
	for (const AimStream::StreamParticle& p : s.particles())
		EXPECT_GE(p.position / 12.f, 0.5f);
	s.disableStream();
	EXPECT_FALSE(s.isStreamReady());
	EXPECT_TRUE(s.particles().empty());
	EXPECT_FALSE(s.spawning());
}

TEST(AimStream, RefusesIntervalAndSpeedThatWouldNeverAdvance)
{
	AimStream s(nullptr);
	const float bad[] = {0.f, -1.f, NAN, INFINITY};
	for (float v : bad)
	{
		EXPECT_FALSE(s.setSpawnInterval(v)) << v;
		EXPECT_FALSE(s.setSpeed(v)) << v;
	}
	s.setStream(line(13), 0);
	s.populateStream();
	EXPECT_EQ(s.particles().size(), 5u); // old values kept
	EXPECT_TRUE(s.setSpawnInterval(0.3f));
	s.populateStream();
	EXPECT_EQ(s.particles().size(), 10u);
}

#include "PhysicsFixture.h"

namespace {
class Aiming : public PhysicsTest
{
protected:
	void SetUp() override
	{
		PhysicsTest::SetUp();
		enable(); // the prediction runs only in an unpaused game
		run("worldAttributes = {simulationIterations = 8, simulationTimeStepMultiplier = 1,\n"
			"  simulationStorePointsSampler = 1, simulationAimSpawnTime = 0.6, simulationAimSpeed = 4}\n"
			"loadLevel(levelPath .. '/missing')\n"
			"createBox('ProjectileSimulation', '', 5, 0, 1, 1, 2, 0, 0, true, false, 0)\n"
			"createBox('field', '', 0, 0, 40, 40, 0, 0, 0, true, false, 0) setAsSensor('field', true)\n"
			"setObjectParameter('field', 21, 2) setObjectParameter('field', 27, 10)\n"
			"setSensorMinimumAndMaximumForces('field', 0, 10)");
	}
	std::vector<math::float2> predict()
	{
		b2Body* body = object("ProjectileSimulation")->body;
		body->SetTransform(b2Vec2(5.f, 0.f), 0.f);
		body->SetLinearVelocity(b2Vec2(0.f, 0.f));
		run("ClearSimulationTrajectory() updateProjectileTrajectoryTable()");
		return lua()->simulationPoints();
	}
};
} // namespace

TEST_F(Aiming, AnOverlappingFieldPullsInEveryStepAndLeavesNoForceBehind)
{
	lua()->world()->SetGravity(b2Vec2(0.f, 0.f));
	const std::vector<math::float2> free = predict();
	ASSERT_EQ(free.size(), 8u);
	for (const math::float2& p : free)
		EXPECT_FLOAT_EQ(p.x, 5.f);

	run("setObjectParameter('field', 32, 1)");
	const std::vector<math::float2> pulled = predict();
	ASSERT_EQ(pulled.size(), 8u);
	// Pulled towards the field, faster every step.
	float previousStep = 0.f;
	float previous = 5.f;
	for (const math::float2& p : pulled)
	{
		const float stepLength = previous - p.x;
		EXPECT_GT(stepLength, previousStep);
		previousStep = stepLength;
		previous = p.x;
	}
	EXPECT_EQ(lua()->aimStream().points().size(), 10u);

	// The real world's next step sees no leftover sensor force.
	b2Body* body = object("ProjectileSimulation")->body;
	body->SetLinearVelocity(b2Vec2(0.f, 0.f));
	run("setObjectParameter('field', 32, 0)");
	lua()->world()->Step(1.f / 30.f, 8, 3);
	EXPECT_NEAR(body->GetLinearVelocity().x, 0.f, 1e-4f);
}

TEST_F(Aiming, ScriptOperationsAndTheirErrors)
{
	EXPECT_FLOAT_EQ(8.f / 35.f, lua()->getAimingTime());
	run("currentTimeStep = 0.25");
	EXPECT_FLOAT_EQ(2.f, lua()->getAimingTime());
	EXPECT_NE(std::string::npos, error("setAimingAidSprite('')").find("setAimingAidSprite"));
	run("setAimingAidSprite('dot') enableAimingAid(true)");
	EXPECT_EQ("dot", lua()->aimStream().spriteName());
	EXPECT_TRUE(lua()->aimingAidEnabled());

	run("worldAttributes.simulationStorePointsSampler = 0 loadLevel(levelPath .. '/missing')");
	EXPECT_NE(std::string::npos, error("updateProjectileTrajectoryTable()").find("simulationStorePointsSampler"));
	run("worldAttributes.simulationStorePointsSampler = 1 loadLevel(levelPath .. '/missing')");
	EXPECT_NE(std::string::npos, error("updateProjectileTrajectoryTable()").find("ProjectileSimulation"));
}

TEST_F(Aiming, NoPredictionWhilePhysicsIsPaused)
{
	lua()->world()->SetGravity(b2Vec2(0.f, 10.f));
	const std::vector<math::float2> first = predict();
	ASSERT_EQ(first.size(), 8u);
	const size_t streamPoints = lua()->aimStream().points().size();

	// Paused by the game's own switch or by a named one: the body stays and the points stay empty.
	for (const char* pause : {"setPhysicsEnabled(false)", "setPhysicsEnabled(false, 'menu')"})
	{
		run(pause);
		const std::vector<math::float2> paused = predict();
		EXPECT_TRUE(paused.empty()) << pause;
		EXPECT_EQ(b2Vec2(5.f, 0.f), object("ProjectileSimulation")->body->GetPosition()) << pause;
		EXPECT_EQ(streamPoints, lua()->aimStream().points().size()) << pause;
	}
	run("setPhysicsEnabled(true, 'menu')");
	EXPECT_TRUE(predict().empty()) << "still paused under the empty key";
	run("setPhysicsEnabled(true)");
	EXPECT_EQ(first.size(), predict().size());
}

TEST_F(Aiming, ALoadedLevelStartsWithoutTheOldPrediction)
{
	lua()->world()->SetGravity(b2Vec2(0.f, 10.f));
	ASSERT_EQ(predict().size(), 8u);
	run("setAimingAidSprite('dot') enableAimingAid(true) populateAimingAid()");
	ASSERT_TRUE(lua()->aimStream().isStreamReady());
	ASSERT_FALSE(lua()->aimStream().particles().empty());
	run("loadLevel(levelPath .. '/missing')");
	EXPECT_FALSE(lua()->aimStream().isStreamReady());
	EXPECT_TRUE(lua()->aimStream().points().empty());
	EXPECT_TRUE(lua()->aimStream().particles().empty());
	EXPECT_FALSE(lua()->aimStream().spawning());
}
