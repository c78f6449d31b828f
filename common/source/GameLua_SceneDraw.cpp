#include "GameLua.h"
#include <gr/Context.h>
#include <gr/RenderState2D.h>
#include <lang/Debug.h>
#include <algorithm>
#include <cmath>

// The scene passes: background layers, objects in z order, foreground layers.
namespace
{
const game::Anchor PIVOT(game::Anchor::VPIVOT, game::Anchor::HPIVOT);
const int LAST_Z = 169;

void turn(gr::RenderState2D& rs, float angle)
{
	const float c = std::cos(angle), s = std::sin(angle);
	rs.angle = angle;
	rs.rotation[0] = c;
	rs.rotation[1] = s;
	rs.rotation[2] = -s;
	rs.rotation[3] = c;
}

unsigned packChannel(float v)
{
	if (!(v > 0.f))
		return 0;
	if (v > 255.f)
		return 255;
	return static_cast<unsigned>(v);
}

unsigned packColour(const float* c)
{
	return packChannel(c[0]) << 16 | packChannel(c[1]) << 8 | packChannel(c[2]);
}

/** x mod m for a usable modulus; x itself otherwise. */
float wrapped(float x, float m)
{
	return std::isfinite(m) && m > 0.f ? std::fmod(x, m) : x;
}

/** A foreground theme sprite at scale (sx, sy) placed at the screen point (px, py); mirrored ones turned over. */
void drawForegroundSprite(gr::Context* context, const game::Sprite& sprite, float angle, bool mirrored, float sx, float sy,
	float px, float py)
{
	if (sx == 0.f || sy == 0.f)
		return;
	const float m = mirrored ? -1.f : 1.f;
	gr::RenderState2D& rs = context->getRenderState2D();
	rs.reset();
	rs.pivot = math::float2(static_cast<float>(sprite.getPivotX()), static_cast<float>(sprite.getPivotY()));
	turn(rs, angle);
	rs.scale = math::float2(m * sx, sy);
	sprite.draw(context, px / (m * sx), py / sy, PIVOT);
}
}

// --- Background ---------------------------------------------------------------------

void GameLua::drawBackgroundNative(float layerIndex)
{
	m_bgColor = packColour(m_skyColor);
	size_t first = 0, last = m_bgLayers.size();
	if (!(layerIndex < 0.f))
	{
		if (!(layerIndex < static_cast<float>(m_bgLayers.size())))
			return;
		first = static_cast<size_t>(layerIndex);
		last = first + 1;
	}
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const float width = static_cast<float>(m_context->width()), height = static_cast<float>(m_context->height());
	for (size_t i = first; i < last; ++i)
	{
		ThemeLayerData& layer = m_bgLayers[i];
		const float tileW = layer.emptySprite ? 1024.f / layer.scale : static_cast<float>(layer.spriteWidth);
		const float tileH = layer.emptySprite ? 1024.f / layer.scale : static_cast<float>(layer.spriteHeight);
		layer.scrollOffset += layer.scrollStep;
		if (layer.scrollOffset != 0.f)
			layer.scrollOffset = wrapped(layer.scrollOffset, tileW * layer.scale / layer.zDistance);
		captureReference();

		const float currentH = height / 768.f;
		const float drawScale = layer.bLoop ? layer.scale * std::max(m_refFactorH, currentH)
											: layer.scale * std::max(width / 1024.f, currentH);
		const lua::LuaTable screen = isTable("screen") ? getTable("screen") : lua::LuaTable(getState());
		const float dx = (screen.isNumber("x") ? screen.getNumber("x") : 0.f) - m_refScreenX;
		const float dy = (screen.isNumber("y") ? screen.getNumber("y") : 0.f) - m_refScreenY;
		layer.angle = dx * layer.zDistance * 0.05f * layer.angleMult;
		const float e = (m_worldScale - m_refWorldScale + layer.zDistance) * layer.scaleSpeed;
		const float s = drawScale + e;
		if (layer.posX < -16.f * tileW)
			layer.posX += 16.f * tileW;

		game::Sprite* sprite = layer.emptySprite ? nullptr : m_resources->getSprite(layer.spriteName);
		rs.reset();
		if (sprite)
			rs.pivot = math::float2(static_cast<float>(sprite->getPivotX()), static_cast<float>(sprite->getPivotY()));
		turn(rs, layer.angle);
		rs.scale = math::float2(s, s);
		const float baseX = 2.f * layer.posX * s - tileW * (drawScale + 2.f * e) - dx * layer.zDistance * layer.xMult;
		rs.translation.y = (2.f * layer.posY * s + tileH * (drawScale + 2.f * e) - dy * layer.zDistance * layer.yMult) / 2.f / s;
		const float x = layer.offsetX * width / 1024.f / s, y = layer.offsetY * height / 768.f / s;
		if (!layer.bLoop)
		{
			rs.translation.x = baseX / 2.f / s;
			if (sprite)
				sprite->draw(m_context, x, y, PIVOT);
			drawThemeSprites(layer, false, drawScale, e, dx, dy);
			continue;
		}
		const float limit = width / (layer.scale * m_worldScale) + static_cast<float>(layer.pivotX) + 8.f * tileW * s;
		for (int k = 0; k < 32; ++k)
		{
			const float start = static_cast<float>(k - 8) * tileW * s;
			if (!(start < limit))
				break;
			rs.reset();
			if (sprite)
				rs.pivot = math::float2(static_cast<float>(sprite->getPivotX()), static_cast<float>(sprite->getPivotY()));
			turn(rs, layer.angle);
			rs.scale = math::float2(s, s);
			rs.translation.x = (baseX + 2.f * start) / 2.f / s;
			rs.translation.y = (2.f * layer.posY * s + tileH * (drawScale + 2.f * e) - dy * layer.zDistance * layer.yMult) / 2.f / s;
			if (sprite)
				sprite->draw(m_context, x, y, PIVOT);
		}
		// Once for the whole row, over its tiles so that later tiles do not hide them.
		drawThemeSprites(layer, true, drawScale, e, dx, dy);
	}
	rs.reset();
}

void GameLua::drawThemeSprites(ThemeLayerData& layer, bool loop, float drawScale, float e, float dx, float dy)
{
	const float width = static_cast<float>(m_context->width()), height = static_cast<float>(m_context->height());
	const float S = m_simulationScale;
	const float M = (loop ? m_cameraLimit * 10.f + 10.f * width / 1024.f : m_cameraLimit * 20.f) / S;
	const float eSprites = loop && !(width >= 1024.f && height > 599.f) ? e * width / 1024.f : e;
	gr::RenderState2D& rs = m_context->getRenderState2D();
	for (ThemeSpriteData& sp : layer.sprites)
	{
		if (!sp.animated && std::isfinite(M) && M > 0.f)
		{
			// Sprites leaving past the limit in their direction of motion come back on the other side.
			if (sp.x > M && sp.velX > 0.f)
				sp.x = sp.originX - M;
			else if (sp.x < -M && sp.velX < 0.f)
				sp.x = sp.originX + M;
			if (std::fabs(sp.y - sp.originY) > 4.f * height / S)
				sp.y = sp.originY - 10.f;
		}
		if (!sp.sprite)
			continue;
		const float sx = sp.scaleX * drawScale + eSprites, sy = sp.scaleY * drawScale + eSprites;
		if (sx == 0.f || sy == 0.f)
			continue;
		rs.reset();
		rs.pivot = math::float2(static_cast<float>(sp.sprite->getPivotX()), static_cast<float>(sp.sprite->getPivotY()));
		turn(rs, layer.angle + sp.angle);
		const float tx = (-static_cast<float>(layer.spriteWidth) * drawScale - dx * layer.zDistance * layer.xMult) / 2.f / sx;
		const float ty = (static_cast<float>(layer.spriteHeight) * drawScale - dy * layer.zDistance * layer.yMult) / 2.f / sy;
		// Mirrored: the scale turns the picture over and the negated place and translation keep its spot.
		const float m = sp.mirrored ? -1.f : 1.f;
		rs.scale = math::float2(m * sx, sy);
		rs.translation = math::float2(m * tx, ty);
		sp.sprite->draw(m_context, m * sp.x * S / sx, sp.y * S / sy, PIVOT);
	}
}

// --- Objects ------------------------------------------------------------------------

void GameLua::drawGameNative(int foregroundZ)
{
	drawGameParticles(true);
	gr::RenderState2D& rs = m_context->getRenderState2D();
	bool trailsDrawn = false, batched = false;
	auto level = m_zOrder.lower_bound(0);
	for (int z = 0; z <= LAST_Z; ++z)
	{
		if (z == foregroundZ)
			drawForegroundNative();
		if (level == m_zOrder.end() || level->first != z)
			continue;
		for (const auto& group : level->second)
		{
			for (const std::string& name : group.second)
			{
				auto found = m_renderObjects.find(name);
				if (found != m_renderObjects.end())
					drawObject(*found->second, trailsDrawn, batched);
			}
			if (batched)
			{
				renderTextureBatches();
				rs.scale = math::float2(m_worldScale, m_worldScale);
			}
		}
		++level;
	}
	rs.reset();
	drawSimulationTrajectory();
	drawGameParticles(false);
	rs.reset();
}

void GameLua::drawObject(RenderObjectData& object, bool& trailsDrawn, bool& batched)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	auto worldTransform = [&]() {
		rs.reset();
		rs.translation = math::float2(-m_cameraX, -m_cameraY);
		rs.scale = math::float2(m_worldScale, m_worldScale);
	};
	worldTransform();
	if (object.killingVolume || !object.visible)
		return;
	if ((object.projectile || object.animated) && !trailsDrawn)
	{
		rs.reset();
		drawTrajectories();
		trailsDrawn = true;
		worldTransform();
	}
	const Pose& pose = object.renderPose;
	if (!object.pieceSprites.empty() || !object.pieceCompoSprites.empty())
	{
		// Pieces of a table-made compound body, each at its offset turned with the body.
		const float c = std::cos(pose.angle), s = std::sin(pose.angle);
		for (size_t i = 0; i < object.pieceOffsets.size(); ++i)
		{
			const b2Vec2 o = object.pieceOffsets[i];
			const float px = (pose.x + c * o.x - s * o.y) * 20.f, py = (pose.y + s * o.x + c * o.y) * 20.f;
			const float angle = pose.angle + (i < object.pieceAngles.size() ? object.pieceAngles[i] : 0.f);
			game::CompoSprite* compo = i < object.pieceCompoSprites.size() ? object.pieceCompoSprites[i].ptr() : nullptr;
			game::Sprite* sprite = i < object.pieceSprites.size() ? object.pieceSprites[i].ptr() : nullptr;
			turn(rs, angle);
			if (compo)
			{
				for (int k = 0; k < compo->getSpriteCount(); ++k)
				{
					const game::CompoSprite::Entry& entry = compo->getSpriteEntry(k);
					if (!entry.sprite)
						continue;
					rs.pivot = math::float2(static_cast<float>(entry.sprite->getPivotX()) - entry.x,
						static_cast<float>(entry.sprite->getPivotY()) - entry.y);
					entry.sprite->draw(m_context, px + entry.x, py + entry.y, PIVOT);
				}
			}
			else if (sprite)
			{
				rs.pivot = math::float2(static_cast<float>(sprite->getPivotX()), static_cast<float>(sprite->getPivotY()));
				sprite->draw(m_context, px, py, PIVOT);
			}
		}
	}
	else if (!object.sprite && !(object.compound && object.compoSprite))
	{
		if (!object.spriteName.empty())
			lang::Debug::printf("Sprite is missing for %s\n", object.name.c_str());
		return;
	}
	else
	{
		if (object.compound)
			rs.pivot = math::float2(static_cast<float>(object.compoSprite->getPivotX()),
				static_cast<float>(object.compoSprite->getPivotY()));
		else
			rs.pivot = math::float2(static_cast<float>(object.sprite->getPivotX()) + object.pivotOffset.x,
				static_cast<float>(object.sprite->getPivotY()));
		turn(rs, pose.angle + object.spriteAngle);
		if (!object.textureImage || object.compound)
			drawCompoOrNormalSprite(object, false);
		else if (addToTextureBatch(object))
			batched = true;
		else
			drawCompoOrNormalSprite(object, false);
	}

	if (object.decorated && object.decoration && object.decoration->sprite && object.decoration->amount > 0)
	{
		const Decoration& d = *object.decoration;
		const float kx = m_worldScale * object.scale.x * d.scale, ky = m_worldScale * object.scale.y * d.scale;
		if (kx == 0.f || ky == 0.f)
			return;
		rs.reset();
		rs.scale = math::float2(kx, ky);
		rs.translation = math::float2(-m_cameraX * m_worldScale / kx, -m_cameraY * m_worldScale / ky);
		rs.pivot = math::float2(static_cast<float>(d.sprite->getPivotX()), static_cast<float>(d.sprite->getPivotY()));
		const float x = pose.x * 20.f * m_worldScale / kx, y = pose.y * 20.f * m_worldScale / ky;
		for (int i = 0; i < d.amount; ++i)
		{
			turn(rs, pose.angle + static_cast<float>(i) * d.angleIncrement * static_cast<float>(M_PI) / 180.f);
			d.sprite->draw(m_context, x, y, PIVOT);
		}
	}
}

void GameLua::drawCompoOrNormalSprite(RenderObjectData& object, bool noScale)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const float sx = noScale ? 1.f : object.scale.x, sy = noScale ? 1.f : object.scale.y;
	if (sx == 0.f || sy == 0.f)
		return;
	float m = 1.f;
	if (object.mirrored)
	{
		turn(rs, -object.renderPose.angle);
		m = -1.f;
	}
	if (object.fixedDrawAngle)
		turn(rs, object.firstAngle);
	rs.scale = math::float2(m * m_worldScale * sx, m_worldScale * sy);
	rs.translation = math::float2(m * (object.pivotOffset.x - m_cameraX) / sx, (object.pivotOffset.y - m_cameraY) / sy);
	const float x = m * object.renderPose.x * 20.f / sx, y = object.renderPose.y * 20.f / sy;
	if (object.compound && object.compoSprite)
	{
		const game::CompoSprite& compo = *object.compoSprite;
		for (int k = 0; k < compo.getSpriteCount(); ++k)
		{
			const game::CompoSprite::Entry& entry = compo.getSpriteEntry(k);
			if (!entry.sprite)
				continue;
			rs.pivot = math::float2(static_cast<float>(entry.sprite->getPivotX()) - entry.x,
				static_cast<float>(entry.sprite->getPivotY()) - entry.y);
			entry.sprite->draw(m_context, x + entry.x, y + entry.y, PIVOT);
		}
	}
	else if (object.sprite)
		object.sprite->draw(m_context, x, y, PIVOT);
}

// --- Foreground ---------------------------------------------------------------------

void GameLua::drawForegroundNative()
{
	++m_foregroundPasses;
	if (m_fgLayers.empty())
		return;
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const float width = static_cast<float>(m_context->width()), height = static_cast<float>(m_context->height());
	rs.reset();
	const ThemeLayerData& ground = m_fgLayers.front();
	const float line = ((static_cast<float>(ground.spriteHeight) - static_cast<float>(ground.pivotY)) * ground.scale - m_cameraY) * m_worldScale;
	if (line < height + 1.f)
	{
		const int top = static_cast<int>(std::max(line, -1.f));
		m_context->fillRect2D(0xFF000000u | packColour(m_groundColor), 0, top, static_cast<int>(width), static_cast<int>(height) + 1 - top);
	}
	for (ThemeLayerData& layer : m_fgLayers)
	{
		const float tileW = static_cast<float>(layer.spriteWidth);
		const float k = layer.scale * m_worldScale;
		const float step = tileW * k;
		layer.scrollOffset = wrapped(layer.scrollOffset + layer.scrollStep, step / layer.parallaxSpeed);
		game::Sprite* sprite = m_resources->getSprite(layer.spriteName);
		if (sprite && k != 0.f)
		{
			rs.reset();
			rs.scale = math::float2(k, k);
			float x = -wrapped((m_cameraX + layer.scrollOffset) * layer.parallaxSpeed, tileW);
			const float y = -m_cameraY * m_worldScale / k;
			const float pivotX = static_cast<float>(sprite->getPivotX());
			// A step below one pixel would never reach the edge: one tile then.
			const bool single = !(step >= 1.f);
			// A camera left of 0 gives a positive remainder: start a tile earlier so the left edge is covered.
			if (!single && x > 0.f)
				x -= std::ceil(x / step) * step;
			do
			{
				sprite->draw(m_context, x / k + pivotX, y, PIVOT);
				x += step;
			} while (!single && x < width);
		}
		for (ThemeSpriteData& sp : layer.sprites)
		{
			if (sp.sprite)
				drawForegroundSprite(m_context, *sp.sprite, sp.angle, sp.mirrored, sp.scaleX * m_worldScale, sp.scaleY * m_worldScale,
					(sp.x * m_simulationScale - m_cameraX * layer.parallaxSpeed) * m_worldScale,
					(sp.y * m_simulationScale - m_cameraY) * m_worldScale);
		}
	}
	rs.reset();
}

void GameLua::drawForeground()
{
	++m_foregroundPasses;
	if (m_fgLayers.empty())
		return;
	captureReference();
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const float width = static_cast<float>(m_context->width()), height = static_cast<float>(m_context->height());
	const lua::LuaTable screen = isTable("screen") ? getTable("screen") : lua::LuaTable(getState());
	const float dx = (screen.isNumber("x") ? screen.getNumber("x") : 0.f) - m_refScreenX;
	const float dy = (screen.isNumber("y") ? screen.getNumber("y") : 0.f) - m_refScreenY;
	for (ThemeLayerData& layer : m_fgLayers)
	{
		const float s = layer.scale * std::max(width / 1024.f, height / 768.f);
		const float step = 512.f * s;
		layer.scrollOffset = wrapped(layer.scrollOffset + layer.scrollStep, step);
		game::Sprite* sprite = m_resources->getSprite(layer.spriteName);
		if (sprite && s != 0.f)
		{
			rs.reset();
			rs.scale = math::float2(s, s);
			float x = -wrapped(dx * layer.parallaxSpeed * layer.xMult + layer.scrollOffset, step);
			if (x > 0.f)
				x -= step;
			// The layer stands on the screen's bottom edge, moved by its offset and the vertical camera.
			const float bottom = height + layer.offsetY * height / 768.f - dy * layer.parallaxSpeed * layer.yMult;
			const float y = bottom - static_cast<float>(sprite->getHeight() - sprite->getPivotY()) * s;
			const float pivotX = static_cast<float>(sprite->getPivotX());
			const bool single = !(step >= 1.f);
			do
			{
				sprite->draw(m_context, x / s + pivotX, y / s, PIVOT);
				x += step;
			} while (!single && x < width);
		}
		for (ThemeSpriteData& sp : layer.sprites)
		{
			if (sp.sprite)
				drawForegroundSprite(m_context, *sp.sprite, sp.angle, sp.mirrored, sp.scaleX * s, sp.scaleY * s,
					sp.x * m_simulationScale * s - dx * layer.parallaxSpeed, sp.y * m_simulationScale * s - dy * layer.parallaxSpeed);
		}
	}
	rs.reset();
}
