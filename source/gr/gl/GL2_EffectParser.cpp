#include <gr/gl/GL2_EffectParser.h>
#include <gr/GraphicsException.h>
#include <io/BundleInputStream.h>
#include <io/IOException.h>
#include <io/PathName.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstring>

namespace gr
{
namespace gles2
{
namespace
{
const char DELIMITERS[] = "\t\n\r #;={}";

bool isDelimiter(char c)
{
	return c == 0 || std::strchr(DELIMITERS, c) != nullptr;
}

bool beginsWithDelimiter(const std::string& token)
{
	return token.empty() || isDelimiter(token[0]);
}

// The folder of a bundle file, for names given relative to it.
std::string folderOf(const std::string& fileName)
{
	return io::PathName(fileName).parent().toString();
}

std::string joinPath(const std::string& folder, const std::string& name)
{
	return io::PathName(folder, name).toString();
}

[[noreturn]] void fail(const lang::Format& message)
{
	lang::throwError(GraphicsException(message));
}

// The state of one walk over the tokens.
class Grammar
{
public:
	Grammar(const std::string& fileName, const std::vector<std::string>& tokens, const std::vector<int>& lines,
		GL_EffectParser::Builder& builder) :
		m_folder(folderOf(fileName)),
		m_tokens(tokens),
		m_lines(lines),
		m_builder(builder),
		m_directives(1)
	{
	}

	void run()
	{
		size_t i = 0;
		while (i < m_tokens.size())
		{
			if (m_tokens[i] == "#")
				i = directive(i);
			else if (m_state == FILE_LEVEL)
				i = fileLevel(i);
			else if (m_state == IN_TECHNIQUE)
				i = inTechnique(i);
			else
				i = inPass(i);
		}
		if (m_state != FILE_LEVEL)
			fail(lang::Format("Unexpected EOF while parsing file"));
		if (m_techniques == 0)
			fail(lang::Format("No technique in the effect"));
	}

private:
	enum State { FILE_LEVEL, IN_TECHNIQUE, IN_PASS };

	int line(size_t i) const { return i < m_lines.size() ? m_lines[i] : 0; }
	bool has(size_t i) const { return i < m_tokens.size(); }

	size_t directive(size_t i)
	{
		static const char* const EOF_MESSAGE = "Line {0}: Unexpected EOF while parsing pre-prosessor directive";
		if (!has(i + 1))
			fail(lang::Format(EOF_MESSAGE, line(i)));
		const std::string& word = m_tokens[i + 1];
		if (word == "define" || word == "pragma" || word == "version")
		{
			if (!has(i + 2))
				fail(lang::Format(EOF_MESSAGE, line(i)));
			const std::string& name = m_tokens[i + 2];
			m_directives.back().push_back("#" + word + " " + name);
			if (name == "ENABLE_MOVEUV")
				m_builder.setVector("TEX0_OFFSET", math::float4(0, 0, 0, 0));
			return i + 3;
		}
		if (word == "ifdef")
		{
			if (!has(i + 2))
				fail(lang::Format(EOF_MESSAGE, line(i)));
			if (isDefined(m_tokens[i + 2]))
				return i + 3;
			return skipBlock(i + 3, true) + 1;
		}
		if (word == "else")
			return skipBlock(i + 2, false) + 1;
		if (word == "endif")
			return i + 2;
		fail(lang::Format("Line {0}: Unsupported pre-prosessor directive {1}", line(i), word));
	}

	// A name is defined by a recorded "#define NAME" or "#pragma NAME" line.
	bool isDefined(const std::string& name) const
	{
		for (const std::vector<std::string>& list : m_directives)
			for (const std::string& text : list)
				if (text.size() >= 8 && text.compare(8, std::string::npos, name) == 0)
					return true;
		return false;
	}

	// Index of the token that ends a skipped block: "endif" (or, when stopAtElse, "else")
	// at the block's own depth; the token count when the tokens run out.
	size_t skipBlock(size_t j, bool stopAtElse) const
	{
		int depth = 0;
		for (; j < m_tokens.size(); ++j)
		{
			const std::string& token = m_tokens[j];
			if (stopAtElse && token == "else" && depth < 1)
				break;
			if (token == "endif" && depth <= 0)
				break;
			if (token == "ifdef")
				++depth;
			else if (token == "endif")
				--depth;
		}
		return j;
	}

	size_t fileLevel(size_t i)
	{
		const std::string& token = m_tokens[i];
		if (token == "}")
			fail(lang::Format("Line {0}: Unexpected '{1}' encountered", line(i), token));
		if (token == "technique")
		{
			blockHeader(i, "technique");
			m_builder.addTechnique(m_tokens[i + 1]);
			++m_techniques;
			m_directives.emplace_back();
			m_state = IN_TECHNIQUE;
			return i + 3;
		}
		checkProperty(i, "Line {0}: Unexpected EOF while parsing property");
		m_builder.addProperty(token, m_tokens[i + 2]);
		return i + 4;
	}

	size_t inTechnique(size_t i)
	{
		const std::string& token = m_tokens[i];
		if (token == "}")
		{
			m_directives.pop_back();
			m_state = FILE_LEVEL;
			return i + 1;
		}
		if (token != "pass")
			fail(lang::Format("Line {0}: Unexpected token '{1}', expecting 'pass'", line(i), token));
		blockHeader(i, "pass");
		m_builder.addPass(m_tokens[i + 1]);
		m_directives.emplace_back();
		m_hasVertexShader = false;
		m_hasPixelShader = false;
		m_state = IN_PASS;
		return i + 3;
	}

	size_t inPass(size_t i)
	{
		const std::string& token = m_tokens[i];
		if (token == "}")
		{
			if (!m_hasVertexShader)
				fail(lang::Format("Line {0}: Pass missing vertex shader!", line(i)));
			if (!m_hasPixelShader)
				fail(lang::Format("Line {0}: Pass missing pixel shader!", line(i)));
			m_builder.endPass();
			m_directives.pop_back();
			m_hasVertexShader = false;
			m_hasPixelShader = false;
			m_state = IN_TECHNIQUE;
			return i + 1;
		}
		checkProperty(i, "Line {0}: Unexpected EOF while parsing pass property");
		const std::string& value = m_tokens[i + 2];
		if (token == "VertexShader" || token == "PixelShader")
		{
			bool vertex = token == "VertexShader";
			bool& done = vertex ? m_hasVertexShader : m_hasPixelShader;
			// A pass holds one program: a second shader of a kind would be silently lost.
			if (done)
				fail(lang::Format("Line {0}: Pass has more than one {1}", line(i), token));
			std::string path = joinPath(m_folder, value);
			std::vector<std::string> directives;
			for (const std::vector<std::string>& list : m_directives)
				directives.insert(directives.end(), list.begin(), list.end());
			std::vector<char> source;
			GL_EffectParser::loadAndPreProcess(path, directives, source);
			if (vertex)
				m_builder.setVertexShader(source, path);
			else
				m_builder.setPixelShader(source, path);
			done = true;
		}
		else
		{
			m_builder.addPassProperty(token, value);
		}
		return i + 4;
	}

	// "technique" or "pass", its name and an opening brace.
	void blockHeader(size_t i, const char* what)
	{
		if (!has(i + 2))
			fail(lang::Format("Line {0}: Unexpected EOF while parsing '{1}'", line(i), what));
		if (beginsWithDelimiter(m_tokens[i + 1]))
			fail(lang::Format("Line {0}: Malformed or missing name '{1}' for '{2}'", line(i), m_tokens[i + 1], what));
		if (m_tokens[i + 2] != "{")
			fail(lang::Format("Line {0}: Expected '{1}' instead of: {2}", line(i), "{", m_tokens[i + 2]));
	}

	// key = value ;
	void checkProperty(size_t i, const char* eofMessage)
	{
		if (!has(i + 3))
			fail(lang::Format(eofMessage, line(i)));
		if (beginsWithDelimiter(m_tokens[i]))
			fail(lang::Format("Line {0}: Malformed name '{1}' for property!", line(i), m_tokens[i]));
		if (m_tokens[i + 1] != "=")
			fail(lang::Format("Line {0}: Malformed property! Expecting '=' instead of {1}", line(i), m_tokens[i + 1]));
		if (beginsWithDelimiter(m_tokens[i + 2]))
			fail(lang::Format("Line {0}: Malformed value '{1}' for property!", line(i), m_tokens[i + 2]));
		if (m_tokens[i + 3] != ";")
			fail(lang::Format("Line {0}: Malformed property! Expecting ';' instead of {1}", line(i), m_tokens[i + 3]));
	}

	std::string m_folder;
	const std::vector<std::string>& m_tokens;
	const std::vector<int>& m_lines;
	GL_EffectParser::Builder& m_builder;
	// Directive lines of the file, then of the open technique, then of the open pass.
	std::vector<std::vector<std::string>> m_directives;
	State m_state = FILE_LEVEL;
	int m_techniques = 0;
	bool m_hasVertexShader = false;
	bool m_hasPixelShader = false;
};
}

void GL_EffectParser::loadFileContent(const std::string& fileName, std::vector<char>& content)
{
	io::BundleInputStream in(fileName);
	int size = in.available();
	if (size < 0)
		lang::throwError(io::IOException(lang::Format("Failed to get size of {0}", fileName)));
	content.assign(size_t(size) + 1, 0);
	int done = 0;
	while (done < size)
	{
		int n = in.read(content.data() + done, size - done);
		if (n <= 0)
			lang::throwError(io::IOException(lang::Format("Failed to read {0}", fileName)));
		done += n;
	}
}

void GL_EffectParser::loadAndPreProcess(const std::string& fileName, const std::vector<std::string>& directives, std::vector<char>& content)
{
	loadFileContent(fileName, content);
	std::string head;
	for (const std::string& line : directives)
		head += line + "\n";
	content.insert(content.begin(), head.begin(), head.end());
	parseIncludes(content, fileName);
}

bool GL_EffectParser::findIncludeFilename(const char* text, std::string& name, const char*& begin, const char*& end, const std::string& fileName)
{
	begin = std::strstr(text, "#include");
	if (!begin)
		return false;
	const char* newline = std::strchr(begin, '\n');
	const char* carriage = std::strchr(begin, '\r');
	end = newline && (!carriage || newline < carriage) ? newline : carriage;
	if (!end)
		end = begin + std::strlen(begin);
	const char* open = std::strchr(begin, '"');
	const char* close = open && open < end ? std::strchr(open + 1, '"') : nullptr;
	if (!close || close >= end)
		fail(lang::Format("File {0}: Malformed #include!", fileName));
	name.assign(open + 1, close);
	return true;
}

void GL_EffectParser::parseIncludes(std::vector<char>& content, const std::string& fileName)
{
	// Every file may be read once per run: a repeat is taken for a cycle.
	std::vector<std::string> seen(1, io::PathName(fileName).filename());
	std::string folder = folderOf(fileName);
	std::string name;
	const char* begin = nullptr;
	const char* end = nullptr;
	while (findIncludeFilename(content.data(), name, begin, end, fileName))
	{
		if (std::find(seen.begin(), seen.end(), name) != seen.end())
			fail(lang::Format("File {0} contains cyclic dependencies ({1}) which are not supported!", fileName, name));
		seen.push_back(name);
		std::vector<char> included;
		loadFileContent(joinPath(folder, name), included);
		size_t from = size_t(begin - content.data());
		size_t to = size_t(end - content.data());
		content.erase(content.begin() + from, content.begin() + to);
		content.insert(content.begin() + from, included.begin(), included.end() - 1);
	}
}

void GL_EffectParser::tokenize(const char* text, std::vector<std::string>& tokens, std::vector<int>& lines)
{
	int line = 1;
	for (const char* p = text; *p;)
	{
		char c = *p;
		if (c == '\n' || c == '\r' || c == '\t' || c == ' ')
		{
			if (c == '\n')
				++line;
			++p;
		}
		else if (isDelimiter(c))
		{
			tokens.emplace_back(1, c);
			lines.push_back(line);
			++p;
		}
		else
		{
			const char* start = p;
			while (!isDelimiter(*p))
				++p;
			tokens.emplace_back(start, p);
			lines.push_back(line);
		}
	}
}

void GL_EffectParser::parse(const std::string& fileName, const std::vector<std::string>& tokens, const std::vector<int>& lines, Builder& builder)
{
	Grammar(fileName, tokens, lines, builder).run();
}
}
}
