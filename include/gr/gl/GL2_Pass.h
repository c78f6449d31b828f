#ifndef GR_GL_GL2_PASS_H
#define GR_GL_GL2_PASS_H

#include <gr/gl/GL2_Shader_Platform.h>
#include <gr/gl/GL_State.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace gr
{
namespace gles2
{
/** One pass of an effect: its render state and its GLSL program (shared by copies). */
class GL_Pass : public lang::Object
{
public:
	explicit GL_Pass(const std::string& name);
	/** Copies the state and name; the program is shared. */
	GL_Pass(const GL_Pass& other);

	GL_Pass* clone() const { return new GL_Pass(*this); }

	GL_State& getState() { return m_state; }
	const std::string& name() const { return m_name; }
	GL_Shader_Platform* getPlatformShader() const { return m_program; }

	/** A render-state key of the effect file (GL_State::parse). */
	void addProperty(const std::string& key, const std::string& value) { m_state.parse(key, value); }

	/** Makes the program current and applies the render state. */
	void begin();
	void end();

private:
	GL_State m_state;
	std::string m_name;
	lang::Ptr<GL_Shader_Platform> m_program;

	GL_Pass& operator=(const GL_Pass&) = delete;
};
}
}

#endif
