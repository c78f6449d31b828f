// The context's resources: textures, primitives, render-target frame buffers and their
// rebuilding after hibernation. Images are made in GL_Image, shaders in GL1_Shader_Default
// (fixed-function templates) and GL2_Shader (effects).
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Primitive.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <lang/assert.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL_Context")

Texture* GL_Context::createTexture(int width, int height, int mipLevels, const SurfaceFormat& format, int usageFlags)
{
	const SurfaceFormat fmt = convertToCompatibleSurfaceFormat(format);
	GL_Texture* texture = new GL_Texture(this, width, height, mipLevels, fmt, usageFlags);
	m_statistics.textures += 1;
	m_statistics.textureBytes += fmt.getMemoryUsage(width, height);
	if (isTextureShadowingEnabled())
		m_shadowedTextures.push_back(texture);
	return texture;
}

Primitive* GL_Context::newPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices, int usage)
{
	return new GL_Primitive(this, type, format, vertices, indices, usage);
}

unsigned GL_Context::frameBufferOf(Texture* renderTarget)
{
	GL_Texture* texture = dynamic_cast<GL_Texture*>(renderTarget);
	LANG_ASSERT(texture && texture->frameBuffer() != 0);
	return texture->frameBuffer();
}

void GL_Context::hibernateContext()
{
	if (!isTextureShadowingEnabled())
		return;
	// Sent whatever the cache holds: the GL is about to lose its objects.
	for (int unit = 0; unit < GL_State::TEXTURE_UNITS; ++unit)
	{
		gl.ActiveTexture(GLenum(GL_TEXTURE0 + unit));
		CHECK("hibernateContext");
		gl.BindTexture(GL_TEXTURE_2D, 0);
		CHECK("hibernateContext");
		GL_State::sm_current.m_bindedTexture[unit] = 0;
	}
	gl.ActiveTexture(GL_TEXTURE0);
	CHECK("hibernateContext");
	GL_State::sm_current.m_activeTexture = GL_TEXTURE0;
	for (GL_Texture* texture : m_shadowedTextures)
		texture->deallocate();
	gl.Finish();
	CHECK("hibernateContext");
}

void GL_Context::resumeContext()
{
	if (!isTextureShadowingEnabled())
		return;
	for (GL_Texture* texture : m_shadowedTextures)
		texture->restore();
	gl.Finish();
	CHECK("resumeContext");
}
}
}
