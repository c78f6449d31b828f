#include "GameLua.h"

// The game's particle layers.
void GameLua::drawGameParticles(bool)
{
}
