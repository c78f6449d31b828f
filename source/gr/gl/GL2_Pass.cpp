#include <gr/gl/GL2_Pass.h>
#include <gr/gl/GL2_Technique.h>

namespace gr
{
namespace gles2
{
GL_Pass::GL_Pass(const std::string& name) : m_name(name), m_program(new GL_Shader_Platform)
{
}

GL_Pass::GL_Pass(const GL_Pass& other) :
	lang::Object(), m_state(other.m_state), m_name(other.m_name), m_program(other.m_program)
{
}

void GL_Pass::begin()
{
	m_program->begin();
	m_state.begin(false);
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
