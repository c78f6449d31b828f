// STAND-IN for the context operations that need GL textures, images and primitives
// (issue 9) and shaders (issue 10). Those issues replace this file with the real
// operations of GL_Context: createTexture(w, h, ...), createImage(w, h, ...), newPrimitive,
// frameBufferOf, hibernateContext, resumeContext, newEffectShader (2.0) and
// createShadersTemplates (1.1).
#include <gr/gl/GL_Context.h>
#include "GL_StubShader.h"
#include <gr/GraphicsException.h>
#include <lang/assert.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace gr
{
namespace GR_GL_NS
{
namespace
{
[[noreturn]] void notYet(const char* what)
{
	lang::throwError(GraphicsException(lang::Format("{0} are not available in this build yet", what)));
}
}

Texture* GL_Context::createTexture(int, int, int, const SurfaceFormat&, int)
{
	notYet("GL textures");
}

Image* GL_Context::createImage(int, int, int, const SurfaceFormat&, UsageFlags)
{
	notYet("GL images");
}

Primitive* GL_Context::newPrimitive(Primitive::PrimType, const VertexFormat&, int, int, int)
{
	notYet("GL primitives");
}

unsigned GL_Context::frameBufferOf(Texture*)
{
	// No texture can exist before GL textures do.
	LANG_ASSERT(!"render target textures");
	return 0;
}

void GL_Context::hibernateContext()
{
}

void GL_Context::resumeContext()
{
}

#if GR_GL_VERSION == 1
void createShadersTemplates(GL_Context* context)
{
	context->addShaderTemplate(new GL_StubShader("sprite-plain"));
	context->addShaderTemplate(new GL_StubShader("sprite-alphaplain"));
}
#else
Shader* GL_Context::newEffectShader(const std::string& basename, int, const std::string& effectFile)
{
	if (basename != "2d-vertexcolor" && basename != "2d-vertexcolor-alpha")
		lang::throwError(GraphicsException(lang::Format("Effect shaders are not available in this build yet: {0}", effectFile)));
	return new GL_StubShader(basename);
}
#endif
}
}
