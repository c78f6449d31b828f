#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_procAddress.h>
#include <lang/assert.h>
#include <gr/GraphicsException.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <cstring>
#include <string>

namespace gr
{
namespace GR_GL_NS
{
GL_Functions gl = {};

const char* const GL_Functions::SYMBOLS[FUNCTION_COUNT] = {
#define GL_FN(R, M, S, P, A) S,
#include <gr/gl/GL_functionList.h>
#undef GL_FN
};

bool GL_Functions::loaded() const
{
#define GL_FN(R, M, S, P, A) \
	if (!M) \
		return false;
#include <gr/gl/GL_functionList.h>
#undef GL_FN
	return true;
}

void GL_Functions::load()
{
	GL_Functions t = {};
#define GL_FN(R, M, S, P, A) \
	t.M = reinterpret_cast<decltype(t.M)>(gr::gl::GL_procAddress(S)); \
	if (!t.M) \
		lang::throwError(GraphicsException(lang::Format("OpenGL ES entry point {0} not found", S)));
#include <gr/gl/GL_functionList.h>
#undef GL_FN
	*this = t;
}

namespace
{
template <class F> struct Nop;
template <class R, class... A> struct Nop<R(GL_APIENTRY*)(A...)>
{
	static R GL_APIENTRY fn(A...) { return R(); }
};

GLuint s_nullNames = 0;

void GL_APIENTRY nullGen(GLsizei n, GLuint* names)
{
	for (GLsizei i = 0; i < n; ++i)
		names[i] = ++s_nullNames;
}
GLuint GL_APIENTRY nullCreate() { return ++s_nullNames; }
const GLubyte* GL_APIENTRY nullString(GLenum) { return reinterpret_cast<const GLubyte*>(""); }
GLenum GL_APIENTRY nullStatus(GLenum) { return GL_FRAMEBUFFER_COMPLETE; }
// Textures of any size a real driver takes can be made without a driver.
void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 16384 : 0;
}
void GL_APIENTRY nullGetFloatv(GLenum, GLfloat* data) { data[0] = 0.f; }
void GL_APIENTRY nullGetBooleanv(GLenum, GLboolean* data) { data[0] = GL_FALSE; }
#if GR_GL_VERSION == 2
GLuint GL_APIENTRY nullCreateShader(GLenum) { return ++s_nullNames; }
// Shaders compile and programs link; a program has no active uniforms.
void GL_APIENTRY nullGetObjectiv(GLuint, GLenum pname, GLint* data)
{
	data[0] = pname == GL_ACTIVE_UNIFORMS || pname == GL_ACTIVE_ATTRIBUTES ? 0 : GL_TRUE;
}
#endif
}

GL_Functions GL_Functions::null()
{
	GL_Functions t = {};
#define GL_FN(R, M, S, P, A) t.M = &Nop<decltype(t.M)>::fn;
#include <gr/gl/GL_functionList.h>
#undef GL_FN
	t.GenTextures = t.GenBuffers = t.GenFramebuffers = t.GenRenderbuffers = &nullGen;
	t.GetString = &nullString;
	t.CheckFramebufferStatus = &nullStatus;
	t.GetIntegerv = &nullGetIntegerv;
	t.GetFloatv = &nullGetFloatv;
	t.GetBooleanv = &nullGetBooleanv;
#if GR_GL_VERSION == 2
	t.CreateProgram = &nullCreate;
	t.CreateShader = &nullCreateShader;
	t.GetShaderiv = t.GetProgramiv = &nullGetObjectiv;
#else
	(void)&nullCreate;
#endif
	return t;
}

namespace
{
GL_Functions s_forward = {};
int s_counts[GL_Functions::FUNCTION_COUNT] = {};
bool s_counting = false;

#define GL_FN(R, M, S, P, A) \
	R GL_APIENTRY count_##M P \
	{ \
		++s_counts[GL_Functions::INDEX_##M]; \
		return s_forward.M A; \
	}
#include <gr/gl/GL_functionList.h>
#undef GL_FN
}

GL_CallCounter::GL_CallCounter()
{
	LANG_ASSERT(!s_counting);
	s_counting = true;
	s_forward = gl;
	clear();
#define GL_FN(R, M, S, P, A) gl.M = &count_##M;
#include <gr/gl/GL_functionList.h>
#undef GL_FN
}

GL_CallCounter::~GL_CallCounter()
{
	gl = s_forward;
	s_counting = false;
}

int GL_CallCounter::count(GL_Functions::Index fn) const
{
	LANG_ASSERT(fn >= 0 && fn < GL_Functions::FUNCTION_COUNT);
	return s_counts[fn];
}

int GL_CallCounter::total() const
{
	int n = 0;
	for (int i = 0; i < GL_Functions::FUNCTION_COUNT; ++i)
		if (i != GL_Functions::INDEX_GetError)
			n += s_counts[i];
	return n;
}

void GL_CallCounter::clear()
{
	for (int& c : s_counts)
		c = 0;
}

namespace
{
bool s_overridden = false;
std::string s_override;
}

void GL_setExtensionsOverride(const char* extensions)
{
	s_overridden = extensions != nullptr;
	s_override = extensions ? extensions : "";
}

const char* GL_extensions()
{
	if (s_overridden)
		return s_override.c_str();
	const GLubyte* ext = gl.GetString(GL_EXTENSIONS);
	return ext ? reinterpret_cast<const char*>(ext) : "";
}

bool GL_isExtensionSupported(const char* name)
{
	if (!name || !*name || std::strchr(name, ' '))
		return false;
	const char* all = GL_extensions();
	const size_t len = std::strlen(name);
	for (const char* p = std::strstr(all, name); p; p = std::strstr(p + 1, name))
	{
		const bool startsWord = p == all || p[-1] == ' ';
		const bool endsWord = p[len] == ' ' || p[len] == 0;
		if (startsWord && endsWord)
			return true;
	}
	return false;
}

void GL_checkError(const char* operation, const char* file, int line)
{
	if (gl.GetError() != GL_NO_ERROR)
		lang::assertFailed("glGetError() == GL_NO_ERROR", operation, file, line);
}
}
}
