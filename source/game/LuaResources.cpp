#include <game/LuaResources.h>

namespace game
{
LuaResources::LuaResources(lua::LuaState* state, gr::Context* context) : lua::LuaObject(state), m_resources(context)
{
	nameOperationsInErrors();
	registerMethod<&LuaResources::setPath>("setPath", this);
	registerLuaMethod<&LuaResources::createSpriteSheet>("createSpriteSheet", this);
	registerLuaMethod<&LuaResources::createCompoSpriteSet>("createCompoSpriteSet", this);
	registerLuaMethod<&LuaResources::createBitmapFont>("createBitmapFont", this);
	registerLuaMethod<&LuaResources::createTextGroupSet>("createTextGroupSet", this);
	registerMethod<&LuaResources::createAudioOutput>("createAudioOutput", this);
	registerMethod<&LuaResources::createAudioInput>("createAudioInput", this);
	registerLuaMethod<&LuaResources::createAudio>("createAudio", this);
	registerMethod<&LuaResources::createCompositeAudio>("createCompositeAudio", this);
	registerMethod<&LuaResources::captureSprite>("captureSprite", this);
	registerMethod<&LuaResources::releaseSpriteSheet>("releaseSpriteSheet", this);
	registerMethod<&LuaResources::releaseCompoSpriteSet>("releaseCompoSpriteSet", this);
	registerMethod<&LuaResources::releaseFont>("releaseFont", this);
	registerMethod<&LuaResources::releaseTextGroupSet>("releaseTextGroupSet", this);
	registerMethod<&LuaResources::loadLocale>("loadLocale", this);
	registerMethod<&LuaResources::useLocale>("useLocale", this);
	registerMethod<&LuaResources::useFont>("useFont", this);
	registerLuaMethod<&LuaResources::drawSprite>("drawSprite", this);
	registerLuaMethod<&LuaResources::drawSprite>("drawCompoSprite", this);
	registerLuaMethod<&LuaResources::drawString>("drawString", this);
	registerMethod<&LuaResources::setClipRect>("setClipRect", this);
	registerLuaMethod<&LuaResources::getClipRect>("getClipRect", this);
	registerMethod<&LuaResources::getString>("getString", this);
	registerLuaMethod<&LuaResources::playAudio>("playAudio", this);
	registerMethod<&LuaResources::stopAudio>("stopAudio", this);
	registerMethod<&LuaResources::stopAllAudio>("stopAllAudio", this);
	registerLuaMethod<&LuaResources::isAudioPlaying>("isAudioPlaying", this);
	registerLuaMethod<&LuaResources::getSpriteBounds>("getSpriteBounds", this);
	registerLuaMethod<&LuaResources::getSpritePivot>("getSpritePivot", this);
	registerLuaMethod<&LuaResources::getCompoSpriteBounds>("getCompoSpriteBounds", this);
	registerLuaMethod<&LuaResources::getCompoSpriteData>("getCompoSpriteData", this);
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
