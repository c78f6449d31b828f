#ifndef GAME_RESOURCES_H
#define GAME_RESOURCES_H

#include <audio/AudioConfiguration.h>
#include <game/Anchor.h>
#include <game/SpriteProvider.h>
#include <gr/Rect.h>
#include <io/PathName.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <map>
#include <string>
#include <vector>

namespace gr
{
class Context;
}

namespace audio
{
class AudioClip;
class AudioInput;
class AudioOutput;
}

namespace game
{
class BitmapFont;
class CompoSprite;
class CompoSpriteSet;
class IFont;
class Sprite;
class SpriteSheet;
class TextGroupSet;

/**
 * The game's cache of 2-D content and audio. Resources loaded from files are
 * kept under the file's base name; sheet sprites and composites share one
 * registry of drawable names.
 */
class Resources : public lang::Object, public SpriteProvider
{
public:
	struct SpriteEntry
	{
		enum
		{
			SPRITE = 1,
			COMPOSITE = 2
		};
		int type;
		std::string owner;
		void* object;
	};

	explicit Resources(gr::Context* context);
	~Resources() override;

	Resources(const Resources&) = delete;
	Resources& operator=(const Resources&) = delete;

	// Loading; reload false keeps a resource already loaded under the key.
	SpriteSheet* createSpriteSheet(const std::string& name, bool reload);
	CompoSpriteSet* createCompoSpriteSet(const std::string& name, bool reload);
	IFont* createBitmapFont(const std::string& name, bool reload);
	TextGroupSet* createTextGroupSet(const std::string& name, bool reload);
	void addSpriteSheet(const std::string& key, SpriteSheet* sheet);
	/** Copies the screen into the sheet of that key, or into a new one-sprite sheet. */
	void captureSprite(const std::string& key);
	audio::AudioOutput* createAudioOutput(const audio::AudioConfiguration& config);
	audio::AudioInput* createAudioInput(const audio::AudioConfiguration& config);
	audio::AudioClip* createAudio(const std::string& fileName, const std::string& id, bool stream);
	/** Needs at least one clip: a composite clip without parts is refused. */
	audio::AudioClip* createCompositeAudio(const std::string& id, const std::vector<lang::Ptr<audio::AudioClip>>& clips);

	// Releasing; an unknown key does nothing.
	void releaseSpriteSheet(const std::string& name);
	void releaseCompoSpriteSet(const std::string& name);
	/** Releasing the current font's key clears the current font. */
	void releaseFont(const std::string& name);
	void releaseTextGroupSet(const std::string& name);

	// Text and fonts.
	void loadLocale(const std::string& setKey, const std::string& locale);
	void useLocale(const std::string& locale) { m_locale = locale; }
	const std::string& getLocale() const { return m_locale; }
	void useFont(const std::string& key);
	IFont* getFont() const { return m_font; }
	std::string getString(const std::string& setKey, const std::string& id);
	void drawString(const std::string& setKey, const std::string& id, float x, float y, Anchor anchor);
	int getStringWidth(const std::string& text, int begin, int count);
	int getFontMaxAscending();
	int getFontMaxDescending();
	int getFontLeading();
	int getFontTracking();
	int getFontHeight();

	// Sprites.
	Sprite* getSprite(const std::string& name) override;
	CompoSprite* getCompoSprite(const std::string& name);
	SpriteSheet* getSpriteSheet(const std::string& key);
	SpriteSheet* findSpriteSheet(const std::string& name);
	CompoSpriteSet* findCompoSpriteSet(const std::string& name);
	void drawSprite(const std::string& name, float x, float y, Anchor anchor);
	void drawSprite(const std::string& name, float x, float y, float w, float h, Anchor anchor);
	int getSpriteWidth(const std::string& name);
	int getSpriteHeight(const std::string& name);
	int getSpritePivotX(const std::string& name);
	int getSpritePivotY(const std::string& name);
	/** The registry entry of a drawable name, or null. */
	const SpriteEntry* findEntry(const std::string& name) const;
	void setClipRect(const gr::Rect& rect);
	const gr::Rect& getClipRect() const { return m_clipRect; }

	// Audio.
	int playAudio(const std::string& id, float volume, bool loop, int track);
	void stopAudio(const std::string& id);
	void stopAllAudio();
	bool isAudioPlaying(const std::string& id);
	bool isAudioPlaying(int handle);
	void startAudioOutput();
	void stopAudioOutput();
	void startAudioInput();
	void stopAudioInput();
	void setMasterVolume(float volume);
	float getMasterVolume() const;
	audio::AudioOutput* getAudioOutput() const { return m_audioOutput; }
	audio::AudioInput* getAudioInput() const { return m_audioInput; }
	audio::AudioClip* getAudioClip(const std::string& id) const;

	void setPath(const std::string& path) { m_path = io::PathName(path); }
	gr::Context* getContext() const { return m_context; }

private:
	gr::Context* m_context;
	gr::Rect m_clipRect;
	lang::Ptr<audio::AudioOutput> m_audioOutput;
	lang::Ptr<audio::AudioInput> m_audioInput;
	IFont* m_font;
	std::string m_fontKey;
	io::PathName m_path;
	std::string m_locale;
	std::map<std::string, lang::Ptr<TextGroupSet>> m_textGroupSets;
	std::map<std::string, lang::Ptr<SpriteSheet>> m_spriteSheets;
	std::map<std::string, lang::Ptr<CompoSpriteSet>> m_compoSpriteSets;
	std::map<std::string, lang::Ptr<IFont>> m_fonts;
	std::map<std::string, lang::Ptr<audio::AudioClip>> m_audioClips;
	std::map<std::string, SpriteEntry> m_sprites;

	std::string pathOf(const std::string& name) const;
	IFont* currentFont(const char* action) const;
	void registerSheet(const std::string& key, SpriteSheet* sheet);
	void unregisterSheet(SpriteSheet* sheet);
	void storeClip(const std::string& id, audio::AudioClip* clip);
};

/** The key of a file name: its last component without the suffix. */
std::string resourceKey(const std::string& fileName);
}

#endif
