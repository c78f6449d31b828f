#include "GameLua.h"

#include <game/Sprite.h>

// Material-textured objects, batched per texture.
MaskedImage& GameLua::maskedImage(const std::string& textureName)
{
	lang::Ptr<MaskedImage>& batch = m_maskedImages[textureName];
	if (!batch)
		batch = new MaskedImage(m_context);
	return *batch;
}

bool GameLua::addToTextureBatch(RenderObjectData& object)
{
	if (!object.textureImage || !object.sprite)
		return false;
	// Positions are divided by the object's scale because the render state's scale already holds it.
	const float x = object.renderPose.x * 20.f / object.scale.x;
	const float y = object.renderPose.y * 20.f / object.scale.y;
	maskedImage(object.textureName)
		.add(x, y, static_cast<gr::Image*>(object.textureImage), object.sprite, object.scale.x / object.textureScale,
			object.scale.y / object.textureScale);
	return true;
}

void GameLua::renderTextureBatches()
{
	for (auto& batch : m_maskedImages)
		batch.second->render();
}
