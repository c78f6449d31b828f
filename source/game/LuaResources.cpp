#include <game/LuaResources.h>

namespace game
{
LuaResources::LuaResources(lua::LuaState* state, gr::Context* context) : lua::LuaObject(state), m_resources(context)
{
	nameOperationsInErrors();
	registerMethod<&LuaResources::setPath>("setPath", this);
	registerLuaMethod("createSpriteSheet", this, &LuaResources::createSpriteSheet);
	registerLuaMethod("createCompoSpriteSet", this, &LuaResources::createCompoSpriteSet);
	registerLuaMethod("createBitmapFont", this, &LuaResources::createBitmapFont);
	registerLuaMethod("createTextGroupSet", this, &LuaResources::createTextGroupSet);
	registerMethod<&LuaResources::createAudioOutput>("createAudioOutput", this);
	registerMethod<&LuaResources::createAudioInput>("createAudioInput", this);
	registerLuaMethod("createAudio", this, &LuaResources::createAudio);
	registerMethod<&LuaResources::createCompositeAudio>("createCompositeAudio", this);
	registerMethod<&LuaResources::captureSprite>("captureSprite", this);
	registerMethod<&LuaResources::releaseSpriteSheet>("releaseSpriteSheet", this);
	registerMethod<&LuaResources::releaseCompoSpriteSet>("releaseCompoSpriteSet", this);
	registerMethod<&LuaResources::releaseFont>("releaseFont", this);
	registerMethod<&LuaResources::releaseTextGroupSet>("releaseTextGroupSet", this);
	registerMethod<&LuaResources::loadLocale>("loadLocale", this);
	registerMethod<&LuaResources::useLocale>("useLocale", this);
	registerMethod<&LuaResources::useFont>("useFont", this);
	registerLuaMethod("drawSprite", this, &LuaResources::drawSprite);
	registerLuaMethod("drawCompoSprite", this, &LuaResources::drawSprite);
	registerLuaMethod("drawString", this, &LuaResources::drawString);
	registerMethod<&LuaResources::setClipRect>("setClipRect", this);
	registerLuaMethod("getClipRect", this, &LuaResources::getClipRect);
	registerMethod<&LuaResources::getString>("getString", this);
	registerLuaMethod("playAudio", this, &LuaResources::playAudio);
	registerMethod<&LuaResources::stopAudio>("stopAudio", this);
	registerMethod<&LuaResources::stopAllAudio>("stopAllAudio", this);
	registerLuaMethod("isAudioPlaying", this, &LuaResources::isAudioPlaying);
	registerLuaMethod("getSpriteBounds", this, &LuaResources::getSpriteBounds);
	registerLuaMethod("getSpritePivot", this, &LuaResources::getSpritePivot);
	registerLuaMethod("getCompoSpriteBounds", this, &LuaResources::getCompoSpriteBounds);
	registerLuaMethod("getCompoSpriteData", this, &LuaResources::getCompoSpriteData);
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
