#ifndef GR_GL_TESTS_TESTSHADER_H
#define GR_GL_TESTS_TESTSHADER_H

#include <gr/gl/GL_config.h>
#include <gr/Shader.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace gltest
{
/**
 * A shader for drawing tests: draws vertex colour times the texture of "BASEMAP" (when set)
 * times "ALPHA_FACTOR", and records what it is asked to do. On OpenGL ES 2.0 it runs a small
 * GLSL program through GL_Shader_Platform, on 1.1 the fixed-function pipeline.
 */
class TestShader : public gr::Shader
{
public:
	struct Call
	{
		std::string what; // "begin", "pass", "end", "float NAME", "texture NAME", "matrix N"
		float value;
		math::float4x4 matrix;
	};

	TestShader();
	~TestShader() override;

	std::vector<Call> calls;
	int passes = 1;
	bool textured = false;

	Shader* clone() const override { return new TestShader; }
	void setTechnique(const char*) override {}
	bool hasTechnique(const char*) override { return false; }
	void setTexture(ParamType, gr::BaseTexture*) override {}
	void setTexture(const char* name, gr::BaseTexture* texture) override;
	void setMatrix(ParamType param, const math::float4x4& value) override;
	void setMatrix(const char*, const math::float4x4&) override {}
	void setMatrixArray(ParamType, math::float4x4**, int) override {}
	void setVector(ParamType, const math::float4&) override {}
	void setVector(const char*, const math::float4&) override {}
	void setFloat(ParamType, float) override {}
	void setFloat(const char* name, float value) override;
	gr::BaseTexture* getTexture(const char*) override { return m_texture; }
	math::float4x4 getMatrix(const char*) override { return math::float4x4(1.f); }
	math::float4 getVector(const char*) override { return math::float4(0, 0, 0, 0); }
	float getFloat(const char*) override { return m_alpha; }
	int begin() override;
	void beginPass(int pass) override;
	void endPass() override;
	void end() override;
	void setName(const std::string& name) override { m_name = name; }
	void setSort(SortType sort) override { m_sort = sort; }
	int priority() const override { return 0; }
	SortType sort() const override { return m_sort; }
	bool enabled() const override { return true; }
	const std::string& name() const override { return m_name; }

	/** Names of the recorded calls, in order. */
	std::vector<std::string> callNames() const;

private:
	std::string m_name;
	SortType m_sort;
	gr::BaseTexture* m_texture;
	float m_alpha;
	struct Program;
	Program* m_program;
};
}

#endif
