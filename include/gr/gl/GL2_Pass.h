#ifndef GR_GL_GL2_PASS_H
#define GR_GL_GL2_PASS_H

#include <gr/gl/GL2_Shader_Platform.h>
#include <gr/gl/GL_State.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace gr
{
namespace gles2
{
/**
 * Per-pixel terms that are identities in the common case: a uniform at its identity value,
 * or (uniform null) the vertex colour of a 2-D batch whose vertices carry none (white). A
 * pass whose GLSL tests the term's define gets a lean program, built from the same files
 * with that define, for the draws where the term is an identity.
 */
struct GL_IdentityTerm
{
	const char* uniform;
	float identity;
	const char* define;
};
extern const GL_IdentityTerm GL_IDENTITY_TERMS[3];

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

	/**
	 * Keeps the preprocessed GLSL of the pass when the fragment text tests any identity
	 * term's define, so lean programs can be built from it on first use.
	 */
	void setSources(const std::vector<char>& vertex, const std::string& vertexPath, const std::vector<char>& pixel, const std::string& pixelPath);
	/** Bit i set: the pass has a lean program for GL_IDENTITY_TERMS[i]. */
	unsigned identityTerms() const { return m_variants ? m_variants->terms : 0u; }

	/** Makes the program current and applies the render state. */
	void begin() { begin(0u); }
	/**
	 * As begin(), with the lean program for the identity terms in identities (bits as in
	 * identityTerms()) when the pass has one. Returns the program made current.
	 */
	GL_Shader_Platform* begin(unsigned identities);
	void end();

	/** The GL context is gone: its program and the lean ones built so far forget their GL names. */
	void forgetNames();

private:
	/** The GLSL text and the lean programs built from it; shared by copies, like the program. */
	struct Variants : lang::Object
	{
		std::vector<char> vertex;
		std::vector<char> pixel;
		std::string vertexPath;
		std::string pixelPath;
		unsigned terms = 0;
		lang::Ptr<GL_Shader_Platform> programs[1u << 3];
		bool failed[1u << 3] = {};
	};

	GL_State m_state;
	std::string m_name;
	lang::Ptr<GL_Shader_Platform> m_program;
	lang::Ptr<Variants> m_variants;

	GL_Shader_Platform* variant(unsigned identities);

	GL_Pass& operator=(const GL_Pass&) = delete;
};
}
}

#endif
