#include <game/LuaResources.h>

namespace game
{
LuaResources::LuaResources(lua::LuaState* state, gr::Context* context) : lua::LuaObject(state), m_resources(context)
{
	nameOperationsInErrors();
	lua::OperationCatalogue::section("res", "res");
	registerMethod<&LuaResources::setPath>("setPath", this);
	registerLuaMethod<&LuaResources::createSpriteSheet>("createSpriteSheet", this, "file [, reload (boolean)]");
	registerLuaMethod<&LuaResources::createCompoSpriteSet>("createCompoSpriteSet", this, "file [, reload (boolean)]");
	registerLuaMethod<&LuaResources::createBitmapFont>("createBitmapFont", this, "file [, reload (boolean)]");
	registerLuaMethod<&LuaResources::createTextGroupSet>("createTextGroupSet", this, "file [, reload (boolean)]");
	registerMethod<&LuaResources::createAudioOutput>("createAudioOutput", this);
	registerMethod<&LuaResources::createAudioInput>("createAudioInput", this);
	registerLuaMethod<&LuaResources::createAudio>("createAudio", this,
		"file, id [, stream (boolean; true with 2 arguments)]");
	registerMethod<&LuaResources::createCompositeAudio>("createCompositeAudio", this);
	registerMethod<&LuaResources::captureSprite>("captureSprite", this);
	registerMethod<&LuaResources::releaseSpriteSheet>("releaseSpriteSheet", this);
	registerMethod<&LuaResources::releaseCompoSpriteSet>("releaseCompoSpriteSet", this);
	registerMethod<&LuaResources::releaseFont>("releaseFont", this);
	registerMethod<&LuaResources::releaseTextGroupSet>("releaseTextGroupSet", this);
	registerMethod<&LuaResources::loadLocale>("loadLocale", this);
	registerMethod<&LuaResources::useLocale>("useLocale", this);
	registerMethod<&LuaResources::useFont>("useFont", this);
	registerLuaMethod<&LuaResources::drawSprite>("drawSprite", this,
		"name, x, y [, anchor [, anchor [, width, height]]] (also with a leading self)");
	registerLuaMethod<&LuaResources::drawSprite>("drawCompoSprite", this,
		"name, x, y [, anchor [, anchor [, width, height]]] (also with a leading self)");
	registerLuaMethod<&LuaResources::drawString>("drawString", this, "set, id, x, y [, anchor [, anchor]] (4 to 6)");
	registerMethod<&LuaResources::setClipRect>("setClipRect", this);
	registerLuaMethod<&LuaResources::getClipRect>("getClipRect", this, "-> x, y, width, height");
	registerMethod<&LuaResources::getString>("getString", this);
	registerLuaMethod<&LuaResources::playAudio>("playAudio", this,
		"id [, volume [, loop [, track]]] -> handle (-1 for an unknown id)");
	registerMethod<&LuaResources::stopAudio>("stopAudio", this);
	registerMethod<&LuaResources::stopAllAudio>("stopAllAudio", this);
	registerLuaMethod<&LuaResources::isAudioPlaying>("isAudioPlaying", this,
		"id (string) or handle (number) -> boolean");
	registerLuaMethod<&LuaResources::getSpriteBounds>("getSpriteBounds", this,
		"name (also with a leading self) -> width, height");
	registerLuaMethod<&LuaResources::getSpritePivot>("getSpritePivot", this,
		"name (also with a leading self) -> pivotX, pivotY");
	registerLuaMethod<&LuaResources::getCompoSpriteBounds>("getCompoSpriteBounds", this,
		"name (also with a leading self) -> left, top, right, bottom");
	registerLuaMethod<&LuaResources::getCompoSpriteData>("getCompoSpriteData", this, "name -> {{sprite, x, y}, ...}");
	registerMethod<&LuaResources::getStringWidth>("getStringWidth", this);
	registerMethod<&LuaResources::getFontMaxAscending>("getFontMaxAscending", this);
	registerMethod<&LuaResources::getFontMaxDescending>("getFontMaxDescending", this);
	registerMethod<&LuaResources::getFontLeading>("getFontLeading", this);
	registerMethod<&LuaResources::getFontTracking>("getFontTracking", this);
	registerMethod<&LuaResources::getFontHeight>("getFontHeight", this);
	registerMethod<&LuaResources::getLocale>("getLocale", this);
	registerMethod<&LuaResources::startAudioOutput>("startAudioOutput", this);
	registerMethod<&LuaResources::stopAudioOutput>("stopAudioOutput", this);
	registerMethod<&LuaResources::startAudioInput>("startAudioInput", this);
	registerMethod<&LuaResources::stopAudioInput>("stopAudioInput", this);
	registerMethod<&LuaResources::setMasterVolume>("setMasterVolume", this);
	registerMethod<&LuaResources::setTrackVolume>("setTrackVolume", this);
	registerMethod<&LuaResources::getTrackVolume>("getTrackVolume", this);
	registerMethod<&LuaResources::openURL>("openURL", this);
	state->globals().setTable("res", *this);
}

LuaResources::~LuaResources() = default;
}
