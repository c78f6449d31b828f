#include "GLTestSupport.h"
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader_Platform.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <cstring>

using namespace gr::GR_GL_NS;
using F = GL_Functions;

namespace
{
std::vector<char> text(const std::string& s)
{
	std::vector<char> v(s.begin(), s.end());
	v.push_back(0);
	return v;
}

const char* const PLAIN_VERTEX =
	"attribute vec4 DT_POSITION;\n"
	"uniform mat4 BONES[20];\n"
	"uniform mat4 WORLDTM;\n"
	"uniform float UNUSED_BY_ANYONE;\n"
	"void main() { gl_Position = WORLDTM * BONES[19] * DT_POSITION; }\n";

class GLT(ShaderPlatform) : public gltest::GLFixture
{
protected:
	lang::Ptr<GL_Shader_Platform> link(const std::string& vertex, const std::string& fragment)
	{
		lang::Ptr<GL_Shader_Platform> p = new GL_Shader_Platform;
		p->setVertexShader(p->compileVertexShader(text(vertex), "t.vert"));
		p->setPixelShader(p->compilePixelShader(text(fragment), "t.frag"));
		p->createShaderProgram(p->getVertexShader(), p->getPixelShader());
		GL_State::useProgram(p->getProgramObject());
		return p;
	}

	// Draws one triangle over the whole view and returns the centre pixel (0xAABBGGRR).
	uint32_t drawFullScreen(GL_Shader_Platform& p)
	{
		static const float tri[] = {-1, -1, 0, 1, 3, -1, 0, 1, -1, 3, 0, 1};
		const GLuint loc = GLuint(p.getAttributeLocation(gr::VertexFormat::DT_POSITION));
		GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
		gl.EnableVertexAttribArray(loc);
		gl.VertexAttribPointer(loc, 4, GL_FLOAT, GL_FALSE, 0, tri);
		gl.DrawArrays(GL_TRIANGLES, 0, 3);
		gl.DisableVertexAttribArray(loc);
		const std::vector<uint8_t> px = GL_capturePixels(WIDTH / 2, HEIGHT / 2, 1, 1);
		return uint32_t(px[0]) | uint32_t(px[1]) << 8 | uint32_t(px[2]) << 16 | uint32_t(px[3]) << 24;
	}
};
}

TEST_F(GLT(ShaderPlatform), LinkFindsAttributesAndUniformsByBareName)
{
	lang::Ptr<GL_Shader_Platform> p = link(PLAIN_VERTEX, "void main() { gl_FragColor = vec4(1.0); }\n");
	EXPECT_NE(0u, p->getProgramObject());
	EXPECT_GE(p->getAttributeLocation(gr::VertexFormat::DT_POSITION), 0);
	EXPECT_EQ(-1, p->getAttributeLocation(gr::VertexFormat::DT_NORMAL));
	EXPECT_GE(p->getUniformLocation("BONES"), 0);
	EXPECT_GE(p->getUniformLocation("WORLDTM"), 0);
	// Dropped by the compiler because nothing reads it.
	EXPECT_EQ(-1, p->getUniformLocation("UNUSED_BY_ANYONE"));
	for (const auto& u : p->uniforms())
		EXPECT_EQ(std::string::npos, u.second.find('[')) << u.second;
}

TEST_F(GLT(ShaderPlatform), UniformUploadsAreSkippedWhenUnchanged)
{
	lang::Ptr<GL_Shader_Platform> p = link(PLAIN_VERTEX,
		"precision mediump float;\nuniform float ALPHA_FACTOR;\nuniform vec4 TINT;\n"
		"void main() { gl_FragColor = TINT * ALPHA_FACTOR; }\n");
	GL_CallCounter calls;
	p->setFloat("ALPHA_FACTOR", 0.f); // a new program holds 0 already
	EXPECT_EQ(0, calls.count(F::INDEX_Uniform1f));
	p->setFloat("ALPHA_FACTOR", 1.f);
	p->setFloat("ALPHA_FACTOR", 1.f);
	EXPECT_EQ(1, calls.count(F::INDEX_Uniform1f));

	const math::float4 v(1, 2, 3, 4);
	p->setVector("TINT", math::float4(0, 0, 0, 0)); // first set of a vector is always sent
	p->setVector("TINT", v);
	p->setVector("TINT", v);
	EXPECT_EQ(2, calls.count(F::INDEX_Uniform4fv));

	math::float4x4 m(1.f);
	p->setMatrix("WORLDTM", m);
	p->setMatrix("WORLDTM", m);
	m(2, 3) = 5.f;
	p->setMatrix("WORLDTM", m);
	EXPECT_EQ(2, calls.count(F::INDEX_UniformMatrix4fv));

	// Names that are no active uniform are ignored by every setter.
	calls.clear();
	p->setFloat("UNUSED_BY_ANYONE", 3.f);
	p->setFloat("NOT_THERE", 3.f);
	p->setVector("NOT_THERE", v);
	p->setMatrix("NOT_THERE", m);
	p->setMatrixArray("NOT_THERE", &m, 1);
	EXPECT_EQ(0, calls.total());
}

TEST_F(GLT(ShaderPlatform), SetMatrixSendsTransposedAndMatrixArrayAsStored)
{
	// Red shows element (row 0, column 1) of the matrix as GLSL sees it.
	const char* fragment =
		"precision mediump float;\nuniform mat4 M;\nuniform mat4 A[20];\n"
		"uniform float USE_ARRAY;\n"
		"void main() { mat4 m = USE_ARRAY > 0.5 ? A[19] : M; gl_FragColor = vec4(m[1][0], 0.0, 0.0, 1.0); }\n";
	lang::Ptr<GL_Shader_Platform> p = link("attribute vec4 DT_POSITION;\nvoid main() { gl_Position = DT_POSITION; }\n", fragment);
	math::float4x4 m(0.f);
	m(0, 1) = 1.f; // row 0, column 1

	p->setMatrix("M", m);
	EXPECT_EQ(0xFF0000FFu, drawFullScreen(*p));

	std::vector<math::float4x4> bones(20, math::float4x4(0.f));
	bones[19] = m;
	GL_CallCounter calls;
	p->setMatrixArray("A", bones.data(), 20);
	EXPECT_EQ(1, calls.count(F::INDEX_UniformMatrix4fv));
	p->setFloat("USE_ARRAY", 1.f);
	EXPECT_EQ(0xFF000000u, drawFullScreen(*p));
}

TEST_F(GLT(ShaderPlatform), TexturesBindOnTheirUnitsAndSetSamplersOnce)
{
	lang::Ptr<GL_Shader_Platform> p = link("attribute vec4 DT_POSITION;\nvoid main() { gl_Position = DT_POSITION; }\n",
		"precision mediump float;\nuniform sampler2D BASEMAP;\nuniform sampler2D BASEMAP1;\n"
		"void main() { gl_FragColor = texture2D(BASEMAP, vec2(0.5)) + texture2D(BASEMAP1, vec2(0.5)); }\n");
	lang::Ptr<GL_Texture> a = new GL_Texture(nullptr, 4, 4, 0, gr::SurfaceFormat::SURFACE_A8B8G8R8, 0);
	lang::Ptr<GL_Texture> b = new GL_Texture(nullptr, 4, 4, 0, gr::SurfaceFormat::SURFACE_A8B8G8R8, 0);
	GL_CallCounter calls;
	p->setTexture("BASEMAP", a, 0);
	p->setTexture("BASEMAP1", b, 1);
	EXPECT_EQ(GLenum(GL_TEXTURE1), GL_State::sm_current.m_activeTexture);
	EXPECT_EQ(a->textureName(), GL_State::sm_current.m_bindedTexture[0]);
	EXPECT_EQ(b->textureName(), GL_State::sm_current.m_bindedTexture[1]);
	EXPECT_EQ(1, calls.count(F::INDEX_Uniform1i)); // BASEMAP's sampler already reads unit 0
	GLint active = 0;
	gl.GetIntegerv(GL_ACTIVE_TEXTURE, &active);
	EXPECT_EQ(GL_TEXTURE1, active);
	calls.clear();
	p->setTexture("BASEMAP1", b, 1);
	EXPECT_EQ(0, calls.total());
}

TEST_F(GLT(ShaderPlatform), LongUniformNamesAreFound)
{
	lang::Ptr<GL_Shader_Platform> p = link("attribute vec4 DT_POSITION;\nvoid main() { gl_Position = DT_POSITION; }\n",
		"precision mediump float;\nuniform float A_UNIFORM_NAME_LONGER_THAN_THIRTY_TWO_CHARACTERS;\n"
		"void main() { gl_FragColor = vec4(A_UNIFORM_NAME_LONGER_THAN_THIRTY_TWO_CHARACTERS); }\n");
	EXPECT_GE(p->getUniformLocation("A_UNIFORM_NAME_LONGER_THAN_THIRTY_TWO_CHARACTERS"), 0);
}

TEST_F(GLT(ShaderPlatform), CompileAndLinkFailuresCarryTheLog)
{
	lang::Ptr<GL_Shader_Platform> p = new GL_Shader_Platform;
	const struct
	{
		bool vertex;
		const char* prefix;
	} cases[] = {{true, "Failed to compile vertex shader: bad.vert\n\n"}, {false, "Failed to compile fragment shader: bad.frag\n\n"}};
	for (const auto& c : cases)
	{
		try
		{
			if (c.vertex)
				p->compileVertexShader(text("void main() { nonsense; }"), "bad.vert");
			else
				p->compilePixelShader(text("void main() { nonsense; }"), "bad.frag");
			ADD_FAILURE() << "no exception for " << c.prefix;
		}
		catch (const gr::GraphicsException& e)
		{
			const std::string msg = e.getMessage().format();
			EXPECT_EQ(0u, msg.find(c.prefix)) << msg;
			EXPECT_GT(msg.size(), std::strlen(c.prefix)) << "the compiler's log follows";
		}
	}

	const unsigned vs = p->compileVertexShader(text("attribute vec4 DT_POSITION;\nvarying vec4 v;\nvoid main() { gl_Position = DT_POSITION; v = DT_POSITION; }\n"), "v");
	const unsigned fs = p->compilePixelShader(text("precision mediump float;\nvarying vec3 v;\nvoid main() { gl_FragColor = vec4(v, 1.0); }\n"), "f");
	try
	{
		p->createShaderProgram(vs, fs);
		ADD_FAILURE() << "mismatched varyings linked";
	}
	catch (const gr::GraphicsException& e)
	{
		EXPECT_EQ(0u, e.getMessage().format().find("Failed to link shader!\n\n")) << e.getMessage().format();
	}
	gl.DeleteShader(vs);
	gl.DeleteShader(fs);
}
#endif
