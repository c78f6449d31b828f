#include <gr/gl/GL_Image.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_RenderBatcher.h>
#include <io/PathName.h>
#include <lang/assert.h>
#include <algorithm>

namespace gr
{
namespace GR_GL_NS
{
namespace
{
#if GR_GL_VERSION == 1
int roundUpToPowerOfTwo(int n)
{
	if (n <= 0)
		return n;
	int p = 1;
	while (p < n)
		p <<= 1;
	return p;
}
#endif

// Drawn only when the corners' bounding box meets the screen square.
bool onScreen(const math::float3* c)
{
	float minX = c[0].x, maxX = c[0].x, minY = c[0].y, maxY = c[0].y;
	for (int i = 1; i < 4; ++i)
	{
		minX = std::min(minX, c[i].x);
		maxX = std::max(maxX, c[i].x);
		minY = std::min(minY, c[i].y);
		maxY = std::max(maxY, c[i].y);
	}
	return maxY >= -1.f && maxX >= -1.f && minX < 1.f && minY < 1.f;
}
}

GL_Image::GL_Image(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, gr::Context::UsageFlags usage) :
	GL_Resource(context), m_context(context), m_width(width), m_height(height)
{
	int textureWidth = width;
	int textureHeight = height;
#if GR_GL_VERSION == 1
	if (!context->isExtensionSupported("GL_APPLE_texture_2D_limited_npot") && !context->isExtensionSupported("GL_OES_texture_npot"))
	{
		textureWidth = roundUpToPowerOfTwo(width);
		textureHeight = roundUpToPowerOfTwo(height);
	}
#endif
	m_texture = context->createTexture(textureWidth, textureHeight, mipLevels, format, usage);
	m_alphaTexture = m_texture->format().hasAlpha();
	m_texelWidth = 1.f / float(m_texture->width());
	m_texelHeight = 1.f / float(m_texture->height());
}

GL_Image::~GL_Image()
{
	if (!m_context)
		return;
	GL_RenderBatcher& batcher = m_context->getBatcher();
	if (batcher.getImage() == this)
		batcher.flush();
}

bool GL_Image::transform(float x, float y, float w, float h, math::float3* c) const
{
	const gr::RenderState2D& rs = m_context->getRenderState2D();
	const float sx = rs.scale.x;
	const float sy = rs.scale.y;
	const float kx = (sx + sx) / float(m_context->width());
	const float ky = (sy * -2.f) / float(m_context->height());
	const float tx = rs.translation.x;
	const float ty = rs.translation.y;

	if (rs.angle == 0.f)
	{
		const float left = x + tx;
		const float top = y + ty;
		const float xl = kx * left - 1.f;
		const float xr = kx * (left + w) - 1.f;
		const float yt = ky * top + 1.f;
		const float yb = ky * (top + h) + 1.f;
		c[0] = math::float3(xl, yt, 0.001f);
		c[1] = math::float3(xr, yt, 0.001f);
		c[2] = math::float3(xl, yb, 0.001f);
		c[3] = math::float3(xr, yb, 0.001f);
		const bool inX = sx >= 0.f ? (xr >= -1.f && xl < 1.f) : (xl >= -1.f && xr < 1.f);
		const bool inY = sy >= 0.f ? (yb <= 1.f && yt > -1.f) : (yt <= 1.f && yb > -1.f);
		return inX && inY;
	}

	// Turned about the pivot (relative to the quad's top-left corner), then placed.
	const float px = rs.pivot.x;
	const float py = rs.pivot.y;
	const float* r = rs.rotation;
	const float ox = px + x + tx;
	const float oy = py + y + ty;
	const float qx[4] = {0.f, w, 0.f, w};
	const float qy[4] = {0.f, 0.f, h, h};
	for (int i = 0; i < 4; ++i)
	{
		const float X = ox + r[0] * (qx[i] - px) + r[2] * (qy[i] - py);
		const float Y = oy + r[1] * (qx[i] - px) + r[3] * (qy[i] - py);
		c[i] = math::float3(kx * X - 1.f, ky * Y + 1.f, 0.001f);
	}
	return onScreen(c);
}

gr::Shader* GL_Image::spriteShader() const
{
	const bool alpha = m_alphaTexture || !(m_context->getRenderState2D().alphaFactor >= 1.f);
	return alpha ? m_context->getSpriteAlphaShader() : m_context->getSpriteShader();
}

void GL_Image::draw(gr::Context*, float x, float y, int srcX, int srcY, int srcWidth, int srcHeight, float width, float height)
{
	math::float3 corners[4];
	if (!transform(x, y, width, height, corners))
		return;
	const float iu = m_texelWidth;
	const float iv = m_texelHeight;
	const float uL = float(srcX) * iu;
	const float uR = float(srcX + srcWidth) * iu;
	const float vT = float(srcY) * iv;
	const float vB = float(srcY + srcHeight) * iv;
	const math::float2 uv[4] = {math::float2(uL, vT), math::float2(uR, vT), math::float2(uL, vB), math::float2(uR, vB)};
	m_context->getBatcher().render(GL_RenderBatcher::TYPE_IMAGES, spriteShader(), corners, uv, nullptr, this, 1);
}

void GL_Image::draw(gr::Context*, float x, float y, float width, float height, const math::float2* uv)
{
	math::float3 corners[4];
	if (m_context->getRenderState2D().useTransform)
	{
		// Pixels placed by the batch's world transform and projection (text in 3-D).
		corners[0] = math::float3(x, y, 0.f);
		corners[1] = math::float3(x + width, y, 0.f);
		corners[2] = math::float3(x, y + height, 0.f);
		corners[3] = math::float3(x + width, y + height, 0.f);
	}
	else if (!transform(x, y, width, height, corners))
	{
		return;
	}
	m_context->getBatcher().render(GL_RenderBatcher::TYPE_IMAGES, spriteShader(), corners, uv, nullptr, this, 1);
}

void GL_Image::draw(gr::Context* context, const math::float3* corners, const math::float2* uv, gr::Shader* shader)
{
	draw(context, corners, uv, nullptr, shader);
}

void GL_Image::draw(gr::Context*, const math::float3* corners, const math::float2* uv, const math::float4* colors, gr::Shader* shader)
{
	const float kx = 2.f / float(m_context->width());
	const float ky = -2.f / float(m_context->height());
	math::float3 c[4];
	for (int i = 0; i < 4; ++i)
		c[i] = math::float3(kx * corners[i].x - 1.f, ky * corners[i].y + 1.f, corners[i].z);
	if (!onScreen(c))
		return;
	if (!shader)
		shader = m_alphaTexture ? m_context->getSpriteAlphaShader() : m_context->getSpriteShader();
	m_context->getBatcher().render(GL_RenderBatcher::TYPE_IMAGES, shader, c, uv, colors, this, 1);
}

void GL_Image::blt(int x, int y, const void* pixels, int pitch, int mipLevel, int width, int height, const gr::SurfaceFormat& format)
{
	m_texture->blt(x, y, pixels, pitch, mipLevel, width, height, format);
}

void GL_Image::clear()
{
	LANG_ASSERT(!"Not implemented!");
}

Image* GL_Context::createImage(int width, int height, int mipLevels, const SurfaceFormat& format, UsageFlags usage)
{
	const SurfaceFormat fmt = convertToCompatibleSurfaceFormat(format);
	GL_Image* image = new GL_Image(this, width, height, mipLevels, fmt, usage);
	m_statistics.images += 1;
	m_statistics.imageBytes += fmt.getMemoryUsage(width, height);
	return image;
}

Shader* GL_Context::getSpriteShader()
{
	return plainShader(m_spriteShader, GR_GL_VERSION == 1 ? "sprite" : "2d-sprite");
}

Shader* GL_Context::getSpriteAlphaShader()
{
	return plainShader(m_spriteAlphaShader, GR_GL_VERSION == 1 ? "sprite-alpha" : "2d-sprite-alpha");
}
}
}
