#ifndef GR_GL_GL2_SHADER_PLATFORM_H
#define GR_GL_GL2_SHADER_PLATFORM_H

#include <gr/gl/GL_config.h>
#include <gr/VertexFormat.h>
#include <lang/Object.h>
#include <math/float4.h>
#include <math/float4x4.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#if GR_GL_VERSION != 2
#error "GL2_Shader_Platform belongs to the OpenGL ES 2.0 back end"
#endif

namespace gr
{
namespace GR_GL_NS
{
class GL_Texture;

/**
 * The GLSL program of one effect pass: compiles and links its shaders, finds its attribute
 * and uniform locations, and sets uniforms by name, skipping uploads of unchanged values.
 * Clones of a pass share one of these, so one program and one cache serve them all.
 */
class GL_Shader_Platform : public lang::Object
{
public:
	/** The platform shader of the pass in progress (null outside a pass). */
	static GL_Shader_Platform* sm_currentPlatformShader;

	GL_Shader_Platform();
	~GL_Shader_Platform() override;

	/** After the GL context is gone: the names are dropped, never deleted. */
	void forgetNames();

	/**
	 * source ends with one NUL that is not part of the text; name is used in messages.
	 * Throws gr::GraphicsException with the compiler's log when compiling fails.
	 */
	unsigned int compileVertexShader(const std::vector<char>& source, const std::string& name);
	unsigned int compilePixelShader(const std::vector<char>& source, const std::string& name);
	/** Each may be set once. */
	void setVertexShader(unsigned int shader);
	void setPixelShader(unsigned int shader);
	/** Links; throws gr::GraphicsException with the linker's log when linking fails. */
	void createShaderProgram(unsigned int vertexShader, unsigned int pixelShader);

	unsigned int getProgramObject() const { return m_program; }
	unsigned int getVertexShader() const { return m_vertexShader; }
	unsigned int getPixelShader() const { return m_pixelShader; }
	/** Where the program reads a vertex component; -1 when it has no such input. */
	int getAttributeLocation(gr::VertexFormat::DataType dt) const { return m_attributes[dt]; }
	/** Active uniforms as (location, name), array names without their [0]. */
	const std::vector<std::pair<int, std::string>>& uniforms() const { return m_uniforms; }
	/** Location of an active uniform, -1 when the program has none of that name. */
	int getUniformLocation(const char* name) const;

	void begin();
	void end();

	// Act on the current program: call them after the pass's state made it current.
	void setFloat(int location, float value);
	void setFloat(const char* name, float value);
	void setVector(int location, const math::float4& value);
	void setVector(const char* name, const math::float4& value);
	/** Row-major matrices arrive in GLSL transposed. */
	void setMatrix(int location, const math::float4x4& value);
	void setMatrix(const char* name, const math::float4x4& value);
	/** Sends the matrices as stored (not transposed) and does not cache them. */
	void setMatrixArray(const char* name, math::float4x4* matrices, int count);
	/** Binds the texture on unit (below 8) and points the sampler at that unit. */
	void setTexture(int location, GL_Texture* texture, int unit);
	void setTexture(const char* name, GL_Texture* texture, int unit);

private:
	int m_attributes[gr::VertexFormat::DT_SIZE];
	unsigned int m_vertexShader;
	unsigned int m_pixelShader;
	unsigned int m_program;
	std::vector<std::pair<int, std::string>> m_uniforms;
	std::map<int, float> m_floats;
	std::map<int, math::float4> m_vectors;
	std::map<int, math::float4x4> m_matrices;
	std::map<int, int> m_samplers;

	unsigned int compile(GLenum type, const std::vector<char>& source, const std::string& name, const char* operation, const char* what);

	GL_Shader_Platform(const GL_Shader_Platform&) = delete;
	GL_Shader_Platform& operator=(const GL_Shader_Platform&) = delete;
};
}
}

#endif
