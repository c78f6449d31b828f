#ifndef GR_GL_GL1_SHADER_H
#define GR_GL_GL1_SHADER_H

#include <gr/Shader.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <string>

namespace gr
{
namespace gles1
{
/**
 * Base of the fixed-function shaders of OpenGL ES 1.1: a set-up of the GL pipeline
 * rather than a program. Parameters without a meaning there are ignored.
 */
class GL_Shader : public gr::Shader
{
public:
	/** Flag bits of a fixed-function set-up. */
	enum Flags : int
	{
		SHADER_DIFFUSE = 0x1000,
		SHADER_LIGHTING = 0x2000,
		SHADER_TEXTURE = 0x4000,
		SHADER_NODEPTH = 0x8000,
		SHADER_NOCULL = 0x10000,
	};

	void setTechnique(const char*) override {}
	bool hasTechnique(const char*) override { return true; }
	void setTexture(ParamType param, BaseTexture* texture) override { setTexture(toString(param), texture); }
	using gr::Shader::setTexture;
	void setMatrix(const char*, const math::float4x4&) override {}
	using gr::Shader::setMatrix;
	void setMatrixArray(ParamType, math::float4x4**, int) override {}
	void setVector(ParamType param, const math::float4& value) override { setVector(toString(param), value); }
	void setVector(const char*, const math::float4&) override {}
	void setFloat(ParamType param, float value) override { setFloat(toString(param), value); }
	void setFloat(const char*, float) override {}
	BaseTexture* getTexture(const char*) override { return nullptr; }
	math::float4x4 getMatrix(const char*) override { return math::float4x4(0.f); }
	math::float4 getVector(const char*) override { return math::float4(0, 0, 0, 0); }
	float getFloat(const char*) override { return 0.f; }
	bool enabled() const override { return true; }
};

/** (0, 0, 0, 0), the specular colour of the light. */
extern const math::float4 ZERO_FLOAT4;
}
}

#endif
