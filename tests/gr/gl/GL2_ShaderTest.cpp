#include "ContextFixture.h"
#include <gr/gl/GL2_Shader.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <io/IOException.h>
#include <lang/Ptr.h>
#include <support/ScopedRoots.h>
#include <support/TempDir.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <EGL/egl.h>

using gr::gles2::GL_Shader;
using gr::gles2::GL_State;
using gr::gles2::gl;
using gr::Shader;

namespace
{
// Uniform read-back is not part of the back end's table: ask EGL for it.
void getUniformfv(GLuint program, GLint location, GLfloat* value)
{
	reinterpret_cast<void (*)(GLuint, GLint, GLfloat*)>(eglGetProcAddress("glGetUniformfv"))(program, location, value);
}

void getUniformiv(GLuint program, GLint location, GLint* value)
{
	reinterpret_cast<void (*)(GLuint, GLint, GLint*)>(eglGetProcAddress("glGetUniformiv"))(program, location, value);
}

const char* const GAME_EFFECTS[] = {"2d-sprite-alpha-masked", "2d-sprite", "2d-sprite-alpha", "2d-vertexcolor-alpha", "2d-vertexcolor"};

// A GL context whose bundle root is a fresh folder with the game's shaders copied in.
class gles2_EffectShader : public gltest::ContextFixture
{
protected:
	void SetUp() override
	{
		gltest::ContextFixture::SetUp();
		ASSERT_FALSE(m_dir.path().empty());
		m_root = m_dir.path();
		std::system(("cp -r '" ENGINE_SOURCE_DIR "/data/shaders' '" + m_root + "/'").c_str());
		m_shaderBundle.reset(new support::ScopedBundleRoot(m_root));
		m_context->setShaderPath("shaders");
		write("shaders/red.fsh", "precision mediump float; uniform float ALPHA_FACTOR; void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, ALPHA_FACTOR); }");
		write("shaders/pos.vsh", "attribute vec4 DT_POSITION; void main() { gl_Position = DT_POSITION; }");
	}
	void TearDown() override
	{
		m_shaderBundle.reset();
		gltest::ContextFixture::TearDown();
	}

	void write(const std::string& name, const std::string& text)
	{
		std::ofstream(m_root + "/" + name, std::ios::binary) << text;
	}

	// An effect of the given text under shaders/<name>.fx, loaded through the context.
	lang::Ptr<GL_Shader> load(const std::string& name, const std::string& text)
	{
		write("shaders/" + name + ".fx", text);
		return shader(name);
	}

	lang::Ptr<GL_Shader> shader(const std::string& name)
	{
		return static_cast<GL_Shader*>(m_context->createShader("shaders/" + name, 0));
	}

	std::string loadError(const std::string& text)
	{
		try
		{
			load("bad", text);
		}
		catch (const gr::GraphicsException& e)
		{
			return e.getMessage().format();
		}
		return "no error";
	}

	static float uniform(const char* name)
	{
		GLint program = 0;
		gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
		float value = -1;
		getUniformfv(GLuint(program), gl.GetUniformLocation(GLuint(program), name), &value);
		return value;
	}

	support::TempDir m_dir;
	std::unique_ptr<support::ScopedBundleRoot> m_shaderBundle;
	std::string m_root;
};

const char* const PASS = "{ VertexShader = pos.vsh; PixelShader = red.fsh; }";
}

TEST_F(gles2_EffectShader, TheGamesEffectsCompileAndRunOnePass)
{
	for (const char* name : GAME_EFFECTS)
	{
		lang::Ptr<GL_Shader> s = shader(name);
		EXPECT_TRUE(s->enabled()) << name;
		EXPECT_EQ(s->name(), name);
		EXPECT_EQ(s->filePath(), std::string("shaders/") + name + ".fx");
		ASSERT_EQ(s->begin(), 1) << name;
		s->beginPass(0);
		GLint program = 0;
		gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
		EXPECT_NE(program, 0) << name;
		EXPECT_EQ(GLuint(program), GL_State::sm_current.m_program);
		EXPECT_FALSE(GL_State::isEnabled(GL_DEPTH_TEST));
		EXPECT_FALSE(GL_State::isEnabled(GL_CULL_FACE));
		EXPECT_EQ(GL_State::isEnabled(GL_BLEND), std::string(name).find("alpha") != std::string::npos) << name;
		s->endPass();
		s->end();
	}
}

TEST_F(gles2_EffectShader, TechniquesAreChosenByName)
{
	lang::Ptr<GL_Shader> s = load("two", std::string("technique Default { pass A ") + PASS + " }\n" +
		"technique Glow { pass A " + PASS + " pass B " + PASS + " }");
	EXPECT_EQ(s->begin(), 1);
	EXPECT_TRUE(s->hasTechnique("Glow"));
	EXPECT_FALSE(s->hasTechnique(""));
	EXPECT_FALSE(s->hasTechnique(nullptr));
	EXPECT_FALSE(s->hasTechnique("glow"));

	s->setTechnique("Glow");
	EXPECT_EQ(s->begin(), 2);
	s->setTechnique("Missing");
	EXPECT_FALSE(s->enabled());
	EXPECT_EQ(s->begin(), 0);
	s->setTechnique("");
	EXPECT_TRUE(s->enabled());
	EXPECT_EQ(s->begin(), 1);

	// Without a technique of that name an empty name selects nothing.
	lang::Ptr<GL_Shader> other = load("other", std::string("technique Main { pass A ") + PASS + " }");
	other->setTechnique(nullptr);
	EXPECT_FALSE(other->enabled());
	EXPECT_EQ(other->begin(), 0);
}

TEST_F(gles2_EffectShader, ParametersAreStoredAndSentPerClone)
{
	lang::Ptr<GL_Shader> s = load("red", std::string("technique Default { pass A ") + PASS + " }");
	EXPECT_EQ(s->getFloat("ALPHA_FACTOR"), 0.f);
	EXPECT_EQ(s->getVector("V"), math::float4(0, 0, 0, 0));
	EXPECT_EQ(s->getMatrix("M"), math::float4x4(0.f));
	EXPECT_EQ(s->getTexture("BASEMAP"), nullptr);
	s->setFloat("ALPHA_FACTOR", 0.5f);
	s->setFloat("ALPHA_FACTOR", 0.25f);
	s->setVector(Shader::PARAM_LIGHTP0, math::float4(1, 2, 3, 4));
	EXPECT_EQ(s->getFloat("ALPHA_FACTOR"), 0.25f);
	EXPECT_EQ(s->getVector("LIGHTP0"), math::float4(1, 2, 3, 4));

	lang::Ptr<Shader> c = s->clone();
	c->setFloat("ALPHA_FACTOR", 0.75f);
	EXPECT_EQ(s->getFloat("ALPHA_FACTOR"), 0.25f);
	EXPECT_EQ(c->getVector("LIGHTP0"), math::float4(1, 2, 3, 4));

	s->begin();
	s->beginPass(0);
	GLuint program = GL_State::sm_current.m_program;
	EXPECT_EQ(uniform("ALPHA_FACTOR"), 0.25f);
	s->endPass();
	c->begin();
	c->beginPass(0);
	EXPECT_EQ(GL_State::sm_current.m_program, program);
	EXPECT_EQ(uniform("ALPHA_FACTOR"), 0.75f);
	c->endPass();
	s->beginPass(0);
	EXPECT_EQ(uniform("ALPHA_FACTOR"), 0.25f);
	s->endPass();
}

TEST_F(gles2_EffectShader, TexturesTakeUnitsInTheOrderTheyWereSet)
{
	write("shaders/two.fsh", "precision mediump float; uniform sampler2D BASEMAP; uniform sampler2D BASEMAP1;"
		"void main() { gl_FragColor = texture2D(BASEMAP, vec2(0.0)) + texture2D(BASEMAP1, vec2(0.0)); }");
	lang::Ptr<GL_Shader> s = load("tex", "technique Default { pass A { VertexShader = pos.vsh; PixelShader = two.fsh; } }");
	gr::SurfaceFormat rgba(gr::SurfaceFormat::SURFACE_A8R8G8B8);
	lang::Ptr<gr::Texture> a = m_context->createTexture(4, 4, 0, rgba, 0);
	lang::Ptr<gr::Texture> b = m_context->createTexture(4, 4, 0, rgba, 0);
	s->setTexture("BASEMAP", a);
	s->setTexture("BASEMAP1", b);
	s->begin();
	s->beginPass(0);
	GLint program = 0, unit0 = -1, unit1 = -1;
	gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
	getUniformiv(GLuint(program), gl.GetUniformLocation(GLuint(program), "BASEMAP"), &unit0);
	getUniformiv(GLuint(program), gl.GetUniformLocation(GLuint(program), "BASEMAP1"), &unit1);
	EXPECT_EQ(unit0, 0);
	EXPECT_EQ(unit1, 1);
	EXPECT_EQ(GL_State::sm_current.m_bindedTexture[0], static_cast<gr::gles2::GL_Texture*>(a.ptr())->textureName());
	EXPECT_EQ(GL_State::sm_current.m_bindedTexture[1], static_cast<gr::gles2::GL_Texture*>(b.ptr())->textureName());
	EXPECT_EQ(GL_State::sm_current.m_activeTexture, GLenum(GL_TEXTURE1));
	s->endPass();
}

TEST_F(gles2_EffectShader, SortedEffectsFeedTheTriangleSorting)
{
	lang::Ptr<GL_Shader> plain = load("plain", std::string("technique Default { pass A ") + PASS + " }");
	lang::Ptr<GL_Shader> sorted = load("sorted", std::string("Sort = BackToFront; priority = 300;\ntechnique Default { pass A ") + PASS + " }");
	lang::Ptr<GL_Shader> insideOut = load("insideout", std::string("SORT = insideout;\ntechnique Default { pass A ") + PASS + " }");
	EXPECT_EQ(plain->sort(), Shader::SORT_NONE);
	EXPECT_EQ(sorted->sort(), Shader::SORT_BACKTOFRONT);
	EXPECT_EQ(sorted->priority(), 44); // kept in eight bits
	EXPECT_EQ(insideOut->sort(), Shader::SORT_INSIDEOUT);

	math::float4x4 m(2.f);
	m_context->m_sortWorldMatrix = math::float4x4(1.f);
	m_context->m_sortCamera = math::float4(0, 0, 0, 0);
	plain->setMatrix(Shader::PARAM_WORLDTM, m);
	plain->setVector(Shader::PARAM_CAMERAP, math::float4(1, 1, 1, 1));
	EXPECT_EQ(m_context->m_sortWorldMatrix, math::float4x4(1.f));
	EXPECT_EQ(m_context->m_sortCamera, math::float4(0, 0, 0, 0));
	EXPECT_EQ(plain->getMatrix("WORLDTM"), m);
	sorted->setMatrix(Shader::PARAM_WORLDTM, m);
	sorted->setVector(Shader::PARAM_CAMERAP, math::float4(1, 1, 1, 1));
	EXPECT_EQ(m_context->m_sortWorldMatrix, m);
	EXPECT_EQ(m_context->m_sortCamera, math::float4(1, 1, 1, 1));

	math::float4x4 bones[2] = {math::float4x4(3.f), math::float4x4(4.f)};
	math::float4x4* pointers[2] = {&bones[0], &bones[1]};
	m_context->m_boneMatrices.clear();
	insideOut->setMatrixArray(Shader::PARAM_BONEWORLDTM, pointers, 2);
	EXPECT_TRUE(m_context->m_boneMatrices.empty());
	sorted->setMatrixArray(Shader::PARAM_BONEWORLDTM, pointers, 2);
	ASSERT_EQ(m_context->m_boneMatrices.size(), 2u);
	EXPECT_EQ(m_context->m_boneMatrices[1], bones[1]);
}

TEST_F(gles2_EffectShader, BadEffectsNameTheFileAndTheFault)
{
	const std::string pass = std::string("technique Default { pass A ") + PASS + " }";
	write("shaders/broken.vsh", "void main() { oops }");
	struct Case
	{
		std::string text;
		std::string message;
	};
	const Case cases[] = {
		{"sort = sideways;" + pass, "Error in effect: shaders/bad.fx\n\nUnknown sort mode sideways"},
		{"colour = red;" + pass, "Error in effect: shaders/bad.fx\n\nUnknown property for shader: colour"},
		{"technique T { pass A { VertexShader = pos.vsh; PixelShader = red.fsh; enableCulling = TRUE; } }",
			"Error in effect: shaders/bad.fx\n\nUnsupported key \"enableCulling\""},
		{"technique T { pass A { BlendFuncSrc = SRC_COLOR; } }", "Error in effect: shaders/bad.fx\n\nUnsupported value \"SRC_COLOR\""},
		{" \n ", "Error in effect: shaders/bad.fx\n\nNo technique in the effect"},
		{"technique T { pass A { VertexShader = broken.vsh; PixelShader = red.fsh; } }",
			"Error in effect: shaders/bad.fx\n\nFailed to compile vertex shader: shaders/broken.vsh\n\n"},
	};
	for (const Case& c : cases)
	{
		std::string message = loadError(c.text);
		EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.text;
	}
	// A missing effect file is the stream's own error; a missing GLSL file is an effect error.
	EXPECT_THROW(shader("none"), io::IOException);
	EXPECT_EQ(loadError("technique T { pass A { VertexShader = none.vsh; PixelShader = red.fsh; } }").substr(0, 33),
		"Error in effect: shaders/bad.fx\n\n");
}

TEST_F(gles2_EffectShader, PlainShadersDrawFillsThroughTheBatcher)
{
	m_context->clear(0xFF000000, true, true, false);
	m_context->fillRect2D(0xFF00FF00, 0, 0, 16, 16);
	// A new alpha factor starts a new batch, drawn with the alpha shader.
	m_context->getRenderState2D().alphaFactor = 0.5f;
	m_context->fillRect2D(0xFF0000FF, 8, 8, 16, 16);
	m_context->getRenderState2D().alphaFactor = 1.f;
	EXPECT_EQ(pixel(4, 4), 0xFF00FF00u);
	uint32_t blended = pixel(20, 20);
	EXPECT_NEAR(int(blended >> 16 & 0xFF), 128, 1) << std::hex << blended;
	EXPECT_EQ(blended & 0xFFFF, 0u) << std::hex << blended;
}

// Saturation and fade at 1 are identities: the game's effects then run a program built from
// the same files without those terms, shared by clones; any other value runs the full one.
TEST_F(gles2_EffectShader, IdentityTermsRunALeanProgramOfTheSameFiles)
{
	auto current = [] {
		GLint program = 0;
		gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
		return GLuint(program);
	};
	auto run = [&](Shader* s, float saturation, float alpha) {
		s->setFloat("COLOR_SATURATION", saturation);
		s->setFloat("ALPHA_FACTOR", alpha);
		EXPECT_EQ(s->begin(), 1);
		s->beginPass(0);
		const GLuint program = current();
		s->endPass();
		s->end();
		return program;
	};
	for (const char* name : GAME_EFFECTS)
	{
		const bool saturates = std::string(name).find("masked") == std::string::npos;
		lang::Ptr<GL_Shader> s = shader(name);
		const GLuint lean = run(s, 1.f, 1.f);
		EXPECT_EQ(gl.GetUniformLocation(lean, "COLOR_SATURATION"), -1) << name;
		EXPECT_EQ(gl.GetUniformLocation(lean, "ALPHA_FACTOR"), -1) << name;
		const GLuint grey = run(s, 0.5f, 1.f);
		EXPECT_EQ(grey != lean, saturates) << name;
		if (saturates)
		{
			EXPECT_NE(gl.GetUniformLocation(grey, "COLOR_SATURATION"), -1) << name;
			EXPECT_EQ(gl.GetUniformLocation(grey, "ALPHA_FACTOR"), -1) << name;
		}
		const GLuint faded = run(s, 1.f, 0.5f);
		EXPECT_NE(faded, lean) << name;
		EXPECT_NE(gl.GetUniformLocation(faded, "ALPHA_FACTOR"), -1) << name;
		// A value never set is not taken for its identity: the uniform keeps GL's 0.
		lang::Ptr<GL_Shader> fresh = shader(name);
		EXPECT_EQ(fresh->begin(), 1);
		fresh->beginPass(0);
		EXPECT_NE(current(), lean) << name;
		fresh->endPass();
		lang::Ptr<Shader> copy = s->clone();
		EXPECT_EQ(run(copy, 1.f, 1.f), lean) << name;
	}

	// The defines follow a #version line; a lean text that does not compile leaves the full program.
	write("shaders/lean.fsh", "precision mediump float;\n#ifdef UNIT_ALPHA_FACTOR\nvoid main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n"
		"#else\nuniform float ALPHA_FACTOR;\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 0.0, ALPHA_FACTOR); }\n#endif\n");
	write("shaders/broken.fsh", "precision mediump float;\n#ifdef UNIT_ALPHA_FACTOR\nvoid main() { nonsense }\n"
		"#else\nuniform float ALPHA_FACTOR;\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 0.0, ALPHA_FACTOR); }\n#endif\n");
	lang::Ptr<GL_Shader> versioned = load("versioned", "#version 100 technique T { pass A { VertexShader = pos.vsh; PixelShader = lean.fsh; } }");
	const GLuint full = run(versioned, 1.f, 0.5f);
	EXPECT_NE(run(versioned, 1.f, 1.f), full);
	lang::Ptr<GL_Shader> broken = load("broken", "technique T { pass A { VertexShader = pos.vsh; PixelShader = broken.fsh; } }");
	const GLuint whole = run(broken, 1.f, 0.5f);
	EXPECT_EQ(run(broken, 1.f, 1.f), whole);
	EXPECT_EQ(run(broken, 1.f, 1.f), whole);
}

// Image batches without corner colours are drawn by a program that leaves the colour out.
TEST_F(gles2_EffectShader, UncolouredImageBatchesLeaveTheVertexColourOut)
{
	auto current = [] {
		GLint program = 0;
		gl.GetIntegerv(GL_CURRENT_PROGRAM, &program);
		return GLuint(program);
	};
	lang::Ptr<gr::Image> image = m_context->createImage(4, 4, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8B8G8R8), gr::Context::USAGE_NONE);
	const math::float2 uv[4] = {math::float2(0, 0), math::float2(1, 0), math::float2(0, 1), math::float2(1, 1)};
	const math::float3 corners[4] = {math::float3(0, 0, 0), math::float3(4, 0, 0), math::float3(0, 4, 0), math::float3(4, 4, 0)};
	const math::float4 white[4] = {math::float4(255, 255, 255, 255), math::float4(255, 255, 255, 255), math::float4(255, 255, 255, 255), math::float4(255, 255, 255, 255)};
	image->draw(m_context, 0.f, 0.f, 0, 0, 4, 4, 4.f, 4.f);
	m_context->flush();
	const GLuint plain = current();
	EXPECT_EQ(gl.GetAttribLocation(plain, "DT_DIFFUSE"), -1);
	image->draw(m_context, corners, uv, white, nullptr);
	m_context->flush();
	EXPECT_NE(current(), plain);
	EXPECT_NE(gl.GetAttribLocation(current(), "DT_DIFFUSE"), -1);
	// Outside a batch the colour term stays: callers' own primitives may carry colours.
	lang::Ptr<Shader> sprite = shader("2d-sprite-alpha");
	sprite->setFloat("COLOR_SATURATION", 1.f);
	sprite->setFloat("ALPHA_FACTOR", 1.f);
	ASSERT_EQ(sprite->begin(), 1);
	sprite->beginPass(0);
	EXPECT_NE(gl.GetAttribLocation(current(), "DT_DIFFUSE"), -1);
	sprite->endPass();
	sprite->end();
}
