#include "GameLua.h"

#include <game/Sprite.h>
#include <gr/Context.h>

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
	// Nothing of an object scaled to nothing shows; dividing by its scale would give no position at all.
	if (object.scale.x == 0.f || object.scale.y == 0.f)
		return true;
	// The pass leaves the world scale in the render state; the object's own scale joins it here
	// (the pass sets the world scale back after the batches), so the position is divided by it.
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.scale = math::float2(rs.scale.x * object.scale.x, rs.scale.y * object.scale.y);
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
