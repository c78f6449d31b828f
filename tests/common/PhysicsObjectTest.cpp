#include "PhysicsFixture.h"
#include <cmath>

typedef PhysicsTest PhysicsObjects;

TEST_F(PhysicsObjects, CreationMakesBodyRecordAndScriptTable)
{
	run("createBox('crate', 'crate.png', 1, 2, 2, 1, 1, 0.5, 0.1, true, false, 3)\n"
		"createBox('heavy', '', 5, 2, 1, 1, 100, 0.5, 0.1, true, false, 3)\n"
		"createCircle('ball', '', 8, 2, 0.5, 100, 0.5, 0.1, false, false, 1)\n"
		"createBox('ground', '', 0, 10, 40, 1, 0, 0.5, 0.1, true, false, 0)\n");
	EXPECT_EQ(b2_dynamicBody, body("crate")->GetType());
	EXPECT_EQ(b2_staticBody, body("heavy")->GetType()) << "a box of density 100 is static";
	EXPECT_EQ(b2_dynamicBody, body("ball")->GetType()) << "a circle of density 100 is not";
	EXPECT_EQ(b2_staticBody, body("ground")->GetType());

	EXPECT_EQ("box", eval("objects.world.crate.type"));
	EXPECT_EQ("crate.png", eval("objects.world.crate.sprite"));
	EXPECT_EQ("2", eval("objects.world.crate.width"));
	EXPECT_EQ("2", eval("objects.world.crate.mass"));
	EXPECT_EQ("1", eval("objects.world.crate.collisionEnabled"));
	EXPECT_EQ("circle", eval("objects.world.ball.type"));
	EXPECT_EQ("0.5", eval("objects.world.ball.radius"));
	EXPECT_EQ("nil", eval("objects.world.ball.width"));
	EXPECT_EQ("0", eval("objects.world.ball.collisionEnabled"));

	GameLua::RenderObjectData* crate = object("crate");
	EXPECT_EQ(-1, crate->kind);
	EXPECT_FLOAT_EQ(-1.f, crate->flightTime);
	EXPECT_FLOAT_EQ(-1.f, crate->radius);
	EXPECT_TRUE(crate->visible);
	EXPECT_FLOAT_EQ(2.f, crate->renderPose.y);
	EXPECT_FLOAT_EQ(0.5f, object("ball")->radius);
	for (b2Fixture* f = body("crate")->GetFixtureList(); f; f = f->GetNext())
		EXPECT_EQ(reinterpret_cast<uintptr_t>(crate), f->GetUserData().pointer);

	// "ground" never enters the z-order table.
	const GameLua::ZOrderTable& z = lua()->zOrderTable();
	EXPECT_EQ(2u, z.at(3).at(nullptr).size());
	EXPECT_EQ(0u, z.count(0));
}

TEST_F(PhysicsObjects, BadCreationArgumentsAreScriptErrorsThatMakeNothing)
{
	run("createBox('taken', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)");
	struct Case
	{
		const char* code;
		const char* message;
	} cases[] = {
		{"createBox('taken', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "taken"},
		{"createBox('b', '', 0, 0, 0, 1, 1, 0.5, 0.1, true, false, 0)", "Box sides must be > 0 (b)"},
		{"createBox('b', '', 0, 0, 1, -1, 0, 0.5, 0.1, true, false, 0)", "Box sides must be > 0 (b)"},
		{"createBox('b', '', 0, 0, 0.001, 1, 1, 0.5, 0.1, true, false, 0)", "too small"},
		{"createBox('b', '', 0/0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "x is not a finite number (b)"},
		{"createBox('b', '', 0, 1/0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "y is not a finite number (b)"},
		{"createBox('b', '', 0, 0, 1, 1, -1, 0.5, 0.1, true, false, 0)", "density must be >= 0 (b)"},
		{"createCircle('c', '', 0, 0, 0, 1, 0.5, 0.1, true, false, 0)", "radius must be > 0 (c)"},
		{"createCircle('c', '', 0, 0, 0/0, 1, 0.5, 0.1, true, false, 0)", "radius is not a finite number (c)"},
		{"clearVertices() addVertex(0, 0) addVertex(1, 0)\n"
		 "createPolygon('p', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "no polygon"},
		{"clearVertices() addVertex(0, 0) addVertex(1, 0) addVertex(2, 0)\n"
		 "createPolygon('p', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "no polygon"},
		{"clearVertices() addVertex(0, 0) addVertex(0.001, 0) addVertex(0, 0.001)\n"
		 "createPolygon('p', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "no polygon"},
		{"clearVertices() for i = 0, 8 do addVertex(_G.math.cos(i), _G.math.sin(i)) end\n"
		 "createPolygon('p', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "no polygon"},
		{"clearVertices() addVertex(0, 0) addVertex(1, 0) addVertex(0, 1)\n"
		 "createPolygon('p', 'nosuch', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 0)", "Sprite not found"},
		{"addVertex(0, 1/0)", "not a finite number"},
		{"createCompoundBodyFromTable({name = 'k', x = 0, y = 0, angle = 0,\n"
		 "  material = {density = 1, friction = 0.5, restitution = 0},\n"
		 "  children = {{x = 0, y = 0, angle = 0, blockData = {type = 'box', width = 1, height = 1}},\n"
		 "              {x = 0, y = 0, angle = 0, blockData = {type = 'circle', radius = 0}}}})", "radius must be > 0 (k)"},
		{"createCompoundBodyFromTable({name = 'taken', x = 0, y = 0, angle = 0, material = {}})", "taken"},
	};
	for (const Case& c : cases)
	{
		const int objects = static_cast<int>(lua()->renderObjects().size());
		const int bodies = bodyCount();
		const std::string message = error(c.code);
		EXPECT_NE(std::string::npos, message.find(c.message)) << c.code << " -> " << message;
		EXPECT_EQ(objects, static_cast<int>(lua()->renderObjects().size())) << c.code;
		EXPECT_EQ(bodies, bodyCount()) << c.code;
	}
	EXPECT_EQ("nil", eval("objects.world.b"));
}

TEST_F(PhysicsObjects, PolygonsLinesAndMassWithoutFixtures)
{
	// A concave list becomes its hull, as Box2D 2.4.1 makes it.
	run("clearVertices() addVertex(0, 0) addVertex(2, 0) addVertex(1, 0.2) addVertex(2, 2) addVertex(0, 2)\n"
		"createPolygon('hull', '', 0, 0, 2, 2, 1, 0.5, 0, true, false, 0)\n"
		"clearVertices() addVertex(0, 0) addVertex(1, 0) addVertex(1, 0) addVertex(2, 1)\n"
		"createLineShape('slope', '', 0, 5, 2, 1, 0, 0.5, 0, true, false, 0)\n"
		"createLineShape('stick', '', 10, 0, 2, 1, 1, 0.5, 0, true, false, 0)\n"
		"createBox('plank', '', 20, 0, 1, 1, 0, 0.5, 0, true, false, 0)\n");
	const b2PolygonShape* hull = static_cast<const b2PolygonShape*>(body("hull")->GetFixtureList()->GetShape());
	EXPECT_EQ(4, hull->m_count);
	int edges = 0;
	for (b2Fixture* f = body("slope")->GetFixtureList(); f; f = f->GetNext())
	{
		EXPECT_EQ(b2Shape::e_edge, f->GetType());
		++edges;
	}
	EXPECT_EQ(2, edges) << "the repeated point makes no edge";

	// Without fixture mass a dynamic body still has mass 1 and falls.
	EXPECT_FLOAT_EQ(1.f, body("stick")->GetMass());
	EXPECT_EQ("1", eval("objects.world.stick.mass"));
	run("setObjectParameter('plank', 2, 1)");
	EXPECT_EQ(b2_dynamicBody, body("plank")->GetType());
	EXPECT_FLOAT_EQ(1.f, body("plank")->GetMass()) << "density 0 made dynamic";
	run("setFixedRotation('plank', true)");
	EXPECT_FLOAT_EQ(1.f, body("plank")->GetMass());
	run("setWorldGravity(0, 10)");
	enable();
	for (int i = 0; i < 30; ++i)
		frame(1.f / 30.f);
	EXPECT_GT(body("stick")->GetPosition().y, 2.f);
	EXPECT_GT(body("plank")->GetPosition().y, 2.f);
}

TEST_F(PhysicsObjects, CompoundPiecesCarryTheRecord)
{
	run("createCompoundBodyFromTable({name = 'piece', x = 3, y = 4, angle = 0.5,\n"
		"  material = {density = 1, friction = 0.4, restitution = 0.2},\n"
		"  children = {\n"
		"    {x = 0, y = 0, angle = 0, blockData = {type = 'polygon', sprite = '',\n"
		"       worldVertices = {{x = 0, y = 0}, {x = 2, y = 0}, {x = 2, y = 1}, {x = 1, y = 1}, {x = 1, y = 2}, {x = 0, y = 2}}}},\n"
		"    {x = 3, y = 0, angle = 0.3, blockData = {type = 'box', width = 1, height = 2}},\n"
		"    {x = -2, y = 0, angle = 0, blockData = {type = 'circle', radius = 0.5}},\n"
		"    {x = 0, y = 0, angle = 0, blockData = {type = 'line', vertices = {{0, 3}, {2, 3}}}}}})");
	GameLua::RenderObjectData* piece = object("piece");
	ASSERT_NE(nullptr, piece);
	int polygons = 0, circles = 0, edges = 0;
	for (b2Fixture* f = piece->body->GetFixtureList(); f; f = f->GetNext())
	{
		EXPECT_EQ(reinterpret_cast<uintptr_t>(piece), f->GetUserData().pointer);
		EXPECT_FLOAT_EQ(0.4f, f->GetFriction());
		polygons += f->GetType() == b2Shape::e_polygon;
		circles += f->GetType() == b2Shape::e_circle;
		edges += f->GetType() == b2Shape::e_edge;
	}
	EXPECT_EQ(3, polygons) << "the L shape in two pieces and the box";
	EXPECT_EQ(1, circles);
	EXPECT_EQ(1, edges);
	EXPECT_EQ("compound", eval("objects.world.piece.type"));
	EXPECT_EQ("0.5", eval("objects.world.piece.angle"));
	EXPECT_TRUE(piece->tracksImpacts);
	EXPECT_TRUE(piece->angleCaptured);
	EXPECT_FLOAT_EQ(0.5f, piece->renderPose.angle);
	EXPECT_EQ(4u, piece->pieceOffsets.size());
	EXPECT_EQ(1u, lua()->zOrderTable().at(0).at(nullptr).size());
}

TEST_F(PhysicsObjects, PoseAndMotionOperations)
{
	run("createBox('crate', '', 1, 2, 1, 1, 1, 0.5, 0.1, true, false, 0)\n"
		"setRotation('crate', -_G.math.pi / 2)");
	EXPECT_NEAR(3.f * b2_pi / 2.f, number("objects.world.crate.angle"), 1e-5);
	EXPECT_NEAR(3.f * b2_pi / 2.f, object("crate")->firstAngle, 1e-5);
	run("setRotation('crate', 7)");
	EXPECT_NEAR(7.f - 2.f * b2_pi, number("objects.world.crate.angle"), 1e-5);
	EXPECT_NEAR(3.f * b2_pi / 2.f, object("crate")->firstAngle, 1e-5) << "only the first angle is kept";
	EXPECT_NEAR(7.f - 2.f * b2_pi, object("crate")->poses[1].angle, 1e-5);

	run("setPosition('crate', 4, 5)");
	EXPECT_EQ("4", eval("objects.world.crate.x"));
	EXPECT_FLOAT_EQ(5.f, object("crate")->poses[0].y);
	EXPECT_FLOAT_EQ(5.f, body("crate")->GetPosition().y);

	run("setSleeping('crate', true) setVelocity('crate', 0, 0)");
	EXPECT_FALSE(body("crate")->IsAwake()) << "a zero velocity leaves it asleep";
	run("setVelocity('crate', 1, 0)");
	EXPECT_TRUE(body("crate")->IsAwake());
	run("multiplyVelocity('crate', 3)");
	EXPECT_EQ("3", eval("getVelocity('crate')"));
	run("vx, vy = getLinearVelocity('crate')");
	EXPECT_EQ("3", eval("vx"));
	EXPECT_EQ("0", eval("getVelocity('missing')"));

	// A negative damping is no damping (it would speed the body up without end).
	run("setLinearDamping('crate', -30) setAngularDamping('crate', -30)");
	EXPECT_FLOAT_EQ(0.f, body("crate")->GetLinearDamping());
	EXPECT_FLOAT_EQ(0.f, body("crate")->GetAngularDamping());
	enable();
	for (int i = 0; i < 60; ++i)
		frame(1.f / 30.f);
	EXPECT_NEAR(3.f, body("crate")->GetLinearVelocity().x, 1e-3);

	run("setObjectParameter('crate', 3, 1)");
	EXPECT_FALSE(object("crate")->animated);
	run("setObjectParameter('crate', 21, 5)");
	EXPECT_TRUE(body("crate")->IsFixedRotation());
	EXPECT_TRUE(body("crate")->IsBullet());
	run("setObjectParameter('crate', 16, 1) setObjectParameter('crate', 17, 2.5)");
	EXPECT_FLOAT_EQ(0.f, body("crate")->GetGravityScale());
	EXPECT_FLOAT_EQ(2.5f, object("crate")->baseScale.x);
}

TEST_F(PhysicsObjects, MissingNamesAreErrorsWhereANameMustExistAndNeverInsert)
{
	for (const char* code : {"setSleeping('x', true)", "setActive('x', true)", "setPosition('x', 1, 1)",
			 "getLinearVelocity('x')", "setFixedRotation('x', true)", "setLinearDamping('x', 1)",
			 "setAngularDamping('x', 1)"})
		EXPECT_NE(std::string::npos, error(code).find("Body not found! (x)")) << code;
	EXPECT_NE(std::string::npos, error("setObjectParameter('x', 5, 1)").find("m_renderObjects[name] != 0 (x)"));
	for (const char* code : {"setRotation('x', 1)", "setVelocity('x', 1, 1)", "applyImpulse('x', 1, 1, 0, 0)",
			 "setAsSensor('x', true)", "setCollisionEnabled('x', false)", "removeObject('x')", "setScale('x', 2, 2)"})
		EXPECT_EQ("", error(code)) << code;
	EXPECT_TRUE(lua()->renderObjects().empty());
}

TEST_F(PhysicsObjects, PhysicsSwitchCountsKeys)
{
	EXPECT_EQ("false", eval("isPhysicsEnabled()"));
	enable();
	EXPECT_EQ("true", eval("isPhysicsEnabled()"));
	run("setPhysicsEnabled(false) setPhysicsEnabled(false) setPhysicsEnabled(true)");
	EXPECT_EQ("true", eval("isPhysicsEnabled()"));
	run("setPhysicsEnabled(false, 'menu') setPhysicsEnabled(false, 'menu') setPhysicsEnabled(true, 'menu')");
	EXPECT_EQ("false", eval("isPhysicsEnabled()"));
	run("setPhysicsEnabled(true, 'menu')");
	EXPECT_EQ("true", eval("isPhysicsEnabled()"));
	EXPECT_NE(std::string::npos, error("setPhysicsEnabled(true, 'menu')").find("count >= 1 (menu)"));
	EXPECT_NE(std::string::npos, error("setPhysicsEnabled(true, 'other')").find("count >= 1"));
	EXPECT_EQ("true", eval("isPhysicsEnabled()"));

	for (const char* code : {"setDeltaTimeMultiplier(1/0)", "setDeltaTimeMultiplier(0/0)", "setDeltaTimeMultiplier(-1)",
			 "setGravityForceMultiplier(1/0)", "setGravityForceMultiplier(-0.5)"})
		EXPECT_NE(std::string::npos, error(code).find("finite and >= 0")) << code;
	EXPECT_EQ("1", eval("getDeltaTimeMultiplier()"));
	run("setDeltaTimeMultiplier(0.5) setGravityForceMultiplier(2)");
	EXPECT_EQ("0.5", eval("getDeltaTimeMultiplier()"));
	EXPECT_EQ("2", eval("getGravityForceMultiplier()"));
}

TEST_F(PhysicsObjects, RemovalLeavesNoPointerBehind)
{
	run("createCircle('shot', '', 0, 0, 0.5, 1, 0.5, 0.1, true, true, 2)\n"
		"setObjectParameter('shot', 1, 1) setObjectParameter('shot', 32, 1)\n"
		"createBox('field', '', 5, 0, 4, 4, 0, 0.5, 0.1, true, false, 2)\n"
		"createBox('crate', '', 10, 0, 1, 1, 1, 0.5, 0.1, true, false, 2)\n"
		"blockTable.blocks.BUBBLE = {material = 'bubble'}\n"
		"objects.world.field.definition = 'BUBBLE'\n"
		"objects.world.field.linkedTargets = {'crate', 'gone'}\n");
	EXPECT_FALSE(body("shot")->IsEnabled()) << "projectiles start inactive";
	EXPECT_EQ(1u, lua()->projectileCount());
	EXPECT_EQ(1u, lua()->animatedCount());
	EXPECT_EQ(1u, lua()->parameter32List().size());
	object("crate")->gravityFields.push_back(object("field"));
	object("crate")->gravityFields.push_back(object("shot"));

	run("setCollisionEnabled('shot', false)");
	EXPECT_FALSE(body("shot")->IsEnabled()) << "rebuilding contacts does not launch a waiting projectile";
	EXPECT_EQ("0", eval("objects.world.shot.collisionEnabled"));
	run("setCollisionEnabled('crate', false)");
	EXPECT_TRUE(body("crate")->IsEnabled());
	EXPECT_FALSE(object("crate")->collisionEnabled);

	run("removeObject('shot')");
	EXPECT_EQ(0u, lua()->projectileCount()) << "both maps, whatever the flags";
	EXPECT_EQ(0u, lua()->animatedCount());
	EXPECT_TRUE(lua()->parameter32List().empty());
	EXPECT_EQ(1u, object("crate")->gravityFields.size());
	run("removeObject('field')");
	EXPECT_TRUE(object("crate")->gravityFields.empty());
	EXPECT_EQ("", eval("objects.world.crate.linkedBubble"));
	EXPECT_EQ(nullptr, object("field"));
	EXPECT_EQ(1, bodyCount());
	EXPECT_EQ(1u, lua()->zOrderTable().at(2).at(nullptr).size());
	run("removeObject('field')");
}

namespace
{
/** Calls game operations from inside a world step, where Box2D is locked. */
class LockedCaller : public b2ContactListener
{
public:
	GameLua* lua = nullptr;
	std::vector<std::string> errors;
	void BeginContact(b2Contact*) override
	{
		auto attempt = [&](auto f) {
			try
			{
				f();
				errors.push_back("");
			}
			catch (lang::Exception& e)
			{
				errors.push_back(e.getMessage().format());
			}
		};
		attempt([&] { lua->createBox("new", "", 0, -5, 1, 1, 1, 0.5, 0, true, false, 0); });
		attempt([&] { lua->removeObject("top"); });
		attempt([&] { lua->setPosition("top", 0, -10); });
		attempt([&] { lua->setActive("top", false); });
		attempt([&] { lua->setObjectParameter("top", 2, 0); });
		attempt([&] { lua->setFixedRotation("top", true); });
	}
};
}

TEST_F(PhysicsObjects, ALockedWorldRefusesChangesAndChangesNothing)
{
	run("setWorldGravity(0, 10)\n"
		"createBox('floor', '', 0, 2, 10, 1, 0, 0.5, 0, true, false, 0)\n"
		"clearVertices() addVertex(0, 0) addVertex(1, 0)\n"
		"createLineShape('top', '', 0, 0, 1, 1, 0, 0.5, 0, true, false, 0)\n"
		"setObjectParameter('top', 2, 1)\n");
	LockedCaller caller;
	caller.lua = lua();
	lua()->world()->SetContactListener(&caller);
	enable();
	for (int i = 0; i < 30 && caller.errors.empty(); ++i)
		frame(1.f / 30.f);
	lua()->world()->SetContactListener(lua());
	ASSERT_EQ(6u, caller.errors.size());
	for (size_t i = 0; i < 5; ++i)
		EXPECT_NE(std::string::npos, caller.errors[i].find("locked")) << i;
	EXPECT_EQ("", caller.errors[5]) << "a fixed rotation is taken; its mass waits for the step to end";
	EXPECT_EQ(nullptr, object("new"));
	ASSERT_NE(nullptr, body("top"));
	EXPECT_TRUE(body("top")->IsEnabled());
	EXPECT_EQ(b2_dynamicBody, body("top")->GetType());
	EXPECT_FLOAT_EQ(1.f, body("top")->GetMass());
	EXPECT_TRUE(body("top")->IsFixedRotation());
}

TEST_F(PhysicsObjects, SlowBodiesSleepAtTheGameTolerance)
{
	// Box2D's own tolerance (0.01) would keep these awake for good.
	run("createCircle('slow', '', 0, 0, 0.5, 1, 0.5, 0, true, false, 0)\n"
		"createCircle('fast', '', 10, 0, 0.5, 1, 0.5, 0, true, false, 0)\n"
		"setAngularDamping('slow', 0) setAngularDamping('fast', 0)\n"
		"setVelocity('slow', 0.45, 0) setVelocity('fast', 0.55, 0)\n"
		"createCircle('a', '', 20, 0, 0.5, 1, 0.5, 0, true, false, 0)\n"
		"createCircle('b', '', 21, 0, 0.5, 1, 0.5, 0, true, false, 0)\n"
		"setVelocity('a', 0.3, 0) setVelocity('b', 0.3, 0) setAngularVelocity('b', 0.2)");
	enable();
	for (int i = 0; i < 14; ++i)
		frame(1.f / 30.f);
	EXPECT_TRUE(body("slow")->IsAwake()) << "under half a second";
	for (int i = 0; i < 4; ++i)
		frame(1.f / 30.f);
	EXPECT_FALSE(body("slow")->IsAwake());
	EXPECT_TRUE(body("fast")->IsAwake());
	// Touching bodies form an island: one turning too fast keeps the other awake.
	EXPECT_TRUE(body("a")->IsAwake());
	EXPECT_TRUE(body("b")->IsAwake());

	lua()->resetPhysicsWorld(b2Vec2(0.f, 0.f), false);
	EXPECT_TRUE(lua()->renderObjects().empty());
	EXPECT_EQ(0, bodyCount());
	run("createCircle('slow', '', 0, 0, 0.5, 1, 0.5, 0, true, false, 0) setVelocity('slow', 0.3, 0)");
	for (int i = 0; i < 30; ++i)
		frame(1.f / 30.f);
	EXPECT_TRUE(body("slow")->IsAwake()) << "no sleeping in a world that allows none";
}

TEST_F(PhysicsObjects, TouchingRowsSleepOnlyAllTogether)
{
	// Three touching circles moving together; the middle one's spin decides for the whole row.
	struct Case
	{
		const char* what;
		float middleSpin;
		bool asleep;
	};
	const Case cases[] = {{"all slow", 0.f, true}, {"the middle turns too fast", 0.2f, false}};
	for (const Case& c : cases)
	{
		lua()->resetPhysicsWorld(b2Vec2(0.f, 0.f), true);
		for (const char* name : {"l", "m", "r"})
		{
			const float x = name[0] == 'l' ? 0.f : name[0] == 'm' ? 1.f : 2.f;
			run(std::string("createCircle('") + name + "', '', " + std::to_string(x) + ", 0, 0.5, 1, 0.5, 0, true, false, 0) setAngularDamping('" +
				name + "', 0) setVelocity('" + name + "', 0.3, 0)");
		}
		run("setAngularVelocity('m', " + std::to_string(c.middleSpin) + ")");
		enable();
		for (int i = 0; i < 20; ++i)
			frame(1.f / 30.f);
		for (const char* name : {"l", "m", "r"})
			EXPECT_EQ(!c.asleep, body(name)->IsAwake()) << c.what << ": " << name;
	}
}

TEST_F(PhysicsObjects, LoadingALevelRemovesEveryObject)
{
	run("createBox('crate', '', 0, 0, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createCircle('shot', '', 0, 0, 1, 1, 0.5, 0, true, true, 0)\n"
		"loadLevel(levelPath .. '/good')");
	EXPECT_TRUE(lua()->renderObjects().empty());
	EXPECT_EQ(0u, lua()->projectileCount());
	EXPECT_EQ(0, bodyCount());
	lua()->setDeterministicPhysics(true);
	run("setWorldGravity(0, 10) loadLevel(levelPath .. '/good')");
	EXPECT_FLOAT_EQ(0.f, lua()->world()->GetGravity().y) << "a fresh world";
}
