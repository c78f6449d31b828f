#include "ContextFixture.h"
#include "GLRecorder.h"
#include "TestShader.h"
#include "TextureImage.h"
#include <gr/gl/GL_Primitive.h>
#include <gr/gl/GL_RenderBatcher.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <cmath>
#include <cstring>
#include <functional>

using namespace gr::GR_GL_NS;
using gltest::GLRecorder;
using gltest::TestShader;
using TestImage = gltest::TextureImage;
using B = GL_RenderBatcher;
using F = GL_Functions;

namespace
{
/** A shader that asks for a flush when it begins, as the back ends' shaders do. */
class FlushingShader : public TestShader
{
public:
	explicit FlushingShader(gr::Context* context) : m_context(context) {}
	int begin() override
	{
		m_context->flush();
		return TestShader::begin();
	}

private:
	gr::Context* m_context;
};

struct Quad
{
	math::float3 p[4];
	math::float2 uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
	math::float4 c[4];

	// Pixel rectangle (x, y, w, h) of a 64 x 48 view in device coordinates.
	Quad(float x, float y, float w, float h, float id = 0)
	{
		const float l = 2 * x / 64 - 1, r = 2 * (x + w) / 64 - 1, t = 1 - 2 * y / 48, b = 1 - 2 * (y + h) / 48;
		p[0] = math::float3(l, t, id);
		p[1] = math::float3(r, t, id);
		p[2] = math::float3(l, b, id);
		p[3] = math::float3(r, b, id);
		for (math::float4& col : c)
			col = math::float4(255, 255, 255, 255);
	}
};

class GLT(Batcher) : public gltest::ContextFixture
{
protected:
	void SetUp() override
	{
		ContextFixture::SetUp();
		lang::Ptr<GL_Texture> t = new GL_Texture(m_context, 2, 2, 0, gr::SurfaceFormat::SURFACE_A8B8G8R8, 0);
		const uint32_t blue[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
		t->blt(0, 0, blue, 8, 0, 2, 2, gr::SurfaceFormat::SURFACE_A8B8G8R8);
		m_image = new TestImage(t);
		lang::Ptr<GL_Texture> t2 = new GL_Texture(m_context, 2, 2, 0, gr::SurfaceFormat::SURFACE_A8B8G8R8, 0);
		m_image2 = new TestImage(t2);
		m_shader = new TestShader;
		m_fillShader = new TestShader;
		m_context->getRenderState2D() = gr::RenderState2D();
		m_context->statistics().reset();
	}

	void TearDown() override
	{
		m_shader = nullptr;
		m_fillShader = nullptr;
		m_image = nullptr;
		m_image2 = nullptr;
		ContextFixture::TearDown();
	}

	B& batcher() { return m_context->getBatcher(); }

	void image(const Quad& q, gr::Image* img = nullptr, TestShader* shader = nullptr, bool colours = false)
	{
		batcher().render(B::TYPE_IMAGES, shader ? shader : m_shader.ptr(), q.p, q.uv, colours ? q.c : nullptr, img ? img : m_image.ptr(), 1);
	}

	void rect(const Quad& q, int lineWidth = 1)
	{
		batcher().render(B::TYPE_QUADS, m_fillShader, q.p, nullptr, q.c, nullptr, lineWidth);
	}

	void line(const Quad& q, int width)
	{
		batcher().render(B::TYPE_LINES, m_fillShader, q.p, nullptr, q.c, nullptr, width);
	}

	// Draw calls made by one flush of what was submitted in fn.
	template <class Fn> size_t drawsOf(Fn fn)
	{
		GLRecorder rec;
		fn();
		batcher().flush();
		return GLRecorder::draws.size();
	}

	lang::Ptr<TestImage> m_image;
	lang::Ptr<TestImage> m_image2;
	lang::Ptr<TestShader> m_shader;
	lang::Ptr<TestShader> m_fillShader; // lines and fills: never given a texture
};
}

TEST_F(GLT(Batcher), EqualKeysShareOneDrawInCornerOrder)
{
	GLRecorder rec;
	image(Quad(0, 0, 8, 8, 0.25f));
	image(Quad(8, 0, 8, 8, 0.5f));
	EXPECT_EQ(12, batcher().vertexCount());
	EXPECT_EQ(2, m_context->statistics().imageQuads);
	EXPECT_EQ(0, m_context->statistics().imageBatches);
	batcher().flush();
	EXPECT_EQ(1, m_context->statistics().imageBatches);
	ASSERT_EQ(1u, GLRecorder::draws.size());
	EXPECT_EQ(12, GLRecorder::draws[0].count);

	gr::VertexFormat vf;
	vf.addPosition(gr::VertexFormat::DF_FLOAT3);
	vf.addTextureCoordinate(gr::VertexFormat::DF_FLOAT2);
	gr::Primitive* p = m_context->getDynamicPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 12, 0);
	math::float4 pos[12], uv[12];
	{
		gr::ContextObject::Lock lock(p, gr::ContextObject::LOCK_READ);
		p->getVertexPositions(0, pos, 12);
		p->getVertexTextureCoordinates(0, 0, uv, 12);
	}
	const Quad a(0, 0, 8, 8, 0.25f), b(8, 0, 8, 8, 0.5f);
	const int order[6] = {0, 1, 2, 2, 1, 3};
	for (int i = 0; i < 12; ++i)
	{
		const Quad& q = i < 6 ? a : b;
		const int c = order[i % 6];
		EXPECT_EQ(q.p[c].x, pos[i].x) << i;
		EXPECT_EQ(q.p[c].y, pos[i].y) << i;
		EXPECT_EQ(q.p[c].z, pos[i].z) << i;
		EXPECT_EQ(q.uv[c].x, uv[i].x) << i;
		EXPECT_EQ(q.uv[c].y, uv[i].y) << i;
	}
}

TEST_F(GLT(Batcher), KeysThatSplitBatches)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const gr::RenderState2D defaults;
	lang::Ptr<TestShader> other = new TestShader;
	const struct
	{
		const char* what;
		size_t draws;
		std::function<void()> between;
	} cases[] = {
		{"clip rectangle", 2, [&] { rs.clipRect = gr::Rect(0, 0, 32, 32); }},
		{"alpha factor", 2, [&] { rs.alphaFactor = 0.5f; }},
		{"world transform", 1, [&] { rs.worldTransform(0, 3) = 0.25f; }},
		{"colour saturation", 1, [&] { rs.colorSaturation = 0.f; }},
		{"rotation", 1, [&] { rs.rotation[1] = 1.f; rs.angle = 1.f; }},
	};
	for (const auto& c : cases)
	{
		rs = defaults;
		EXPECT_EQ(c.draws, drawsOf([&] {
			image(Quad(0, 0, 8, 8));
			c.between();
			image(Quad(8, 0, 8, 8));
		})) << c.what;
	}
	rs = defaults;
	EXPECT_EQ(2u, drawsOf([&] { image(Quad(0, 0, 8, 8)); image(Quad(0, 0, 8, 8), m_image2); })) << "image";
	EXPECT_EQ(2u, drawsOf([&] { image(Quad(0, 0, 8, 8)); image(Quad(0, 0, 8, 8), nullptr, nullptr, true); })) << "colours";
	EXPECT_EQ(2u, drawsOf([&] { line(Quad(0, 0, 8, 8), 1); line(Quad(0, 8, 8, 8), 3); })) << "line width";
	EXPECT_EQ(1u, drawsOf([&] { rect(Quad(0, 0, 8, 8), 1); rect(Quad(0, 8, 8, 8), 5); })) << "width of fills";
	EXPECT_EQ(2u, drawsOf([&] { line(Quad(0, 0, 8, 8), 1); rect(Quad(0, 8, 8, 8)); })) << "kind";
	const lang::Ptr<TestShader> fill = m_fillShader;
	EXPECT_EQ(2u, drawsOf([&] { rect(Quad(0, 0, 8, 8)); m_fillShader = other; rect(Quad(0, 8, 8, 8)); })) << "shader of fills";
	m_fillShader = fill;
	EXPECT_EQ(2u, drawsOf([&] { line(Quad(0, 0, 8, 8), 1); m_fillShader = other; line(Quad(0, 8, 8, 8), 1); })) << "shader of lines";
	m_fillShader = fill;
	rs.alphaFactor = std::nanf("");
	EXPECT_EQ(2u, drawsOf([&] { image(Quad(0, 0, 8, 8)); image(Quad(0, 0, 8, 8)); })) << "NaN alpha never equals";
}

TEST_F(GLT(Batcher), FirstShaderDrawsTheBatchWithItsParameters)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	rs.alphaFactor = 0.75f;
	rs.colorSaturation = 0.5f;
	rs.worldTransform(0, 3) = 0.125f;
	lang::Ptr<TestShader> second = new TestShader;
	second->passes = 2;
	image(Quad(0, 0, 8, 8));
	image(Quad(8, 0, 8, 8), nullptr, second);
	batcher().flush();
	EXPECT_TRUE(second->calls.empty());
#if GR_GL_VERSION == 1
	const char* lastMatrix = "matrix VIEWTM";
#else
	const char* lastMatrix = "matrix PROJTM";
#endif
	const std::vector<std::string> expected = {"float ALPHA_FACTOR", "float COLOR_SATURATION", "texture BASEMAP", "begin",
		"matrix WORLDTM", lastMatrix, "pass", "end"};
	EXPECT_EQ(expected, m_shader->callNames());
	EXPECT_EQ(0.75f, m_shader->calls[0].value);
	EXPECT_EQ(0.5f, m_shader->calls[1].value);
	EXPECT_EQ(0.125f, m_shader->calls[4].matrix(0, 3));
#if GR_GL_VERSION == 2
	math::float4x4 proj(1.f);
	proj(1, 1) = 2.f;
	m_context->setProjection(proj);
	m_shader->calls.clear();
	image(Quad(0, 0, 8, 8));
	batcher().flush();
	const math::float4x4 expectedProj = proj * rs.worldTransform;
	EXPECT_EQ(0, std::memcmp(expectedProj.data(), m_shader->calls[5].matrix.data(), sizeof(float) * 16));
#endif
	m_shader->calls.clear();
	m_shader->passes = 3;
	EXPECT_EQ(3u, drawsOf([&] { image(Quad(0, 0, 8, 8)); })) << "one draw per pass";
}

TEST_F(GLT(Batcher), EmptyFlushesAndResets)
{
	EXPECT_EQ(0u, drawsOf([] {}));
	batcher().flush();
	EXPECT_EQ(0, m_context->statistics().imageBatches);

	image(Quad(0, 0, 8, 8));
	EXPECT_EQ(m_image.ptr(), batcher().getImage());
	batcher().reset();
	EXPECT_EQ(nullptr, batcher().getImage());
	EXPECT_EQ(0u, drawsOf([] {}));
	EXPECT_EQ(0, m_context->statistics().imageBatches);
	EXPECT_TRUE(m_shader->calls.empty());
}

TEST_F(GLT(Batcher), FlushRequestsFromInsideAFlushAreIgnored)
{
	lang::Ptr<FlushingShader> s = new FlushingShader(m_context);
	m_context->getRenderState2D().clipRect = gr::Rect(0, 0, 16, 16); // the flush sets it on the context
	GLRecorder rec;
	image(Quad(0, 0, 8, 8), nullptr, s);
	batcher().flush();
	EXPECT_EQ(1u, GLRecorder::draws.size());
	EXPECT_EQ(1, m_context->statistics().imageBatches);
	EXPECT_EQ(0, batcher().vertexCount());
}

TEST_F(GLT(Batcher), AFailedFlushDropsTheBatchAndLaterPiecesDraw)
{
	struct FailingShader : TestShader
	{
		int begin() override { throw lang::Exception(lang::Format("no program")); }
	};
	lang::Ptr<FailingShader> failing = new FailingShader;
	image(Quad(0, 0, 8, 8), nullptr, failing);
	EXPECT_THROW(batcher().flush(), lang::Exception);
	EXPECT_EQ(0, batcher().vertexCount());
	EXPECT_EQ(nullptr, batcher().getImage());
	EXPECT_EQ(1u, drawsOf([&] { image(Quad(0, 0, 8, 8)); }));
}

TEST_F(GLT(Batcher), ColoursReachThePrimitiveAsItsByteConversionGivesThem)
{
	const math::float4 colours[4] = {{255, 127.9f, 0.5f, -1}, {300, -300, 256, 1e12f}, {std::nanf(""), -0.9f, 3e9f, -3e9f}, {1, 2, 3, 4}};
	Quad q(0, 0, 8, 8);
	for (int i = 0; i < 4; ++i)
		q.c[i] = colours[i];
	rect(q);
	batcher().flush();

	gr::VertexFormat vf;
	vf.addPosition(gr::VertexFormat::DF_FLOAT3);
	vf.addDiffuse(gr::VertexFormat::DF_BYTE4);
	gr::Primitive* p = m_context->getDynamicPrimitive(gr::Primitive::PRIM_TRIANGLES, vf, 6, 0);
	unsigned char* bytes = nullptr;
	int stride = 0;
	p->getVertexDataPtr(gr::VertexFormat::DT_DIFFUSE, &bytes, &stride);
	const int order[6] = {0, 1, 2, 2, 1, 3};
	for (int v = 0; v < 6; ++v)
	{
		unsigned char expected[4];
		gr::VertexFormat::setData(gr::VertexFormat::DF_BYTE4, expected, colours[order[v]]);
		for (int k = 0; k < 4; ++k)
			EXPECT_EQ(expected[k], bytes[v * stride + k]) << "vertex " << v << " component " << k;
	}
}

TEST_F(GLT(Batcher), LineWidthGoesThroughTheCache)
{
	GLRecorder rec;
	line(Quad(0, 0, 8, 8), 1);
	batcher().flush();
	EXPECT_TRUE(GLRecorder::lineWidths.empty()) << "1 is already the GL's width";
	line(Quad(0, 0, 8, 8), 3);
	batcher().flush();
	line(Quad(0, 0, 8, 8), 3);
	batcher().flush();
	EXPECT_EQ(std::vector<float>{3.f}, GLRecorder::lineWidths);
}

TEST_F(GLT(Batcher), DrawsTexturedAndColouredPieces)
{
	m_context->clear(0xFF000000u, true, true, false);
	image(Quad(0, 0, 16, 16));                   // blue texture
	Quad coloured(16, 0, 16, 16);
	for (math::float4& c : coloured.c)
		c = math::float4(0, 255, 0, 255);         // green corners on the blue texture: black
	image(coloured, nullptr, nullptr, true);
	Quad fill(32, 0, 16, 16);
	for (math::float4& c : fill.c)
		c = math::float4(255, 0, 0, 255);
	rect(fill);
	image(Quad(0, 24, 16, 16));                   // blue again, after the colours
	const gltest::RGBAImage frame = capture();
	EXPECT_EQ(0xFFFF0000u, frame.at(8, 8));
	EXPECT_EQ(0xFF000000u, frame.at(24, 8));
	EXPECT_EQ(0xFF0000FFu, frame.at(40, 8));
	EXPECT_EQ(0xFFFF0000u, frame.at(8, 32)) << "vertices after a coloured piece keep no stale colour";
	EXPECT_EQ(0xFF000000u, frame.at(56, 40));
}
