#include "GameLua.h"
#include "StandIn.h"

// Scene, themes, camera and view.
void GameLua::registerScene()
{
	registerMethod<&GameLua::setBGColor>("setBGColor", this);
	registerLuaMethod("getBGColor", this, &GameLua::getBGColorLua);
	standin::bind<void(std::string, std::string, float, float, float, float, float, float, float, bool, float, float)>(this, "createThemeSprite");
	standin::bind<void(std::string, float)>(this, "removeThemeSprite");
	standin::bind<void(std::string, float, float, float, float, float, float)>(this, "modifyThemeSprite");
	standin::bind<void(float)>(this, "rotateThemeSprites");
	standin::bind<void(std::string, std::string, float)>(this, "setThemeSprite");
	standin::bind<void(std::string, float)>(this, "setThemeOffsetY");
	standin::bind<void(std::string, float)>(this, "setSpriteRotation");
	standin::bind<void(std::string)>(this, "setDecorationObjects");
	standin::bind<void(float, float)>(this, "setTopLeft");
	standin::bind<void(float)>(this, "setMaxWorldScale");
	standin::bind<void(bool)>(this, "setEditing");
	standin::bind<void(float)>(this, "setWorldScale");
	standin::bind<void(float)>(this, "resetMouseWheelScale");
	standin::bind<void(int)>(this, "drawGameNative");
	standin::bind<void(float)>(this, "drawBackgroundNative");
	standin::bind<void(float)>(this, "drawLayer");
	standin::bind<void(std::string, std::string)>(this, "setSprite");
	standin::bind<void(std::string, bool)>(this, "setVisible");
	standin::bind<void(std::string, std::string)>(this, "setMaterial");
	standin::bind<void(std::string, std::string)>(this, "setTexture");
	standin::bind<void(std::string, float)>(this, "setTextureScale");
	standin::bind<void(std::string)>(this, "setTheme");
	standin::bind<void()>(this, "drawForegroundNative");
	standin::bind<void(bool)>(this, "setStartingCameraValue");
	standin::bind<void(float)>(this, "setCameraLimits");
	standin::bindRaw(this, "createThemeAnimation");
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
