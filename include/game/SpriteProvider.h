#ifndef GAME_SPRITEPROVIDER_H
#define GAME_SPRITEPROVIDER_H

#include <string>

namespace game
{
class Sprite;

/** Resolves sprite names while composite files are read. */
class SpriteProvider
{
public:
	virtual ~SpriteProvider() {}
	/** The sprite, or null when unknown. */
	virtual Sprite* getSprite(const std::string& name) = 0;
};
}

#endif
