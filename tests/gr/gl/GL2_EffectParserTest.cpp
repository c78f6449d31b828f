#include <gr/gl/GL2_EffectParser.h>
#include <gr/GraphicsException.h>
#include <io/IOException.h>
#include <support/ScopedRoots.h>
#include <support/TempDir.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using gr::gles2::GL_EffectParser;

namespace
{
// A bundle root of its own, filled by the tests, removed at the end.
class gles2_EffectFiles : public ::testing::Test
{
protected:
	void SetUp() override
	{
		ASSERT_FALSE(m_dir.path().empty());
		m_root = m_dir.path();
		mkdir((m_root + "/shaders").c_str(), 0755);
		mkdir((m_root + "/shaders/lib").c_str(), 0755);
		m_bundle.reset(new support::ScopedBundleRoot(m_root));
	}
	void TearDown() override { m_bundle.reset(); }

	void write(const std::string& name, const std::string& text)
	{
		std::ofstream(m_root + "/" + name, std::ios::binary) << text;
	}

	std::string preprocess(const std::string& name, const std::vector<std::string>& directives = {})
	{
		std::vector<char> content;
		GL_EffectParser::loadAndPreProcess(name, directives, content);
		EXPECT_EQ(content.back(), 0);
		return std::string(content.data());
	}

	support::TempDir m_dir;
	std::unique_ptr<support::ScopedBundleRoot> m_bundle;
	std::string m_root;
};

// Writes down what the grammar builds, one line per call.
class Recorder : public GL_EffectParser::Builder
{
public:
	void addProperty(const std::string& key, const std::string& value) override { log.push_back("property " + key + "=" + value); }
	void setVector(const char* name, const math::float4& v) override
	{
		log.push_back(std::string("vector ") + name + (v == math::float4(0, 0, 0, 0) ? "=0" : "=?"));
	}
	void addTechnique(const std::string& name) override { log.push_back("technique " + name); }
	void addPass(const std::string& name) override { log.push_back("pass " + name); }
	void addPassProperty(const std::string& key, const std::string& value) override { log.push_back("state " + key + "=" + value); }
	void setVertexShader(const std::vector<char>& source, const std::string& path) override { shader("vertex", source, path); }
	void setPixelShader(const std::vector<char>& source, const std::string& path) override { shader("pixel", source, path); }
	void endPass() override { log.push_back("end"); }

	std::vector<std::string> log;

private:
	void shader(const char* kind, const std::vector<char>& source, const std::string& path)
	{
		EXPECT_EQ(source.back(), 0);
		std::string text(source.data());
		// One line: the directives and the file's text with newlines shown as '|'.
		for (char& c : text)
			if (c == '\n')
				c = '|';
		log.push_back(std::string(kind) + " " + path + ": " + text);
	}
};

std::string messageOf(const lang::Exception& e)
{
	return e.getMessage().format();
}

struct Tokens
{
	std::vector<std::string> tokens;
	std::vector<int> lines;
};

Tokens tokenize(const std::string& text)
{
	Tokens t;
	GL_EffectParser::tokenize(text.c_str(), t.tokens, t.lines);
	return t;
}
}

TEST(gles2_EffectTokenize, SplitsWordsAndPunctuationWithStartLines)
{
	Tokens t = tokenize("technique T\n{\n\n  pass P0 {\r\n\tKey=Value;x#y}");
	std::vector<std::string> expected = {"technique", "T", "{", "pass", "P0", "{", "Key", "=", "Value", ";", "x", "#", "y", "}"};
	std::vector<int> lines = {1, 1, 2, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5};
	EXPECT_EQ(t.tokens, expected);
	EXPECT_EQ(t.lines, lines);

	EXPECT_TRUE(tokenize(" \t\r\n\n").tokens.empty());
	EXPECT_EQ(tokenize("a-b.c/d\"e").tokens, std::vector<std::string>{"a-b.c/d\"e"});
}

TEST_F(gles2_EffectFiles, IncludesAreResolvedRelativeToTheFirstFile)
{
	write("shaders/a.glsl", "A1\n#include \"lib/b.glsl\"\nA2\n");
	write("shaders/lib/b.glsl", "B1\r\n#include \"lib/c.glsl\"   \r\nB2");
	write("shaders/lib/c.glsl", "C");
	EXPECT_EQ(preprocess("shaders/a.glsl", {"#define X", "#version 100"}), "#define X\n#version 100\nA1\nB1\r\nC\r\nB2\nA2\n");
	EXPECT_EQ(preprocess("shaders/lib/c.glsl"), "C");
}

TEST_F(gles2_EffectFiles, BadIncludesNameTheFile)
{
	struct Case
	{
		const char* text;
		const char* message;
	};
	write("shaders/self.glsl", "#include \"self.glsl\"\n");
	write("shaders/ping.glsl", "#include \"pong.glsl\"\n");
	write("shaders/pong.glsl", "#include \"ping.glsl\"\n");
	write("shaders/twice.glsl", "x");
	const Case cases[] = {
		{"#include \"self.glsl\"", "File shaders/main.glsl contains cyclic dependencies (self.glsl) which are not supported!"},
		{"#include \"ping.glsl\"", "File shaders/main.glsl contains cyclic dependencies (ping.glsl) which are not supported!"},
		{"#include \"twice.glsl\"\n#include \"twice.glsl\"", "File shaders/main.glsl contains cyclic dependencies (twice.glsl) which are not supported!"},
		{"#include \"main.glsl\"", "File shaders/main.glsl contains cyclic dependencies (main.glsl) which are not supported!"},
		{"#include twice.glsl", "File shaders/main.glsl: Malformed #include!"},
		{"#include \"twice.glsl\n\"", "File shaders/main.glsl: Malformed #include!"},
		{"// #include\n\"x\"", "File shaders/main.glsl: Malformed #include!"},
	};
	for (const Case& c : cases)
	{
		write("shaders/main.glsl", c.text);
		try
		{
			preprocess("shaders/main.glsl");
			ADD_FAILURE() << c.text;
		}
		catch (const gr::GraphicsException& e)
		{
			EXPECT_EQ(messageOf(e), c.message) << c.text;
		}
	}
	write("shaders/main.glsl", "#include \"missing.glsl\"");
	EXPECT_THROW(preprocess("shaders/main.glsl"), io::IOException);
	EXPECT_THROW(preprocess("shaders/none.glsl"), io::IOException);
}

class gles2_EffectGrammar : public gles2_EffectFiles
{
protected:
	void SetUp() override
	{
		gles2_EffectFiles::SetUp();
		write("shaders/v.vsh", "V");
		write("shaders/f.fsh", "F");
	}

	std::vector<std::string> parse(const std::string& text)
	{
		Tokens t = tokenize(text);
		Recorder recorder;
		GL_EffectParser::parse("shaders/effect.fx", t.tokens, t.lines, recorder);
		return recorder.log;
	}

	std::string error(const std::string& text)
	{
		try
		{
			parse(text);
		}
		catch (const gr::GraphicsException& e)
		{
			return messageOf(e);
		}
		return "no error";
	}
};

TEST_F(gles2_EffectGrammar, BuildsTechniquesPassesAndProperties)
{
	std::vector<std::string> log = parse(
		"priority = 3;\n"
		"technique Default {\n"
		"  pass P0 {\n"
		"    EnableBlending = TRUE;\n"
		"    VertexShader = v.vsh;\n"
		"    PixelShader = f.fsh;\n"
		"    BlendFuncSrc = SRC_ALPHA;\n"
		"  }\n"
		"  pass P1 { PixelShader = f.fsh; VertexShader = v.vsh; }\n"
		"}\n"
		"SORT = BackToFront;\n"
		"technique Other { pass X { VertexShader = v.vsh; PixelShader = f.fsh; } }\n");
	std::vector<std::string> expected = {
		"property priority=3",
		"technique Default",
		"pass P0",
		"state EnableBlending=TRUE",
		"vertex shaders/v.vsh: V",
		"pixel shaders/f.fsh: F",
		"state BlendFuncSrc=SRC_ALPHA",
		"end",
		"pass P1",
		"pixel shaders/f.fsh: F",
		"vertex shaders/v.vsh: V",
		"end",
		"property SORT=BackToFront",
		"technique Other",
		"pass X",
		"vertex shaders/v.vsh: V",
		"pixel shaders/f.fsh: F",
		"end",
	};
	EXPECT_EQ(log, expected);
}

TEST_F(gles2_EffectGrammar, DirectivesReachTheShadersTheyEnclose)
{
	std::vector<std::string> log = parse(
		"#define FILE\n"
		"technique T {\n"
		"  #pragma TECH\n"
		"  pass A { VertexShader = v.vsh; #define LATE PixelShader = f.fsh; }\n"
		"  pass B { #version 100 VertexShader = v.vsh; PixelShader = f.fsh; }\n"
		"}\n"
		"technique U { pass C { VertexShader = v.vsh; PixelShader = f.fsh; } }\n");
	std::vector<std::string> expected = {
		"technique T",
		"pass A",
		"vertex shaders/v.vsh: #define FILE|#pragma TECH|V",
		"pixel shaders/f.fsh: #define FILE|#pragma TECH|#define LATE|F",
		"end",
		"pass B",
		"vertex shaders/v.vsh: #define FILE|#pragma TECH|#version 100|V",
		"pixel shaders/f.fsh: #define FILE|#pragma TECH|#version 100|F",
		"end",
		"technique U",
		"pass C",
		"vertex shaders/v.vsh: #define FILE|V",
		"pixel shaders/f.fsh: #define FILE|F",
		"end",
	};
	EXPECT_EQ(log, expected);

	// Only the name is taken: a value after it is left to the grammar.
	EXPECT_EQ(error("#define N 4\ntechnique T { }"), "Line 1: Malformed property! Expecting '=' instead of technique");
	std::vector<std::string> moveUV = {"vector TEX0_OFFSET=0", "technique T"};
	EXPECT_EQ(parse("#define ENABLE_MOVEUV technique T { }"), moveUV);
}

TEST_F(gles2_EffectGrammar, ConditionalBlocksFollowTheDefines)
{
	const std::string body =
		"technique T {\n"
		"#ifdef FANCY\n"
		"  pass Fancy { VertexShader = v.vsh; PixelShader = f.fsh; }\n"
		"  #ifdef NESTED pass Nested { } #endif\n"
		"#else\n"
		"  pass Plain { VertexShader = v.vsh; PixelShader = f.fsh; }\n"
		"#endif\n"
		"}\n";
	std::vector<std::string> defined = parse("#define FANCY\n" + body);
	std::vector<std::string> expectedDefined = {"technique T", "pass Fancy", "vertex shaders/v.vsh: #define FANCY|V",
		"pixel shaders/f.fsh: #define FANCY|F", "end"};
	EXPECT_EQ(defined, expectedDefined);

	std::vector<std::string> undefined = parse(body);
	std::vector<std::string> expectedUndefined = {"technique T", "pass Plain", "vertex shaders/v.vsh: V", "pixel shaders/f.fsh: F", "end"};
	EXPECT_EQ(undefined, expectedUndefined);

	// A pragma defines as well; an unterminated block at file level just ends the file.
	EXPECT_EQ(parse("#pragma X technique T { } #ifdef Y technique U {").size(), 1u);
}

TEST_F(gles2_EffectGrammar, MalformedEffectsAreReportedWithTheirLine)
{
	struct Case
	{
		const char* text;
		const char* message;
	};
	const Case cases[] = {
		{"technique T { }\n}", "Line 2: Unexpected '}' encountered"},
		{"technique T", "Line 1: Unexpected EOF while parsing 'technique'"},
		{"technique ; {", "Line 1: Malformed or missing name ';' for 'technique'"},
		{"technique T (", "Line 1: Expected '{' instead of: ("},
		{"technique T {\n  step", "Line 2: Unexpected token 'step', expecting 'pass'"},
		{"technique T { pass P", "Line 1: Unexpected EOF while parsing 'pass'"},
		{"technique T { pass { }", "Line 1: Malformed or missing name '{' for 'pass'"},
		{"technique T { pass P }", "Line 1: Expected '{' instead of: }"},
		{"technique T { pass P {\n}", "Line 2: Pass missing vertex shader!"},
		{"technique T { pass P { VertexShader = v.vsh;\n\n}", "Line 3: Pass missing pixel shader!"},
		{"technique T { pass P { VertexShader = v.vsh; VertexShader = v.vsh; } }", "Line 1: Pass has more than one VertexShader"},
		{"technique T { pass P { EnableBlending = TRUE; }", "Line 1: Pass missing vertex shader!"},
		{"technique T { pass P { EnableBlending = TRUE", "Line 1: Unexpected EOF while parsing pass property"},
		{"technique T { pass P { VertexShader = v.vsh; PixelShader = f.fsh; }", "Unexpected EOF while parsing file"},
		{"technique T {", "Unexpected EOF while parsing file"},
		{"priority = 1", "Line 1: Unexpected EOF while parsing property"},
		{"= = 1 ;", "Line 1: Malformed name '=' for property!"},
		{"priority : 1 ;", "Line 1: Malformed property! Expecting '=' instead of :"},
		{"priority = ; ;", "Line 1: Malformed value ';' for property!"},
		{"\n\nsort = back tofront;", "Line 3: Malformed property! Expecting ';' instead of tofront"},
		{"#", "Line 1: Unexpected EOF while parsing pre-prosessor directive"},
		{"\n# define", "Line 2: Unexpected EOF while parsing pre-prosessor directive"},
		{"# ifdef", "Line 1: Unexpected EOF while parsing pre-prosessor directive"},
		{"#include \"x\"", "Line 1: Unsupported pre-prosessor directive include"},
		{"", "No technique in the effect"},
		{" \n\t ", "No technique in the effect"},
		{"sort = none;", "No technique in the effect"},
		{"#ifdef MISSING technique T { } #endif", "No technique in the effect"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(error(c.text), c.message) << c.text;
}

TEST_F(gles2_EffectGrammar, ShaderFilesComeFromTheEffectFolder)
{
	write("shaders/lib/x.vsh", "precision\n#include \"y.glsl\"\nend");
	write("shaders/lib/y.glsl", "Y");
	std::vector<std::string> log = parse("technique T { pass P { VertexShader = lib/x.vsh; PixelShader = f.fsh; } }");
	EXPECT_EQ(log[2], "vertex shaders/lib/x.vsh: precision|Y|end");
	EXPECT_THROW(parse("technique T { pass P { VertexShader = none.vsh; PixelShader = f.fsh; } }"), io::IOException);
}

TEST(gles2_EffectData, TheGamesEffectsAreWellFormed)
{
	support::ScopedBundleRoot root(ENGINE_SOURCE_DIR "/data");
	for (const char* name : {"2d-sprite", "2d-sprite-alpha", "2d-sprite-alpha-masked", "2d-vertexcolor", "2d-vertexcolor-alpha"})
	{
		std::string fileName = std::string("shaders/") + name + ".fx";
		std::vector<char> content;
		GL_EffectParser::loadAndPreProcess(fileName, {}, content);
		Tokens t = tokenize(content.data());
		Recorder recorder;
		GL_EffectParser::parse(fileName, t.tokens, t.lines, recorder);
		ASSERT_GE(recorder.log.size(), 5u) << name;
		EXPECT_EQ(recorder.log[0], "technique Default") << name;
		EXPECT_EQ(recorder.log.back(), "end") << name;
	}
}
