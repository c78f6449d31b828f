#ifndef GR_GL_TESTS_TEXTUREIMAGE_H
#define GR_GL_TESTS_TEXTUREIMAGE_H

#include <gr/gl/GL_config.h>
#include <gr/gl/GL_Texture.h>
#include <gr/Image.h>
#include <lang/Ptr.h>

namespace gltest
{
/** An image that only carries its texture: the batcher reads nothing else. */
class TextureImage : public gr::Image
{
public:
	explicit TextureImage(gr::GR_GL_NS::GL_Texture* texture) : m_texture(texture) {}
	void draw(gr::Context*, float, float, int, int, int, int, float, float) override {}
	void draw(gr::Context*, float, float, float, float, const math::float2*) override {}
	void draw(gr::Context*, const math::float3*, const math::float2*, gr::Shader*) override {}
	void draw(gr::Context*, const math::float3*, const math::float2*, const math::float4*, gr::Shader*) override {}
	void blt(int, int, const void*, int, int, int, int, const gr::SurfaceFormat&) override {}
	void clear() override {}
	int width() const override { return m_texture->width(); }
	int height() const override { return m_texture->height(); }
	gr::SurfaceFormat format() const override { return m_texture->format(); }
	void getData(void**, int*) const override {}
	gr::Texture* getTexture() const override { return m_texture; }

private:
	lang::Ptr<gr::GR_GL_NS::GL_Texture> m_texture;
};
}

#endif
