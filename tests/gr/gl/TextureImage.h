#ifndef GR_GL_TESTS_TEXTUREIMAGE_H
#define GR_GL_TESTS_TEXTUREIMAGE_H

#include <gr/gl/GL_config.h>
#include <gr/gl/GL_Texture.h>
#include <gr/Image.h>
#include <lang/Ptr.h>
#include <support/PlainImage.h>

namespace gltest
{
/** An image that only carries its texture: the batcher reads nothing else. */
class TextureImage : public support::PlainImage
{
public:
	explicit TextureImage(gr::GR_GL_NS::GL_Texture* texture) : m_texture(texture) {}
	int width() const override { return m_texture->width(); }
	int height() const override { return m_texture->height(); }
	gr::SurfaceFormat format() const override { return m_texture->format(); }
	gr::Texture* getTexture() const override { return m_texture; }

private:
	lang::Ptr<gr::GR_GL_NS::GL_Texture> m_texture;
};
}

#endif
