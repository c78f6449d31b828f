#include "GameLua.h"
#include "PhysicsChecks.h"
#include "SceneTables.h"
#include <gr/Context.h>
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>

using physics::scriptError;

// Theme layers and their sprites: loading, motion and the script operations on them.
namespace
{
void readCommonLayerKeys(const lua::LuaTable& e, GameLua::ThemeLayerData& layer)
{
	layer.bgLayer = scene::boolean(e, "bgLayer", false);
	layer.horizontalRepetition = scene::boolean(e, "horizontalRepetition", false);
	layer.verticalRepetition = scene::boolean(e, "verticalRepetition", false);
	layer.velX = scene::number(e, "velX", 0.f);
	layer.velY = scene::number(e, "velY", 0.f);
	layer.posX = scene::number(e, "posX", 0.f);
	layer.posY = scene::number(e, "posY", 0.f);
	layer.offsetX = scene::number(e, "offsetX", 0.f);
	layer.offsetY = scene::number(e, "offsetY", 0.f);
	layer.scaleSpeed = scene::number(e, "scaleSpeed", 1.f);
}

int16_t clampShort(int v)
{
	return static_cast<int16_t>(std::max(-32768, std::min(32767, v)));
}

const float TWO_PI = 2.f * static_cast<float>(M_PI);
}

void GameLua::setTheme(const std::string& name)
{
	lua::LuaState* state = getState();
	const lua::LuaTable theme = scene::table(state, scene::table(state, *this, "themes"), name);
	const lua::LuaTable sky = scene::table(state, theme, "skyColor");
	const lua::LuaTable ground = scene::table(state, theme, "groundColor");
	static const char* const rgb[] = {"r", "g", "b"};
	for (int i = 0; i < 3; ++i)
	{
		m_skyColor[i] = scene::number(sky, rgb[i], 0.f);
		m_groundColor[i] = scene::number(ground, rgb[i], 0.f);
	}
	m_bgLayers.clear();
	m_fgLayers.clear();

	const lua::LuaTable bg = scene::table(state, theme, "bgLayers");
	for (int i = 1; bg.isTable(i); ++i)
	{
		const lua::LuaTable e = bg.getTable(i);
		ThemeLayerData layer;
		layer.spriteName = scene::text(e, "sprite");
		layer.bLoop = scene::boolean(e, "bLoop", true);
		layer.zDistance = scene::number(e, "zDistance", 0.f);
		layer.xMult = scene::number(e, "xMult", 1.f);
		layer.yMult = scene::number(e, "yMult", 1.f);
		layer.angleMult = scene::number(e, "angleMult", 0.f);
		layer.parallaxSpeed = scene::number(e, "parallaxSpeed", 1.f);
		layer.scale = scene::number(e, "scale", 1.f);
		layer.scrollStep = scene::number(e, 5, 0.f);
		readCommonLayerKeys(e, layer);
		layer.spriteWidth = clampShort(m_resources->getSpriteWidth(layer.spriteName));
		layer.spriteHeight = clampShort(m_resources->getSpriteHeight(layer.spriteName));
		layer.pivotX = clampShort(m_resources->getSpritePivotX(layer.spriteName));
		layer.emptySprite = layer.spriteName.empty();
		m_bgLayers.push_back(std::move(layer));
	}

	const lua::LuaTable fg = scene::table(state, theme, "fgLayers");
	for (int i = 1; fg.isTable(i); ++i)
	{
		const lua::LuaTable e = fg.getTable(i);
		ThemeLayerData layer;
		layer.secondaryName = scene::text(e, 1);
		layer.spriteName = scene::text(e, 2);
		layer.parallaxSpeed = scene::number(e, 3, 1.f);
		layer.scale = scene::number(e, 4, 1.f);
		layer.scrollStep = scene::number(e, 5, 0.f);
		readCommonLayerKeys(e, layer);
		layer.spriteWidth = clampShort(m_resources->getSpriteWidth(layer.spriteName));
		layer.spriteHeight = clampShort(m_resources->getSpriteHeight(layer.spriteName));
		layer.pivotX = clampShort(m_resources->getSpritePivotX(layer.spriteName));
		layer.pivotY = clampShort(m_resources->getSpritePivotY(layer.spriteName));
		layer.emptySprite = layer.spriteName.empty();
		m_fgLayers.push_back(std::move(layer));
	}
}

void GameLua::setThemeOffsetY(const std::string& themeName, float offset)
{
	lua::LuaState* state = getState();
	const lua::LuaTable theme = scene::table(state, scene::table(state, *this, "themes"), themeName);
	const lua::LuaTable bg = scene::table(state, theme, "bgLayers");
	const float height = static_cast<float>(m_context->height());
	for (size_t i = 0; i < m_bgLayers.size(); ++i)
	{
		const int index = static_cast<int>(i) + 1;
		if (!bg.isTable(index))
			continue;
		const lua::LuaTable e = bg.getTable(index);
		ThemeLayerData& layer = m_bgLayers[i];
		const float v = layer.sprites.empty() && height > 0.f ? offset * 768.f / height : offset;
		layer.offsetY = scene::number(e, "offsetY", 0.f) + v;
	}
}

GameLua::ThemeLayerData* GameLua::themeLayer(float index)
{
	if (!(index > -1.f) || !(index < 1e9f))
		return nullptr;
	const size_t i = static_cast<size_t>(static_cast<int>(index));
	if (i < m_bgLayers.size())
		return &m_bgLayers[i];
	if (i - m_bgLayers.size() < m_fgLayers.size())
		return &m_fgLayers[i - m_bgLayers.size()];
	return nullptr;
}

void GameLua::moveLayerSprites(float dt)
{
	const float width = static_cast<float>(m_context->width()), height = static_cast<float>(m_context->height());
	const float s = m_simulationScale;
	for (int pass = 0; pass < 2; ++pass)
	{
		const bool background = pass == 0;
		for (ThemeLayerData& layer : background ? m_bgLayers : m_fgLayers)
		{
			layer.posX += layer.velX * dt;
			layer.posY += layer.velY * dt;
			for (size_t i = 0; i < layer.sprites.size();)
			{
				ThemeSpriteData& sp = layer.sprites[i];
				sp.x += sp.velX * dt;
				sp.y += sp.velY * dt;
				if (sp.scaleX + sp.scaleSpeed * dt > 0.f)
				{
					sp.scaleX += sp.scaleSpeed * dt;
					sp.scaleY += sp.scaleSpeed * dt;
				}
				if (background && sp.animated)
				{
					if (sp.frameTimer <= 0.f)
					{
						sp.frameTimer = sp.frameDelay;
						if (++sp.frame >= static_cast<int>(sp.animation.size()))
						{
							if (!sp.loop)
							{
								layer.sprites.erase(layer.sprites.begin() + static_cast<std::ptrdiff_t>(i));
								continue;
							}
							sp.frame = 0;
						}
						sp.spriteName = sp.animation[static_cast<size_t>(sp.frame)];
						sp.sprite = m_resources->getSprite(sp.spriteName);
					}
					else
						sp.frameTimer -= dt;
				}
				if (!background)
				{
					const float wrapX = 4.f * width / s, placeX = 2.5f * width / s, wrapY = height / s;
					if (std::fabs(sp.x - sp.startX) > wrapX)
						sp.x = sp.velX <= 0.f ? sp.startX + placeX : sp.startX - placeX;
					if (std::fabs(sp.y - sp.startY) > wrapY)
						sp.y = sp.velY <= 0.f ? sp.startY + wrapY : sp.startY - wrapY;
				}
				++i;
			}
		}
	}
}

void GameLua::rotateThemeSprites(float dt)
{
	for (std::vector<ThemeLayerData>* layers : {&m_bgLayers, &m_fgLayers})
		for (ThemeLayerData& layer : *layers)
			for (ThemeSpriteData& sp : layer.sprites)
			{
				float a = std::fmod(sp.angle + sp.angularSpeed * dt, TWO_PI);
				if (a < 0.f)
					a += TWO_PI;
				sp.angle = a;
			}
}

void GameLua::createThemeSprite(const std::string& name, const std::string& spriteName, float x, float y,
	float scaleX, float scaleY, float angle, float layerIndex, float scaleSpeed, bool mirrored, float velX, float velY)
{
	ThemeLayerData* layer = themeLayer(layerIndex);
	if (!layer)
		scriptError("Theme layer not found", name + ": " + std::to_string(layerIndex));
	ThemeSpriteData sp;
	sp.name = name;
	sp.spriteName = spriteName;
	sp.sprite = m_resources->getSprite(spriteName);
	sp.originX = sp.x = sp.startX = x;
	sp.originY = sp.y = sp.startY = y;
	sp.scaleX = scaleX;
	sp.scaleY = scaleY;
	sp.angle = angle;
	sp.scaleSpeed = scaleSpeed;
	sp.mirrored = mirrored;
	sp.velX = velX;
	sp.velY = velY;
	layer->sprites.push_back(std::move(sp));
}

int GameLua::createThemeAnimation(lua::LuaState* state)
{
	if (state->top() < 1 || !state->isTable(1))
		scriptError("createThemeAnimation needs a table", "createThemeAnimation");
	const lua::LuaTable t = state->toTable(1);
	const std::string name = scene::text(t, "name");
	const lua::LuaTable frames = scene::table(state, t, "animation");
	ThemeSpriteData sp;
	for (int i = 1; frames.isString(i); ++i)
		sp.animation.push_back(frames.getString(i));
	// The motion pass indexes the frame list: an animation needs at least one frame.
	if (sp.animation.empty())
		scriptError("The theme animation has no frame names in \"animation\"", name);
	ThemeLayerData* layer = themeLayer(scene::number(t, "layer", 0.f));
	if (!layer)
		scriptError("Theme layer not found", name);
	sp.name = name;
	sp.spriteName = scene::text(t, "spriteName");
	if (sp.spriteName.empty())
		sp.spriteName = sp.animation.front();
	sp.sprite = m_resources->getSprite(sp.spriteName);
	sp.originX = sp.x = sp.startX = scene::number(t, "x", 0.f);
	sp.originY = sp.y = sp.startY = scene::number(t, "y", 0.f);
	sp.scaleX = scene::number(t, "scaleX", 1.f);
	sp.scaleY = scene::number(t, "scaleY", 1.f);
	sp.angle = scene::number(t, "angle", 0.f);
	sp.velX = scene::number(t, "velX", 0.f);
	sp.velY = scene::number(t, "velY", 0.f);
	sp.scaleSpeed = scene::number(t, "scaleSpeed", 0.f);
	sp.frameDelay = scene::number(t, "animDelay", 0.f);
	sp.frameTimer = scene::number(t, "startAnimTimer", 0.f) + scene::number(t, "startingDelay", 0.f);
	sp.animated = scene::boolean(t, "isAnimation", true);
	sp.loop = scene::boolean(t, "bLoop", true);
	layer->sprites.push_back(std::move(sp));
	return 0;
}

namespace
{
GameLua::ThemeSpriteData* findThemeSprite(GameLua::ThemeLayerData* layer, const std::string& name)
{
	if (!layer)
		return nullptr;
	for (GameLua::ThemeSpriteData& sp : layer->sprites)
		if (sp.name == name)
			return &sp;
	return nullptr;
}
}

void GameLua::removeThemeSprite(const std::string& name, float layerIndex)
{
	ThemeLayerData* layer = themeLayer(layerIndex);
	if (ThemeSpriteData* sp = findThemeSprite(layer, name))
		layer->sprites.erase(layer->sprites.begin() + (sp - layer->sprites.data()));
}

void GameLua::modifyThemeSprite(const std::string& name, float x, float y, float scaleX, float scaleY, float angle,
	float layerIndex)
{
	if (ThemeSpriteData* sp = findThemeSprite(themeLayer(layerIndex), name))
	{
		sp->x = x;
		sp->y = y;
		sp->scaleX = scaleX;
		sp->scaleY = scaleY;
		sp->angle = angle;
	}
}

void GameLua::setThemeSprite(const std::string& name, const std::string& spriteName, float layerIndex)
{
	if (ThemeSpriteData* sp = findThemeSprite(themeLayer(layerIndex), name))
	{
		sp->spriteName = spriteName;
		sp->sprite = m_resources->getSprite(spriteName);
	}
}
