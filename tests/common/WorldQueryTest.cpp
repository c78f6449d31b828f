#include "PhysicsFixture.h"
#include <cmath>

typedef PhysicsTest WorldQueries;

TEST_F(WorldQueries, BoxQueryFindsStaticAndDynamicObjects)
{
	run("createBox('ground', '', 0, 10, 40, 1, 0, 0.5, 0, true, false, 0)\n"
		"createBox('crate', '', 0, 8, 1, 1, 1, 0.5, 0, true, false, 0)\n"
		"createBox('far', '', 30, -30, 1, 1, 1, 0.5, 0, true, false, 0)");
	run("found = getIntersectingObjects({x = 0, y = 9, left = -2, right = 2, down = -2, up = 2})\n"
		"_G.table.sort(found)");
	EXPECT_EQ("crate,ground", eval("_G.table.concat(found, ',')"));
	run("found = getIntersectingObjects({x = 100, y = 100, left = -1, right = 1, down = -1, up = 1})");
	EXPECT_EQ("nil", eval("_G.next(found)")) << "an empty result is an empty table";
	EXPECT_NE("", error("getIntersectingObjects({x = 0/0, y = 0, left = -1, right = 1, down = -1, up = 1})"));
}

TEST_F(WorldQueries, RayReportsEveryNonSensorHitWithPointNormalAndFraction)
{
	run("createBox('wall', '', 5, 0, 1, 4, 0, 0.5, 0, true, false, 0)\n"
		"createBox('ghost', '', 2, 0, 1, 4, 0, 0.5, 0, true, false, 0) setAsSensor('ghost', true)\n"
		"createCompoundBodyFromTable({name = 'pair', x = 8, y = 0, angle = 0,\n"
		"  material = {density = 0, friction = 0.5, restitution = 0},\n"
		"  children = {{x = 0, y = 0, angle = 0, blockData = {type = 'box', width = 1, height = 1}},\n"
		"              {x = 2, y = 0, angle = 0, blockData = {type = 'box', width = 1, height = 1}}}})");
	run("hits = getRayCastedObjects({x1 = 0, y1 = 0, x2 = 20, y2 = 0})");
	EXPECT_EQ("18", eval("#hits")) << "three hits of six entries: the wall, and the pair twice";
	// Box2D's order is not by distance: find the wall's entry.
	run("for k = 0, 2 do if hits[6 * k + 1] == 'wall' then wall = k end end\n"
		"names = {} for k = 0, 2 do names[#names + 1] = hits[6 * k + 1] end _G.table.sort(names)");
	EXPECT_EQ("pair,pair,wall", eval("_G.table.concat(names, ',')")) << "the sensor is skipped";
	EXPECT_EQ("4.5", eval("hits[6 * wall + 2]"));
	EXPECT_EQ("0", eval("hits[6 * wall + 3]"));
	EXPECT_EQ("-1", eval("hits[6 * wall + 4]"));
	EXPECT_EQ("0", eval("hits[6 * wall + 5]"));
	EXPECT_EQ("0.225", eval("_G.string.format('%.3f', hits[6 * wall + 6])"));

	run("hits = getRayCastedObjects({x1 = 3, y1 = 3, x2 = 3, y2 = 3})");
	EXPECT_EQ("nil", eval("_G.next(hits)")) << "a ray without length meets nothing";
	EXPECT_NE("", error("getRayCastedObjects({x1 = 0, y1 = 0, x2 = 1/0, y2 = 0})"));
}

TEST_F(WorldQueries, PointsBetweenFramesAndTheDrawnAngle)
{
	run("createBox('crate', '', 2, 3, 1, 1, 1, 0.5, 0, true, false, 0) setRotation('crate', 1.5707963)");
	run("wx, wy = getWorldPoint('crate', 1, 0) lx, ly = getLocalPoint('crate', 2, 4)");
	EXPECT_NEAR(2.f, number("wx"), 1e-5f);
	EXPECT_NEAR(4.f, number("wy"), 1e-5f);
	EXPECT_NEAR(1.f, number("lx"), 1e-5f);
	EXPECT_NEAR(0.f, number("ly"), 1e-5f);

	object("crate")->renderPose.angle = 0.25f;
	EXPECT_EQ("0.25", eval("getAngle('crate')")) << "the drawn angle, not the body's";
	EXPECT_NE(std::string::npos, error("getAngle('nobody')").find("m_renderObjects.count(name) != 0"));
	EXPECT_NE(std::string::npos, error("getWorldPoint('nobody', 0, 0)").find("nobody"));
	EXPECT_NE(std::string::npos, error("getLocalPoint('nobody', 0, 0)").find("nobody"));
	EXPECT_NE("", error("getWorldPoint('crate', 0/0, 0)"));
	EXPECT_EQ(1u, lua()->renderObjects().size());
}
