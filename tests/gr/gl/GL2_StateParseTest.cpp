#include <gr/gl/GL_State.h>
#include <gr/GraphicsException.h>
#include <gtest/gtest.h>

using gr::gles2::GL_State;

TEST(gles2_StateParse, EveryKeySetsItsField)
{
	GL_State s;
	s.parse("EnableCulling", "FALSE");
	s.parse("CullFace", "FRONT_AND_BACK");
	s.parse("EnableDepthTest", "FALSE");
	s.parse("EnableDepthMask", "FALSE");
	s.parse("DepthFunc", "GEQUAL");
	s.parse("EnableBlending", "TRUE");
	s.parse("BlendEquation", "FUNC_REVERSE_SUBTRACT");
	s.parse("BlendFuncSrc", "SRC_ALPHA_SATURATE");
	s.parse("BlendFuncDst", "SRC_COLOR");
	EXPECT_FALSE(s.m_cullFaceEnabled);
	EXPECT_EQ(s.m_cullFace, 0x0408u);
	EXPECT_FALSE(s.m_depthTest);
	EXPECT_FALSE(s.m_depthMask);
	EXPECT_EQ(s.m_depthFunc, 0x0206u);
	EXPECT_TRUE(s.m_blend);
	EXPECT_EQ(s.m_blendEquation, 0x800Bu);
	EXPECT_EQ(s.m_blendSrc, 0x0308u);
	EXPECT_EQ(s.m_blendDst, 0x0300u);
	EXPECT_EQ(s.m_program, 0u);

	// Every keyword of the tables maps to its own enum.
	const struct
	{
		const char* key;
		const char* const* names;
		const GLenum* values;
		GLenum GL_State::*field;
	} tables[] = {
		{"CullFace", gr::gles2::CullFaceNames, gr::gles2::CullFaceValues, &GL_State::m_cullFace},
		{"DepthFunc", gr::gles2::DepthFuncNames, gr::gles2::DepthFuncValues, &GL_State::m_depthFunc},
		{"BlendEquation", gr::gles2::BlendEquationNames, gr::gles2::BlendEquationValues, &GL_State::m_blendEquation},
		{"BlendFuncSrc", gr::gles2::BlendFuncSrcNames, gr::gles2::BlendFuncSrcValues, &GL_State::m_blendSrc},
		{"BlendFuncDst", gr::gles2::BlendFuncDstNames, gr::gles2::BlendFuncDstValues, &GL_State::m_blendDst},
	};
	int counts[5] = {0};
	for (int t = 0; t < 5; ++t)
		for (int i = 0; tables[t].names[i]; ++i, ++counts[t])
		{
			s.parse(tables[t].key, tables[t].names[i]);
			EXPECT_EQ(s.*(tables[t].field), tables[t].values[i]) << tables[t].names[i];
		}
	EXPECT_EQ(counts[0], 3);
	EXPECT_EQ(counts[1], 8);
	EXPECT_EQ(counts[2], 3);
	EXPECT_EQ(counts[3], 9);
	EXPECT_EQ(counts[4], 8);
}

TEST(gles2_StateParse, UnknownKeysAndValuesAreRejected)
{
	const struct
	{
		const char* key;
		const char* value;
		const char* message;
	} cases[] = {
		{"enableCulling", "TRUE", "Unsupported key \"enableCulling\""},
		{"Program", "1", "Unsupported key \"Program\""},
		{"EnableBlending", "true", "Unsupported value \"true\""},
		{"EnableDepthTest", "1", "Unsupported value \"1\""},
		{"BlendFuncSrc", "SRC_COLOR", "Unsupported value \"SRC_COLOR\""},
		{"BlendFuncDst", "DST_COLOR", "Unsupported value \"DST_COLOR\""},
		{"DepthFunc", "GL_LESS", "Unsupported value \"GL_LESS\""},
	};
	for (const auto& c : cases)
	{
		GL_State s;
		try
		{
			s.parse(c.key, c.value);
			ADD_FAILURE() << c.key;
		}
		catch (const gr::GraphicsException& e)
		{
			EXPECT_EQ(e.getMessage().format(), c.message);
		}
	}
}
