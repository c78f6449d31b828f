#include "PhysicsFixture.h"

typedef PhysicsTest Trails;

TEST_F(Trails, ShotsAlternateBetweenTwoSlotsAndKeepOnePuff)
{
	lua()->clearTrajectories();
	EXPECT_EQ(0, lua()->currentTrajectoryIndex());
	run("startNewTrajectory() addToTrajectory(0, 1, 2) addToTrajectory(0, 3, 4)\n"
		"setNormalTrailSprite('dot') setSpecialTrailSprite('puff')\n"
		"addPuffToTrajectory(0, 5, 6) addPuffToTrajectory(0, 7, 8)");
	ASSERT_EQ(1, lua()->currentTrajectoryIndex());
	const GameLua::TrajectoryData& first = lua()->trajectories()[1];
	ASSERT_EQ(2u, first.points.size());
	EXPECT_FLOAT_EQ(3.f, first.points[1].x);
	EXPECT_TRUE(first.puff);
	EXPECT_FLOAT_EQ(7.f, first.puffX);
	EXPECT_FLOAT_EQ(8.f, first.puffY);
	EXPECT_EQ("dot", first.normalSprite);
	EXPECT_EQ("puff", first.specialSprite);

	run("startNewTrajectory() addToTrajectory(0, 9, 9)");
	EXPECT_EQ(0, lua()->currentTrajectoryIndex());
	EXPECT_EQ(2u, lua()->trajectories()[1].points.size()); // the previous shot stays
	const GameLua::TrajectoryData& second = lua()->trajectories()[0];
	EXPECT_EQ(1u, second.points.size());
	EXPECT_FALSE(second.puff);
	EXPECT_TRUE(second.normalSprite.empty());

	run("startNewTrajectory()"); // a third shot overwrites the first
	EXPECT_TRUE(lua()->trajectories()[1].points.empty());
	EXPECT_FALSE(lua()->trajectories()[1].puff);

	lua()->clearTrajectories();
	EXPECT_EQ(0, lua()->currentTrajectoryIndex());
	ASSERT_EQ(2u, lua()->trajectories().size());
	EXPECT_TRUE(lua()->trajectories()[0].points.empty());
}

TEST_F(Trails, ANewOrReloadedLevelStartsWithoutTheOldShotsTrails)
{
	for (const char* load : {"loadLevel(levelPath .. '/good')", "loadPreviousLevel('')"})
	{
		run("startNewTrajectory() addToTrajectory(0, 1, 2) addPuffToTrajectory(0, 1, 2)\n"
			"startNewTrajectory() addToTrajectory(0, 3, 4)");
		ASSERT_FALSE(lua()->trajectories()[1].points.empty());
		run(load);
		EXPECT_EQ(0, lua()->currentTrajectoryIndex()) << load;
		ASSERT_EQ(2u, lua()->trajectories().size()) << load;
		for (const GameLua::TrajectoryData& t : lua()->trajectories())
		{
			EXPECT_TRUE(t.points.empty()) << load;
			EXPECT_FALSE(t.puff) << load;
		}
	}
}
