#include "ContextFixture.h"
#include <gr/gl/GL1_Shader_Default.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <EGL/egl.h>
#include <lang/Ptr.h>
#include <cstdint>
#include <string>
#include <vector>

using gr::gles1::GL_Shader_Default;
using gr::gles1::GL_State;
using gr::gles1::GL_Texture;
using gr::gles1::gl;
using gr::Shader;

namespace
{
const char* const TEMPLATES[] = {"unlit-plain", "unlit-tex", "unlit-tex-alpha", "diff-plain", "diff-tex", "diff-tex-alpha", "sprite",
	"sprite-alpha", "sprite-straightalpha", "sprite-plain", "sprite-alphaplain", "sprite-alpha-reversed", "lines-debug"};

class gles1_FixedFunctionShader : public gltest::ContextFixture
{
protected:
	lang::Ptr<Shader> shader(const char* name) { return m_context->createShader(name, 0); }

	// A texture of 0xAABBGGRR pixels.
	lang::Ptr<GL_Texture> texture(int w, int h, const std::vector<uint32_t>& pixels)
	{
		gr::SurfaceFormat rgba(gr::SurfaceFormat::SURFACE_A8B8G8R8);
		lang::Ptr<GL_Texture> t = new GL_Texture(m_context, w, h, 0, rgba, 0);
		t->blt(0, 0, pixels.data(), w * 4, 0, w, h, rgba);
		return t;
	}

	static std::vector<float> current(GLenum what, int n)
	{
		std::vector<float> v(size_t(n), -1.f);
		gl.GetFloatv(what, v.data());
		return v;
	}

	// Runs the shader's one pass around a quad over the middle of the view, with identity
	// matrices, texture layers 0 and 1 spanning the quad.
	void drawQuad(Shader* s)
	{
		// Corners top-left, top-right, bottom-left, bottom-right: the engine's front faces.
		static const float positions[] = {-0.75f, 0.75f, 0.001f, 0.75f, 0.75f, 0.001f, -0.75f, -0.75f, 0.001f, 0.75f, -0.75f, 0.001f};
		static const float uv[] = {0, 0, 1, 0, 0, 1, 1, 1};
		const math::float4x4 identity(1.f);
		ASSERT_EQ(s->begin(), 1);
		s->setMatrix(Shader::PARAM_PROJTM, identity);
		s->setMatrix(Shader::PARAM_VIEWTM, identity);
		s->setMatrix(Shader::PARAM_WORLDTM, identity);
		s->beginPass(0);
		GL_State::enableClientState(GL_VERTEX_ARRAY);
		gl.VertexPointer(3, GL_FLOAT, 0, positions);
		for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1})
		{
			GL_State::clientActiveTexture(unit);
			GL_State::enableClientState(GL_TEXTURE_COORD_ARRAY);
			gl.TexCoordPointer(2, GL_FLOAT, 0, uv);
		}
		gl.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
		ASSERT_EQ(gl.GetError(), GLenum(GL_NO_ERROR));
		for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0})
		{
			GL_State::clientActiveTexture(unit);
			GL_State::disableClientState(GL_TEXTURE_COORD_ARRAY);
		}
		GL_State::disableClientState(GL_VERTEX_ARRAY);
		s->endPass();
		s->end();
	}
};
}

TEST_F(gles1_FixedFunctionShader, TemplatesCarryTheirFlagsAndBlending)
{
	const struct
	{
		const char* name;
		int flags;
		bool blend;
		GLenum source, destination;
	} expected[] = {
		{"unlit-plain", 0x1000, false, 0, 0},
		{"unlit-tex", 0x4000, false, 0, 0},
		{"unlit-tex-alpha", 0xC000, true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"diff-plain", 0x3000, false, 0, 0},
		{"diff-tex", 0x6000, false, 0, 0},
		{"diff-tex-alpha", 0xB000, true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite", 0x1C000, false, 0, 0},
		{"sprite-alpha", 0x1C000, true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-straightalpha", 0x1C000, true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-plain", 0x19000, false, 0, 0},
		{"sprite-alphaplain", 0x19000, true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
		{"sprite-alpha-reversed", 0x1C000, true, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
		{"lines-debug", 0x9000, false, 0, 0},
	};
	for (const auto& e : expected)
	{
		lang::Ptr<Shader> s = shader(e.name);
		EXPECT_EQ(s->name(), e.name);
		EXPECT_EQ(static_cast<GL_Shader_Default*>(s.ptr())->flags(), e.flags) << e.name;
		EXPECT_EQ(s->priority(), 0);
		EXPECT_EQ(s->sort(), Shader::SORT_NONE);
		s->begin();
		s->beginPass(0);
		EXPECT_EQ(GL_State::isEnabled(GL_BLEND), e.blend) << e.name;
		if (e.blend)
		{
			EXPECT_EQ(GL_State::sm_current.m_blendSrc, e.source) << e.name;
			EXPECT_EQ(GL_State::sm_current.m_blendDst, e.destination) << e.name;
		}
		EXPECT_EQ(GL_State::isEnabled(GL_DEPTH_TEST), (e.flags & 0x8000) == 0) << e.name;
		EXPECT_EQ(GL_State::sm_current.m_depthMask, (e.flags & 0x8000) == 0) << e.name;
		EXPECT_EQ(GL_State::isEnabled(GL_CULL_FACE), (e.flags & 0x10000) == 0) << e.name;
		EXPECT_EQ(GL_State::isEnabled(GL_LIGHTING), (e.flags & 0x2000) != 0) << e.name;
		EXPECT_EQ(GL_State::isEnabled(GL_COLOR_MATERIAL), (e.flags & 0x1000) != 0) << e.name;
		// Unit 1 is the active unit after every pass.
		EXPECT_EQ(GL_State::sm_current.m_activeTexture, GLenum(GL_TEXTURE1)) << e.name;
		s->endPass();
		s->end();
	}
	EXPECT_THROW(shader("sprite-missing"), gr::GraphicsException);
}

TEST_F(gles1_FixedFunctionShader, CurrentColourFollowsAlphaAndPremultiplication)
{
	const struct
	{
		const char* name;
		math::float4 diffuse;
		std::vector<float> colour;
	} cases[] = {
		{"sprite-alpha", math::float4(1, 1, 1, 1), {0.5f, 0.5f, 0.5f, 0.5f}},
		{"sprite-straightalpha", math::float4(1, 1, 1, 1), {1, 1, 1, 0.5f}},
		{"sprite", math::float4(1, 1, 1, 1), {1, 1, 1, 0.5f}},
		{"unlit-plain", math::float4(1, 0, 0, 1), {1, 0, 0, 0.5f}},
		{"sprite-alphaplain", math::float4(0.5f, 1, 0, 0.5f), {0.5f, 1, 0, 0.25f}},
	};
	for (const auto& c : cases)
	{
		lang::Ptr<Shader> s = shader(c.name);
		s->setFloat("ALPHA_FACTOR", 0.5f);
		s->setVector("DIFFUSEC", c.diffuse);
		s->begin();
		s->beginPass(0);
		EXPECT_EQ(current(GL_CURRENT_COLOR, 4), c.colour) << c.name;
		s->endPass();
		s->end();
	}
}

TEST_F(gles1_FixedFunctionShader, TexturesAreBoundOnlyByTexturingTemplates)
{
	lang::Ptr<GL_Texture> a = texture(1, 1, {0xFFFFFFFF});
	lang::Ptr<GL_Texture> b = texture(1, 1, {0xFFFFFFFF});
	const struct
	{
		const char* name;
		bool textured;
	} cases[] = {{"sprite", true}, {"sprite-plain", false}, {"diff-tex-alpha", false}, {"unlit-tex", true}};
	for (const auto& c : cases)
	{
		lang::Ptr<Shader> s = shader(c.name);
		s->setTexture("BASEMAP", a);
		s->setTexture("BASEMAP1", b);
		EXPECT_EQ(s->getTexture("BASEMAP"), nullptr);
		s->begin();
		s->beginPass(0);
		EXPECT_EQ(GL_State::sm_current.m_bindedTexture[0], c.textured ? a->textureName() : 0u) << c.name;
		EXPECT_EQ(GL_State::sm_current.m_bindedTexture[1], c.textured ? b->textureName() : 0u) << c.name;
		EXPECT_EQ(GL_State::isEnabled(GL_TEXTURE_2D + 0), c.textured) << c.name;
		EXPECT_EQ(GL_State::isEnabled(GL_TEXTURE_2D + 1), c.textured) << c.name;
		s->endPass();
		s->end();
	}
	// Without a second map, stage 1 is off even for a texturing template.
	lang::Ptr<Shader> s = shader("sprite");
	s->setTexture("BASEMAP", a);
	s->begin();
	s->beginPass(0);
	EXPECT_EQ(GL_State::sm_current.m_bindedTexture[1], 0u);
	EXPECT_FALSE(GL_State::isEnabled(GL_TEXTURE_2D + 1));
	s->endPass();
	s->end();
}

TEST_F(gles1_FixedFunctionShader, ClonesShareSortButNotParameters)
{
	lang::Ptr<Shader> a = shader("sprite");
	lang::Ptr<Shader> b = shader("sprite");
	lang::Ptr<Shader> other = shader("sprite-alpha");
	a->setSort(Shader::SORT_BACKTOFRONT);
	EXPECT_EQ(b->sort(), Shader::SORT_BACKTOFRONT);
	EXPECT_EQ(other->sort(), Shader::SORT_NONE);
	EXPECT_EQ(shader("sprite")->sort(), Shader::SORT_BACKTOFRONT);
	a->setSort(Shader::SORT_NONE);

	// Parameters without a meaning here change nothing and read back as nothing.
	a->setFloat("COLOR_SATURATION", 0.5f);
	a->setTexture(Shader::PARAM_WORLDTM, nullptr);
	EXPECT_EQ(a->getFloat("ALPHA_FACTOR"), 0.f);
	EXPECT_TRUE(a->hasTechnique("anything"));
	EXPECT_TRUE(a->enabled());

	// Camera position reaches the context only from a sorting shader.
	m_context->m_sortCamera = math::float4(0, 0, 0, 0);
	a->setVector(Shader::PARAM_CAMERAP, math::float4(1, 2, 3, 1));
	EXPECT_EQ(m_context->m_sortCamera, math::float4(0, 0, 0, 0));
	a->setSort(Shader::SORT_FRONTTOBACK);
	a->setVector(Shader::PARAM_CAMERAP, math::float4(1, 2, 3, 1));
	EXPECT_EQ(m_context->m_sortCamera, math::float4(1, 2, 3, 1));
	a->setSort(Shader::SORT_NONE);
}

TEST_F(gles1_FixedFunctionShader, OneLightWhateverTheIndex)
{
	lang::Ptr<Shader> s = shader("diff-plain");
	s->setVector(Shader::PARAM_LIGHTP3, math::float4(0, 1, 0, 0));
	s->setVector(Shader::PARAM_LIGHTC7, math::float4(0.25f, 0.5f, 0.75f, 1));
	s->setVector("AMBIENTC", math::float4(0.125f, 0.125f, 0.125f, 1));
	s->begin();
	s->setMatrix(Shader::PARAM_VIEWTM, math::float4x4(1.f));
	s->beginPass(0);
	std::vector<float> position(4), diffuse(4), ambient(4);
	reinterpret_cast<void (*)(GLenum, GLenum, GLfloat*)>(eglGetProcAddress("glGetLightfv"))(GL_LIGHT0, GL_POSITION, position.data());
	reinterpret_cast<void (*)(GLenum, GLenum, GLfloat*)>(eglGetProcAddress("glGetLightfv"))(GL_LIGHT0, GL_DIFFUSE, diffuse.data());
	reinterpret_cast<void (*)(GLenum, GLenum, GLfloat*)>(eglGetProcAddress("glGetLightfv"))(GL_LIGHT0, GL_AMBIENT, ambient.data());
	EXPECT_EQ(position, (std::vector<float>{0, 1, 0, 0}));
	EXPECT_EQ(diffuse, (std::vector<float>{0.25f, 0.5f, 0.75f, 1}));
	EXPECT_EQ(ambient, (std::vector<float>{0.125f, 0.125f, 0.125f, 1}));
	EXPECT_TRUE(GL_State::isEnabled(GL_LIGHT0));
	s->endPass();
	s->end();
}

TEST_F(gles1_FixedFunctionShader, MatricesOutsideBeginStopTheProgram)
{
	lang::Ptr<Shader> s = shader("sprite");
	EXPECT_DEATH(s->setMatrix(Shader::PARAM_WORLDTM, math::float4x4(1.f)), "inBegin");
}

// Every template drawn over a grey background with a premultiplied picture, its alpha
// factor at 0.75 and a diffuse colour; "sprite-straightalpha" also gets a mask.
TEST_F(gles1_FixedFunctionShader, TemplatesDrawAsTheirGoldenImages)
{
	// Quadrants (premultiplied): opaque red, half green, clear, opaque white.
	std::vector<uint32_t> quadrants(64), halves(64);
	for (int y = 0; y < 8; ++y)
		for (int x = 0; x < 8; ++x)
		{
			static const uint32_t colours[4] = {0xFF0000FF, 0x80008000, 0x00000000, 0xFFFFFFFF};
			quadrants[size_t(y * 8 + x)] = colours[(y / 4) * 2 + x / 4];
			// The mask: opaque on the left, a quarter on the right.
			halves[size_t(y * 8 + x)] = x < 4 ? 0xFFFFFFFF : 0x40FFFFFF;
		}
	lang::Ptr<GL_Texture> picture = texture(8, 8, quadrants);
	lang::Ptr<GL_Texture> mask = texture(8, 8, halves);
	for (const char* name : TEMPLATES)
	{
		m_context->clear(0xFF404040, true, true, false);
		lang::Ptr<Shader> s = shader(name);
		s->setTexture("BASEMAP", picture);
		if (std::string(name) == "sprite-straightalpha")
			s->setTexture("BASEMAP1", mask);
		s->setFloat("ALPHA_FACTOR", 0.75f);
		s->setVector("DIFFUSEC", math::float4(1.f, 0.5f, 0.25f, 1.f));
		s->setVector("AMBIENTC", math::float4(0.25f, 0.25f, 0.25f, 1.f));
		drawQuad(s);
		EXPECT_TRUE(gltest::matchesGolden(std::string("ff-") + name, capture())) << name;
	}
}
