#include "PhysicsFixture.h"
#include <cfloat>
#include <cmath>

namespace
{
class Joints : public PhysicsTest
{
protected:
	void SetUp() override
	{
		PhysicsTest::SetUp();
		run("createBox('post', '', 0, 0, 1, 1, 0, 0.5, 0, true, false, 0)\n"
			"createBox('arm', '', 3, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
			"createBox('other', '', 6, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n");
	}

	template <class J> J* joint(const std::string& name) { return static_cast<J*>(lua()->findJoint(name)); }
};
}

TEST_F(Joints, EachTypeGetsItsDefaultsInBox2DAndTheScriptTable)
{
	run("createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm'})\n"
		"createJoint({type = 4, name = 'slider', end1 = 'arm', end2 = 'other', x1 = 0.5, worldAxisX = 1})\n"
		"createJoint({type = 0, name = 'weld', end1 = 'post', end2 = 'other', breakable = true, breakForce = 7})\n"
		"createJoint({type = 5, name = 'link', end1 = 'post', end2 = 'other'})\n");
	b2RevoluteJoint* hinge = joint<b2RevoluteJoint>("hinge");
	ASSERT_NE(nullptr, hinge);
	EXPECT_FALSE(hinge->IsLimitEnabled());
	EXPECT_FALSE(hinge->IsMotorEnabled());
	EXPECT_FLOAT_EQ(0.f, hinge->GetLowerLimit());
	EXPECT_FLOAT_EQ(b2_pi, hinge->GetUpperLimit());
	EXPECT_FLOAT_EQ(10000.f, hinge->GetMaxMotorTorque());
	EXPECT_EQ("false", eval("objects.joints.hinge.backAndForth"));
	EXPECT_EQ("0", eval("objects.joints.hinge.collideConnected"));
	EXPECT_EQ("post", eval("objects.joints.hinge.end1"));

	b2PrismaticJoint* slider = joint<b2PrismaticJoint>("slider");
	ASSERT_NE(nullptr, slider);
	EXPECT_TRUE(slider->IsLimitEnabled());
	EXPECT_TRUE(slider->IsMotorEnabled());
	EXPECT_FLOAT_EQ(0.f, slider->GetMotorSpeed());
	EXPECT_FLOAT_EQ(5.f, slider->GetUpperLimit());
	EXPECT_FLOAT_EQ(10000.f, slider->GetMaxMotorForce());
	EXPECT_FLOAT_EQ(3.5f, slider->GetAnchorA().x) << "end1's world point of (x1, y1)";
	EXPECT_EQ("true", eval("objects.joints.slider.backAndForth"));
	EXPECT_EQ("1", eval("objects.joints.slider.worldAxisX"));

	b2WeldJoint* weld = joint<b2WeldJoint>("weld");
	ASSERT_NE(nullptr, weld);
	EXPECT_FLOAT_EQ(3.f, weld->GetAnchorA().x) << "midway between the two ends";
	EXPECT_EQ("true", eval("objects.joints.weld.breakable"));
	EXPECT_EQ("7", eval("objects.joints.weld.breakForce"));

	EXPECT_EQ(nullptr, lua()->findJoint("link")) << "a timer link has no Box2D joint";
	EXPECT_EQ("1", eval("objects.joints.link.destroyTimer"));
	EXPECT_EQ(4u, lua()->jointCount());
	EXPECT_EQ(3, lua()->world()->GetJointCount());
	EXPECT_TRUE(object("post")->jointed);
	EXPECT_TRUE(object("other")->jointed);
}

TEST_F(Joints, DistanceAnchorsFollowTheRoundedCoordType)
{
	run("setRotation('arm', 1.5707963)\n"
		"createJoint({type = 1, name = 'd2', end1 = 'post', end2 = 'arm', coordType = 2.4, x1 = 0.5, y1 = 0, x2 = 0.5, y2 = 0})\n"
		"setRotation('arm', 0)\n"
		"createJoint({type = 1, name = 'd3', end1 = 'post', end2 = 'arm', coordType = 2.5})\n"
		"createJoint({type = 1, name = 'd0', end1 = 'post', end2 = 'arm'})\n"
		"createJoint({type = 1, name = 'd1', end1 = 'post', end2 = 'arm', coordType = 1, x1 = 0, y1 = 1, x2 = 3, y2 = 1})\n"
		"createJoint({type = 1, name = 'd1args', end1 = 'post', end2 = 'arm', coordType = 1}, nil, nil, nil, nil, 0, 2, 3, 2)\n"
		"createJoint({type = 1, name = 'rigid', end1 = 'post', end2 = 'arm', frequency = 0})\n");
	struct Case
	{
		const char* name;
		float ax, ay, bx, by, length;
	} cases[] = {
		{"d2", 0.5f, 0.f, 3.5f, 0.f, std::hypot(2.5f, 0.5f)},
		{"d3", 0.f, 0.f, 3.f, 0.f, 1.f},
		{"d0", 0.f, 0.f, 3.f, 0.f, 3.f},
		{"d1", 0.f, 1.f, 3.f, 1.f, 3.f},
		{"d1args", 0.f, 2.f, 3.f, 2.f, 3.f},
	};
	for (const Case& c : cases)
	{
		b2DistanceJoint* j = joint<b2DistanceJoint>(c.name);
		ASSERT_NE(nullptr, j) << c.name;
		EXPECT_NEAR(c.ax, j->GetAnchorA().x, 1e-4f) << c.name;
		EXPECT_NEAR(c.ay, j->GetAnchorA().y, 1e-4f) << c.name;
		EXPECT_NEAR(c.bx, j->GetAnchorB().x, 1e-4f) << c.name;
		EXPECT_NEAR(c.by, j->GetAnchorB().y, 1e-4f) << c.name;
		EXPECT_NEAR(c.length, j->GetLength(), 1e-4f) << c.name;
		EXPECT_GT(j->GetStiffness(), 0.f) << c.name << ": frequency 4 is a spring";
		EXPECT_FLOAT_EQ(FLT_MAX, j->GetMaxLength()) << c.name;
	}
	EXPECT_EQ("2", eval("objects.joints.d2.coordType"));
	EXPECT_EQ("3", eval("objects.joints.d3.coordType"));
	EXPECT_EQ("4", eval("objects.joints.d0.frequency"));
	EXPECT_EQ("0.5", eval("objects.joints.d0.dampingRatio"));

	b2DistanceJoint* rigid = joint<b2DistanceJoint>("rigid");
	EXPECT_FLOAT_EQ(0.f, rigid->GetStiffness());
	EXPECT_FLOAT_EQ(rigid->GetLength(), rigid->GetMinLength());
	EXPECT_FLOAT_EQ(rigid->GetLength(), rigid->GetMaxLength());

	// The spring's parameters are recomputed from what joints[name] keeps.
	run("setJointParameters({name = 'rigid', frequency = 2})");
	EXPECT_GT(rigid->GetStiffness(), 0.f);
	EXPECT_FLOAT_EQ(FLT_MAX, rigid->GetMaxLength());
	EXPECT_EQ("2", eval("objects.joints.rigid.frequency"));
	run("setJointParameters({name = 'd0', frequency = 0})");
	b2DistanceJoint* d0 = joint<b2DistanceJoint>("d0");
	EXPECT_FLOAT_EQ(0.f, d0->GetStiffness());
	EXPECT_FLOAT_EQ(d0->GetLength(), d0->GetMaxLength());
}

TEST_F(Joints, BadDescriptionsAreScriptErrorsThatMakeNothing)
{
	run("createJoint({type = 4, name = 'slider', end1 = 'post', end2 = 'arm', worldAxisX = 1})\n"
		"createJoint({type = 0, name = 'weld', end1 = 'post', end2 = 'other'})");
	struct Case
	{
		const char* code;
		const char* message;
	} cases[] = {
		{"createJoint({type = 0, name = 'j', end1 = 'post', end2 = 'nobody'})", "Joint bodies are not defined! (j)"},
		{"createJoint({type = 0, name = 'j', end1 = 'arm', end2 = 'arm'})", "one body (j)"},
		{"createJoint({type = 4, name = 'j', end1 = 'post', end2 = 'arm', lowerLimit = 2, upperLimit = 1})", "above its upper limit (j)"},
		{"createJoint({type = 3, name = 'j', end1 = 'post', end2 = 'arm', limit = true, lowerLimit = 2, upperLimit = 1})", "above its upper limit (j)"},
		{"createJoint({type = 3, name = 'j', end1 = 'post', end2 = 'arm', motorSpeed = 0/0})", "motorSpeed is not a finite number (j)"},
		{"createJoints({{type = 0, name = 'j', end1 = 'post', end2 = 'arm'}, 5})", "not a table"},
		{"setJointParameters({name = 'slider', lowerLimit = 6, motorSpeed = 3})", "above its upper limit (slider)"},
		{"setJointParameters({name = 'nosuch', motorSpeed = 3})", "Joint not found (nosuch)"},
		{"setRevoluteJointSpeed('slider', 3)", "not revolute (slider)"},
	};
	for (const Case& c : cases)
	{
		const std::string message = error(c.code);
		EXPECT_NE(std::string::npos, message.find(c.message)) << c.code << ": " << message;
		EXPECT_EQ(2u, lua()->jointCount()) << c.code;
		EXPECT_EQ(2, lua()->world()->GetJointCount()) << c.code;
		EXPECT_EQ("nil", eval("objects.joints.j")) << c.code;
	}
	b2PrismaticJoint* slider = joint<b2PrismaticJoint>("slider");
	EXPECT_FLOAT_EQ(0.f, slider->GetMotorSpeed()) << "nothing of a refused call applies";
	EXPECT_FLOAT_EQ(0.f, slider->GetLowerLimit());

	// An unknown type is logged and recorded nowhere.
	run("createJoint({type = 2, name = 'odd', end1 = 'post', end2 = 'arm'})");
	EXPECT_EQ(2u, lua()->jointCount());
	EXPECT_EQ("nil", eval("objects.joints.odd"));

	// One call's limits are one pair: raising both past the old upper limit is fine.
	run("setJointParameters({name = 'slider', lowerLimit = 6, upperLimit = 8, motor = false, maxTorque = 5})");
	EXPECT_FLOAT_EQ(6.f, slider->GetLowerLimit());
	EXPECT_FLOAT_EQ(8.f, slider->GetUpperLimit());
	EXPECT_FALSE(slider->IsMotorEnabled());
	EXPECT_FLOAT_EQ(5.f, slider->GetMaxMotorForce());
	EXPECT_EQ("6", eval("objects.joints.slider.lowerLimit"));
	EXPECT_EQ("false", eval("objects.joints.slider.motor"));
}

TEST_F(Joints, MotorsReverseAtTheirLimits)
{
	run("createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm', motor = true, limit = true, motorSpeed = 2,\n"
		"  lowerLimit = 0, upperLimit = 0})\n"
		"createJoint({type = 4, name = 'slider', end1 = 'post', end2 = 'other', worldAxisX = 1, motor = false,\n"
		"  limit = false, motorSpeed = -1})\n");
	b2RevoluteJoint* hinge = joint<b2RevoluteJoint>("hinge");
	b2PrismaticJoint* slider = joint<b2PrismaticJoint>("slider");
	run("checkJointLimits('hinge')");
	EXPECT_FLOAT_EQ(-2.f, hinge->GetMotorSpeed());
	run("checkJointLimits('hinge')");
	EXPECT_FLOAT_EQ(2.f, hinge->GetMotorSpeed());
	run("checkJointLimits('slider')");
	EXPECT_FLOAT_EQ(1.f, slider->GetMotorSpeed()) << "at the lower limit whatever the limit and motor state";
	run("checkJointLimits('slider')");
	EXPECT_FLOAT_EQ(1.f, slider->GetMotorSpeed()) << "the upper reversal needs limit and motor";
	run("setRevoluteJointSpeed('hinge', 0.5)");
	EXPECT_FLOAT_EQ(0.5f, hinge->GetMotorSpeed());
}

TEST_F(Joints, BreakableJointsBreakAboveTheirForceAndGoAfterTheUpdate)
{
	run("createJoint({type = 0, name = 'weld', end1 = 'arm', end2 = 'other', breakable = true, breakForce = 10})\n"
		"createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm'})");
	enable();
	run("removeBreakableJointsFromObject('arm', 10)");
	EXPECT_EQ(2u, lua()->jointCount()) << "a force equal to the break force holds";
	run("removeBreakableJointsFromObject('arm', 10.5)");
	EXPECT_EQ(1u, lua()->jointCount());
	EXPECT_EQ(1u, lua()->queuedJointCount());
	EXPECT_EQ("nil", eval("objects.joints.weld"));
	EXPECT_EQ(2, lua()->world()->GetJointCount()) << "the Box2D joint waits for the queue";
	frame(1.f / 30.f);
	EXPECT_EQ(0u, lua()->queuedJointCount());
	EXPECT_EQ(1, lua()->world()->GetJointCount());

	// A body destroyed with a queued joint takes it along; the queue does not destroy it again.
	run("createJoint({type = 0, name = 'weld2', end1 = 'arm', end2 = 'other', breakable = true, breakForce = 1})\n"
		"removeBreakableJointsFromObject('other', 2)\n"
		"removeObject('other')");
	EXPECT_EQ(1u, lua()->queuedJointCount());
	frame(1.f / 30.f);
	EXPECT_EQ(0u, lua()->queuedJointCount());
	EXPECT_EQ(1, lua()->world()->GetJointCount());
}

TEST_F(Joints, AProjectileHitBreaksJointsInsideTheStepWhereCreatingOnesIsRefused)
{
	run("deadBlocks = {} loadLevel(levelPath .. '/good')\n"
		"createBox('post', '', 0, 5, 1, 1, 0, 0.5, 0, true, false, 0)\n"
		"createBox('arm', '', 3, 5, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createBox('shot', '', 0, 0, 1, 1, 1, 0, 0, true, true, 0) setActive('shot', true)\n"
		"createBox('target', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"createJoint({type = 0, name = 'weld', end1 = 'target', end2 = 'arm', breakable = true, breakForce = 1})\n"
		"setVelocity('shot', 20, 0)\n"
		"err = nil\n"
		"createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm'})\n"
		"function projectileCollision(p, t)\n"
		"  local ok, e = _G.pcall(createJoint, {type = 0, name = 'late', end1 = 'post', end2 = 'arm'})\n"
		"  err = e\n"
		"  lockedDestroy = _G.select(2, _G.pcall(destroyJoint, 'hinge'))\n"
		"  lockedRemove = _G.select(2, _G.pcall(removeJointsFromObject, 'post'))\n"
		"end");
	enable();
	for (int i = 0; i < 5; ++i)
		frame(1.f / 30.f);
	EXPECT_EQ("nil", eval("objects.joints.weld"));
	EXPECT_EQ(1, lua()->world()->GetJointCount()) << "the hinge stays";
	EXPECT_NE(std::string::npos, eval("err").find("locked")) << eval("err");
	EXPECT_NE(std::string::npos, eval("lockedDestroy").find("locked"));
	EXPECT_NE(std::string::npos, eval("lockedRemove").find("locked"));
	EXPECT_EQ("post", eval("objects.joints.hinge.end1"));
	EXPECT_EQ("nil", eval("objects.joints.late"));
}

TEST_F(Joints, RemovalAtAnObjectAndTimerLinks)
{
	run("createJoint({type = 5, name = 'link', end1 = 'arm', end2 = 'other', destroyTimer = 3})\n"
		"createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm'})\n"
		"createJoint({type = 0, name = 'weld', end1 = 'post', end2 = 'other'})\n"
		"removeObject('arm')");
	EXPECT_TRUE(object("other")->removalTimerEnabled);
	EXPECT_FLOAT_EQ(3.f, object("other")->removalTimer);
	EXPECT_EQ(1u, lua()->jointCount());
	EXPECT_EQ("nil", eval("objects.joints.link"));
	EXPECT_EQ("nil", eval("objects.joints.hinge"));

	run("createBox('arm', '', 3, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createJoint({type = 3, name = 'hinge', end1 = 'post', end2 = 'arm'})\n"
		"createJoint({type = 5, name = 'link', end1 = 'arm', end2 = 'post', destroyTimer = 2})\n"
		"removeJointsFromObject('post')");
	EXPECT_EQ(0u, lua()->jointCount());
	EXPECT_EQ(0, lua()->world()->GetJointCount());
	EXPECT_FLOAT_EQ(2.f, object("arm")->removalTimer);

	run("createJoint({type = 3, name = 'twice', end1 = 'post', end2 = 'arm'})\n"
		"createJoint({type = 5, name = 'twice', end1 = 'post', end2 = 'arm'})\n"
		"destroyJoint('twice')");
	EXPECT_EQ(1u, lua()->jointCount()) << "the joint goes before the link of that name";
	EXPECT_EQ(0, lua()->world()->GetJointCount());
	run("destroyJoint('twice') destroyJoint('twice')");
	EXPECT_EQ(0u, lua()->jointCount());
}

TEST_F(Joints, JoinedObjectsLearnOfEachOther)
{
	run("blockTable.blocks.soap = {material = 'bubble'}\n"
		"objects.world.post.sensorType = 1\n"
		"createJoint({type = 5, name = 'l1', end1 = 'post', end2 = 'arm'})\n"
		"objects.world.other.levelGoal = true objects.world.arm.definition = 'soap'\n"
		"createJoint({type = 5, name = 'l2', end1 = 'other', end2 = 'arm'})\n"
		"createBox('goal', '', 9, 0, 1, 1, 1, 0.5, 0, true, false, 0) objects.world.goal.levelGoal = true\n"
		"createJoint({type = 5, name = 'l3', end1 = 'goal', end2 = 'arm'})\n"
		"createJoint({type = 5, name = 'l4', end1 = 'goal', end2 = 'post'})\n");
	EXPECT_EQ("goal", eval("objects.world.post.linkedObject")) << "the latest link with a sensor";
	EXPECT_EQ("post", eval("objects.world.arm.linkedObject"));
	EXPECT_EQ("arm", eval("objects.world.other.linkedBubble"));
	EXPECT_EQ("other,goal", eval("_G.table.concat(objects.world.arm.linkedTargets, ',')"));
	EXPECT_EQ("post", eval("objects.world.goal.linkedObject"));
}
