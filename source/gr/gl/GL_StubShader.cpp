#include "GL_StubShader.h"
#include <gr/gl/GL_State.h>
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader_Platform.h>
#endif
#include <cstring>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL_StubShader")

GL_StubShader::GL_StubShader(const std::string& name) :
	m_name(name),
	m_sort(SORT_NONE),
	m_alpha(1.f),
	m_world(1.f),
	m_proj(1.f)
#if GR_GL_VERSION == 1
	, m_white(0)
#endif
{
}

GL_StubShader::~GL_StubShader()
{
#if GR_GL_VERSION == 1
	if (m_white)
	{
		for (int unit = 0; unit < GL_State::TEXTURE_UNITS; ++unit)
			if (GL_State::sm_current.m_bindedTexture[unit] == m_white)
			{
				GL_State::activeTexture(GLenum(GL_TEXTURE0 + unit));
				GL_State::bindTexture(0);
			}
		gl.DeleteTextures(1, &m_white);
	}
#endif
}

void GL_StubShader::setMatrix(ParamType param, const math::float4x4& value)
{
	if (param == PARAM_WORLDTM)
		m_world = value;
	else if (param == PARAM_PROJTM)
		m_proj = value;
}

void GL_StubShader::setFloat(const char* name, float value)
{
	if (std::strcmp(name, "ALPHA_FACTOR") == 0)
		m_alpha = value;
}

void GL_StubShader::beginPass(int)
{
	GL_State state;
	state.m_cullFaceEnabled = false;
	state.m_depthTest = false;
	state.m_depthMask = false;
	state.m_blend = m_name.find("alpha") != std::string::npos;
	if (state.m_blend)
	{
		state.m_blendSrc = GL_SRC_ALPHA;
		state.m_blendDst = GL_ONE_MINUS_SRC_ALPHA;
	}
#if GR_GL_VERSION == 2
	if (!m_platform)
	{
		static const char* const vs =
			"attribute vec3 DT_POSITION;\nattribute vec4 DT_DIFFUSE;\nuniform mat4 PROJTM;\nvarying vec4 vColour;\n"
			"void main() { vColour = DT_DIFFUSE; gl_Position = PROJTM * vec4(DT_POSITION, 1.0); }\n";
		static const char* const fs =
			"precision mediump float;\nuniform float ALPHA_FACTOR;\nvarying vec4 vColour;\n"
			"void main() { gl_FragColor = vec4(vColour.rgb, vColour.a * ALPHA_FACTOR); }\n";
		m_platform = new GL_Shader_Platform;
		m_platform->setVertexShader(m_platform->compileVertexShader(std::vector<char>(vs, vs + std::strlen(vs) + 1), m_name + ".vert"));
		m_platform->setPixelShader(m_platform->compilePixelShader(std::vector<char>(fs, fs + std::strlen(fs) + 1), m_name + ".frag"));
		m_platform->createShaderProgram(m_platform->getVertexShader(), m_platform->getPixelShader());
	}
	state.m_program = m_platform->getProgramObject();
	state.begin(false);
	m_platform->begin();
	const int diffuse = m_platform->getAttributeLocation(VertexFormat::DT_DIFFUSE);
	if (diffuse != -1)
	{
		const GLfloat white[4] = {1.f, 1.f, 1.f, 1.f};
		gl.VertexAttrib4fv(GLuint(diffuse), white);
		CHECK("beginPass");
	}
	m_platform->setMatrix("PROJTM", m_proj);
	m_platform->setFloat("ALPHA_FACTOR", m_alpha);
#else
	state.begin(false);
	GL_State::activeTexture(GL_TEXTURE0);
	if (!m_white)
	{
		gl.GenTextures(1, &m_white);
		GL_State::bindTexture(m_white);
		const unsigned char white[4] = {255, 255, 255, 255};
		gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
		gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
		CHECK("beginPass");
	}
	GL_State::bindTexture(m_white);
	GL_State::enable(GL_TEXTURE_2D);
	gl.Color4f(1.f, 1.f, 1.f, 1.f);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_PRIMARY_COLOR);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, GL_PRIMARY_COLOR);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_SRC1_ALPHA, GL_CONSTANT);
	gl.TexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
	const GLfloat constant[4] = {1.f, 1.f, 1.f, m_alpha};
	gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, constant);
	CHECK("beginPass");
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(m_world);
#endif
}

void GL_StubShader::endPass()
{
#if GR_GL_VERSION == 2
	m_platform->end();
#else
	gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
	CHECK("endPass");
	GL_State::disable(GL_TEXTURE_2D);
#endif
}
}
}
