#ifndef GR_GL_GL2_EFFECTPARSER_H
#define GR_GL_GL2_EFFECTPARSER_H

#include <math/float4.h>
#include <string>
#include <vector>

namespace gr
{
namespace gles2
{
class GL_Context;
class GL_Shader;

/**
 * Reads effect files (".fx"): techniques made of passes, each pass naming a GLSL
 * vertex and fragment shader and its render state. Preprocessor lines of the
 * effect (define, pragma, version) are put in front of the GLSL text of the
 * passes they enclose.
 */
class GL_EffectParser
{
public:
	/**
	 * What the grammar builds. The effect shader is the real target; the grammar
	 * itself needs no GL, so it can be exercised on its own.
	 */
	class Builder
	{
	public:
		virtual ~Builder() {}
		/** A file-level key = value (priority, sort). */
		virtual void addProperty(const std::string& key, const std::string& value) = 0;
		virtual void setVector(const char* name, const math::float4& value) = 0;
		virtual void addTechnique(const std::string& name) = 0;
		/** A pass of the technique added last. */
		virtual void addPass(const std::string& name) = 0;
		/** A render-state key = value of the pass added last. */
		virtual void addPassProperty(const std::string& key, const std::string& value) = 0;
		/** Compiles the pass's vertex shader; source ends with one NUL. */
		virtual void setVertexShader(const std::vector<char>& source, const std::string& path) = 0;
		/** Compiles the pass's fragment shader; source ends with one NUL. */
		virtual void setPixelShader(const std::vector<char>& source, const std::string& path) = 0;
		/** The pass's closing brace: both shaders are set, the program is linked. */
		virtual void endPass() = 0;
	};

	/**
	 * Fills shader from the effect file fileName (relative to the bundle root).
	 * Errors met while parsing reset the shader and are thrown as
	 * gr::GraphicsException "Error in effect: <file>\n\n<reason>".
	 */
	static void readEffect(GL_Context* context, const std::string& name, const std::string& fileName, GL_Shader* shader);

	/** content = the directive lines, one per line, then the file with its includes resolved; NUL-terminated. */
	static void loadAndPreProcess(const std::string& fileName, const std::vector<std::string>& directives, std::vector<char>& content);
	/** content = the whole bundle file followed by one NUL. */
	static void loadFileContent(const std::string& fileName, std::vector<char>& content);
	/** Replaces every #include "name" line by the named file (relative to the folder of fileName). */
	static void parseIncludes(std::vector<char>& content, const std::string& fileName);
	/**
	 * True when text holds an #include: name is its quoted file name, [begin, end) the
	 * include up to its line end. A missing or unclosed quote throws, naming fileName.
	 */
	static bool findIncludeFilename(const char* text, std::string& name, const char*& begin, const char*& end, const std::string& fileName);
	/** Appends the tokens of the NUL-terminated text and the line (from 1) each starts on. */
	static void tokenize(const char* text, std::vector<std::string>& tokens, std::vector<int>& lines);
	/** Builds the techniques and passes of the tokens into shader. */
	static void parse(GL_Context* context, const std::string& fileName, const std::vector<std::string>& tokens, const std::vector<int>& lines, GL_Shader* shader);
	/** The grammar over any builder; fileName locates the GLSL files. */
	static void parse(const std::string& fileName, const std::vector<std::string>& tokens, const std::vector<int>& lines, Builder& builder);
};
}
}

#endif
