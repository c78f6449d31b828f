#pragma once
#include <game/Anchor.h>
#include <game/CompoSprite.h>
#include <game/Resources.h>
#include <game/Sprite.h>
#include <string>

// A registry name looked up once for a run of draws of the same sprite or composite:
// the name lookup costs more than the draw itself. An unknown or empty name draws nothing.
class RegistrySprite
{
public:
	RegistrySprite(game::Resources& resources, const std::string& name) :
		m_entry(name.empty() ? nullptr : resources.findEntry(name))
	{
	}

	explicit operator bool() const { return m_entry != nullptr; }

	void draw(gr::Context* context, float x, float y, game::Anchor anchor) const
	{
		if (!m_entry)
			return;
		if (m_entry->type == game::Resources::SpriteEntry::SPRITE)
			static_cast<game::Sprite*>(m_entry->object)->draw(context, x, y, anchor);
		else if (m_entry->type == game::Resources::SpriteEntry::COMPOSITE)
			static_cast<game::CompoSprite*>(m_entry->object)->draw(context, x, y, anchor);
	}

	float width() const { return m_entry ? float(isSprite() ? sprite()->getWidth() : compo()->getWidth()) : 0.f; }
	float height() const { return m_entry ? float(isSprite() ? sprite()->getHeight() : compo()->getHeight()) : 0.f; }

private:
	const game::Resources::SpriteEntry* m_entry;

	bool isSprite() const { return m_entry->type == game::Resources::SpriteEntry::SPRITE; }
	game::Sprite* sprite() const { return static_cast<game::Sprite*>(m_entry->object); }
	game::CompoSprite* compo() const { return static_cast<game::CompoSprite*>(m_entry->object); }
};
