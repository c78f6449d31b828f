#include "GLTestSupport.h"
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Image.h>
#include <gr/gl/GL_Primitive.h>
#include <gr/gl/GL_Texture.h>
#include <gr/gl/GL_createContext.h>
#include <lang/Ptr.h>
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader.h>
#endif

using namespace gr::GR_GL_NS;
using gr::Context;
using gr::SurfaceFormat;

namespace
{
class GLT(Lifetime) : public gltest::GLFixture
{
};
}

// Caches may hold resources past their context: each kind is released after it and must
// touch neither the freed context nor the GL (no call at all).
TEST_F(GLT(Lifetime), ResourcesReleasedAfterTheirContextFreeOnlyThemselves)
{
	lang::Ptr<Context> context = GL_createContext(WIDTH, HEIGHT, Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
	context->setShaderPath("shaders");
	const SurfaceFormat rgba(SurfaceFormat::SURFACE_A8B8G8R8);
	lang::Ptr<gr::Texture> texture = context->createTexture(8, 8, 0, rgba, Context::USAGE_NONE);
	lang::Ptr<gr::Texture> target = context->createTexture(8, 8, 0, rgba, Context::USAGE_RENDERTARGET);
	lang::Ptr<gr::Image> image = context->createImage(8, 8, 0, rgba, Context::USAGE_NONE);
	gr::VertexFormat vf;
	vf.addPosition(gr::VertexFormat::DF_FLOAT3);
	lang::Ptr<gr::Primitive> primitive = context->createPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 3, 3, Context::USAGE_NONE);
	lang::Ptr<gr::Shader> shader = context->createShader(GR_GL_VERSION == 1 ? "shaders/sprite" : "shaders/2d-sprite", 0);
	lang::Ptr<gr::Shader> copy = shader->clone();
	context->setRenderTarget(target);
#if GR_GL_VERSION == 2
	// Drawn through the loaded shader, so its lean program is built and must forget its names too.
	const math::float3 corners[4] = {math::float3(0, 0, 0), math::float3(8, 0, 0), math::float3(0, 8, 0), math::float3(8, 8, 0)};
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	image->draw(context, corners, uv, shader);
	context->flush();
#endif
	image->draw(context, 0.f, 0.f, 0, 0, 8, 8, 8.f, 8.f); // left in the batch

	context = nullptr;
	EXPECT_FALSE(static_cast<GL_Texture*>(texture.ptr())->attachedToContext());
	EXPECT_FALSE(static_cast<GL_Image*>(image.ptr())->attachedToContext());
	EXPECT_FALSE(static_cast<GL_Primitive*>(primitive.ptr())->attachedToContext());
#if GR_GL_VERSION == 2
	EXPECT_FALSE(static_cast<GL_Shader*>(shader.ptr())->attachedToContext());
	EXPECT_FALSE(static_cast<GL_Shader*>(copy.ptr())->attachedToContext());
#endif
	// The image's texture still answers from its own memory.
	EXPECT_EQ(8, image->width());
	EXPECT_EQ(rgba, image->format());

	GL_CallCounter calls;
	texture = nullptr;
	target = nullptr;
	image = nullptr;
	primitive = nullptr;
	shader = nullptr;
	copy = nullptr;
	EXPECT_EQ(0, calls.total());
}

// While the context lives, a released resource leaves its list and frees its GL names.
TEST_F(GLT(Lifetime), ResourcesReleasedBeforeTheirContextLeaveIt)
{
	lang::Ptr<Context> context = GL_createContext(WIDTH, HEIGHT, Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
	const SurfaceFormat rgba(SurfaceFormat::SURFACE_A8B8G8R8);
	lang::Ptr<gr::Texture> first = context->createTexture(4, 4, 0, rgba, Context::USAGE_NONE);
	lang::Ptr<gr::Texture> middle = context->createTexture(4, 4, 0, rgba, Context::USAGE_NONE);
	lang::Ptr<gr::Texture> last = context->createTexture(4, 4, 0, rgba, Context::USAGE_NONE);
	{
		GL_CallCounter calls;
		middle = nullptr;
		EXPECT_EQ(1, calls.count(GL_Functions::INDEX_DeleteTextures));
	}
	first = nullptr;
	EXPECT_TRUE(static_cast<GL_Texture*>(last.ptr())->attachedToContext());
	context = nullptr;
	EXPECT_FALSE(static_cast<GL_Texture*>(last.ptr())->attachedToContext());
}
