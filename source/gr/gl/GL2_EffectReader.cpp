#include <gr/gl/GL2_EffectParser.h>
#include <gr/gl/GL2_Shader.h>
#include <gr/GraphicsException.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>

namespace gr
{
namespace gles2
{
namespace
{
// Builds techniques and passes into an effect shader, compiling and linking each pass's program.
class ShaderBuilder : public GL_EffectParser::Builder
{
public:
	explicit ShaderBuilder(GL_Shader* shader) : m_shader(shader) {}

	void addProperty(const std::string& key, const std::string& value) override { m_shader->addProperty(key, value); }
	void setVector(const char* name, const math::float4& value) override { m_shader->setVector(name, value); }

	void addTechnique(const std::string& name) override
	{
		m_technique = new GL_Technique(name);
		m_shader->addTechnique(m_technique);
	}

	void addPass(const std::string& name) override
	{
		m_pass = new GL_Pass(name);
		m_technique->addPass(m_pass);
		m_vertexShader = 0;
		m_pixelShader = 0;
	}

	void addPassProperty(const std::string& key, const std::string& value) override { m_pass->addProperty(key, value); }

	void setVertexShader(const std::vector<char>& source, const std::string& path) override
	{
		GL_Shader_Platform* program = m_pass->getPlatformShader();
		m_vertexShader = program->compileVertexShader(source, path);
		program->setVertexShader(m_vertexShader);
		m_vertexSource = source;
		m_vertexPath = path;
	}

	void setPixelShader(const std::vector<char>& source, const std::string& path) override
	{
		GL_Shader_Platform* program = m_pass->getPlatformShader();
		m_pixelShader = program->compilePixelShader(source, path);
		program->setPixelShader(m_pixelShader);
		m_pixelSource = source;
		m_pixelPath = path;
	}

	void endPass() override
	{
		GL_Shader_Platform* program = m_pass->getPlatformShader();
		program->createShaderProgram(m_vertexShader, m_pixelShader);
		m_pass->getState().m_program = program->getProgramObject();
		m_pass->setSources(m_vertexSource, m_vertexPath, m_pixelSource, m_pixelPath);
		m_vertexShader = 0;
		m_pixelShader = 0;
	}

private:
	GL_Shader* m_shader;
	lang::Ptr<GL_Technique> m_technique;
	lang::Ptr<GL_Pass> m_pass;
	unsigned int m_vertexShader = 0;
	unsigned int m_pixelShader = 0;
	// The pass's GLSL text, kept for its lean programs.
	std::vector<char> m_vertexSource;
	std::vector<char> m_pixelSource;
	std::string m_vertexPath;
	std::string m_pixelPath;
};
}

void GL_EffectParser::readEffect(GL_Context* context, const std::string& name, const std::string& fileName, GL_Shader* shader)
{
	std::vector<char> content;
	loadAndPreProcess(fileName, std::vector<std::string>(), content);
	std::vector<std::string> tokens;
	std::vector<int> lines;
	tokenize(content.data(), tokens, lines);
	try
	{
		parse(context, fileName, tokens, lines, shader);
	}
	catch (const lang::Exception& e)
	{
		shader->reset();
		lang::throwError(GraphicsException(lang::Format("Error in effect: {0}\n\n{1}", fileName, e.getMessage().format())));
	}
	shader->setName(name);
	shader->setFilePath(fileName);
}

void GL_EffectParser::parse(GL_Context*, const std::string& fileName, const std::vector<std::string>& tokens, const std::vector<int>& lines, GL_Shader* shader)
{
	ShaderBuilder builder(shader);
	parse(fileName, tokens, lines, builder);
}
}
}
