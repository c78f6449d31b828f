#include "PhysicsFixture.h"
#include <cmath>

namespace
{
class Sensors : public PhysicsTest
{
protected:
	void SetUp() override
	{
		PhysicsTest::SetUp();
		run("hits = {}\n"
			"function enterCollision(a, b) end\n"
			"function exitCollision(a, b) end\n"
			"function projectileCollision() end\n"
			"function blockCollision() end\n");
	}

	/** A static round gravity field at the origin: radius 10, forces 0 to 10. */
	void makeField()
	{
		run("createBox('field', '', 0, 0, 1, 1, 0, 0, 0, true, false, 0) setAsSensor('field', true)\n"
			"setObjectParameter('field', 21, 2) setObjectParameter('field', 27, 10)\n"
			"setSensorMinimumAndMaximumForces('field', 0, 10)");
	}

	void frames(int n)
	{
		for (int i = 0; i < n; ++i)
			frame(1.f / 30.f);
	}
};
}

TEST_F(Sensors, FieldForceFallsWithDistanceAndFollowsTheObjectsSettings)
{
	makeField();
	run("createBox('box', '', 5, 0, 1, 1, 2, 0, 0, true, false, 0)\n"
		"createBox('shot', '', 5, 0, 1, 1, 2, 0, 0, true, true, 0) setActive('shot', true)\n"
		"setGravityForceMultiplier(3)");
	GameLua::RenderObjectData& field = *object("field");
	GameLua::RenderObjectData& box = *object("box");
	GameLua::RenderObjectData& shot = *object("shot");
	struct Case
	{
		const char* what;
		void (*setUp)(GameLua::RenderObjectData& field, GameLua::RenderObjectData& box);
		float x, y;
	} cases[] = {
		{"mass 2 at half the radius", [](GameLua::RenderObjectData&, GameLua::RenderObjectData&) {}, -1.f, 0.f},
		{"beyond the radius pushes", [](GameLua::RenderObjectData&, GameLua::RenderObjectData& b) { b.body->SetTransform(b2Vec2(15.f, 0.f), 0.f); }, 1.f, 0.f},
		{"mask 4, category 3", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData& b) { f.sensorGravityMask = 4; b.gravityCategory = 3; }, 0.f, 0.f},
		{"mask 4, category 6", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData& b) { f.sensorGravityMask = 4; b.gravityCategory = 6; }, -1.f, 0.f},
		{"mask 4, category -1", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData&) { f.sensorGravityMask = 4; }, -1.f, 0.f},
		{"mask -1, category 3", [](GameLua::RenderObjectData&, GameLua::RenderObjectData& b) { b.gravityCategory = 3; }, -1.f, 0.f},
		{"not kind 2", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData&) { f.kind = 3; }, 0.f, 0.f},
		{"revert gravity", [](GameLua::RenderObjectData&, GameLua::RenderObjectData& b) { b.revertGravity = true; }, 0.1f, 0.f},
		{"limited revert below the limit", [](GameLua::RenderObjectData&, GameLua::RenderObjectData& b) { b.revertGravityLimited = true; b.revertMultiplier = -2.f; b.revertSpeedLimit = 1.f; }, 2.f, 0.f},
		{"limited revert at the limit", [](GameLua::RenderObjectData&, GameLua::RenderObjectData& b) { b.revertGravityLimited = true; b.revertMultiplier = -2.f; b.revertSpeedLimit = 0.f; }, 0.f, 0.f},
		{"radius 0 has no extent", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData&) { f.sensorRadius = 0.f; }, 0.f, 0.f},
		{"directional field of length 0", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData&) { f.sensorRadius = -1.f; }, 0.f, 0.f},
		// Up the field (angle 0: (0, 1)); far point (0, 5), the box at (0, 0): t = 0.5.
		{"directional field", [](GameLua::RenderObjectData& f, GameLua::RenderObjectData& b) { f.sensorRadius = -1.f; f.sensorLength = 10.f; b.body->SetTransform(b2Vec2(0.f, 0.f), 0.f); }, 0.f, 1.f},
	};
	for (const Case& c : cases)
	{
		field.kind = 2;
		field.sensorGravityMask = -1;
		field.sensorRadius = 10.f;
		field.sensorLength = 0.f;
		box.gravityCategory = -1;
		box.revertGravity = box.revertGravityLimited = false;
		box.body->SetTransform(b2Vec2(5.f, 0.f), 0.f);
		c.setUp(field, box);
		const b2Vec2 f = lua()->applySensorForceToObject(field, box);
		EXPECT_NEAR(c.x, f.x, 1e-5f) << c.what;
		EXPECT_NEAR(c.y, f.y, 1e-5f) << c.what;
	}

	// A projectile's multiplier decays with its flight time.
	field.kind = 2;
	field.sensorRadius = 10.f;
	const float flights[][2] = {{-1.f, -3.f}, {1.f, -1.7f}, {2.f, -1.f}};
	for (const auto& flight : flights)
	{
		shot.flightTime = flight[0];
		EXPECT_NEAR(flight[1], lua()->applySensorForceToObject(field, shot).x, 1e-5f) << flight[0];
	}
}

TEST_F(Sensors, EntryAndExitKeepTheFieldListAndInsideGravity)
{
	makeField();
	run("createBox('lister', '', 20, 0, 1, 1, 0, 0, 0, true, false, 0) setAsSensor('lister', true)\n"
		"setObjectParameter('lister', 21, 3)\n"
		"createBox('box', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)");
	enable();
	frames(1);
	GameLua::RenderObjectData& box = *object("box");
	ASSERT_EQ(1u, box.gravityFields.size());
	EXPECT_EQ(object("field"), box.gravityFields[0]);
	EXPECT_EQ("true", eval("objects.world.box.insideGravity"));

	run("setPosition('box', 20, 0)");
	frames(2);
	ASSERT_EQ(1u, box.gravityFields.size());
	EXPECT_EQ(object("lister"), box.gravityFields[0]);
	EXPECT_EQ("true", eval("objects.world.box.insideGravity")) << "the list did not run empty";
	run("setPosition('box', 40, 0)");
	frames(2);
	EXPECT_TRUE(box.gravityFields.empty());
	EXPECT_EQ("false", eval("objects.world.box.insideGravity")) << "the last listed field, of kind 3";

	// A field pulls what is inside it, each step.
	run("setPosition('box', 0.3, 0) setVelocity('box', 0, 0)");
	frames(3);
	EXPECT_LT(body("box")->GetLinearVelocity().x, 0.f);
	run("removeObject('field')");
	EXPECT_TRUE(box.gravityFields.empty()) << "a removed field leaves every list";
}

TEST_F(Sensors, TriggersAndKillingVolumes)
{
	run("createBox('trigger', '', 0, 0, 1, 1, 0, 0, 0, true, false, 0) setAsSensor('trigger', true)\n"
		"setObjectParameter('trigger', 21, 4)\n"
		"createBox('box', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)");
	enable();
	frames(1);
	EXPECT_EQ("0", eval("objects.world.trigger.strength")) << "its removal timer ran out at once";
	run("removeObject('box') removeObject('trigger')");

	run("createBox('pit', '', 0, 0, 1, 1, 0, 0, 0, true, false, 0) setAsSensor('pit', true)\n"
		"setObjectParameter('pit', 19, 1)\n"
		"createBox('shot', '', 0, 0, 1, 1, 1, 0, 0, true, true, 0) setActive('shot', true)\n"
		"createBox('stopper', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0) setObjectParameter('stopper', 34, 1)\n"
		"createBox('walker', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0) setObjectParameter('walker', 1, 1)\n");
	frames(1);
	run("setPosition('shot', 10, 0) setPosition('stopper', 20, 0) setPosition('walker', 30, 0)\n"
		"setVelocity('walker', 5, 0)");
	frames(2);
	EXPECT_EQ("true", eval("objects.world.shot.killingVolumeRemovalTimerEnabled"));
	EXPECT_FLOAT_EQ(100.f, body("stopper")->GetLinearDamping());
	EXPECT_EQ("0", eval("objects.world.stopper.strength"));
	EXPECT_FLOAT_EQ(100.f, body("walker")->GetLinearDamping());
	EXPECT_NEAR(0.f, body("walker")->GetLinearVelocity().x, 1e-3f);

	// Removing an animated object inside the volume runs the exit without its body.
	run("setPosition('walker', 0, 0)");
	frames(1);
	run("removeObject('walker')");
	EXPECT_EQ(nullptr, object("walker"));
}

TEST_F(Sensors, SettersNeedAnExistingObject)
{
	run("createBox('box', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"setSensorGravityMask('box', 4) setObjectGravityCategory('box', 6) setRevertGravity('box', true)\n"
		"setRevertGravityWithMultiplier('box', true, 3, 7) setSensorMinimumAndMaximumForces('box', 1, 2)\n"
		"setGravityForceMultiplier(2.5) linkSensor('nobody')");
	GameLua::RenderObjectData& box = *object("box");
	EXPECT_EQ(4, box.sensorGravityMask);
	EXPECT_EQ(6, box.gravityCategory);
	EXPECT_TRUE(box.revertGravity);
	EXPECT_TRUE(box.revertGravityLimited);
	EXPECT_FLOAT_EQ(-3.f, box.revertMultiplier);
	EXPECT_FLOAT_EQ(7.f, box.revertSpeedLimit);
	EXPECT_FLOAT_EQ(1.f, box.sensorMinForce);
	EXPECT_FLOAT_EQ(2.f, box.sensorMaxForce);
	EXPECT_EQ("2.5", eval("getGravityForceMultiplier()"));
	for (const char* code : {"setSensorGravityMask('nobody', 1)", "setObjectGravityCategory('nobody', 1)",
			 "setRevertGravity('nobody', true)", "setRevertGravityWithMultiplier('nobody', true, 1, 1)",
			 "setSensorMinimumAndMaximumForces('nobody', 0, 1)"})
		EXPECT_NE(std::string::npos, error(code).find("nobody")) << code;
	EXPECT_EQ(1u, lua()->renderObjects().size()) << "no lookup inserts";
}
