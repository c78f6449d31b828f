#include "GameLua.h"

// Shot trails.
void GameLua::registerTrails()
{
	registerMethod<&GameLua::startNewTrajectory>("startNewTrajectory", this);
	registerMethod<&GameLua::addToTrajectory>("addToTrajectory", this);
	registerMethod<&GameLua::addPuffToTrajectory>("addPuffToTrajectory", this);
	registerMethod<&GameLua::setNormalTrailSprite>("setNormalTrailSprite", this);
	registerMethod<&GameLua::setSpecialTrailSprite>("setSpecialTrailSprite", this);
}

void GameLua::startNewTrajectory()
{
	// Alternating slots keep the previous shot's trail on screen.
	m_currentTrajectoryIndex = (m_currentTrajectoryIndex + 1) % NumTrajectories;
	currentTrajectory() = TrajectoryData();
}

void GameLua::addPuffToTrajectory(float, float x, float y)
{
	TrajectoryData& t = currentTrajectory();
	t.puff = true;
	t.puffX = x;
	t.puffY = y;
}

void GameLua::clearTrajectories()
{
	m_trajectories.assign(NumTrajectories, TrajectoryData());
	m_currentTrajectoryIndex = 0;
}
