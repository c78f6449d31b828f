#ifndef GAME_SPRITESHEET_H
#define GAME_SPRITESHEET_H

#include <game/Sprite.h>
#include <gr/Image.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <map>
#include <string>

namespace gr
{
class Context;
}

namespace game
{
/** One image with its named sprites, loaded from a content file ("SPRT" chunks or the untagged layout). */
class SpriteSheet : public lang::Object
{
public:
	/** An empty sheet over an existing image. */
	explicit SpriteSheet(gr::Image* image);
	/** Loads a sheet file of the bundle; its image is looked up beside it. */
	SpriteSheet(gr::Context* context, const std::string& fileName);
	/** Detaches the sprites, which keep drawing from their image. */
	~SpriteSheet() override;

	/** Makes a sprite and stores it under its name, replacing (and detaching) any sprite of that name. */
	Sprite* createSprite(const std::string& name, int x, int y, int width, int height, int pivotX, int pivotY);
	/** The sprite or null. */
	Sprite* getSprite(const std::string& name) const;
	gr::Image* getImage() const { return m_image; }
	const std::map<std::string, lang::Ptr<Sprite>>& getSprites() const { return m_sprites; }

private:
	lang::Ptr<gr::Image> m_image;
	std::map<std::string, lang::Ptr<Sprite>> m_sprites;

	SpriteSheet(const SpriteSheet&) = delete;
	SpriteSheet& operator=(const SpriteSheet&) = delete;
};
}

#endif
