#include "GameLua.h"

// Drawing of the shot trails and of the aiming preview.
void GameLua::drawTrajectories()
{
}

void GameLua::drawSimulationTrajectory()
{
}
