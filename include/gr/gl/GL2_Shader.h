#ifndef GR_GL_GL2_SHADER_H
#define GR_GL_GL2_SHADER_H

#include <gr/gl/GL2_Technique.h>
#include <gr/gl/GL_Resource.h>
#include <gr/Shader.h>
#include <lang/Ptr.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gr
{
namespace gles2
{
class GL_Context;

/**
 * An effect loaded from an effect file, with named parameter values that are sent
 * to the program of each pass when the pass begins.
 */
class GL_Shader : public gr::Shader, public GL_Resource
{
public:
	/** Loads the effect file fileName; a bad effect throws gr::GraphicsException naming it. */
	GL_Shader(GL_Context* context, const std::string& name, const std::string& fileName, int flags);
	/** Own copies of techniques, passes and parameters; the GLSL programs are shared. */
	GL_Shader(const GL_Shader& other);
	~GL_Shader() override;

	/** Disables the shader and drops its techniques (after a failed parse). */
	void reset();
	void addTechnique(GL_Technique* technique);
	/** An effect-level property: "priority" or "sort" (any letter case). */
	void addProperty(const std::string& key, const std::string& value);
	void setFilePath(const std::string& path) { m_filePath = path; }
	const std::string& filePath() const { return m_filePath; }
	int flags() const { return m_flags; }
	void setMatrixArray(const char* name, math::float4x4** matrices, int count);

	Shader* clone() const override;
	void setTechnique(const char* name) override;
	bool hasTechnique(const char* name) override;
	void setTexture(ParamType param, BaseTexture* texture) override;
	void setTexture(const char* name, BaseTexture* texture) override;
	void setMatrix(ParamType param, const math::float4x4& value) override;
	void setMatrix(const char* name, const math::float4x4& value) override;
	void setMatrixArray(ParamType param, math::float4x4** matrices, int count) override;
	void setVector(ParamType param, const math::float4& value) override;
	void setVector(const char* name, const math::float4& value) override;
	void setFloat(ParamType param, float value) override;
	void setFloat(const char* name, float value) override;
	BaseTexture* getTexture(const char* name) override;
	math::float4x4 getMatrix(const char* name) override;
	math::float4 getVector(const char* name) override;
	float getFloat(const char* name) override;
	int begin() override;
	void beginPass(int pass) override;
	void endPass() override;
	void end() override;
	void setName(const std::string& name) override { m_name = name; }
	void setSort(SortType sort) override { m_sort = sort; }
	int priority() const override { return m_priority; }
	SortType sort() const override { return m_sort; }
	bool enabled() const override { return m_enabled; }
	const std::string& name() const override { return m_name; }

private:
	/** Forgets the context and the GL names of every pass's program. */
	void detachFromContext() override;

	template <class T> using Params = std::vector<std::pair<std::string, T>>;

	GL_Context* m_context;
	std::vector<lang::Ptr<GL_Technique>> m_techniques;
	std::string m_name;
	std::string m_filePath;
	int m_flags;
	SortType m_sort;
	int8_t m_priority;
	// -1 when the chosen technique does not exist (the shader is then disabled).
	int m_currentTechnique;
	GL_Pass* m_currentPass;
	bool m_enabled;
	Params<float> m_floats;
	Params<math::float4> m_vectors;
	Params<math::float4x4> m_matrices;
	Params<std::vector<math::float4x4>> m_matrixArrays;
	Params<BaseTexture*> m_textures;

	GL_Shader& operator=(const GL_Shader&) = delete;
};
}
}

#endif
