#include "GameLua.h"
#include "GameApp.h"
#include "PhysicsChecks.h"
#include "SceneTables.h"
#include <cmath>

using physics::scriptError;

// Scene, themes, camera and view.
void GameLua::registerScene()
{
	registerMethod<&GameLua::setBGColor>("setBGColor", this);
	registerLuaMethod("getBGColor", this, &GameLua::getBGColorLua, "-> r, g, b (0..255)");
	registerMethod<&GameLua::createThemeSprite>("createThemeSprite", this);
	registerMethod<&GameLua::removeThemeSprite>("removeThemeSprite", this);
	registerMethod<&GameLua::modifyThemeSprite>("modifyThemeSprite", this);
	registerMethod<&GameLua::rotateThemeSprites>("rotateThemeSprites", this);
	registerMethod<&GameLua::setThemeSprite>("setThemeSprite", this);
	registerMethod<&GameLua::setThemeOffsetY>("setThemeOffsetY", this);
	registerMethod<&GameLua::setSpriteRotation>("setSpriteRotation", this);
	registerMethod<&GameLua::setDecorationObjects>("setDecorationObjects", this);
	registerMethod<&GameLua::setTopLeft>("setTopLeft", this);
	registerMethod<&GameLua::setMaxWorldScale>("setMaxWorldScale", this);
	registerMethod<&GameLua::setEditing>("setEditing", this);
	registerMethod<&GameLua::setWorldScale>("setWorldScale", this);
	registerMethod<&GameLua::resetMouseWheelScale>("resetMouseWheelScale", this);
	registerMethod<&GameLua::drawGameNative>("drawGameNative", this);
	registerMethod<&GameLua::drawBackgroundNative>("drawBackgroundNative", this);
	registerMethod<&GameLua::drawLayer>("drawLayer", this);
	registerMethod<&GameLua::setSprite>("setSprite", this);
	registerMethod<&GameLua::setVisible>("setVisible", this);
	registerMethod<&GameLua::setMaterial>("setMaterial", this);
	registerMethod<&GameLua::setTexture>("setTexture", this);
	registerMethod<&GameLua::setTextureScale>("setTextureScale", this);
	registerMethod<&GameLua::setTheme>("setTheme", this);
	registerMethod<&GameLua::drawForegroundNative>("drawForegroundNative", this);
	registerMethod<&GameLua::setStartingCameraValue>("setStartingCameraValue", this);
	registerMethod<&GameLua::setCameraLimits>("setCameraLimits", this);
	registerLuaMethod("createThemeAnimation", this, &GameLua::createThemeAnimation,
		"table {name, animation = {frame sprite names}, layer, spriteName, x, y, scaleX, scaleY, angle, "
		"velX, velY, scaleSpeed, animDelay, startAnimTimer, startingDelay, isAnimation, bLoop}");
	registerMethod<&GameLua::drawForeground>("drawForeground", this);
}

namespace
{
unsigned channel(float v)
{
	if (!(v > 0.f))
		return 0;
	if (v > 255.f)
		return 255;
	return static_cast<unsigned>(v);
}
}

void GameLua::setBGColor(float r, float g, float b)
{
	m_bgColor = channel(r) << 16 | channel(g) << 8 | channel(b);
}

int GameLua::getBGColorLua(lua::LuaState* state)
{
	state->pushNumber(static_cast<float>(m_bgColor >> 16 & 0xFF));
	state->pushNumber(static_cast<float>(m_bgColor >> 8 & 0xFF));
	state->pushNumber(static_cast<float>(m_bgColor & 0xFF));
	return 3;
}

// --- Camera and view ----------------------------------------------------------------

void GameLua::setTopLeft(float x, float y)
{
	m_cameraX = x;
	m_cameraY = y;
}

void GameLua::setWorldScale(float s)
{
	m_worldScale = s;
	m_app->setScriptWorldScale(s);
}

void GameLua::setMaxWorldScale(float s)
{
	m_app->setMaxWheelZoom(s);
}

void GameLua::resetMouseWheelScale(float s)
{
	m_app->resetWheelZoom(s);
}

void GameLua::setStartingCameraValue(bool flag)
{
	m_startingCameraSet = flag;
}

void GameLua::captureReference()
{
	const float h = static_cast<float>(m_context->height());
	if (!m_referenceFactorsCaptured)
	{
		m_refFactorH = h / 768.f;
		m_referenceFactorsCaptured = true;
	}
	if (!m_startingCameraSet)
	{
		const lua::LuaTable screen = scene::table(getState(), *this, "screen");
		m_refScreenX = scene::number(screen, "x", 0.f);
		m_refScreenY = scene::number(screen, "y", 0.f);
		m_refWorldScale = m_worldScale;
		m_startingCameraSet = true;
	}
}

// --- Objects ------------------------------------------------------------------------

void GameLua::resolveObjectSprite(RenderObjectData& record)
{
	record.compound = false;
	record.compoSprite = nullptr;
	record.sprite = nullptr;
	record.sheetKey = nullptr;
	if (record.spriteName.empty() || !m_resources)
		return;
	if (game::CompoSprite* compo = m_resources->getCompoSprite(record.spriteName))
	{
		record.compound = true;
		record.compoSprite = compo;
		// A composite without parts has no sheet to group it under.
		if (compo->getSpriteCount() > 0 && compo->getSpriteEntry(0).sprite)
			record.sheetKey = compo->getSpriteEntry(0).sprite->getSheet();
		return;
	}
	record.sprite = m_resources->getSprite(record.spriteName);
	if (record.sprite)
		record.sheetKey = record.sprite->getSheet();
}

void GameLua::setSprite(const std::string& name, const std::string& spriteName)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	const void* oldKey = record.sheetKey;
	record.spriteName = spriteName;
	resolveObjectSprite(record);
	if (record.sheetKey == oldKey || record.name == "ground")
		return;
	auto level = m_zOrder.find(lua::detail::numberToInt(record.zOrder));
	if (level == m_zOrder.end())
		return;
	auto group = level->second.find(oldKey);
	if (group == level->second.end())
		return;
	std::vector<std::string>& names = group->second;
	for (auto it = names.begin(); it != names.end(); ++it)
	{
		if (*it == name)
		{
			names.erase(it);
			if (names.empty())
				level->second.erase(group);
			level->second[record.sheetKey].push_back(name);
			break;
		}
	}
}

void GameLua::setVisible(const std::string& name, bool flag)
{
	objectOrThrow(name, "Body not found!").visible = flag;
}

void GameLua::setMaterial(const std::string& name, const std::string& material)
{
	static const char* const names[] = {"wood", "rock", "light", "propeller", "immovable"};
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	for (int i = 0; i < 5; ++i)
		if (material == names[i])
			record.material = i + 1;
}

void GameLua::setTexture(const std::string& name, const std::string& textureName)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	record.textureName = textureName;
	game::SpriteSheet* sheet = m_resources ? m_resources->getSpriteSheet(textureName) : nullptr;
	record.textureImage = sheet ? sheet->getImage() : nullptr;
}

void GameLua::setTextureScale(const std::string& name, float s)
{
	objectOrThrow(name, "Body not found!").textureScale = s;
}

void GameLua::setSpriteRotation(const std::string& name, float angle)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	const float a = std::fmod(physics::finite(angle, "angle", name), 2.f * static_cast<float>(M_PI));
	record.spriteAngle = a;
	record.table.setNumber("spriteAngle", a);
}

void GameLua::setDecorationObjects(const std::string& name)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	lua::LuaState* state = getState();
	const lua::LuaTable entry = scene::table(state, scene::table(state, m_objects, "world"), name);
	const lua::LuaTable blocks = scene::table(state, m_blockTable, "blocks");
	const std::string definition = scene::text(entry, "definition");
	const lua::LuaTable block = definition.empty() ? lua::LuaTable(state) : scene::table(state, blocks, definition);
	const lua::LuaTable decorations = scene::table(state, block, "decorations");
	std::unique_ptr<Decoration> decoration(new Decoration());
	decoration->amount = lua::detail::numberToInt(scene::number(decorations, "amount", 0.f));
	const std::string sprite = scene::text(decorations, "sprite");
	decoration->sprite = sprite.empty() || !m_resources ? nullptr : m_resources->getSprite(sprite);
	decoration->angleIncrement = scene::number(decorations, "angleIncrement", 0.f);
	decoration->scale = scene::number(decorations, "scale", 0.f);
	record.decoration = std::move(decoration);
	record.decorated = true;
}
