#ifndef GR_GL_GL1_SHADER_DEFAULT_H
#define GR_GL_GL1_SHADER_DEFAULT_H

#include <gr/gl/GL1_Shader.h>
#include <gr/gl/GL_Resource.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <cstdint>
#include <string>

namespace gr
{
class BaseTexture;

namespace gles1
{
class GL_Context;

/**
 * The fixed-function shader: flag bits and two blend factors pick colour, texturing,
 * lighting, depth, culling and blending. Clones share the template's flags, blend,
 * sort and begin state; textures, colours and floats are their own.
 */
class GL_Shader_Default : public GL_Shader
{
public:
	GL_Shader_Default(GL_Context* context, const std::string& name, int flags);
	~GL_Shader_Default() override;

	/** The GL blend factors of the template and all its clones; GL_ONE, GL_ZERO disable blending. */
	void setBlend(int source, int destination);

	Shader* clone() const override;
	void setTexture(const char* name, BaseTexture* texture) override;
	using GL_Shader::setTexture;
	void setMatrix(ParamType param, const math::float4x4& value) override;
	using GL_Shader::setMatrix;
	void setVector(ParamType param, const math::float4& value) override;
	void setVector(const char* name, const math::float4& value) override;
	void setFloat(const char* name, float value) override;
	using GL_Shader::setFloat;
	int begin() override;
	void beginPass(int pass) override;
	void endPass() override {}
	void end() override;
	void setName(const std::string& name) override { m_name = name; }
	void setSort(SortType sort) override;
	int priority() const override;
	SortType sort() const override;
	const std::string& name() const override { return m_name; }

	int flags() const;
	/**
	 * What the current colour of a pass multiplies a vertex colour by in 2-D drawing, for the
	 * given alpha factor: (k, k, k, alphaFactor), k being the factor when the template blends
	 * premultiplied colours, else 1. Colour arrays replace the current colour, so vertex
	 * colours get this factor before they are drawn.
	 */
	math::float4 vertexColourFactor(float alphaFactor) const;

private:
	class Shared : public lang::Object, public GL_Resource
	{
	public:
		GL_Context* context;
		int32_t flags;
		int32_t priority = 0;
		int32_t blendSource;
		int32_t blendDestination;
		SortType sort = SORT_NONE;
		bool inBegin = false;

		Shared(GL_Context* c, int f);
		void detachFromContext() override { context = nullptr; }
	};

	lang::Ptr<Shared> m_shared;
	BaseTexture* m_baseMap;
	BaseTexture* m_secondMap;
	math::float4 m_lightPos0;
	math::float4 m_lightDiffuse0;
	math::float4 m_ambient;
	math::float4 m_diffuse;
	math::float4 m_specular;
	math::float4 m_scaleBias;
	float m_lineWidth;
	// Lines keep the width the batcher gave them unless the caller set one here.
	bool m_lineWidthSet;
	float m_alphaFactor;
	std::string m_name;
};

/** Registers the thirteen named fixed-function templates with a new context. */
void createShadersTemplates(GL_Context* context);
}
}

#endif
