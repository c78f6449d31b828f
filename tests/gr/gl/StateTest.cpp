#include "GLTestSupport.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>

using namespace gr::GR_GL_NS;
using F = GL_Functions;

namespace
{
class GLT(State) : public gltest::GLFixture
{
};

#if GR_GL_VERSION == 1
const GLenum BLEND_SRC = GL_BLEND_SRC, BLEND_DST = GL_BLEND_DST;
#else
const GLenum BLEND_SRC = GL_BLEND_SRC_ALPHA, BLEND_DST = GL_BLEND_DST_ALPHA;
#endif

GLint getInt(GLenum pname)
{
	GLint v[4] = {};
	gl.GetIntegerv(pname, v);
	return v[0];
}
}

TEST_F(GLT(State), AccessorsCallGLOnlyOnChange)
{
	GL_CallCounter calls;
	GL_State::enable(GL_BLEND);
	GL_State::enable(GL_BLEND);
	GL_State::disable(GL_BLEND);
	GL_State::disable(GL_BLEND);
	EXPECT_EQ(1, calls.count(F::INDEX_Enable));
	EXPECT_EQ(1, calls.count(F::INDEX_Disable));

	struct Case { const char* what; void (*twice)(); F::Index fn; };
	const Case cases[] = {
		{"frontFace", [] { GL_State::frontFace(GL_CW); }, F::INDEX_FrontFace},
		{"cullFace", [] { GL_State::cullFace(GL_FRONT); }, F::INDEX_CullFace},
		{"depthMask", [] { GL_State::depthMask(false); }, F::INDEX_DepthMask},
		{"depthFunc", [] { GL_State::depthFunc(GL_LEQUAL); }, F::INDEX_DepthFunc},
		{"blendFunc", [] { GL_State::blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }, F::INDEX_BlendFunc},
		{"viewport", [] { GL_State::viewport(1, 2, 30, 40); }, F::INDEX_Viewport},
		{"scissor", [] { GL_State::scissor(1, 2, 30, 40); }, F::INDEX_Scissor},
		{"clearColor", [] { GL_State::clearColor(0.25f, 0.5f, 0.75f, 1.f); }, F::INDEX_ClearColor},
		{"lineWidth", [] { GL_State::lineWidth(3.f); }, F::INDEX_LineWidth},
		{"activeTexture", [] { GL_State::activeTexture(GL_TEXTURE2); }, F::INDEX_ActiveTexture},
		{"bindBuffer", [] { GL_State::bindBuffer(GL_ARRAY_BUFFER, 0); GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0); }, F::INDEX_BindBuffer},
	};
	for (const Case& c : cases)
	{
		calls.clear();
		c.twice();
		c.twice();
		EXPECT_EQ(std::string(c.what) == "bindBuffer" ? 0 : 1, calls.count(c.fn)) << c.what;
	}
	EXPECT_EQ(GL_CW, getInt(GL_FRONT_FACE));
	EXPECT_EQ(GL_FRONT, getInt(GL_CULL_FACE_MODE));
	EXPECT_EQ(GL_LEQUAL, getInt(GL_DEPTH_FUNC));
	GLint vp[4];
	gl.GetIntegerv(GL_VIEWPORT, vp);
	EXPECT_EQ(1, vp[0]);
	EXPECT_EQ(40, vp[3]);
	EXPECT_EQ(gr::Rect(1, 2, 31, 42), GL_State::sm_current.m_viewport);
}

TEST_F(GLT(State), TextureBindingsAreKeptPerUnit)
{
	GLuint names[2];
	gl.GenTextures(2, names);
	GL_CallCounter calls;
	GL_State::activeTexture(GL_TEXTURE1);
	GL_State::bindTexture(names[0]);
	GL_State::activeTexture(GL_TEXTURE0);
	GL_State::bindTexture(names[1]);
	GL_State::activeTexture(GL_TEXTURE1);
	GL_State::bindTexture(names[0]);
	EXPECT_EQ(2, calls.count(F::INDEX_BindTexture));
	EXPECT_EQ(GLint(names[0]), getInt(GL_TEXTURE_BINDING_2D));
	EXPECT_EQ(names[1], GL_State::sm_current.m_bindedTexture[0]);
	gl.DeleteTextures(2, names);
}

TEST_F(GLT(State), BeginForcedResendsWhatChangedBehindTheCache)
{
	const GL_State defaults;
	defaults.begin(true);
	gl.CullFace(GL_FRONT);
	gl.DepthMask(GL_FALSE);
	gl.DepthFunc(GL_ALWAYS);
	gl.BlendFunc(GL_SRC_ALPHA, GL_ONE);

	{
		GL_CallCounter calls;
		defaults.begin(false);
		EXPECT_EQ(0, calls.total() - calls.count(F::INDEX_GetError));
	}
	defaults.begin(true);
	EXPECT_EQ(GL_BACK, getInt(GL_CULL_FACE_MODE));
	EXPECT_EQ(GL_TRUE, getInt(GL_DEPTH_WRITEMASK));
	EXPECT_EQ(GL_LESS, getInt(GL_DEPTH_FUNC));
	EXPECT_EQ(GL_ONE, getInt(BLEND_SRC));
	EXPECT_EQ(GL_ZERO, getInt(BLEND_DST));
	EXPECT_TRUE(gl.IsEnabled(GL_CULL_FACE));
	EXPECT_TRUE(gl.IsEnabled(GL_DEPTH_TEST));
	EXPECT_FALSE(gl.IsEnabled(GL_BLEND));
}

TEST_F(GLT(State), BeginAppliesAStateValue)
{
	GL_State s;
	s.m_cullFaceEnabled = false;
	s.m_depthTest = false;
	s.m_blend = true;
	s.m_blendSrc = GL_SRC_ALPHA;
	s.m_blendDst = GL_ONE_MINUS_SRC_ALPHA;
	s.begin(false);
	EXPECT_FALSE(gl.IsEnabled(GL_CULL_FACE));
	EXPECT_FALSE(gl.IsEnabled(GL_DEPTH_TEST));
	EXPECT_TRUE(gl.IsEnabled(GL_BLEND));
	EXPECT_EQ(GL_ONE_MINUS_SRC_ALPHA, getInt(BLEND_DST));
	EXPECT_FALSE(GL_State::sm_current.m_caps.at(GL_CULL_FACE));
	EXPECT_TRUE(GL_State::sm_current.m_blend);
}

TEST_F(GLT(State), ResetForgetsWithoutCallingGL)
{
	GL_State::enable(GL_SCISSOR_TEST);
	GL_State::lineWidth(4.f);
	GL_CallCounter calls;
	GL_State::reset();
	EXPECT_EQ(0, calls.total());
	EXPECT_FALSE(GL_State::sm_current.m_caps.at(GL_SCISSOR_TEST));
	EXPECT_EQ(1.f, GL_State::sm_current.m_lineWidth);
	EXPECT_EQ(gr::Rect(-10000, -10000, 10000, 10000), GL_State::sm_current.m_viewport);
}

TEST_F(GLT(State), DefaultCapabilityTable)
{
	const GL_State s;
	EXPECT_EQ(GR_GL_VERSION == 1 ? 42u : 18u, s.m_caps.size());
	for (const auto& cap : s.m_caps)
		EXPECT_EQ(GR_GL_VERSION == 1 && cap.first == 0x809D, cap.second) << cap.first;
	for (int unit = 0; unit < 8; ++unit)
		EXPECT_EQ(1u, s.m_caps.count(GLenum(0x0DE1 + unit)));
}

TEST_F(GLT(State), UnknownCapabilityOrTextureUnitStopsTheProgram)
{
	::testing::FLAGS_gtest_death_test_style = "threadsafe";
	EXPECT_DEATH(GL_State::enable(0x8513 /* cube maps: never cached */), "m_caps.count");
	EXPECT_DEATH(GL_State::activeTexture(GL_TEXTURE0 + 8), "m_bindedTexture");
}

TEST_F(GLT(State), AGLErrorStopsTheProgram)
{
	::testing::FLAGS_gtest_death_test_style = "threadsafe";
	EXPECT_DEATH(GL_State::depthFunc(0x1234), "glGetError\\(\\) == GL_NO_ERROR");
}

#if GR_GL_VERSION == 1
TEST_F(GLT(State), Texture2DIsKeyedByTheActiveUnit)
{
	GL_State::activeTexture(GL_TEXTURE3);
	GL_State::enable(GL_TEXTURE_2D);
	const GL_State defaults;
	for (const auto& cap : GL_State::sm_current.m_caps)
		EXPECT_EQ(cap.first == 0x0DE4 ? true : defaults.m_caps.at(cap.first), cap.second) << cap.first;
	EXPECT_TRUE(gl.IsEnabled(GL_TEXTURE_2D));
	GL_State::activeTexture(GL_TEXTURE0);
	EXPECT_FALSE(gl.IsEnabled(GL_TEXTURE_2D));
}

TEST_F(GLT(State), LoadMatrixSendsChangedMatricesTransposed)
{
	math::float4x4 m(1.f);
	m.setTranslation(math::float3(5.f, 6.f, 7.f));
	GL_CallCounter calls;
	GL_State::setMatrixMode(GL_PROJECTION);
	GL_State::loadMatrixf(m);
	GL_State::loadMatrixf(m);
	GL_State::loadMatrixf(GL_State::IDENTITY);
	EXPECT_EQ(2, calls.count(F::INDEX_LoadMatrixf));
	EXPECT_EQ(1, calls.count(F::INDEX_MatrixMode));
	GL_State::loadMatrixf(m);
	GLfloat p[16];
	gl.GetFloatv(GL_PROJECTION_MATRIX, p);
	EXPECT_EQ(5.f, p[12]);
	EXPECT_EQ(7.f, p[14]);
	// Model-view still holds the identity, so loading it again sends nothing.
	calls.clear();
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(GL_State::IDENTITY);
	EXPECT_EQ(0, calls.total());
}

TEST_F(GLT(State), ClientStatesAreKeptPerArrayAndUnit)
{
	GL_CallCounter calls;
	GL_State::enableClientState(GL_VERTEX_ARRAY);
	GL_State::enableClientState(GL_VERTEX_ARRAY);
	GL_State::enableClientState(GL_TEXTURE_COORD_ARRAY);
	GL_State::clientActiveTexture(GL_TEXTURE1);
	GL_State::enableClientState(GL_TEXTURE_COORD_ARRAY);
	GL_State::enableClientState(GL_LIGHTING); // not an array: ignored
	EXPECT_EQ(3, calls.count(F::INDEX_EnableClientState));
	EXPECT_TRUE(GL_State::sm_current.m_texCoordArray[0]);
	EXPECT_TRUE(GL_State::sm_current.m_texCoordArray[1]);
	EXPECT_TRUE(gl.IsEnabled(GL_TEXTURE_COORD_ARRAY));
	GL_State::disableClientState(GL_VERTEX_ARRAY);
	EXPECT_FALSE(gl.IsEnabled(GL_VERTEX_ARRAY));
}
#else
TEST_F(GLT(State), ProgramAndBlendEquationGoThroughBegin)
{
	GL_State s;
	s.m_blendEquation = GL_FUNC_REVERSE_SUBTRACT;
	{
		GL_CallCounter calls;
		s.begin(false);
		EXPECT_EQ(1, calls.count(F::INDEX_BlendEquation));
		EXPECT_EQ(0, calls.count(F::INDEX_UseProgram));
		s.begin(true);
		EXPECT_EQ(1, calls.count(F::INDEX_UseProgram));
	}
	EXPECT_EQ(GL_FUNC_REVERSE_SUBTRACT, getInt(GL_BLEND_EQUATION_RGB));
}
#endif

TEST_F(GLT(State), ScissoredClearsCaptureTopRowFirst)
{
	GL_State::clearColor(0.f, 0.f, 1.f, 1.f);
	gl.Clear(GL_COLOR_BUFFER_BIT);
	GL_State::enable(GL_SCISSOR_TEST);
	// GL's origin is the bottom left.
	GL_State::scissor(0, 0, 16, 8);
	GL_State::clearColor(1.f, 0.f, 0.f, 1.f);
	gl.Clear(GL_COLOR_BUFFER_BIT);
	GL_State::scissor(40, 30, 24, 18);
	GL_State::clearColor(0.f, 1.f, 0.f, 0.5f);
	gl.Clear(GL_COLOR_BUFFER_BIT);
	gltest::RGBAImage frame;
	frame.width = WIDTH;
	frame.height = HEIGHT;
	frame.pixels = GL_capturePixels(0, 0, WIDTH, HEIGHT);
	EXPECT_EQ(0xff0000ffu, frame.at(0, HEIGHT - 1)); // red at the bottom left
	EXPECT_EQ(0xffff0000u, frame.at(0, 0));          // blue at the top left
	EXPECT_EQ(0x0000ff00u, frame.at(WIDTH - 1, 0) & 0x00ffffffu);   // green at the top right
	EXPECT_NEAR(128, int(frame.at(WIDTH - 1, 0) >> 24), 1);
	EXPECT_TRUE(gltest::matchesGolden("scissored-clears", frame));
}
