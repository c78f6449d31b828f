#include <gr/gl/GL2_Pass.h>
#include <gr/gl/GL2_Technique.h>
#include <gr/GraphicsException.h>
#include <cstring>

namespace gr
{
namespace gles2
{
const GL_IdentityTerm GL_IDENTITY_TERMS[3] = {
	{"COLOR_SATURATION", 1.f, "UNIT_COLOR_SATURATION"},
	{"ALPHA_FACTOR", 1.f, "UNIT_ALPHA_FACTOR"},
	{nullptr, 1.f, "UNIT_VERTEX_COLOR"},
};

namespace
{
const unsigned TERM_COUNT = sizeof(GL_IDENTITY_TERMS) / sizeof(GL_IDENTITY_TERMS[0]);

// The text with the define lines in front; after its #version line, which GLSL wants first.
std::vector<char> withDefines(const std::vector<char>& source, const std::string& defines)
{
	size_t at = 0;
	if (std::strncmp(source.data(), "#version", 8) == 0)
	{
		const char* newline = std::strchr(source.data(), '\n');
		if (newline)
			at = size_t(newline - source.data()) + 1;
	}
	std::vector<char> out(source);
	out.insert(out.begin() + std::ptrdiff_t(at), defines.begin(), defines.end());
	return out;
}
}

GL_Pass::GL_Pass(const std::string& name) : m_name(name), m_program(new GL_Shader_Platform)
{
}

GL_Pass::GL_Pass(const GL_Pass& other) :
	lang::Object(), m_state(other.m_state), m_name(other.m_name), m_program(other.m_program), m_variants(other.m_variants)
{
}

void GL_Pass::setSources(const std::vector<char>& vertex, const std::string& vertexPath, const std::vector<char>& pixel, const std::string& pixelPath)
{
	unsigned terms = 0;
	for (unsigned i = 0; i < TERM_COUNT; ++i)
		if (std::strstr(pixel.data(), GL_IDENTITY_TERMS[i].define))
			terms |= 1u << i;
	if (!terms)
		return;
	m_variants = new Variants;
	m_variants->vertex = vertex;
	m_variants->pixel = pixel;
	m_variants->vertexPath = vertexPath;
	m_variants->pixelPath = pixelPath;
	m_variants->terms = terms;
}

GL_Shader_Platform* GL_Pass::variant(unsigned identities)
{
	Variants* v = m_variants;
	const unsigned mask = v ? identities & v->terms : 0u;
	if (!mask || v->failed[mask])
		return m_program;
	if (!v->programs[mask])
	{
		std::string defines;
		for (unsigned i = 0; i < TERM_COUNT; ++i)
			if (mask & (1u << i))
				defines += std::string("#define ") + GL_IDENTITY_TERMS[i].define + "\n";
		lang::Ptr<GL_Shader_Platform> program = new GL_Shader_Platform;
		try
		{
			program->setVertexShader(program->compileVertexShader(withDefines(v->vertex, defines), v->vertexPath));
			program->setPixelShader(program->compilePixelShader(withDefines(v->pixel, defines), v->pixelPath));
			program->createShaderProgram(program->getVertexShader(), program->getPixelShader());
		}
		catch (const GraphicsException&)
		{
			// The full program draws the same picture, only slower.
			v->failed[mask] = true;
			return m_program;
		}
		v->programs[mask] = program;
	}
	return v->programs[mask];
}

void GL_Pass::forgetNames()
{
	if (m_program)
		m_program->forgetNames();
	if (m_variants)
		for (const lang::Ptr<GL_Shader_Platform>& program : m_variants->programs)
			if (program)
				program->forgetNames();
}

GL_Shader_Platform* GL_Pass::begin(unsigned identities)
{
	GL_Shader_Platform* program = variant(identities);
	program->begin();
	m_state.m_program = program->getProgramObject();
	m_state.begin(false);
	return program;
}

void GL_Pass::end()
{
	m_program->end();
}

GL_Technique::GL_Technique(const GL_Technique& other) : lang::Object(), m_name(other.m_name)
{
	for (const lang::Ptr<GL_Pass>& pass : other.m_passes)
		m_passes.push_back(pass->clone());
}
}
}
