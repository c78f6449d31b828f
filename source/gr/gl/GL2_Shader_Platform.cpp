#include <gr/gl/GL2_Shader_Platform.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <lang/assert.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <cstring>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL2_Shader_Platform")

GL_Shader_Platform* GL_Shader_Platform::sm_currentPlatformShader = nullptr;

namespace
{
// The info log of a shader or program, read through the matching pair of queries.
std::string infoLog(GLuint object, void(GL_APIENTRY* getiv)(GLuint, GLenum, GLint*), void(GL_APIENTRY* getLog)(GLuint, GLsizei, GLsizei*, GLchar*))
{
	GLint length = 0;
	getiv(object, GL_INFO_LOG_LENGTH, &length);
	std::vector<char> log(size_t(length > 0 ? length : 0) + 1, 0);
	if (length > 0)
		getLog(object, length, nullptr, log.data());
	return std::string(log.data());
}
}

GL_Shader_Platform::GL_Shader_Platform() :
	m_vertexShader(0),
	m_pixelShader(0),
	m_program(0)
{
	for (int& a : m_attributes)
		a = -1;
}

GL_Shader_Platform::~GL_Shader_Platform()
{
	if (sm_currentPlatformShader == this)
		sm_currentPlatformShader = nullptr;
	if (m_vertexShader)
	{
		gl.DeleteShader(m_vertexShader);
		CHECK("~GL_Shader_Platform");
	}
	if (m_pixelShader)
	{
		gl.DeleteShader(m_pixelShader);
		CHECK("~GL_Shader_Platform");
	}
	if (m_program)
	{
		gl.DeleteProgram(m_program);
		CHECK("~GL_Shader_Platform");
	}
}

void GL_Shader_Platform::forgetNames()
{
	if (sm_currentPlatformShader == this)
		sm_currentPlatformShader = nullptr;
	m_vertexShader = 0;
	m_pixelShader = 0;
	m_program = 0;
}

unsigned int GL_Shader_Platform::compile(GLenum type, const std::vector<char>& source, const std::string& name, const char* operation, const char* what)
{
	LANG_ASSERT(!source.empty());
	const GLuint shader = gl.CreateShader(type);
	CHECK(operation);
	const GLchar* text = source.data();
	const GLint length = GLint(source.size() - 1);
	gl.ShaderSource(shader, 1, &text, &length);
	CHECK(operation);
	gl.CompileShader(shader);
	CHECK(operation);
	GLint ok = GL_FALSE;
	gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
	CHECK(operation);
	if (!ok)
	{
		const std::string log = infoLog(shader, gl.GetShaderiv, gl.GetShaderInfoLog);
		// Nothing keeps the failed object: let it go rather than leak it.
		gl.DeleteShader(shader);
		CHECK(operation);
		lang::throwError(gr::GraphicsException(lang::Format("Failed to compile {0} shader: {1}\n\n{2}", what, name, log)));
	}
	return shader;
}

unsigned int GL_Shader_Platform::compileVertexShader(const std::vector<char>& source, const std::string& name)
{
	return compile(GL_VERTEX_SHADER, source, name, "compileVertexShader", "vertex");
}

unsigned int GL_Shader_Platform::compilePixelShader(const std::vector<char>& source, const std::string& name)
{
	return compile(GL_FRAGMENT_SHADER, source, name, "compilePixelShader", "fragment");
}

void GL_Shader_Platform::setVertexShader(unsigned int shader)
{
	LANG_ASSERT(!m_vertexShader && "Resetting vertex shader not implemented!");
	m_vertexShader = shader;
}

void GL_Shader_Platform::setPixelShader(unsigned int shader)
{
	LANG_ASSERT(!m_pixelShader && "Resetting pixel shader not implemented!");
	m_pixelShader = shader;
}

void GL_Shader_Platform::createShaderProgram(unsigned int vertexShader, unsigned int pixelShader)
{
	const GLuint program = gl.CreateProgram();
	CHECK("createShaderProgram");
	gl.AttachShader(program, pixelShader);
	CHECK("createShaderProgram");
	gl.AttachShader(program, vertexShader);
	CHECK("createShaderProgram");
	gl.LinkProgram(program);
	CHECK("createShaderProgram");
	GLint ok = GL_FALSE;
	gl.GetProgramiv(program, GL_LINK_STATUS, &ok);
	CHECK("createShaderProgram");
	if (!ok)
	{
		const std::string log = infoLog(program, gl.GetProgramiv, gl.GetProgramInfoLog);
		gl.DeleteProgram(program);
		CHECK("createShaderProgram");
		lang::throwError(gr::GraphicsException(lang::Format("Failed to link shader!\n\n{0}", log)));
	}
	gl.ValidateProgram(program);
	CHECK("createShaderProgram");
	GLint valid = GL_FALSE;
	gl.GetProgramiv(program, GL_VALIDATE_STATUS, &valid);
	CHECK("createShaderProgram");

	for (int dt = 0; dt < gr::VertexFormat::DT_SIZE; ++dt)
	{
		m_attributes[dt] = gl.GetAttribLocation(program, gr::VertexFormat::toString(gr::VertexFormat::DataType(dt)));
		CHECK("createShaderProgram");
	}

	// Names longer than a small fixed buffer are read whole, so long uniform names work too.
	GLint count = 0;
	gl.GetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
	CHECK("createShaderProgram");
	GLint maxLength = 0;
	gl.GetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
	CHECK("createShaderProgram");
	std::vector<char> buffer(size_t(maxLength > 32 ? maxLength : 32) + 1);
	m_uniforms.clear();
	for (GLint i = 0; i < count; ++i)
	{
		std::fill(buffer.begin(), buffer.end(), 0);
		GLsizei length = 0;
		GLint size = 0;
		GLenum type = 0;
		gl.GetActiveUniform(program, GLuint(i), GLsizei(buffer.size() - 1), &length, &size, &type, buffer.data());
		CHECK("createShaderProgram");
		if (length == 0)
			length = GLsizei(std::strlen(buffer.data()));
		LANG_ASSERT(length > 0);
		std::string name(buffer.data(), size_t(length));
		const size_t bracket = name.find('[');
		if (bracket != std::string::npos)
			name.resize(bracket);
		const GLint location = gl.GetUniformLocation(program, name.c_str());
		CHECK("createShaderProgram");
		m_uniforms.emplace_back(int(location), name);
	}
	m_program = program;
}

int GL_Shader_Platform::getUniformLocation(const char* name) const
{
	for (const auto& u : m_uniforms)
		if (u.second == name)
			return u.first;
	return -1;
}

void GL_Shader_Platform::begin()
{
	sm_currentPlatformShader = this;
}

void GL_Shader_Platform::end()
{
	sm_currentPlatformShader = nullptr;
}

void GL_Shader_Platform::setFloat(int location, float value)
{
	if (location == -1)
		return;
	float& cached = m_floats[location];
	if (cached == value)
		return;
	cached = value;
	gl.Uniform1f(location, value);
	CHECK("setFloat");
}

void GL_Shader_Platform::setFloat(const char* name, float value)
{
	setFloat(getUniformLocation(name), value);
}

void GL_Shader_Platform::setVector(int location, const math::float4& value)
{
	if (location == -1)
		return;
	auto it = m_vectors.find(location);
	if (it != m_vectors.end() && it->second == value)
		return;
	m_vectors[location] = value;
	const GLfloat v[4] = {value.x, value.y, value.z, value.w};
	gl.Uniform4fv(location, 1, v);
	CHECK("setVector");
}

void GL_Shader_Platform::setVector(const char* name, const math::float4& value)
{
	setVector(getUniformLocation(name), value);
}

void GL_Shader_Platform::setMatrix(int location, const math::float4x4& value)
{
	if (location == -1)
		return;
	auto it = m_matrices.find(location);
	if (it != m_matrices.end() && std::memcmp(it->second.data(), value.data(), sizeof(float) * 16) == 0)
		return;
	m_matrices[location] = value;
	const math::float4x4 t = value.transpose();
	gl.UniformMatrix4fv(location, 1, GL_FALSE, t.data());
	CHECK("setMatrix");
}

void GL_Shader_Platform::setMatrix(const char* name, const math::float4x4& value)
{
	setMatrix(getUniformLocation(name), value);
}

void GL_Shader_Platform::setMatrixArray(const char* name, math::float4x4* matrices, int count)
{
	const int location = getUniformLocation(name);
	if (location == -1)
		return;
	static_assert(sizeof(math::float4x4) == 16 * sizeof(float), "matrices are sent as packed floats");
	gl.UniformMatrix4fv(location, count, GL_FALSE, matrices->data());
	CHECK("setMatrixArray");
}

void GL_Shader_Platform::setTexture(int location, GL_Texture* texture, int unit)
{
	if (location == -1)
		return;
	GL_State::activeTexture(GLenum(GL_TEXTURE0 + unit));
	GL_State::bindTexture(texture->textureName());
	int& cached = m_samplers[location];
	if (cached == unit)
		return;
	cached = unit;
	gl.Uniform1i(location, unit);
	CHECK("setTexture");
}

void GL_Shader_Platform::setTexture(const char* name, GL_Texture* texture, int unit)
{
	setTexture(getUniformLocation(name), texture, unit);
}
}
}
