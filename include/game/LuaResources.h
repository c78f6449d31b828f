#ifndef GAME_LUARESOURCES_H
#define GAME_LUARESOURCES_H

#include <game/Resources.h>
#include <lua/LuaObject.h>
#include <functional>
#include <string>

namespace gr
{
class Context;
}

namespace game
{
/** The scripts' table "res": the content and audio registry's operations. */
class LuaResources : public lua::LuaObject
{
public:
	LuaResources(lua::LuaState* state, gr::Context* context);
	~LuaResources() override;

	Resources* getResources() { return &m_resources; }
	float getMasterVolume() const { return m_resources.getMasterVolume(); }

	// Content (LuaResources_Content.cpp).
	void setPath(const std::string& path) { m_resources.setPath(path); }
	int createSpriteSheet(lua::LuaState* state);
	int createCompoSpriteSet(lua::LuaState* state);
	int createBitmapFont(lua::LuaState* state);
	int createTextGroupSet(lua::LuaState* state);
	void captureSprite(const std::string& name);
	void releaseSpriteSheet(const std::string& file);
	void releaseCompoSpriteSet(const std::string& file);
	void releaseFont(const std::string& file);
	void releaseTextGroupSet(const std::string& file);
	int drawSprite(lua::LuaState* state);
	void setClipRect(float x, float y, float w, float h);
	int getClipRect(lua::LuaState* state);
	int getSpriteBounds(lua::LuaState* state);
	int getSpritePivot(lua::LuaState* state);
	int getCompoSpriteBounds(lua::LuaState* state);
	int getCompoSpriteData(lua::LuaState* state);
	/** Asks the opener set by the application; false without one. */
	bool openURL(const std::string& url);
	/** The application's URL opener: this library stays below the platform one. */
	void setURLOpener(std::function<bool(const std::string&)> opener) { m_urlOpener = std::move(opener); }

	// Text (LuaResources_Text.cpp).
	void loadLocale(const std::string& set, const std::string& locale);
	void useLocale(const std::string& locale);
	void useFont(const std::string& font);
	int drawString(lua::LuaState* state);
	std::string getString(const std::string& set, const std::string& id);
	float getStringWidth(const std::string& text);
	float getFontMaxAscending();
	float getFontMaxDescending();
	float getFontLeading();
	float getFontTracking();
	float getFontHeight();
	std::string getLocale();

	// Audio (LuaResources_Audio.cpp).
	void createAudioOutput(int channels, int bitsPerSample, int samplesPerSecond);
	void createAudioInput(int channels, int bitsPerSample, int samplesPerSecond);
	int createAudio(lua::LuaState* state);
	void createCompositeAudio(const std::string& id, const lua::LuaTable& ids);
	int playAudio(lua::LuaState* state);
	void stopAudio(const std::string& id);
	void stopAllAudio();
	int isAudioPlaying(lua::LuaState* state);
	void startAudioOutput();
	void stopAudioOutput();
	void startAudioInput();
	void stopAudioInput();
	void setMasterVolume(float volume);
	void setTrackVolume(float volume, int track);
	float getTrackVolume(int track);

private:
	Resources m_resources;
	std::function<bool(const std::string&)> m_urlOpener;

	int createContent(lua::LuaState* state, void (*create)(Resources&, const std::string&, bool));
	/** The name argument of the handlers that also take the colon form. */
	static std::string nameArgument(lua::LuaState* state);
};
}

#endif
