#ifndef GR_GL_STUBSHADER_H
#define GR_GL_STUBSHADER_H

// STAND-IN until the fixed-function templates and the effect shaders exist: draws the
// context's plain 2-D geometry with vertex colours (alpha scaled by "ALPHA_FACTOR"), blended
// when its name holds "alpha", without depth or culling.
#include <gr/gl/GL_config.h>
#include <gr/Shader.h>
#include <lang/Ptr.h>
#include <string>

namespace gr
{
namespace GR_GL_NS
{
class GL_Shader_Platform;

class GL_StubShader : public Shader
{
public:
	explicit GL_StubShader(const std::string& name);
	~GL_StubShader() override;

	Shader* clone() const override { return new GL_StubShader(m_name); }
	void setTechnique(const char*) override {}
	bool hasTechnique(const char*) override { return false; }
	void setTexture(ParamType, BaseTexture*) override {}
	void setTexture(const char*, BaseTexture*) override {}
	void setMatrix(ParamType param, const math::float4x4& value) override;
	void setMatrix(const char*, const math::float4x4&) override {}
	void setMatrixArray(ParamType, math::float4x4**, int) override {}
	void setVector(ParamType, const math::float4&) override {}
	void setVector(const char*, const math::float4&) override {}
	void setFloat(ParamType, float) override {}
	void setFloat(const char* name, float value) override;
	BaseTexture* getTexture(const char*) override { return nullptr; }
	math::float4x4 getMatrix(const char*) override { return math::float4x4(1.f); }
	math::float4 getVector(const char*) override { return math::float4(0.f, 0.f, 0.f, 0.f); }
	float getFloat(const char*) override { return m_alpha; }
	int begin() override { return 1; }
	void beginPass(int) override;
	void endPass() override;
	void end() override {}
	void setName(const std::string& name) override { m_name = name; }
	void setSort(SortType sort) override { m_sort = sort; }
	int priority() const override { return 0; }
	SortType sort() const override { return m_sort; }
	bool enabled() const override { return true; }
	const std::string& name() const override { return m_name; }

private:
	std::string m_name;
	SortType m_sort;
	float m_alpha;
	math::float4x4 m_world;
	math::float4x4 m_proj;
#if GR_GL_VERSION == 2
	lang::Ptr<GL_Shader_Platform> m_platform;
#else
	// A white texture lets the texture combiner scale the vertex alpha by the alpha factor.
	unsigned m_white;
#endif
};
}
}

#endif
