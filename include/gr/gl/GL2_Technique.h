#ifndef GR_GL_GL2_TECHNIQUE_H
#define GR_GL_GL2_TECHNIQUE_H

#include <gr/gl/GL2_Pass.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace gr
{
namespace gles2
{
/** A named list of passes of an effect. */
class GL_Technique : public lang::Object
{
public:
	explicit GL_Technique(const std::string& name) : m_name(name) {}
	/** Copies the name and clones every pass. */
	GL_Technique(const GL_Technique& other);

	void addPass(GL_Pass* pass) { m_passes.push_back(pass); }

	const std::string& name() const { return m_name; }
	int passes() const { return int(m_passes.size()); }
	GL_Pass* getPass(int index) const { return m_passes[size_t(index)]; }

private:
	std::string m_name;
	std::vector<lang::Ptr<GL_Pass>> m_passes;

	GL_Technique& operator=(const GL_Technique&) = delete;
};
}
}

#endif
