#include "GameLua.h"
#include "StandIn.h"

// Immediate drawing for scripts and the masked image.
void GameLua::registerDrawing()
{
	standin::bind<void(float, float, float, float, float, std::string)>(this, "drawRubberband");
	standin::bindRaw(this, "drawUITextNative");
	standin::bindRaw(this, "renderGravityVisualsNative");
	standin::bind<void(std::string, std::string, float, float, float, float, float, float, float)>(this, "drawString3D");
	standin::bind<void(std::string, std::string, float, float, float, float)>(this, "drawSelectedTexturizedObject");
	standin::bind<void(float, float, float, float, float, float, float, float, bool)>(this, "drawRect");
	standin::bind<void(std::string, float, float, float, float, bool)>(this, "drawTexturedRect");
	standin::bindRaw(this, "setRenderState");
	standin::bind<void(std::string, float, float, float, float, float, float, float, float, float)>(this, "drawTexturedLine2D");
	standin::bind<void(float, float, float, float, float, float, float, float, float)>(this, "drawLine2D");
	standin::bind<void(float, float, float, float, float, float, float, float, float)>(this, "drawRectLines");
	standin::bind<void(std::string, float, float)>(this, "drawCompoSprite");
	standin::bind<void(std::string, std::string, float)>(this, "clipText");
	standin::bindRaw(this, "drawBoxNative");
	standin::bind<void(std::string, int, int, int, int, int, int, int, int, float)>(this, "renderMaskedImageNative");
}
