// STAND-IN (issue 9 replaces the drawing): collects pieces as the batcher does, but a flush
// draws the vertex lists directly with client arrays (1.1) or a built-in program (2.0)
// instead of a pooled GL_Primitive and the batch shader's passes, which do not exist yet.
// Blending follows the shader's name ("...alpha..."); image batches are dropped.
#include <gr/gl/GL_RenderBatcher.h>
#include <gr/gl/GL_State.h>
#include <gr/Context.h>
#include <lang/assert.h>
#include <cstdint>

namespace gr
{
namespace GR_GL_NS
{
GL_RenderBatcher::GL_RenderBatcher(Context* context) :
	m_type(TYPE_IMAGES), m_context(context), m_lineWidth(1), m_enabled(true), m_stubProgram(0)
{
}

GL_RenderBatcher::~GL_RenderBatcher()
{
#if GR_GL_VERSION == 2
	if (m_stubProgram && gl.DeleteProgram)
		gl.DeleteProgram(m_stubProgram);
#endif
}

void GL_RenderBatcher::render(Type type, Shader* shader, const math::float3* positions, const math::float2* texCoords,
	const math::float4* colors, Image* image, int lineWidth)
{
	const RenderState2D& state = m_context->getRenderState2D();
	if (!m_positions.empty())
	{
		if (m_type != type || (type == TYPE_LINES && m_lineWidth != lineWidth) || m_image.ptr() != image ||
			!(m_state.clipRect == state.clipRect) || !(m_state.alphaFactor == state.alphaFactor))
			flush();
	}
	add(type, shader, positions, texCoords, colors, image, lineWidth);
}

void GL_RenderBatcher::add(Type type, Shader* shader, const math::float3* positions, const math::float2* texCoords,
	const math::float4* colors, Image* image, int lineWidth)
{
	if (m_positions.empty())
	{
		m_type = type;
		m_shader = shader;
		m_image = image;
		m_state = m_context->getRenderState2D();
		m_lineWidth = lineWidth;
	}
	if (type == TYPE_LINES)
	{
		for (int i = 0; i < 2; ++i)
		{
			m_positions.push_back(positions[i]);
			if (texCoords)
				m_texCoords.push_back(texCoords[i]);
			if (colors)
				m_colors.push_back(colors[i]);
		}
		return;
	}
	static const int order[6] = {0, 1, 2, 2, 1, 3};
	for (int i : order)
	{
		m_positions.push_back(positions[i]);
		if (texCoords)
			m_texCoords.push_back(texCoords[i]);
		if (colors)
			m_colors.push_back(colors[i]);
	}
}

void GL_RenderBatcher::flush()
{
	if (!m_enabled || (!m_image && !m_shader))
		return;
	m_enabled = false;
	m_context->setClipRect(m_state.clipRect);
	if (m_type == TYPE_LINES && GL_State::sm_current.m_lineWidth != float(m_lineWidth))
		GL_State::lineWidth(float(m_lineWidth));
	if (m_type != TYPE_IMAGES)
		stubDraw();
	m_positions.clear();
	m_texCoords.clear();
	m_colors.clear();
	m_image = nullptr;
	m_shader = nullptr;
	m_enabled = true;
}

void GL_RenderBatcher::reset()
{
	m_enabled = false;
	m_positions.clear();
	m_texCoords.clear();
	m_colors.clear();
	m_image = nullptr;
	m_shader = nullptr;
	m_enabled = true;
}

void GL_RenderBatcher::stubDraw()
{
	const int n = int(m_positions.size());
	std::vector<uint8_t> colours(size_t(n) * 4, 255);
	for (size_t i = 0; i < m_colors.size() && i < size_t(n); ++i)
	{
		const math::float4& c = m_colors[i];
		const float a = c.w * m_state.alphaFactor;
		colours[i * 4 + 0] = uint8_t(c.x);
		colours[i * 4 + 1] = uint8_t(c.y);
		colours[i * 4 + 2] = uint8_t(c.z);
		colours[i * 4 + 3] = uint8_t(a < 0.f ? 0.f : a > 255.f ? 255.f : a);
	}
	const bool blend = m_shader && m_shader->name().find("alpha") != std::string::npos;
	GL_State state;
	state.m_cullFaceEnabled = false;
	state.m_depthTest = false;
	state.m_depthMask = false;
	state.m_blend = blend;
	if (blend)
	{
		state.m_blendSrc = GL_SRC_ALPHA;
		state.m_blendDst = GL_ONE_MINUS_SRC_ALPHA;
	}
	const GLenum mode = m_type == TYPE_LINES ? GL_LINES : GL_TRIANGLES;
#if GR_GL_VERSION == 1
	state.begin(false);
	GL_State::activeTexture(GL_TEXTURE0);
	GL_State::disable(GL_TEXTURE_2D);
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(m_state.worldTransform);
	GL_State::setMatrixMode(GL_PROJECTION);
	GL_State::loadMatrixf(m_context->projectionTransform());
	GL_State::enableClientState(GL_VERTEX_ARRAY);
	GL_State::enableClientState(GL_COLOR_ARRAY);
	gl.VertexPointer(3, GL_FLOAT, 0, m_positions.data());
	gl.ColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
	gl.DrawArrays(mode, 0, n);
	GR_GL_CHECK("flush", "source/gr/gl/GL_RenderBatcher");
	GL_State::disableClientState(GL_COLOR_ARRAY);
	GL_State::disableClientState(GL_VERTEX_ARRAY);
#else
	if (!m_stubProgram)
	{
		static const char* const vs =
			"attribute vec3 POSITION;\nattribute vec4 DIFFUSE;\nuniform mat4 PROJTM;\nvarying vec4 vColour;\n"
			"void main() { vColour = DIFFUSE; gl_Position = PROJTM * vec4(POSITION, 1.0); }\n";
		static const char* const fs =
			"precision mediump float;\nvarying vec4 vColour;\nvoid main() { gl_FragColor = vColour; }\n";
		const GLuint shaders[2] = {gl.CreateShader(GL_VERTEX_SHADER), gl.CreateShader(GL_FRAGMENT_SHADER)};
		gl.ShaderSource(shaders[0], 1, &vs, nullptr);
		gl.ShaderSource(shaders[1], 1, &fs, nullptr);
		m_stubProgram = gl.CreateProgram();
		for (GLuint s : shaders)
		{
			gl.CompileShader(s);
			gl.AttachShader(m_stubProgram, s);
		}
		gl.BindAttribLocation(m_stubProgram, 0, "POSITION");
		gl.BindAttribLocation(m_stubProgram, 1, "DIFFUSE");
		gl.LinkProgram(m_stubProgram);
		GLint linked = 0;
		gl.GetProgramiv(m_stubProgram, GL_LINK_STATUS, &linked);
		LANG_ASSERT(linked);
		for (GLuint s : shaders)
			gl.DeleteShader(s);
		GR_GL_CHECK("flush", "source/gr/gl/GL_RenderBatcher");
	}
	state.m_program = m_stubProgram;
	state.begin(false);
	const math::float4x4 proj = m_context->projectionTransform() * m_state.worldTransform;
	gl.UniformMatrix4fv(gl.GetUniformLocation(m_stubProgram, "PROJTM"), 1, GL_FALSE, proj.transpose().data());
	gl.EnableVertexAttribArray(0);
	gl.EnableVertexAttribArray(1);
	gl.VertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, m_positions.data());
	gl.VertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, colours.data());
	gl.DrawArrays(mode, 0, n);
	GR_GL_CHECK("flush", "source/gr/gl/GL_RenderBatcher");
	gl.DisableVertexAttribArray(0);
	gl.DisableVertexAttribArray(1);
#endif
}
}
}
