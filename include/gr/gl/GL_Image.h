#ifndef GR_GL_GL_IMAGE_H
#define GR_GL_GL_IMAGE_H

#include <gr/gl/GL_config.h>
#include <gr/gl/GL_Resource.h>
#include <gr/Context.h>
#include <gr/Image.h>
#include <gr/Texture.h>
#include <lang/Ptr.h>

namespace gr
{
namespace GR_GL_NS
{
class GL_Context;

/**
 * A picture held in one GL texture, drawn as quads through the context's 2-D batcher.
 * The texture may be larger than the picture (rounded up to powers of two where the
 * device needs it); texture coordinates are relative to the whole texture.
 */
class GL_Image : public gr::Image, public GL_Resource
{
public:
	GL_Image(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, gr::Context::UsageFlags usage);
	/** Flushes the batch first when it holds this image. */
	~GL_Image() override;

	void lock(LockType type) override { m_texture->lock(type); }
	void unlock() override { m_texture->unlock(); }
	void draw(gr::Context* context, float x, float y, int srcX, int srcY, int srcWidth, int srcHeight, float width, float height) override;
	void draw(gr::Context* context, float x, float y, float width, float height, const math::float2* uv) override;
	void draw(gr::Context* context, const math::float3* corners, const math::float2* uv, gr::Shader* shader) override;
	void draw(gr::Context* context, const math::float3* corners, const math::float2* uv, const math::float4* colors, gr::Shader* shader) override;
	void blt(int x, int y, const void* pixels, int pitch, int mipLevel, int width, int height, const gr::SurfaceFormat& format) override;
	/** Not supported for images. */
	void clear() override;
	int width() const override { return m_width; }
	int height() const override { return m_height; }
	gr::SurfaceFormat format() const override { return m_texture->format(); }
	void getData(void** data, int* pitch) const override { m_texture->getData(data, pitch); }
	gr::Texture* getTexture() const override { return m_texture; }

private:
	GL_Context* m_context;

	void detachFromContext() override { m_context = nullptr; }
	lang::Ptr<gr::Texture> m_texture;
	int m_width;
	int m_height;
	/** Fixed with the texture, read by every draw: whether its format has alpha, and 1 / its size. */
	bool m_alphaTexture;
	float m_texelWidth;
	float m_texelHeight;

	/** Corners of an x, y, w, h quad under the render state; false when it lies off screen. */
	bool transform(float x, float y, float w, float h, math::float3* corners) const;
	gr::Shader* spriteShader() const;

	GL_Image(const GL_Image&) = delete;
	GL_Image& operator=(const GL_Image&) = delete;
};
}
}

#endif
