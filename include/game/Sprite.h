#ifndef GAME_SPRITE_H
#define GAME_SPRITE_H

#include <game/Anchor.h>
#include <game/Transform.h>
#include <gr/Image.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float4.h>
#include <string>

namespace gr
{
class Context;
class Shader;
}

namespace game
{
class SpriteSheet;

/**
 * A named rectangle of a sheet image with a pivot. The sprite keeps the image it
 * was cut from, so it stays drawable after its sheet is gone (getSheet() is then null).
 */
class Sprite : public lang::Object
{
public:
	Sprite(SpriteSheet* sheet, const std::string& name, int x, int y, int width, int height, int pivotX, int pivotY);
	~Sprite() override;

	/** Draws unscaled with the anchor's point at (x, y). */
	void draw(gr::Context* context, float x, float y, Anchor anchor) const;
	/** Draws at size w x h; the anchor still uses the sprite's own size and pivot. */
	void draw(gr::Context* context, float x, float y, float w, float h, Anchor anchor) const;
	/** Draws onto four corners (top-left, top-right, bottom-left, bottom-right) placed by the transform. */
	void draw(gr::Context* context, const Transform& transform, const math::float2* corners, gr::Shader* shader, const math::float4* colours) const;

	SpriteSheet* getSheet() const { return m_sheet; }
	gr::Image* getImage() const { return m_image; }
	const std::string& getName() const { return m_name; }
	int getWidth() const { return m_width; }
	int getHeight() const { return m_height; }
	int getPivotX() const { return m_pivotX; }
	int getPivotY() const { return m_pivotY; }
	int getPositionInSheetX() const { return m_x; }
	int getPositionInSheetY() const { return m_y; }
	/** Texture coordinates of the corners: top-left, top-right, bottom-left, bottom-right. */
	const math::float2* getTextureCoordinates() const { return m_uv; }

private:
	friend class SpriteSheet;

	SpriteSheet* m_sheet;
	lang::Ptr<gr::Image> m_image;
	std::string m_name;
	short m_x, m_y, m_width, m_height, m_pivotX, m_pivotY;
	math::float2 m_uv[4];
};
}

#endif
