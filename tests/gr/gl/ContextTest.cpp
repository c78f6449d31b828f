#include "GLTestSupport.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_createContext.h>
#include <gr/GraphicsException.h>
#include <io/ByteArrayOutputStream.h>
#include <lang/Ptr.h>
#include <cmath>
#include <cstring>

using namespace gr::GR_GL_NS;
using F = GL_Functions;
using gr::Context;
using gr::Rect;
using gr::SurfaceFormat;

namespace
{
int s_presented = 0;

void countPresent()
{
	++s_presented;
}

GLint getInt(GLenum pname, int index = 0)
{
	GLint v[4] = {};
	gl.GetIntegerv(pname, v);
	return v[index];
}

class GLT(Context) : public gltest::GLFixture
{
protected:
	void SetUp() override
	{
		gltest::GLFixture::SetUp();
		m_context = gr::GR_GL_NS::GL_createContext(WIDTH, HEIGHT, Context::ORIENTATION_PORTRAIT, &countPresent);
		m_gl = static_cast<GL_Context*>(m_context.ptr());
		m_context->setShaderPath("shaders");
		s_presented = 0;
	}
	void TearDown() override
	{
		m_gl = nullptr;
		m_context = nullptr;
		gltest::GLFixture::TearDown();
	}

	gltest::RGBAImage frame() const
	{
		gltest::RGBAImage f;
		f.width = WIDTH;
		f.height = HEIGHT;
		f.pixels = GL_capturePixels(0, 0, WIDTH, HEIGHT);
		return f;
	}

	lang::Ptr<Context> m_context;
	GL_Context* m_gl = nullptr;
};
}

TEST_F(GLT(Context), NewContextSetsTheGLUp)
{
	EXPECT_EQ(WIDTH, m_context->width());
	EXPECT_EQ(HEIGHT, m_context->height());
	EXPECT_EQ(Rect(0, 0, WIDTH, HEIGHT), m_context->viewport());
	EXPECT_EQ(HEIGHT, getInt(GL_VIEWPORT, 3));
	EXPECT_EQ(GL_CW, getInt(GL_FRONT_FACE));
	EXPECT_TRUE(gl.IsEnabled(GL_DEPTH_TEST));
	EXPECT_TRUE(gl.IsEnabled(GL_CULL_FACE));
	EXPECT_EQ(GR_GL_VERSION == 1 ? Context::PLATFORM_GLES1 : Context::PLATFORM_GLES2, m_context->platform());
	EXPECT_EQ(SurfaceFormat::SURFACE_B8G8R8, m_context->surfaceFormat().type());
	EXPECT_TRUE(m_context->ready());
	const gr::RenderState2D defaults;
	EXPECT_EQ(defaults.clipRect, m_context->getRenderState2D().clipRect);
	EXPECT_EQ(1.f, m_context->getRenderState2D().alphaFactor);
}

TEST_F(GLT(Context), ANewContextStartsFromAFreshCache)
{
	// Whatever the cache remembers of an earlier GL context is forgotten.
	GL_State::sm_current.m_caps[GL_BLEND] = true;
	GL_State::sm_current.m_depthFunc = GL_ALWAYS;
	lang::Ptr<Context> second = gr::GR_GL_NS::GL_createContext(WIDTH, HEIGHT, Context::ORIENTATION_PORTRAIT, nullptr);
	EXPECT_FALSE(GL_State::sm_current.m_caps.at(GL_BLEND));
	EXPECT_EQ(GLenum(GL_LESS), GL_State::sm_current.m_depthFunc);
	EXPECT_EQ(GL_LESS, getInt(GL_DEPTH_FUNC));
}

TEST_F(GLT(Context), LandscapeSwapsTheSizeAtCreationAndReset)
{
	lang::Ptr<Context> c = gr::GR_GL_NS::GL_createContext(48, 64, Context::ORIENTATION_LANDSCAPE_LEFT, nullptr);
	EXPECT_EQ(64, c->width());
	EXPECT_EQ(48, c->height());
	c->reset(20, 30);
	EXPECT_EQ(30, c->width());
	EXPECT_EQ(Rect(0, 0, 30, 20), c->viewport());
	c->setOrientation(Context::ORIENTATION_PORTRAIT);
	EXPECT_EQ(30, c->width());
}

TEST_F(GLT(Context), ResetWithTheSameSizeTouchesNothing)
{
	m_context->setViewport(Rect(1, 2, 3, 4));
	GL_CallCounter calls;
	m_context->reset(WIDTH, HEIGHT);
	EXPECT_EQ(0, calls.total());
	EXPECT_EQ(Rect(1, 2, 3, 4), m_context->viewport());
	m_context->reset(32, 16);
	EXPECT_EQ(Rect(0, 0, 32, 16), m_context->viewport());
}

TEST_F(GLT(Context), ViewportAndClipRectangleAreFlippedToGL)
{
	m_context->setViewport(Rect(4, 8, 20, 40));
	EXPECT_EQ(4, getInt(GL_VIEWPORT, 0));
	EXPECT_EQ(HEIGHT - 40, getInt(GL_VIEWPORT, 1));
	EXPECT_EQ(16, getInt(GL_VIEWPORT, 2));
	EXPECT_EQ(32, getInt(GL_VIEWPORT, 3));

	struct Case { Rect clip; GLint box[4]; };
	const Case cases[] = {
		{Rect(2, 3, 10, 13), {2, HEIGHT - 13, 8, 10}},
		{Rect(10, 13, 2, 3), {10, HEIGHT - 3, 0, 0}}, // inverted: empty, never negative
		{Rect(-32000, -32000, 32000, 32000), {-32000, HEIGHT - 32000, 64000, 64000}},
	};
	for (const Case& c : cases)
	{
		m_context->setClipRect(c.clip);
		EXPECT_TRUE(gl.IsEnabled(GL_SCISSOR_TEST));
		for (int i = 0; i < 4; ++i)
			EXPECT_EQ(c.box[i], getInt(GL_SCISSOR_BOX, i)) << i;
	}
	// The clip rectangle is not the context's to keep.
	EXPECT_EQ(Rect(4, 8, 20, 40), m_context->viewport());
}

TEST_F(GLT(Context), ClearHonoursTheClipRectangleAndLeavesDepthWritingOff)
{
	m_context->clear(0xFF204080, true, true, true);
	gr::RenderState2D state = m_context->getRenderState2D();
	state.clipRect = Rect(8, 4, 24, 20);
	m_context->setRenderState2D(state);
	m_context->clear(0x80FF0000, true, false, false);
	state.clipRect = Rect(40, 30, 200, 200);
	m_context->setRenderState2D(state);
	m_context->clear(0xFF00FF00, true, false, false);
	EXPECT_EQ(GL_FALSE, getInt(GL_DEPTH_WRITEMASK));
	const gltest::RGBAImage f = frame();
	EXPECT_EQ(0xFF804020u, f.at(0, 0));
	EXPECT_EQ(0x80u, f.at(8, 4) >> 24);
	EXPECT_EQ(0xFF00FF00u, f.at(WIDTH - 1, HEIGHT - 1));
	EXPECT_TRUE(gltest::matchesGolden("context-clears", f));

	m_context->clear(0, false, true, false);
	EXPECT_EQ(GL_FALSE, getInt(GL_DEPTH_WRITEMASK));
	EXPECT_FALSE(GL_State::sm_current.m_depthMask);
}

TEST_F(GLT(Context), ProjectionIsKeptAndOnFixedFunctionLoaded)
{
	m_context->setPerspectiveProjection(1.2f, 1.f, 100.f, 0.75f);
	math::float4x4 expected;
	expected.setPerspectiveProjection(1.2f, 1.f, 100.f, 0.75f);
	EXPECT_EQ(0, std::memcmp(expected.data(), m_context->projectionTransform().data(), sizeof(float) * 16));
#if GR_GL_VERSION == 1
	GLfloat p[16];
	gl.GetFloatv(GL_PROJECTION_MATRIX, p);
	for (int r = 0; r < 4; ++r)
		for (int c = 0; c < 4; ++c)
			EXPECT_FLOAT_EQ(expected(r, c), p[c * 4 + r]);
#endif
	m_context->setOrthographicProjection();
	EXPECT_EQ(0, std::memcmp(math::float4x4(1.f).data(), m_context->projectionTransform().data(), sizeof(float) * 16));
}

TEST_F(GLT(Context), CachedStatesAreSnapshotsWithoutGLCalls)
{
	GL_State::enable(GL_BLEND);
	m_context->saveCachedState("blend");
	GL_State::disable(GL_BLEND);
	GL_CallCounter calls;
	m_context->restoreCachedState("never saved");
	EXPECT_FALSE(GL_State::sm_current.m_caps.at(GL_BLEND));
	m_context->restoreCachedState("blend");
	EXPECT_TRUE(GL_State::sm_current.m_caps.at(GL_BLEND));
	m_context->resetCachedState();
	EXPECT_FALSE(GL_State::sm_current.m_caps.at(GL_BLEND));
	EXPECT_EQ(0, calls.total());
}

TEST_F(GLT(Context), FlipWindingOrderToggles)
{
	m_context->flipWindingOrder();
	EXPECT_EQ(GL_CCW, getInt(GL_FRONT_FACE));
	m_context->flipWindingOrder();
	EXPECT_EQ(GL_CW, getInt(GL_FRONT_FACE));
}

TEST_F(GLT(Context), RenderTargetNullBindsThePublishedFrameBuffer)
{
	gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
	m_context->setViewport(Rect(1, 1, 2, 2));
	m_context->setRenderTarget(nullptr);
	EXPECT_EQ(GLint(m_view->frameBuffer()), getInt(GL_FRAMEBUFFER_BINDING));
	EXPECT_EQ(Rect(0, 0, WIDTH, HEIGHT), m_context->viewport());
}

TEST_F(GLT(Context), PresentFlushesThenCallsTheCallback)
{
	m_context->fillRect2D(0xFFFFFFFF, 0, 0, 8, 8);
	GL_CallCounter calls;
	m_context->present();
	EXPECT_EQ(1, s_presented);
	EXPECT_EQ(1, calls.count(F::INDEX_DrawArrays));
	m_context->present();
	EXPECT_EQ(2, s_presented);
	EXPECT_EQ(1, calls.count(F::INDEX_DrawArrays));
}

TEST_F(GLT(Context), ShaderRequestsAndFailures)
{
	EXPECT_THROW(m_context->createCubeTexture("sky.png"), gr::GraphicsException);
#if GR_GL_VERSION == 1
	try
	{
		m_context->createShader("shaders/no-such-template", 0);
		FAIL();
	}
	catch (const gr::GraphicsException& e)
	{
		EXPECT_EQ("Shader template shaders/no-such-template not found", e.getMessage().format());
	}
	lang::Ptr<gr::Shader> a = m_context->createShader("shaders/sprite-plain", 0);
	lang::Ptr<gr::Shader> b = m_context->createShader("other/sprite-plain.fx", 7);
	EXPECT_NE(a.ptr(), b.ptr());
	EXPECT_EQ("sprite-plain", b->name());
#else
	lang::Ptr<gr::Shader> first = m_context->createShader("shaders/2d-vertexcolor", 0);
	lang::Ptr<gr::Shader> second = m_context->createShader("shaders/2d-vertexcolor", 0);
	EXPECT_NE(first.ptr(), second.ptr());
	EXPECT_EQ(first->name(), second->name());
#endif
	EXPECT_EQ(m_gl->getPlainShader(), m_gl->getPlainShader());
	EXPECT_NE(m_gl->getPlainShader(), m_gl->getPlainAlphaShader());
}

TEST_F(GLT(Context), CompatibleFormatsFollowTheDevice)
{
	using S = SurfaceFormat;
	struct Case { S::SurfaceFormatType in, out; };
	const bool dxt = GR_GL_VERSION == 2; // Mesa takes S3TC uploads on 2.0 only
	const Case cases[] = {
		{S::SURFACE_R8G8B8, S::SURFACE_B8G8R8},
		{S::SURFACE_A8R8G8B8, S::SURFACE_A8B8G8R8},
		{S::SURFACE_P4, S::SURFACE_A8B8G8R8},
		{S::SURFACE_P8, S::SURFACE_A8B8G8R8},
		{S::SURFACE_R5G6B5, S::SURFACE_R5G6B5},
		{S::SURFACE_R5G5B5, S::SURFACE_R5G6B5},
		{S::SURFACE_X8R8G8B8, S::SURFACE_B8G8R8},
		{S::SURFACE_A1R5G5B5, S::SURFACE_R5G5B5A1},
		{S::SURFACE_L8, S::SURFACE_L8},
		{S::SURFACE_A8L8, S::SURFACE_A8L8},
		{S::SURFACE_A8, S::SURFACE_A8},
		{S::SURFACE_ETC1_RGB_4BPP, S::SURFACE_ETC1_RGB_4BPP},
		{S::SURFACE_RGBA_PVRTC_GL_4BPP, S::SURFACE_A8B8G8R8},
		{S::SURFACE_RGB_PVRTC_GL_2BPP, S::SURFACE_A8B8G8R8},
		{S::SURFACE_DXT1, dxt ? S::SURFACE_DXT1 : S::SURFACE_A8B8G8R8},
		{S::SURFACE_DXT5, dxt ? S::SURFACE_DXT5 : S::SURFACE_A8B8G8R8},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.out, m_gl->convertToCompatibleSurfaceFormat(S(c.in)).type()) << S(c.in).toString();
	EXPECT_EQ(GLenum(GL_NO_ERROR), gl.GetError());

	// A device without ETC1 or S3TC gets decoded pixels.
	GL_setExtensionsOverride("GL_OES_texture_npot");
	EXPECT_EQ(S::SURFACE_A8B8G8R8, m_gl->convertToCompatibleSurfaceFormat(S(S::SURFACE_ETC1_RGB_4BPP)).type());
	EXPECT_EQ(S::SURFACE_A8B8G8R8, m_gl->convertToCompatibleSurfaceFormat(S(S::SURFACE_DXT3)).type());
	EXPECT_FALSE(m_gl->isExtensionSupported("GL_OES_compressed_ETC1_RGB8_texture"));
}

TEST_F(GLT(Context), ShapesOutsideTheScreenAddNothing)
{
	m_context->clear(0xFF000000, true, true, false);
	GL_CallCounter calls;
	m_context->drawLine2D(0xFFFFFFFF, 5, 5, 5, 5, 3);            // zero length
	m_context->fillRect2D(0xFFFFFFFF, WIDTH, 0, 10, 10);         // right of the screen
	m_context->fillRect2D(0xFFFFFFFF, -20, -20, 20, 20);         // touches only the top-left corner from outside
	m_context->fillCircle2D(0xFFFFFFFF, -50, HEIGHT / 2, 49);    // left of the screen
	m_context->flush();
	EXPECT_EQ(0, calls.count(F::INDEX_DrawArrays));
	m_context->fillRect2D(0xFFFFFFFF, -10, -10, 12, 12); // partly inside: drawn whole
	m_context->flush();
	EXPECT_EQ(1, calls.count(F::INDEX_DrawArrays));
	const gltest::RGBAImage f = frame();
	EXPECT_EQ(0xFFFFFFFFu, f.at(0, 0));
	EXPECT_EQ(0xFFFFFFFFu, f.at(1, 1));
	EXPECT_EQ(0xFF000000u, f.at(2, 2));
}

TEST_F(GLT(Context), LinesRectanglesAndCircles)
{
	m_context->clear(0xFF101010, true, true, false);
	m_context->fillRect2D(0xFF2040C0, 2, 2, 20, 12);
	m_context->drawLine2D(0xFFFFFF00, 0, 20, 63, 20, 1);
	m_context->drawLine2D(0xFF00FFFF, 30, 2, 60, 44, 1);
	m_context->fillCircle2D(0xFFFF4000, 16, 34, 10);
	m_context->fillCircle2D(0x8000FF00, 48, 24, 12); // blended over the lines, though it follows an opaque circle
	m_context->fillRect2D(0xFFFFFFFF, 40, 40, 30, 30); // partly outside
	m_context->present();
	EXPECT_TRUE(gltest::matchesGolden("context-shapes", frame(), 8));
}

TEST_F(GLT(Context), TwoDStateMovesScalesRotatesAndClips)
{
	m_context->clear(0xFF000000, true, true, false);
	gr::RenderState2D& s = m_context->getRenderState2D();
	s.translation = math::float2(8.f, 4.f);
	m_context->fillRect2D(0xFFFF0000, 0, 0, 8, 8); // at (8, 4)
	s.translation = math::float2(0.f, 0.f);
	s.scale = math::float2(2.f, 2.f);
	m_context->fillRect2D(0xFF00FF00, 20, 2, 4, 4); // at (40, 4), 8x8
	s.scale = math::float2(1.f, 1.f);
	const float a = float(M_PI) / 4.f;
	s.rotation[0] = std::cos(a), s.rotation[1] = std::sin(a), s.rotation[2] = -std::sin(a), s.rotation[3] = std::cos(a);
	s.pivot = math::float2(5.f, 5.f);
	m_context->fillRect2D(0xFF0000FF, 10, 20, 10, 10); // a diamond about (15, 25)
	s.rotation[0] = 1.f, s.rotation[1] = 0.f, s.rotation[2] = 0.f, s.rotation[3] = 1.f;
	s.pivot = math::float2(0.f, 0.f);
	s.clipRect = Rect(40, 30, 52, 42);
	m_context->fillCircle2D(0xFFFFFFFF, 48, 36, 10); // clipped to a square
	s.clipRect = gr::RenderState2D::unlimitedClipRect();
	s.alphaFactor = 0.5f;
	m_context->fillRect2D(0xFFFFFFFF, 0, 40, 30, 8); // half-transparent white
	s.alphaFactor = 1.f;
	m_context->setViewport(Rect(0, 0, WIDTH, HEIGHT));
	m_context->present();
	// Both back ends fade vertex-coloured fills by the alpha factor alike.
	EXPECT_TRUE(gltest::matchesGolden("context-render-state", frame(), 8));
}

TEST_F(GLT(Context), ThickLinesFollowTheScale)
{
	m_context->clear(0xFF000000, true, true, false);
	m_context->drawLine2D(0xFFFFFFFF, 4, 10, 60, 10, 4);
	m_context->getRenderState2D().scale = math::float2(1.f, 2.f);
	m_context->drawLine2D(0xFFFF0000, 10, 15, 10, 22, 2); // vertical: width 2 x 2 = 4, from y 30 to 44
	m_context->flush();
	EXPECT_EQ(4.f, GL_State::sm_current.m_lineWidth);
	const gltest::RGBAImage f = frame();
	EXPECT_EQ(0xFFFFFFFFu, f.at(30, 9));
	EXPECT_EQ(0xFF0000FFu, f.at(10, 36));
	EXPECT_EQ(0xFF000000u, f.at(30, 30));
}

#if GR_GL_VERSION == 1
TEST_F(GLT(Context), ModelViewIsViewTimesWorldWithScaleAndOffset)
{
	math::float4x4 world(1.f), view(1.f);
	world.setTranslation(math::float3(1.f, 2.f, 3.f));
	view(0, 0) = 2.f;
	m_gl->setWorldMatrix(world);
	m_gl->setViewMatrix(view);
	GL_CallCounter calls;
	m_gl->applyModelViewMatrix(math::float4(3.f, 1.f, 0.f, 0.f));
	m_gl->applyModelViewMatrix(math::float4(3.f, 1.f, 0.f, 0.f));
	EXPECT_EQ(1, calls.count(F::INDEX_LoadMatrixf));
	GLfloat m[16];
	gl.GetFloatv(GL_MODELVIEW_MATRIX, m);
	// A vertex p lands at view * world * (3p + (1, 0, 0)): x = 2 * (3x + 1 + 1).
	EXPECT_FLOAT_EQ(6.f, m[0]);
	EXPECT_FLOAT_EQ(4.f, m[12]);
	EXPECT_FLOAT_EQ(3.f, m[5]);
	EXPECT_FLOAT_EQ(2.f, m[13]);
	m_gl->applyViewMatrix();
	gl.GetFloatv(GL_MODELVIEW_MATRIX, m);
	EXPECT_FLOAT_EQ(2.f, m[0]);
	EXPECT_FLOAT_EQ(0.f, m[12]);
}
#endif

TEST_F(GLT(Context), CaptureWritesTheFrameTopRowFirst)
{
	m_context->clear(0xFF0000FF, true, true, false);
	m_context->fillRect2D(0xFFFF0000, 0, 0, 16, 8); // red at the top left
	const std::string name = std::string(ENGINE_BINARY_DIR) + (GR_GL_VERSION == 1 ? "/capture-gles1.png" : "/capture-gles2.png");
	m_context->capture(name);
	const gltest::RGBAImage png = gltest::readPng(name);
	ASSERT_EQ(WIDTH, png.width);
	EXPECT_EQ(0xFF0000FFu, png.at(0, 0));
	EXPECT_EQ(0xFFFF0000u, png.at(WIDTH - 1, HEIGHT - 1));
	EXPECT_EQ(frame().pixels, png.pixels);

	io::ByteArrayOutputStream raw;
	m_context->capture(raw, io::FILEFORMAT_RAW);
	EXPECT_EQ(png.pixels, raw.data());
}

TEST_F(GLT(Context), CaptureIntoAnImageCopiesTheScreen)
{
	m_context->clear(0xFF0000FF, true, true, false);
	m_context->fillRect2D(0xFFFF0000, 0, 0, 16, 8);
	lang::Ptr<gr::Image> made = m_context->capture(nullptr);
	ASSERT_TRUE(made);
	EXPECT_EQ(WIDTH, made->width());
	EXPECT_EQ(HEIGHT, made->height());
	EXPECT_EQ(m_context->surfaceFormat(), made->format());
	lang::Ptr<gr::Image> given = m_context->createImage(WIDTH, HEIGHT, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8B8G8R8), Context::USAGE_NONE);
	EXPECT_EQ(given.ptr(), m_context->capture(given));

	// Either image drawn over a black screen brings the picture back.
	for (gr::Image* image : {made.ptr(), given.ptr()})
	{
		m_context->clear(0xFF000000, true, true, false);
		image->draw(m_context, 0.f, 0.f, 0, 0, WIDTH, HEIGHT, float(WIDTH), float(HEIGHT));
		m_context->flush();
		const gltest::RGBAImage f = frame();
		EXPECT_EQ(0xFF0000FFu, f.at(1, 1));
		EXPECT_EQ(0xFF0000FFu, f.at(14, 6));
		EXPECT_EQ(0xFFFF0000u, f.at(17, 9));
		EXPECT_EQ(0xFFFF0000u, f.at(WIDTH - 1, HEIGHT - 1));
	}
}

TEST_F(GLT(Context), ProjectionAndWorldTransformMoveTwoDDrawing)
{
	m_context->clear(0xFF000000, true, true, false);
	m_context->fillRect2D(0xFF404040, 0, 0, WIDTH, HEIGHT);
	m_context->flush(); // a batch is drawn with the projection of its flush
	math::float4x4 half(1.f);
	half(0, 0) = 0.5f;
	half(1, 1) = 0.5f;
	m_context->setProjection(half); // the whole screen shrinks to its middle quarter
	m_context->fillRect2D(0xFFFF0000, 0, 0, WIDTH, HEIGHT);
	m_context->flush();
	gr::RenderState2D& s = m_context->getRenderState2D();
	s.worldTransform.setTranslation(math::float3(1.f, -1.f, 0.f)); // one device unit right and down, before the projection
	m_context->fillRect2D(0xFF00FF00, 0, 0, WIDTH / 2, HEIGHT / 2);
	m_context->present();
	s.worldTransform = math::float4x4(1.f);
	m_context->setOrthographicProjection();
	const gltest::RGBAImage f = frame();
	EXPECT_EQ(0xFF404040u, f.at(2, 2));
	EXPECT_EQ(0xFF0000FFu, f.at(WIDTH / 4 + 2, HEIGHT / 4 + 2));
	EXPECT_EQ(0xFF00FF00u, f.at(WIDTH / 2 + 2, HEIGHT / 2 + 2));
	EXPECT_TRUE(gltest::matchesGolden("context-projection", f, 8));
}

TEST_F(GLT(Context), DrawingFillsTheViewport)
{
	m_context->clear(0xFF000000, true, true, false);
	m_context->setViewport(Rect(WIDTH / 2, 0, WIDTH, HEIGHT / 2)); // the top-right quarter
	m_context->fillRect2D(0xFFFFFF00, 0, 0, WIDTH, HEIGHT);
	m_context->fillCircle2D(0xFF0000FF, WIDTH / 2, HEIGHT / 2, HEIGHT / 2);
	m_context->setViewport(Rect(0, HEIGHT / 2, WIDTH / 2, HEIGHT)); // the bottom-left quarter
	m_context->drawLine2D(0xFFFFFFFF, 0, 0, WIDTH, HEIGHT, 1);
	m_context->present();
	const gltest::RGBAImage f = frame();
	EXPECT_EQ(0xFF000000u, f.at(1, 1));
	EXPECT_EQ(0xFF00FFFFu, f.at(WIDTH - 1, 0));
	EXPECT_EQ(0xFFFF0000u, f.at(WIDTH * 3 / 4, HEIGHT / 4));
	EXPECT_TRUE(gltest::matchesGolden("context-viewports", f, 8));
}

TEST_F(GLT(Context), DestroyingTheBoundRenderTargetReturnsToTheScreen)
{
	lang::Ptr<gr::Texture> target = m_context->createTexture(16, 16, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8B8G8R8),
		Context::USAGE_RENDERTARGET);
	m_context->setRenderTarget(target);
	m_context->fillRect2D(0xFFFFFFFF, 0, 0, 4, 4);
	EXPECT_EQ(Rect(0, 0, 16, 16), m_context->viewport());
	GL_CallCounter calls;
	target = nullptr;
	// What was drawn into the target went there before it was released.
	EXPECT_EQ(1, calls.count(F::INDEX_DrawArrays));

	// The context no longer refers to the target: drawing, viewports and capture use the screen.
	EXPECT_EQ(GLint(m_view->frameBuffer()), getInt(GL_FRAMEBUFFER_BINDING));
	EXPECT_EQ(Rect(0, 0, WIDTH, HEIGHT), m_context->viewport());
	m_context->setViewport(Rect(0, 0, 8, 8));
	EXPECT_EQ(HEIGHT - 8, getInt(GL_VIEWPORT, 1));
	m_context->setRenderState2D(gr::RenderState2D());
	m_context->clear(0xFF000000, true, true, false);
	m_context->setViewport(Rect(0, 0, WIDTH, HEIGHT));
	m_context->fillRect2D(0xFFFFFFFF, 0, 0, 4, 4);
	m_context->present();
	EXPECT_EQ(0xFFFFFFFFu, frame().at(1, 1));
	EXPECT_EQ(GLenum(GL_NO_ERROR), gl.GetError());
}
