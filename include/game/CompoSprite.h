#ifndef GAME_COMPOSPRITE_H
#define GAME_COMPOSPRITE_H

#include <game/Anchor.h>
#include <game/Sprite.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace gr
{
class Context;
}

namespace game
{
/** Sheet sprites placed at offsets and drawn as one picture with one anchor. */
class CompoSprite : public lang::Object
{
public:
	struct Entry
	{
		std::string name;
		lang::Ptr<Sprite> sprite;
		/** Where the part's pivot lands, relative to the composite's origin. */
		float x;
		float y;
	};

	CompoSprite();
	~CompoSprite() override;

	/** Appends a part and recomputes the bounds. */
	void addSprite(const std::string& name, float x, float y, Sprite* sprite);
	void draw(gr::Context* context, float x, float y, Anchor anchor) const;

	const Entry& getSpriteEntry(int i) const { return m_entries[size_t(i)]; }
	int getSpriteCount() const { return int(m_entries.size()); }
	int getWidth() const { return m_width; }
	int getHeight() const { return m_height; }
	/** The origin, measured from the bounding box's top-left corner. */
	int getPivotX() const { return m_pivotX; }
	int getPivotY() const { return m_pivotY; }

private:
	std::vector<Entry> m_entries;
	int m_width, m_height, m_pivotX, m_pivotY;
};
}

#endif
