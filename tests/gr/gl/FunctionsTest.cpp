#include "GLTestSupport.h"
#include <gr/gl/EAGLBackbufferFrameBuffer.h>
#include <gr/gl/GL_State.h>
#include <gr/GraphicsException.h>
#include <cstring>

using namespace gr::GR_GL_NS;
using F = GL_Functions;

namespace
{
class GLT(Functions) : public gltest::GLFixture
{
};
}

TEST_F(GLT(Functions), TableComesFromEGLWithTheBackEndsSymbols)
{
	EXPECT_TRUE(gl.loaded());
	EXPECT_STREQ(GR_GL_VERSION == 1 ? "glBindFramebufferOES" : "glBindFramebuffer", F::SYMBOLS[F::INDEX_BindFramebuffer]);
	const char* version = reinterpret_cast<const char*>(gl.GetString(GL_VERSION));
	ASSERT_NE(nullptr, version);
	EXPECT_NE(nullptr, std::strstr(version, GR_GL_VERSION == 1 ? "OpenGL ES-CM 1.1" : "OpenGL ES 3"));
	GLint bound = -1;
	gl.GetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
	EXPECT_EQ(GLint(m_view->frameBuffer()), bound);
	EXPECT_EQ(m_view->frameBuffer(), EAGLBackbufferFrameBuffer);
	EXPECT_NE(0u, EAGLBackbufferFrameBuffer);
}

TEST_F(GLT(Functions), NullTableAnswersWithoutAGPU)
{
	const F saved = gl;
	gl = F::null();
	EXPECT_EQ(GLenum(GL_NO_ERROR), gl.GetError());
	EXPECT_STREQ("", reinterpret_cast<const char*>(gl.GetString(GL_EXTENSIONS)));
	EXPECT_EQ(GLenum(GL_FRAMEBUFFER_COMPLETE), gl.CheckFramebufferStatus(GL_FRAMEBUFFER));
	GLuint names[2] = {};
	gl.GenTextures(2, names);
	EXPECT_NE(names[0], names[1]);
	// The state cache runs on it as on a real GL.
	GL_State::enable(GL_BLEND);
	GL_State::viewport(0, 0, 10, 10);
	EXPECT_TRUE(GL_State::sm_current.m_caps.at(GL_BLEND));
	gl = saved;
	GL_State::reset();
}

TEST_F(GLT(Functions), CounterCountsAndPassesCallsOn)
{
	{
		GL_CallCounter calls;
		gl.ClearColor(1.f, 0.f, 0.f, 1.f);
		gl.Clear(GL_COLOR_BUFFER_BIT);
		gl.Clear(GL_COLOR_BUFFER_BIT);
		EXPECT_EQ(2, calls.count(F::INDEX_Clear));
		EXPECT_EQ(3, calls.total());
		GLubyte px[4] = {};
		gl.ReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
		EXPECT_EQ(255, px[0]);
	}
	EXPECT_NE(nullptr, gl.Clear);
	EXPECT_TRUE(gl.loaded());
}

TEST_F(GLT(Functions), ExtensionsMatchWholeWordsAndCanBeOverridden)
{
	EXPECT_TRUE(GL_isExtensionSupported("GL_OES_compressed_ETC1_RGB8_texture"));
	GL_setExtensionsOverride("GL_OES_texture_npot GL_EXT_foo_bar GL_OES_vertex_buffer_object");
	struct Case { const char* name; bool supported; };
	const Case cases[] = {
		{"GL_OES_texture_npot", true},
		{"GL_OES_vertex_buffer_object", true},
		{"GL_EXT_foo", false},
		{"foo_bar", false},
		{"GL_OES_texture_npot GL_EXT_foo_bar", false},
		{"", false},
		{"GL_OES_compressed_ETC1_RGB8_texture", false},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.supported, GL_isExtensionSupported(c.name)) << c.name;
	GL_setExtensionsOverride(nullptr);
	EXPECT_TRUE(GL_isExtensionSupported("GL_OES_compressed_ETC1_RGB8_texture"));
}

TEST(GLT(HeadlessView), RejectsBadArguments)
{
	EXPECT_THROW(gr::gl::EGLHeadlessView(3, 16, 16), gr::GraphicsException);
	EXPECT_THROW(gr::gl::EGLHeadlessView(GR_GL_VERSION, 0, 16), gr::GraphicsException);
}
