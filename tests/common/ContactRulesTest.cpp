#include "PhysicsFixture.h"
#include <cmath>

namespace
{
/** The game with collision callbacks that log each call as one line, and a level loaded for the destroyed-objects table. */
class ContactRules : public PhysicsTest
{
protected:
	void SetUp() override
	{
		PhysicsTest::SetUp();
		run("hits = {}\n"
			"local function log(s) hits[#hits + 1] = s end\n"
			"local function f(x) return _G.string.format('%.3f', x) end\n"
			"function enterCollision(a, b) log('enter ' .. a .. ' ' .. b) end\n"
			"function exitCollision(a, b) log('exit ' .. a .. ' ' .. b) end\n"
			"function projectileCollision(p, t, impact, damage) log('hit ' .. p .. ' ' .. t .. ' ' .. f(impact) .. ' ' .. damage) end\n"
			"function blockCollision(a, b, impact, notBlocked, flag, damage)\n"
			"  log('block ' .. a .. ' ' .. b .. ' ' .. f(impact) .. ' ' .. _G.tostring(notBlocked) .. ' ' .. damage)\n"
			"end\n"
			"deadBlocks = {} removed = {}\n"
			"function removeBlocks()\n"
			"  for name in _G.pairs(deadBlocks) do removeObject(name) removed[#removed + 1] = name deadBlocks[name] = nil end\n"
			"end\n"
			"worldAttributes.scoreDamageMultiplier = 2.7\n"
			"scoreTable = {blocks = {score = 100}}\n"
			"loadLevel(levelPath .. '/good')\n"
			"blockTable.damageFactors = {heavy = {damageMultiplier = {wood = 2, glass = 2}, velocityMultiplier = {wood = 0.5}}}\n"
			"blockTable.blocks.homer = {specialty = 'HOMING'}\n"
			"blockTable.blocks.spikes = {damage = 4}\n");
		enable();
	}

	/** The logged lines joined by "|". */
	std::string hits() { return eval("_G.table.concat(hits, '|')"); }
	std::string removed() { return eval("_G.table.concat(removed, '|')"); }
	/** Box2D orders a pair by proxy id, which removals reuse. */
	void expectEither(const std::string& first, const std::string& second)
	{
		const std::string log = hits();
		EXPECT_TRUE(log == first || log == second) << log;
	}

	void frames(int n)
	{
		for (int i = 0; i < n; ++i)
			frame(1.f / 30.f);
	}

	/** A projectile of mass 1 at x = 0 flying right at speed, and a static target with its right side at x = 3.5. */
	void shoot(float speed, const std::string& targetSetup, const std::string& projectileSetup = "")
	{
		run("createBox('shot', '', 0, 0, 1, 1, 1, 0, 0, true, true, 0) setActive('shot', true)\n"
			"createBox('target', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
			"setVelocity('shot', " + std::to_string(speed) + ", 0)\n" + targetSetup + "\n" + projectileSetup);
	}
};
}

TEST_F(ContactRules, TwoProjectilesTakeTheFasterBodysMomentumAndWobble)
{
	run("createBox('heavy', '', 0, 0, 1, 1, 2, 0, 0, true, true, 0)\n"
		"createBox('light', '', 2, 0, 1, 1, 1, 0, 0, true, true, 0)\n"
		"setActive('heavy', true) setActive('light', true)\n"
		"setVelocity('heavy', 3, 0) setVelocity('light', -4, 0)\n"
		"setObjectParameter('heavy', 6, 100) setObjectParameter('light', 6, 100)\n"
		"setObjectParameter('light', 11, 1)");
	frames(8);
	expectEither("hit heavy light 0.400 0", "hit light heavy 0.400 0");
	EXPECT_TRUE(object("heavy")->wobbling);
	EXPECT_FLOAT_EQ(0.008f, object("heavy")->wobbleStartAmplitude);
	EXPECT_FALSE(object("light")->wobbling) << "no wobble for an object with noWobble";
}

TEST_F(ContactRules, ProjectileDamageFollowsFactorsDefenceAndHoming)
{
	struct Case
	{
		const char* target;
		const char* projectile;
		const char* line;
		const char* strength;
	} cases[] = {
		{"objects.world.target.strength = 10", "", "hit shot target 2.000 2", "8"},
		{"objects.world.target.strength = 10 objects.world.target.defence = 1 objects.world.target.material = 'wood'",
			"objects.world.shot.damageFactors = 'heavy'", "hit shot target 4.000 3", "7"},
		{"objects.world.target.strength = 10 objects.world.target.material = 'stone'",
			"objects.world.shot.damageFactors = 'heavy'", "hit shot target 2.000 2", "8"},
		{"objects.world.target.strength = 10", "objects.world.shot.definition = 'homer'", "hit shot target 2.000 0", "9.6"},
		{"objects.world.target.strength = 10",
			"objects.world.shot.definition = 'homer' objects.world.shot.hasCollided = true", "hit shot target 2.000 2", "8"},
		{"objects.world.target.strength = 10 objects.world.target.defence = 5", "", "hit shot target 2.000 -3", "10"},
		{"", "", "hit shot target 2.000 0", "nil"},
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(std::string(c.target) + " / " + c.projectile);
		run("hits = {}");
		shoot(20.f, c.target, c.projectile);
		frames(5);
		EXPECT_EQ(c.line, hits().substr(0, hits().find('|')));
		EXPECT_EQ(c.strength, eval("objects.world.target.strength and _G.string.format('%g', objects.world.target.strength)"));
		EXPECT_EQ("", removed());
		EXPECT_GE(object("shot")->flightTime, 0.f) << "the first hit starts the flight time";
		run("removeObject('shot') removeObject('target')");
	}
}

TEST_F(ContactRules, DestroyedTargetIsRecordedAndLetsTheProjectilePass)
{
	// Strength 1 against impact 2: destroyed, the projectile keeps (2 - 1) / 2 of its velocity.
	shoot(20.f, "objects.world.target.strength = 1 objects.world.target.hits = 0");
	frames(5);
	EXPECT_EQ("hit shot target 2.000 1", hits());
	EXPECT_EQ("target", removed()) << "recorded with its script table, removed by the scripts";
	EXPECT_EQ(nullptr, object("target"));
	EXPECT_NEAR(10.f, body("shot")->GetLinearVelocity().x, 1e-4f);
	frames(10);
	EXPECT_GT(body("shot")->GetPosition().x, 3.f);
	run("removeObject('shot') hits = {} removed = {}");

	// Exactly 0 left is destroyed too; the velocity factor is then 0.
	shoot(20.f, "objects.world.target.strength = 2");
	frames(5);
	EXPECT_EQ("hit shot target 2.000 2", hits());
	EXPECT_EQ("target", removed());
	EXPECT_NEAR(0.f, body("shot")->GetLinearVelocity().x, 1e-4f);
	run("removeObject('shot') hits = {} removed = {}");

	// The legacy path slows the projectile at once by -1.75 x newStrength / m / impact x 10.
	shoot(20.f, "objects.world.target.strength = 1.95", "objects.world.shot.useLegacyCollisionPath = true");
	frames(5);
	EXPECT_EQ("target", removed());
	EXPECT_NEAR(20.f * 1.75f * 0.05f * 10.f / 2.f, body("shot")->GetLinearVelocity().x, 1e-3f);
	frames(10);
	EXPECT_GT(body("shot")->GetPosition().x, 3.f) << "the contact was off while the target was hit";
}

TEST_F(ContactRules, ResistingAtRestKeepsTheProjectileFinite)
{
	// No impact and a negative defence: the velocity factor would divide by zero.
	run("createBox('shot', '', 0, 0, 1, 1, 1, 0, 0, true, true, 0) setActive('shot', true)\n"
		"createBox('target', '', 0.9, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"objects.world.target.strength = 1 objects.world.target.defence = -5");
	frames(1);
	EXPECT_EQ("hit shot target 0.000 1", hits());
	EXPECT_EQ("target", removed());
	const b2Vec2 v = body("shot")->GetLinearVelocity();
	EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
	EXPECT_FALSE(object("shot")->pendingVelocitySet);
}

TEST_F(ContactRules, BlocksDamageEachOtherThroughTheOthersFactorsAndScore)
{
	// Impact |1 x 30 - 0| / 10 = 3. The wall's defence 5 blocks it; the crate takes 3 x 2 (the wall's factors).
	run("createBox('crate', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"createBox('wall', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 10 objects.world.crate.material = 'glass'\n"
		"objects.world.wall.strength = 10 objects.world.wall.defence = 5 objects.world.wall.damageFactors = 'heavy'\n"
		"setObjectParameter('wall', 6, 1)\n"
		"setVelocity('crate', 30, 0)");
	frames(4);
	EXPECT_EQ("block crate wall 3.000 true 6", hits()) << "no sensor events between two solid fixtures";
	EXPECT_EQ("4", eval("objects.world.crate.strength"));
	EXPECT_EQ("10", eval("objects.world.wall.strength"));
	EXPECT_EQ("106", eval("scoreTable.blocks.score")) << "the crate's share (impact - defence) x 2";
	EXPECT_TRUE(object("wall")->wobbling);
	EXPECT_FALSE(object("crate")->wobbling) << "only objects with a wobble strength";

	// Both blocked: notBlocked is false and the score stays.
	run("removeObject('crate') removeObject('wall') hits = {}\n"
		"createBox('crate', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"createBox('wall', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 10 objects.world.crate.defence = 50\n"
		"objects.world.wall.strength = 10 objects.world.wall.defence = 50\n"
		"setVelocity('crate', 30, 0)");
	frames(4);
	expectEither("block crate wall 3.000 false 0", "block wall crate 3.000 false 0");
	EXPECT_EQ("106", eval("scoreTable.blocks.score"));

	// A crate broken by the impact is recorded and scores its old strength.
	run("removeObject('crate') removeObject('wall') hits = {}\n"
		"createBox('crate', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"createBox('wall', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 2\n"
		"setVelocity('crate', 30, 0)");
	frames(4);
	expectEither("block crate wall 3.000 true 3", "block wall crate 3.000 true 3");
	EXPECT_EQ("crate", removed());
	EXPECT_EQ("110", eval("scoreTable.blocks.score"));
}

TEST_F(ContactRules, SensorsReportEntryAndExitAndDamagingSensorsHit)
{
	run("createBox('field', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0) setAsSensor('field', true)\n"
		"createBox('crate', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 10\n"
		"setVelocity('crate', 15, 0)");
	frames(12);
	EXPECT_EQ("enter field crate|exit field crate", hits()) << "a sensor of no damaging kind only reports";

	// Kind 6 with a definition deals the definition's damage as the impact, also at rest.
	run("removeObject('crate') hits = {}\n"
		"setObjectParameter('field', 21, 6) objects.world.field.definition = 'spikes'\n"
		"createBox('crate', '', 3, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 10");
	frames(1);
	expectEither("enter crate field|block crate field 4.000 true 4", "enter field crate|block field crate 4.000 true 4");
	EXPECT_EQ("6", eval("objects.world.crate.strength"));

	// While editing, sensors still report but nothing is damaged.
	run("removeObject('crate') hits = {}\n"
		"createBox('crate', '', 3, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"objects.world.crate.strength = 10");
	lua()->setEditing(true);
	frames(1);
	expectEither("enter crate field", "enter field crate");
	EXPECT_EQ("10", eval("objects.world.crate.strength"));
}

TEST_F(ContactRules, ScriptErrorsInsideTheStepAreRethrownAfterIt)
{
	run("createBox('a', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"createBox('b', '', 0.5, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"createBox('c', '', 10.5, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"createBox('d', '', 10, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"calls = 0\n"
		"function blockCollision(a, b) calls = calls + 1 removeObject(a) end");
	EXPECT_THROW(lua()->update(1.f / 30.f), lang::Exception);
	EXPECT_EQ("1", eval("calls")) << "the rest of that step's reports are skipped";
	EXPECT_FALSE(lua()->world()->IsLocked());
	EXPECT_EQ(4u, lua()->renderObjects().size()) << "nothing removed inside the step";
}

TEST_F(ContactRules, FilterTable)
{
	run("createBox('a', '', 0, 0, 1, 1, 1, 0, 0, true, false, 0)\n"
		"createBox('b', '', 5, 0, 1, 1, 1, 0, 0, true, false, 0)");
	GameLua::RenderObjectData* a = object("a");
	GameLua::RenderObjectData* b = object("b");
	b2Fixture* fa = body("a")->GetFixtureList();
	b2Fixture* fb = body("b")->GetFixtureList();
	struct Case
	{
		const char* what;
		void (*setUp)(GameLua::RenderObjectData& a, GameLua::RenderObjectData& b);
		bool collide;
	} cases[] = {
		{"plain objects", [](GameLua::RenderObjectData&, GameLua::RenderObjectData&) {}, true},
		{"collision off", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData&) { a.collisionEnabled = false; }, false},
		{"kind 5 and plain", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData&) { a.kind = 5; }, false},
		{"kind 5 and kind 5", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.kind = b.kind = 5; }, false},
		{"kind 5 and kind 6", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.kind = 5; b.kind = 6; }, true},
		{"kind 5 and projectile", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.kind = 5; b.projectile = true; }, true},
		{"kind 7 and projectile", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.kind = 7; b.projectile = true; }, false},
		{"kind 6 and projectile", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.kind = 6; b.projectile = true; }, false},
		{"killing volume and projectile", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.killingVolume = true; b.projectile = true; }, true},
		{"killing volume and plain", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData&) { a.killingVolume = true; }, true},
		{"killing volume and one that ignores it", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.killingVolume = true; b.ignoresKillingVolume = true; }, false},
		{"killing volume and kind 7, collision off", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.killingVolume = true; b.kind = 7; b.collisionEnabled = false; }, true},
		{"two killing volumes", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.killingVolume = b.killingVolume = true; }, false},
		{"ignores immovable and material 5", [](GameLua::RenderObjectData& a, GameLua::RenderObjectData& b) { a.ignoresImmovable = true; b.material = 5; }, false},
	};
	for (const Case& c : cases)
	{
		for (GameLua::RenderObjectData* r : {a, b})
		{
			r->kind = -1;
			r->collisionEnabled = true;
			r->projectile = r->killingVolume = r->ignoresKillingVolume = r->ignoresImmovable = false;
			r->material = 0;
		}
		c.setUp(*a, *b);
		EXPECT_EQ(c.collide, lua()->ShouldCollide(fa, fb)) << c.what;
		EXPECT_EQ(c.collide, lua()->ShouldCollide(fb, fa)) << c.what << " (other order)";
	}
}

TEST_F(ContactRules, HardImpactsAreTrackedForPieces)
{
	run("createBox('piece', '', 3, 0, 1, 1, 0, 0, 0, true, false, 0)\n"
		"createBox('rock', '', 0, 0, 1, 1, 50, 0, 0, true, false, 0)\n"
		"setVelocity('rock', 20, 0)");
	GameLua::RenderObjectData* piece = object("piece");
	piece->tracksImpacts = true;
	piece->pieceOffsets.assign(2, b2Vec2(0.f, 0.f));
	object("rock")->tracksImpacts = true;
	frames(4);
	EXPECT_TRUE(piece->hardImpact);
	EXPECT_EQ(body("piece")->GetFixtureList(), piece->impactFixture);
	EXPECT_FALSE(object("rock")->hardImpact) << "one piece only";
}
