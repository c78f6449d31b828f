#ifndef COMMON_MASKEDIMAGE_H
#define COMMON_MASKEDIMAGE_H

#include <gr/Image.h>
#include <gr/Shader.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <math/float2.h>
#include <math/float4.h>
#include <vector>

namespace gr
{
class Context;
}
namespace game
{
class Sprite;
}

/**
 * One batch of material-textured objects: colour from a repeating material
 * image, transparency from each object's sprite, drawn as one triangle list
 * with a two-texture shader. Fills during the object pass, empties on render().
 */
class MaskedImage : public lang::Object
{
public:
	explicit MaskedImage(gr::Context* context);
	~MaskedImage() override;

	/**
	 * Adds the sprite's rectangle with its pivot at (x, y) under the context's 2-D
	 * render state, coloured by image repeated with the unscaled position times
	 * (scaleX, scaleY). A quad wholly off screen is dropped. Another material image
	 * or another sprite sheet image than the batch holds draws the batch first.
	 */
	void add(float x, float y, gr::Image* image, game::Sprite* sprite, float scaleX, float scaleY);
	/** Draws and empties the batch, letting go of its images; nothing when empty. */
	void render();

	/** Quads waiting to be drawn. */
	int quads() const { return static_cast<int>(m_positions.size() / 6); }
	gr::Image* image() const { return m_image; }
	gr::Image* mask() const { return m_mask; }
	gr::Shader* shader() const { return m_shader; }

private:
	gr::Context* m_context;
	lang::Ptr<gr::Shader> m_shader;
	lang::Ptr<gr::Image> m_image;
	lang::Ptr<gr::Image> m_mask;
	// Texture-coordinate factors of the held images, found when the batch takes them.
	math::float2 m_materialScale;
	math::float2 m_maskScale;
	std::vector<math::float4> m_positions;
	std::vector<math::float2> m_uv0;
	std::vector<math::float2> m_uv1;

	MaskedImage(const MaskedImage&) = delete;
	MaskedImage& operator=(const MaskedImage&) = delete;
};

#endif
