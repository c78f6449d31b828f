#include "PhysicsFixture.h"
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

typedef PhysicsTest FrameUpdate;

TEST_F(FrameUpdate, FixedStepsFromTheAccumulator)
{
	run("last = {} function update(scaledDt, dt) last = {scaledDt, dt} end");
	frame(0.05f);
	EXPECT_EQ("0", eval("steps")) << "physics starts off";
	EXPECT_EQ("0", eval("g_physicsUpdateMillis"));
	EXPECT_NEAR(0.05, number("last[1]"), 1e-6) << "the script update still runs";
	EXPECT_FLOAT_EQ(0.f, lua()->accumulator());

	enable();
	run("setDeltaTimeMultiplier(0.7)");
	const int slot = lua()->poseSlot();
	frame(0.1f);
	EXPECT_EQ("2", eval("steps"));
	EXPECT_EQ("2", eval("removals"));
	EXPECT_NEAR(0.07, number("last[1]"), 1e-6);
	EXPECT_NEAR(0.1, number("last[2]"), 1e-6);
	EXPECT_NEAR(0.0033333, lua()->accumulator(), 1e-5);
	EXPECT_EQ(slot, lua()->poseSlot()) << "two steps in the pose window toggle the slot twice";

	frame(0.02f);
	EXPECT_EQ("2", eval("steps")) << "under one step: no step";
	EXPECT_EQ(slot, lua()->poseSlot());
	frame(0.04f);
	EXPECT_EQ("3", eval("steps"));
	EXPECT_NE(slot, lua()->poseSlot());
}

TEST_F(FrameUpdate, PosesInterpolateBetweenTheLastTwoSteps)
{
	run("createBox('crate', '', 0, 0, 1, 1, 1, 0.5, 0, true, false, 0) setVelocity('crate', 3, 0)");
	enable();
	frame(1.f / 30.f);
	frame(1.f / 30.f);
	GameLua::RenderObjectData* crate = object("crate");
	const GameLua::Pose current = crate->poses[lua()->poseSlot()];
	const GameLua::Pose previous = crate->poses[1 - lua()->poseSlot()];
	EXPECT_NEAR(0.1f, current.x - previous.x, 1e-4);
	frame(0.01f);
	const float alpha = lua()->accumulator() * 30.f;
	EXPECT_NEAR(current.x * alpha + previous.x * (1.f - alpha), crate->renderPose.x, 1e-5);

	// An angle jump from 3.1 to -3.1 goes through pi, not through 0.
	crate->poses[lua()->poseSlot()].angle = -3.1f;
	crate->poses[1 - lua()->poseSlot()].angle = 3.1f;
	frame(0.01f);
	const float a = lua()->accumulator() * 30.f;
	EXPECT_NEAR(-3.1f * a + (3.1f - 2.f * b2_pi) * (1.f - a), crate->renderPose.angle, 1e-4);
	EXPECT_LT(crate->renderPose.angle, -3.1f);
}

TEST_F(FrameUpdate, ObjectStateIsExportedWhileAwakeAndOnceAfter)
{
	run("setLevelLimits(-100, -100, 100, 100)\n"
		"createBox('crate', '', 0, 0, 1, 1, 1, 0.5, 0, true, false, 0) setVelocity('crate', 4, 0)\n"
		"createCircle('shot', '', 10, 0, 0.5, 1, 0.5, 0, true, true, 0)\n"
		"setActive('shot', true) setVelocity('shot', 1, 0)\n"
		"createBox('arm', '', 20, 0, 1, 1, 1, 0.5, 0, true, false, 0) setObjectParameter('arm', 12, 1)\n"
		"setAngularVelocity('arm', 5)\n"
		"createBox('wall', '', 30, 0, 1, 1, 0, 0.5, 0, true, false, 0)\n"
		"objects.world.wall.x = 'untouched'");
	enable();
	frame(1.f / 30.f);
	EXPECT_EQ("true", eval("hasMovingObjects"));
	EXPECT_EQ("true", eval("hasAwakeObjects"));
	EXPECT_EQ("true", eval("hasMovingObjectsZeroTolerance"));
	EXPECT_NEAR(4.f, number("objects.world.crate.velocity"), 1e-4);
	EXPECT_EQ("nil", eval("objects.world.crate.frozen"));
	EXPECT_EQ("1", eval("objects.world.shot.xVel")) << "projectiles export their velocity";
	EXPECT_EQ("0", eval("objects.world.crate.xVel")) << "others keep the creation value";
	EXPECT_EQ("false", eval("objects.world.crate.sleeping"));
	EXPECT_EQ("untouched", eval("objects.world.wall.x")) << "static bodies have no mass to export";

	// Only the projectile and the jointed object move: neither counts.
	run("removeObject('crate')");
	frame(1.f / 30.f);
	EXPECT_EQ("false", eval("hasMovingObjects")) << "a jointed object never counts as moving";
	EXPECT_EQ("false", eval("hasMovingObjectsZeroTolerance")) << "nor does a projectile";
	EXPECT_EQ("true", eval("hasAwakeObjects"));

	run("setSleeping('shot', true) setSleeping('arm', true) objects.world.shot.x = 'old'");
	frame(1.f / 30.f);
	EXPECT_NE("old", eval("objects.world.shot.x")) << "exported once more after falling asleep";
	EXPECT_EQ("true", eval("objects.world.shot.sleeping"));
	run("objects.world.shot.x = 'old'");
	frame(1.f / 30.f);
	EXPECT_EQ("old", eval("objects.world.shot.x"));
	EXPECT_EQ("false", eval("hasAwakeObjects"));

	run("setLevelLimits(0, 0, 5, 5) setSleeping('arm', false)");
	frame(1.f / 30.f);
	EXPECT_EQ("true", eval("objects.world.arm.frozen")) << "outside the level limits";
}

TEST_F(FrameUpdate, AnimationCallbackMayRemoveObjects)
{
	run("createBox('a', '', 0, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createBox('b', '', 5, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createBox('c', '', 10, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"setObjectParameter('a', 13, 1) setObjectParameter('c', 13, 1)\n"
		"seen = ''\n"
		"function selectObjectAnimation(name, speed, direction, dt)\n"
		"  seen = seen .. name\n"
		"  if name == 'a' then removeObject('a') removeObject('b') end\n"
		"end\n");
	enable();
	frame(1.f / 30.f);
	EXPECT_EQ("ac", eval("seen"));
	EXPECT_EQ(1u, lua()->renderObjects().size());
	EXPECT_EQ("false", eval("objects.world.c.sleeping"));
}

TEST_F(FrameUpdate, RemovalTimerEndsInTheDestroyedTable)
{
	run("deadBlocks = {} loadLevel(levelPath .. '/good')\n"
		"createBox('crate', '', 0, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"objects.world.crate.strength = 5");
	enable();
	object("crate")->removalTimerEnabled = true;
	object("crate")->removalTimer = 0.05f;
	frame(1.f / 30.f);
	EXPECT_EQ("5", eval("objects.world.crate.strength"));
	frame(1.f / 30.f);
	EXPECT_EQ("0", eval("objects.world.crate.strength"));
	EXPECT_EQ("0", eval("deadBlocks.crate.strength"));
	EXPECT_FALSE(object("crate")->removalTimerEnabled);
}

TEST_F(FrameUpdate, OnlyTheFirstTwoTouchesReachTheScripts)
{
	frame();
	EXPECT_EQ("0", eval("touchcount"));
	EXPECT_EQ("nil", eval("_G.next(touches)"));
	app()->touchBegan(framework::TouchEvent{7, 10, 20});
	app()->touchBegan(framework::TouchEvent{8, 30, 40});
	app()->touchBegan(framework::TouchEvent{9, 50, 60});
	frame();
	EXPECT_EQ("2", eval("touchcount"));
	EXPECT_EQ("20", eval("touches['7'].y"));
	EXPECT_EQ("30", eval("touches['8'].x"));
	EXPECT_EQ("nil", eval("touches['9']"));
}

namespace
{
// A stack of crates and balls on a floor with a hinge, settled until every body sleeps.
const char* const RESTING_SCENE =
	"setWorldGravity(0, 10) setLevelLimits(-100, -100, 100, 100)\n"
	"createBox('floor', '', 0, 10, 40, 2, 0, 0.6, 0, true, false, 0)\n"
	"for i = 0, 11 do\n"
	"  local x, y = -6 + (i % 6) * 1.5, 8 - _G.math.floor(i / 6) * 1.2\n"
	"  if i % 2 == 0 then createBox('o' .. i, '', x, y, 1, 1, 1, 0.6, 0, true, false, 0)\n"
	"  else createCircle('o' .. i, '', x, y, 0.5, 1, 0.6, 0, true, false, 0) end\n"
	"end\n"
	"createJoint({type = 3, name = 'hinge', end1 = 'o0', end2 = 'o6'})\n"
	"function dumpWorld()\n"
	"  local names = {}\n"
	"  for name in _G.pairs(objects.world) do names[#names + 1] = name end\n"
	"  _G.table.sort(names)\n"
	"  local out = {_G.tostring(hasMovingObjects), _G.tostring(hasAwakeObjects), _G.tostring(hasMovingObjectsZeroTolerance)}\n"
	"  for _, name in _G.ipairs(names) do\n"
	"    local o = objects.world[name]\n"
	"    for _, k in _G.ipairs({'x', 'y', 'angle', 'sleeping', 'velocity', 'xVel', 'yVel', 'frozen'}) do\n"
	"      local v = o[k]\n"
	"      out[#out + 1] = name .. '.' .. k .. '=' .. (_G.type(v) == 'number' and _G.string.format('%.9g', v) or _G.tostring(v))\n"
	"    end\n"
	"  end\n"
	"  for name, j in _G.pairs(objects.joints or {}) do\n"
	"    out[#out + 1] = name .. _G.string.format(' %.9g %.9g %.9g %.9g', j.x1 or 0, j.y1 or 0, j.x2 or 0, j.y2 or 0)\n"
	"  end\n"
	"  return _G.table.concat(out, ' ')\n"
	"end\n";

const int SETTLE_FRAMES = 600;
const int FRAMES_AFTER = 40;
}

class IdleWorld : public PhysicsTest
{
protected:
	/**
	 * The scene settled for a fixed number of frames, then the code, then frames: each frame's export
	 * and poses. With skipping forbidden every frame runs the full passes, as before idle frames existed.
	 */
	std::vector<std::string> play(const std::string& code, bool allowSkipping, bool& wasQuiet)
	{
		lua()->resetPhysicsWorld(b2Vec2(0.f, 0.f), true);
		run(RESTING_SCENE);
		enable();
		for (int i = 0; i < SETTLE_FRAMES; ++i)
		{
			if (!allowSkipping)
				lua()->touchWorld();
			frame(1.f / 60.f);
		}
		wasQuiet = lua()->worldQuiet();
		std::vector<std::string> dumps;
		if (!code.empty())
			run(code);
		for (int i = 0; i < FRAMES_AFTER; ++i)
		{
			if (!allowSkipping)
				lua()->touchWorld();
			frame(1.f / 60.f);
			std::string dump = eval("dumpWorld()");
			for (b2Body* b = lua()->world()->GetBodyList(); b; b = b->GetNext())
			{
				const auto* o = reinterpret_cast<const GameLua::RenderObjectData*>(b->GetUserData().pointer);
				if (!o)
					continue;
				char pose[96];
				std::snprintf(pose, sizeof pose, " %s:%.9g,%.9g,%.9g", o->name.c_str(), o->renderPose.x, o->renderPose.y,
					o->renderPose.angle);
				dump += pose;
			}
			dumps.push_back(dump);
		}
		run("setPhysicsEnabled(false)");
		return dumps;
	}
};

TEST_F(IdleWorld, SleepingWorldSkipsThePassesAndWakesExactly)
{
	bool quiet = false;
	play("", true, quiet);
	ASSERT_TRUE(quiet) << "the settled scene sleeps and nothing touches it";
	EXPECT_EQ("false", eval("hasAwakeObjects"));

	// Each way of waking or changing the resting world, against the same frames with every pass run.
	const char* const wakes[] = {
		"",
		"applyImpulse('o3', 2, -3, -1.5, 8)",
		"applyForceNative('o4', 0, -400, 0, 8)",
		"setPosition('o5', 3, 2)",
		"setRotation('o2', 1)",
		"setVelocity('o7', 1, 0)",
		"setAngularVelocity('o8', 4)",
		"createJoint({type = 3, name = 'late', end1 = 'o1', end2 = 'o2'})",
		"destroyJoint('hinge')",
		"createBox('new', '', 0, -4, 1, 1, 1, 0.6, 0, true, false, 0)",
		"removeObject('o1')",
		"removeObject('floor')",
		"setWorldGravity(0, -10)",
		"setSleeping('o9', false)",
		"setObjectParameter('o10', 13, 1)",
	};
	for (const char* code : wakes)
	{
		bool skipQuiet = false, fullQuiet = false;
		const std::vector<std::string> skipping = play(code, true, skipQuiet);
		const std::vector<std::string> full = play(code, false, fullQuiet);
		EXPECT_TRUE(skipQuiet) << code;
		for (size_t i = 0; i < full.size(); ++i)
			ASSERT_EQ(full[i], skipping[i]) << "after \"" << code << "\", frame " << i;
	}
}
