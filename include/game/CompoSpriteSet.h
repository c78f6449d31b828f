#ifndef GAME_COMPOSPRITESET_H
#define GAME_COMPOSPRITESET_H

#include <game/CompoSprite.h>
#include <game/SpriteProvider.h>
#include <io/InputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <map>
#include <string>

namespace game
{
/** The composites of one content file ("COMP" chunks, versions 1 and 2), by name. */
class CompoSpriteSet : public lang::Object
{
public:
	/** Reads the stream whole; part sprites are resolved through the provider (not null). */
	CompoSpriteSet(io::InputStream& in, SpriteProvider* provider);
	~CompoSpriteSet() override;

	/** The composite or null. */
	CompoSprite* getCompoSprite(const std::string& name) const;
	const std::map<std::string, lang::Ptr<CompoSprite>>& getCompoSprites() const { return m_compos; }

private:
	std::map<std::string, lang::Ptr<CompoSprite>> m_compos;
};
}

#endif
