#include "TestShader.h"
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader_Platform.h>
#endif
#include <cstring>

using namespace gr::GR_GL_NS;

namespace gltest
{
#if GR_GL_VERSION == 2
namespace
{
std::vector<char> text(const char* s)
{
	return std::vector<char>(s, s + std::strlen(s) + 1);
}

const char* const VERTEX =
	"attribute vec4 DT_POSITION;\n"
	"attribute vec2 DT_TEX0;\n"
	"attribute vec4 DT_DIFFUSE;\n"
	"uniform mat4 PROJTM;\n"
	"varying vec2 uv;\n"
	"varying vec4 col;\n"
	"void main() { gl_Position = PROJTM * vec4(DT_POSITION.xyz, 1.0); uv = DT_TEX0; col = DT_DIFFUSE; }\n";

const char* const FRAGMENT =
	"precision mediump float;\n"
	"uniform sampler2D BASEMAP;\n"
	"uniform float TEXTURED;\n"
	"uniform float ALPHA_FACTOR;\n"
	"varying vec2 uv;\n"
	"varying vec4 col;\n"
	"void main() { gl_FragColor = col * mix(vec4(1.0), texture2D(BASEMAP, uv), TEXTURED) * vec4(1.0, 1.0, 1.0, ALPHA_FACTOR); }\n";
}

struct TestShader::Program
{
	lang::Ptr<GL_Shader_Platform> platform;
	math::float4x4 proj{1.f};
};
#else
struct TestShader::Program
{
	math::float4x4 world{1.f};
};
#endif

TestShader::TestShader() :
	m_name("test"),
	m_sort(SORT_NONE),
	m_texture(nullptr),
	m_alpha(1.f),
	m_program(new Program)
{
#if GR_GL_VERSION == 2
	m_program->platform = new GL_Shader_Platform;
	GL_Shader_Platform& p = *m_program->platform;
	p.setVertexShader(p.compileVertexShader(text(VERTEX), "test.vert"));
	p.setPixelShader(p.compilePixelShader(text(FRAGMENT), "test.frag"));
	p.createShaderProgram(p.getVertexShader(), p.getPixelShader());
#endif
}

TestShader::~TestShader()
{
	delete m_program;
}

void TestShader::setTexture(const char* name, gr::BaseTexture* texture)
{
	calls.push_back({std::string("texture ") + name, 0.f, math::float4x4(1.f)});
	if (std::strcmp(name, "BASEMAP") == 0)
		m_texture = texture;
}

void TestShader::setMatrix(ParamType param, const math::float4x4& value)
{
	calls.push_back({std::string("matrix ") + toString(param), 0.f, value});
#if GR_GL_VERSION == 2
	if (param == PARAM_PROJTM)
		m_program->proj = value;
#else
	if (param == PARAM_WORLDTM)
		m_program->world = value;
#endif
}

void TestShader::setFloat(const char* name, float value)
{
	calls.push_back({std::string("float ") + name, value, math::float4x4(1.f)});
	if (std::strcmp(name, "ALPHA_FACTOR") == 0)
		m_alpha = value;
}

int TestShader::begin()
{
	calls.push_back({"begin", 0.f, math::float4x4(1.f)});
	return passes;
}

void TestShader::beginPass(int pass)
{
	calls.push_back({"pass", float(pass), math::float4x4(1.f)});
	GL_State::disable(GL_DEPTH_TEST);
	GL_State::disable(GL_CULL_FACE);
	GL_State::enable(GL_BLEND);
	GL_State::blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
	GL_Texture* texture = dynamic_cast<GL_Texture*>(m_texture);
#if GR_GL_VERSION == 2
	GL_Shader_Platform& p = *m_program->platform;
	GL_State::useProgram(p.getProgramObject());
	p.begin();
	const GLfloat white[4] = {1.f, 1.f, 1.f, 1.f};
	gl.VertexAttrib4fv(GLuint(p.getAttributeLocation(gr::VertexFormat::DT_DIFFUSE)), white);
	p.setMatrix("PROJTM", m_program->proj);
	p.setFloat("ALPHA_FACTOR", m_alpha);
	p.setFloat("TEXTURED", texture ? 1.f : 0.f);
	if (texture)
		p.setTexture("BASEMAP", texture, 0);
#else
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(m_program->world);
	gl.Color4f(1.f, 1.f, 1.f, m_alpha);
	GL_State::activeTexture(GL_TEXTURE0);
	if (texture)
	{
		GL_State::bindTexture(texture->textureName());
		GL_State::enable(GL_TEXTURE_2D);
	}
	else
		GL_State::disable(GL_TEXTURE_2D);
#endif
}

void TestShader::endPass()
{
#if GR_GL_VERSION == 2
	m_program->platform->end();
#endif
}

void TestShader::end()
{
	calls.push_back({"end", 0.f, math::float4x4(1.f)});
}

std::vector<std::string> TestShader::callNames() const
{
	std::vector<std::string> names;
	for (const Call& c : calls)
		names.push_back(c.what);
	return names;
}
}
