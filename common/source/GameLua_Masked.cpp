#include "GameLua.h"

// Material-textured objects, batched per texture.
bool GameLua::addToTextureBatch(RenderObjectData&)
{
	return false;
}

void GameLua::renderTextureBatches()
{
}
