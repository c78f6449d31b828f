#include "ContextFixture.h"
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Image.h>
#include <gr/gl/GL_RenderBatcher.h>
#include <gr/gl/GL_State.h>
#include <gr/Primitive.h>
#include <io/FileInputStream.h>
#include <lang/Exception.h>
#include <lang/Ptr.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <cstdint>
#include <vector>

using namespace gr::GR_GL_NS;
using gr::SurfaceFormat;

namespace
{
class GLT(Image) : public gltest::ContextFixture
{
protected:
	// An image of 0xAABBGGRR pixels made by fn(x, y).
	template <class Fn> lang::Ptr<gr::Image> image(int w, int h, SurfaceFormat::SurfaceFormatType type, Fn fn)
	{
		const SurfaceFormat rgba(SurfaceFormat::SURFACE_A8B8G8R8);
		lang::Ptr<gr::Image> img = m_context->createImage(w, h, 0, SurfaceFormat(type), gr::Context::USAGE_NONE);
		std::vector<uint32_t> pixels(size_t(w * h));
		for (int y = 0; y < h; ++y)
			for (int x = 0; x < w; ++x)
				pixels[size_t(y * w + x)] = fn(x, y);
		// The image holds its own format: convert the words to it.
		const SurfaceFormat own = img->format();
		std::vector<uint8_t> converted(size_t(own.getMemoryUsage(w, h)));
		const int pitch = own.getMemoryUsage(w, 1);
		const SurfaceFormat none(SurfaceFormat::SURFACE_UNKNOWN);
		own.copyPixels(converted.data(), pitch, none, nullptr, rgba, pixels.data(), w * 4, none, nullptr, w, h);
		img->blt(0, 0, converted.data(), pitch, 0, w, h, own);
		return img;
	}

	lang::Ptr<gr::Image> picture()
	{
		// Quadrants (premultiplied): red, half-transparent green, blue, white; a dark frame.
		return image(16, 16, SurfaceFormat::SURFACE_A8R8G8B8, [](int x, int y) -> uint32_t {
			if (x == 0 || y == 0 || x == 15 || y == 15)
				return 0xFF202020;
			static const uint32_t q[4] = {0xFF0000FF, 0x80008000, 0xFFFF0000, 0xFFFFFFFF};
			return q[(y / 8) * 2 + x / 8];
		});
	}

	GL_RenderBatcher& batcher() { return m_context->getBatcher(); }
	gr::RenderState2D& state() { return m_context->getRenderState2D(); }

	// Positions and texture coordinates of the image batch just flushed.
	void lastBatch(std::vector<math::float4>& pos, std::vector<math::float4>& uv, int n)
	{
		gr::VertexFormat vf;
		vf.addPosition(gr::VertexFormat::DF_FLOAT3);
		vf.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
		gr::Primitive* p = m_context->getDynamicPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, n, 0);
		pos.resize(size_t(n));
		uv.resize(size_t(n));
		gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_READ);
		p->getVertexPositions(0, pos.data(), n);
		p->getVertexTextureCoordinates(0, 0, uv.data(), n);
	}

	int quads() const { return m_context->statistics().imageQuads; }
};

void expectCorner(const math::float4& p, float x, float y, float z, const char* what)
{
	EXPECT_NEAR(p.x, x, 1e-5f) << what;
	EXPECT_NEAR(p.y, y, 1e-5f) << what;
	EXPECT_EQ(p.z, z) << what;
}
}

TEST_F(GLT(Image), QuadsBecomeDeviceCornersWithTexelCoordinates)
{
	lang::Ptr<gr::Image> img = picture();
	img->draw(m_context, 0.f, 0.f, 0, 0, 8, 4, float(WIDTH), float(HEIGHT));
	m_context->flush();
	std::vector<math::float4> pos, uv;
	lastBatch(pos, uv, 6);
	// Corner order in the batch: 0 1 2 2 1 3.
	expectCorner(pos[0], -1, 1, 0.001f, "top-left");
	expectCorner(pos[1], 1, 1, 0.001f, "top-right");
	expectCorner(pos[2], -1, -1, 0.001f, "bottom-left");
	expectCorner(pos[5], 1, -1, 0.001f, "bottom-right");
	EXPECT_EQ(uv[0].x, 0.f);
	EXPECT_EQ(uv[0].y, 0.f);
	EXPECT_EQ(uv[5].x, 0.5f);
	EXPECT_EQ(uv[5].y, 0.25f);

	// A zero angle keeps the quad upright whatever the rotation; another angle turns it about the pivot.
	const float a = float(M_PI) / 2.f;
	state().rotation[0] = std::cos(a), state().rotation[1] = std::sin(a), state().rotation[2] = -std::sin(a), state().rotation[3] = std::cos(a);
	state().pivot = math::float2(8.f, 8.f);
	img->draw(m_context, 16.f, 8.f, 0, 0, 16, 16, 16.f, 16.f);
	m_context->flush();
	lastBatch(pos, uv, 6);
	expectCorner(pos[0], 2.f * 16 / WIDTH - 1, 1 - 2.f * 8 / HEIGHT, 0.001f, "upright");
	state().angle = a;
	img->draw(m_context, 16.f, 8.f, 0, 0, 16, 16, 16.f, 16.f);
	m_context->flush();
	lastBatch(pos, uv, 6);
	// The top-left corner turns a quarter about (24, 16) to (32, 8).
	expectCorner(pos[0], 2.f * 32 / WIDTH - 1, 1 - 2.f * 8 / HEIGHT, 0.001f, "turned");
}

TEST_F(GLT(Image), QuadsOffTheScreenAreDropped)
{
	lang::Ptr<gr::Image> img = picture();
	const struct
	{
		float x, y, w, h, sx, sy;
		bool drawn;
	} cases[] = {
		{-16, 0, 16, 16, 1, 1, true},     // right edge at x = 0
		{float(WIDTH), 0, 16, 16, 1, 1, false}, // left edge at the right border
		{0, -16, 16, 16, 1, 1, true},     // bottom edge at y = 0
		{0, float(HEIGHT), 16, 16, 1, 1, false},
		{-17, 0, 16, 16, 1, 1, false},
		{20, 10, 16, 16, -1, 1, false},   // mirrored to the left of the screen
		{-20, 10, 16, 16, -1, 1, true},
	};
	for (const auto& c : cases)
	{
		state().scale = math::float2(c.sx, c.sy);
		const int before = quads();
		img->draw(m_context, c.x, c.y, 0, 0, 16, 16, c.w, c.h);
		EXPECT_EQ(quads() - before, c.drawn ? 1 : 0) << c.x << "," << c.y << " scale " << c.sx;
	}
	state().scale = math::float2(1.f, 1.f);
	batcher().reset();

	// Texture-coordinate form in transform mode: pixels, z 0, never culled.
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	state().useTransform = true;
	const int before = quads();
	img->draw(m_context, 5000.f, 5000.f, 10.f, 10.f, uv);
	EXPECT_EQ(quads() - before, 1);
	state().useTransform = false;
	batcher().reset();
}

TEST_F(GLT(Image), OpaqueImagesPickTheirShaderByForm)
{
	lang::Ptr<gr::Image> opaque = image(4, 4, SurfaceFormat::SURFACE_R8G8B8, [](int, int) -> uint32_t { return 0xFFFFFFFF; });
	ASSERT_FALSE(opaque->format().hasAlpha());
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	const math::float3 corners[4] = {math::float3(0, 0, 0.001f), math::float3(4, 0, 0.001f), math::float3(0, 4, 0.001f), math::float3(4, 4, 0.001f)};
	state().alphaFactor = 0.5f;
	opaque->draw(m_context, 0.f, 0.f, 0, 0, 4, 4, 4.f, 4.f);
	m_context->flush();
	EXPECT_TRUE(GL_State::isEnabled(GL_BLEND));
	opaque->draw(m_context, 0.f, 0.f, 4.f, 4.f, uv);
	m_context->flush();
	EXPECT_TRUE(GL_State::isEnabled(GL_BLEND));
	// The corner forms do not consult the alpha factor.
	opaque->draw(m_context, corners, uv, nullptr);
	m_context->flush();
	EXPECT_FALSE(GL_State::isEnabled(GL_BLEND));
	state().alphaFactor = 1.f;
	opaque->draw(m_context, 0.f, 0.f, 0, 0, 4, 4, 4.f, 4.f);
	m_context->flush();
	EXPECT_FALSE(GL_State::isEnabled(GL_BLEND));
}

TEST_F(GLT(Image), TexturesAreRoundedUpOnlyWithoutNonPowerOfTwoSupport)
{
	GL_setExtensionsOverride("GL_OES_framebuffer_object");
	lang::Ptr<gr::Image> img = m_context->createImage(100, 60, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
	EXPECT_EQ(img->width(), 100);
	EXPECT_EQ(img->height(), 60);
	EXPECT_EQ(img->getTexture()->width(), GR_GL_VERSION == 1 ? 128 : 100);
	EXPECT_EQ(img->getTexture()->height(), GR_GL_VERSION == 1 ? 64 : 60);

	lang::Ptr<gr::Image> small = m_context->createImage(30, 30, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
	small->draw(m_context, 0.f, 0.f, 0, 0, 30, 30, 30.f, 30.f);
	m_context->flush();
	std::vector<math::float4> pos, uv;
	lastBatch(pos, uv, 6);
	EXPECT_EQ(uv[5].x, GR_GL_VERSION == 1 ? 0.9375f : 1.f);
	EXPECT_EQ(uv[5].y, GR_GL_VERSION == 1 ? 0.9375f : 1.f);
	GL_setExtensionsOverride(nullptr);

	lang::Ptr<gr::Image> npot = m_context->createImage(100, 60, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
	EXPECT_EQ(npot->getTexture()->width(), 100);
	EXPECT_EQ(m_context->statistics().images, 3);
}

// Source rectangles, scaling, rotation and alpha, drawn the same on both back ends.
TEST_F(GLT(Image), DrawsMatchTheGoldenImage)
{
	lang::Ptr<gr::Image> img = picture();
	m_context->clear(0xFF406080, true, true, false);
	img->draw(m_context, 2.f, 2.f, 0, 0, 16, 16, 16.f, 16.f);        // whole
	img->draw(m_context, 20.f, 2.f, 8, 0, 8, 8, 16.f, 16.f);         // the green quadrant, doubled
	img->draw(m_context, 40.f, 2.f, 0, 0, 16, 16, 20.f, 10.f);       // squeezed
	state().alphaFactor = 0.5f;
	img->draw(m_context, 2.f, 26.f, 0, 0, 16, 16, 16.f, 16.f);       // faded
	state().alphaFactor = 1.f;
	const float a = float(M_PI) / 6.f;
	state().rotation[0] = std::cos(a), state().rotation[1] = std::sin(a), state().rotation[2] = -std::sin(a), state().rotation[3] = std::cos(a);
	state().angle = a;
	state().pivot = math::float2(8.f, 8.f);
	img->draw(m_context, 22.f, 26.f, 0, 0, 16, 16, 16.f, 16.f);      // turned by 30 degrees
	state().angle = 0.f;
	state().scale = math::float2(2.f, 2.f);
	img->draw(m_context, 22.f, 14.f, 0, 0, 16, 16, 8.f, 8.f);        // render-state scale 2
	state().scale = math::float2(1.f, 1.f);
	m_context->flush();
	EXPECT_TRUE(gltest::matchesGolden("image-draws", capture(), 3));
}

#if GR_GL_VERSION == 2
// Saturation other than 1 runs the sprite effects' full programs: half way to grey.
TEST_F(GLT(Image), HalfSaturatedDrawsMatchTheGoldenImage)
{
	lang::Ptr<gr::Image> img = picture();
	lang::Ptr<gr::Image> white = image(4, 4, SurfaceFormat::SURFACE_A8R8G8B8, [](int, int) -> uint32_t { return 0xFFFFFFFF; });
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	const math::float3 corners[4] = {math::float3(2, 26, 0.001f), math::float3(18, 26, 0.001f), math::float3(2, 42, 0.001f), math::float3(18, 42, 0.001f)};
	const math::float4 red[4] = {math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255)};
	m_context->clear(0xFF406080, true, true, false);
	img->draw(m_context, 20.f, 2.f, 0, 0, 16, 16, 16.f, 16.f);       // full colour, for comparison
	m_context->flush();
	state().colorSaturation = 0.5f;
	img->draw(m_context, 2.f, 2.f, 0, 0, 16, 16, 16.f, 16.f);
	m_context->flush();
	state().alphaFactor = 0.5f;
	img->draw(m_context, 40.f, 2.f, 0, 0, 16, 16, 16.f, 16.f);       // and faded
	m_context->flush();
	state().alphaFactor = 1.f;
	white->draw(m_context, corners, uv, red, nullptr);                // tinted red
	m_context->flush();
	state().colorSaturation = 1.f;
	// Red 255 against its grey 76.2: 165.6 for red, 38.1 for green and blue.
	const uint32_t tinted = pixel(10, 34);
	EXPECT_NEAR(int(tinted & 0xFF), 166, 2) << std::hex << tinted;
	EXPECT_NEAR(int(tinted >> 8 & 0xFF), 38, 2) << std::hex << tinted;
	EXPECT_NEAR(int(tinted >> 16 & 0xFF), 38, 2) << std::hex << tinted;
	EXPECT_TRUE(gltest::matchesGolden("image-draws-half-saturated", capture(), 3));
}
#endif

// Regions of the picture in fractions of the image, on rectangles placed by the render state.
TEST_F(GLT(Image), TexturizeRectDrawsRegionsOfTheImage)
{
	lang::Ptr<gr::Image> img = picture();
	m_context->clear(0xFF406080, true, true, false);
	m_context->texturizeRect2D(img, math::float4(0.f, 0.f, 1.f, 1.f), 2, 2, 16, 16);       // whole
	m_context->texturizeRect2D(img, math::float4(0.5f, 0.5f, 1.f, 1.f), 22, 2, 16, 16);    // the white quadrant, doubled
	m_context->texturizeRect2D(img, math::float4(1.f, 0.f, 0.f, 1.f), 42, 2, 16, 16);      // mirrored
	state().translation = math::float2(10.f, 20.f);
	m_context->texturizeRect2D(img, math::float4(0.f, 0.5f, 0.5f, 1.f), 0, 6, 24, 16);     // the blue quadrant, moved and stretched
	state().translation = math::float2(0.f, 0.f);
	m_context->texturizeRect2D(img, math::float4(0.f, 0.f, 1.f, 1.f), 40, 30, 0, 16);      // empty: nothing
	m_context->texturizeRect2D(nullptr, math::float4(0.f, 0.f, 1.f, 1.f), 40, 30, 8, 8);   // no image: nothing
	m_context->flush();
	const gltest::RGBAImage frame = capture();
	EXPECT_EQ(0xFF0000FFu, frame.at(5, 5));      // red top-left quadrant
	EXPECT_EQ(0xFFFFFFFFu, frame.at(30, 10));    // white
	EXPECT_EQ(0xFF0000FFu, frame.at(54, 5));     // red, now at the top right
	EXPECT_EQ(0xFFFF0000u, frame.at(20, 34));    // blue
	EXPECT_EQ(0xFF806040u, frame.at(44, 40));    // background
	EXPECT_TRUE(gltest::matchesGolden("texturize-rect", frame, 3));
}

TEST_F(GLT(Image), CornerColoursTintTheImage)
{
	lang::Ptr<gr::Image> white = image(4, 4, SurfaceFormat::SURFACE_A8R8G8B8, [](int, int) -> uint32_t { return 0xFFFFFFFF; });
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	const math::float3 corners[4] = {math::float3(0, 0, 0.001f), math::float3(16, 0, 0.001f), math::float3(0, 16, 0.001f), math::float3(16, 16, 0.001f)};
	const math::float4 red[4] = {math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255), math::float4(255, 0, 0, 255)};
	m_context->clear(0xFF000000, true, true, false);
	white->draw(m_context, corners, uv, red, nullptr);
	m_context->flush();
	// The next batch has no colours: drawn untinted.
	white->draw(m_context, 32.f, 0.f, 0, 0, 4, 4, 16.f, 16.f);
	m_context->flush();
	EXPECT_EQ(pixel(8, 8), 0xFF0000FFu);
	EXPECT_EQ(pixel(40, 8), 0xFFFFFFFFu);

	// Coloured corners fade with the alpha factor, as uncoloured ones do: half red over black.
	state().alphaFactor = 0.5f;
	const math::float3 below[4] = {math::float3(0, 24, 0.001f), math::float3(16, 24, 0.001f), math::float3(0, 40, 0.001f), math::float3(16, 40, 0.001f)};
	white->draw(m_context, below, uv, red, nullptr);
	m_context->flush();
	state().alphaFactor = 1.f;
	const uint32_t faded = pixel(8, 32);
	EXPECT_NEAR(0x80, int(faded & 0xFF), 2) << std::hex << faded;
	EXPECT_EQ(0u, faded & 0x00FFFF00u) << std::hex << faded;
}

// The masked-image batch of the game: colour from a material picture, transparency from a
// mask, faded, blended straight (the effect on 2.0, the fixed-function template on 1.1).
TEST_F(GLT(Image), MaskedQuadsMatchTheGoldenImage)
{
	lang::Ptr<gr::Image> material = image(8, 8, SurfaceFormat::SURFACE_A8R8G8B8, [](int x, int y) -> uint32_t {
		return (x + y) & 1 ? 0xFF20C0F0 : 0xFF2040F0;
	});
	lang::Ptr<gr::Image> mask = image(8, 8, SurfaceFormat::SURFACE_A8R8G8B8, [](int x, int) -> uint32_t {
		return uint32_t(x * 32 + 31) << 24 | 0xFFFFFF;
	});
	lang::Ptr<gr::Shader> shader = m_context->createShader(GR_GL_VERSION == 1 ? "shaders/sprite-straightalpha" : "shaders/2d-sprite-alpha-masked", 0);

	gr::VertexFormat vf;
	vf.addPosition(gr::VertexFormat::DF_FLOAT4);
	vf.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
	vf.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
	const math::float4 pos[6] = {math::float4(-0.75f, 0.75f, 0.001f, 1), math::float4(0.75f, 0.75f, 0.001f, 1), math::float4(-0.75f, -0.75f, 0.001f, 1),
		math::float4(-0.75f, -0.75f, 0.001f, 1), math::float4(0.75f, 0.75f, 0.001f, 1), math::float4(0.75f, -0.75f, 0.001f, 1)};
	// The material repeats twice across the quad; the mask spans it once.
	const math::float2 uv0[6] = {math::float2(0, 0), math::float2(2, 0), math::float2(0, 2), math::float2(0, 2), math::float2(2, 0), math::float2(2, 2)};
	const math::float2 uv1[6] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(0, 1), math::float2(1, 0), math::float2(1, 1)};
	gr::Primitive* p = m_context->getDynamicPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 6, 0);
	{
		gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_WRITE);
		p->setVertexData(gr::VertexFormat::DT_POSITION, 0, pos, gr::VertexFormat::DF_FLOAT4, 6);
		p->setVertexData(gr::VertexFormat::DT_TEX0, 0, uv0, gr::VertexFormat::DF_FLOAT2, 6);
		p->setVertexData(gr::VertexFormat::DT_TEX1, 0, uv1, gr::VertexFormat::DF_FLOAT2, 6);
		p->setVertexRangeBegin(0);
		p->setVertexRangeEnd(6);
	}
	m_context->clear(0xFF303030, true, true, false);
	shader->setTexture("BASEMAP", material->getTexture());
	shader->setTexture("BASEMAP1", mask->getTexture());
	shader->setFloat("ALPHA_FACTOR", 0.75f);
	shader->setMatrix("PROJTM", math::float4x4(1.f));
	m_context->setOrthographicProjection();
	p->setShader(shader);
	const int passes = shader->begin();
	shader->setMatrix(gr::Shader::PARAM_WORLDTM, math::float4x4(1.f));
	shader->setMatrix(gr::Shader::PARAM_VIEWTM, math::float4x4(1.f));
	for (int i = 0; i < passes; ++i)
	{
		shader->beginPass(i);
		p->render();
		shader->endPass();
	}
	shader->end();
	EXPECT_TRUE(gltest::matchesGolden("masked-quad", capture(), 3));
}

TEST_F(GLT(Image), ImagesLoadFromFilesAndDrawPixelForPixel)
{
	const char* base = std::getenv("TMPDIR");
	const std::string path = std::string(base && *base ? base : "/tmp") + "/engine-image-" + std::to_string(GR_GL_VERSION) + ".png";
	gltest::RGBAImage source;
	source.width = 20;
	source.height = 12;
	for (int y = 0; y < 12; ++y)
		for (int x = 0; x < 20; ++x)
		{
			const uint8_t px[4] = {uint8_t(x * 12), uint8_t(y * 20), uint8_t(x * y), 255};
			source.pixels.insert(source.pixels.end(), px, px + 4);
		}
	gltest::writePng(path, source);
	lang::Ptr<gr::Image> img;
	{
		io::FileInputStream in(path);
		img = m_context->createImage(in, "sprite.png");
	}
	std::remove(path.c_str());
	EXPECT_EQ(img->width(), 20);
	EXPECT_EQ(img->height(), 12);
	EXPECT_EQ(m_context->statistics().images, 1);

	m_context->clear(0xFF000000, true, true, false);
	img->draw(m_context, 10.f, 20.f, 0, 0, 20, 12, 20.f, 12.f);
	const gltest::RGBAImage frame = capture();
	int wrong = 0;
	for (int y = 0; y < 12; ++y)
		for (int x = 0; x < 20; ++x)
			wrong += frame.at(10 + x, 20 + y) != source.at(x, y);
	EXPECT_EQ(wrong, 0);
	EXPECT_EQ(frame.at(9, 20), 0xFF000000u);
	EXPECT_EQ(frame.at(30, 20), 0xFF000000u);
}

TEST_F(GLT(Image), EveryColourFormatUploadsAndDraws)
{
	// Pixels in any colour format an image may be made for (the readers give several of them) are
	// converted into one the GL takes, and draw as the colour they hold.
	using S = SurfaceFormat;
	const S rgba(S::SURFACE_A8B8G8R8), none;
	for (int t = S::SURFACE_R8G8B8; t <= S::SURFACE_A8R3G2B3; ++t)
	{
		const S asked = S(S::SurfaceFormatType(t));
		if (asked.type() == S::SURFACE_A8)
			continue; // GL gives alpha-only textures black colour channels
		const bool grey = asked.type() == S::SURFACE_L8 || asked.type() == S::SURFACE_A8L8;
		const uint32_t colour = grey ? 0xFF808080u : 0xFF2080E0u;
		// Sixteen pixels of the colour as a file would hold them (palette formats: index 0).
		const uint32_t palette[16] = {colour};
		const S palFormat = asked.palettized() ? rgba : none;
		std::vector<uint8_t> held(size_t(asked.getMemoryUsage(4, 4)), 0);
		if (!asked.palettized())
			asked.copyPixels(held.data(), asked.getMemoryUsage(4, 1), none, nullptr, rgba, std::vector<uint32_t>(16, colour).data(), 16,
				none, nullptr, 4, 4);
		uint32_t expected = 0;
		rgba.copyPixels(&expected, none, nullptr, asked, held.data(), palFormat, palette, 1);

		lang::Ptr<gr::Image> img;
		try
		{
			img = m_context->createImage(4, 4, 0, asked, gr::Context::USAGE_NONE);
		}
		catch (const lang::Exception& e)
		{
			ADD_FAILURE() << asked.toString() << ": " << e.getMessage().format();
			continue;
		}
		const S own = img->format();
		std::vector<uint8_t> converted(size_t(own.getMemoryUsage(4, 4)));
		own.copyPixels(converted.data(), own.getMemoryUsage(4, 1), none, nullptr, asked, held.data(), asked.getMemoryUsage(4, 1),
			palFormat, palette, 4, 4);
		img->blt(0, 0, converted.data(), own.getMemoryUsage(4, 1), 0, 4, 4, own);
		EXPECT_EQ(GLenum(GL_NO_ERROR), gl.GetError()) << asked.toString();

		m_context->clear(0xFF000000, true, true, false);
		img->draw(m_context, 0.f, 0.f, 0, 0, 4, 4, 4.f, 4.f);
		const uint32_t drawn = pixel(1, 1);
		for (int shift = 0; shift < 32; shift += 8)
			EXPECT_NEAR(int((expected >> shift) & 0xFF), int((drawn >> shift) & 0xFF), 5)
				<< asked.toString() << " as " << own.toString() << std::hex << ": expected " << expected << ", drawn " << drawn;
	}
}
