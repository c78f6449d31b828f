#ifndef GR_GL_FUNCTIONS_H
#define GR_GL_FUNCTIONS_H

#include <gr/gl/GL_config.h>

namespace gr
{
namespace GR_GL_NS
{
/**
 * The OpenGL ES entry points of one back end. Filled through the platform layer (eglGetProcAddress)
 * (the 1.1 library exports no frame buffer object functions), so the back ends never
 * link against a GLES library, and tests or benchmarks can swap the whole table.
 */
struct GL_Functions
{
#define GL_FN(R, M, S, P, A) R(GL_APIENTRY* M) P;
#include <gr/gl/GL_functionList.h>
#undef GL_FN

	enum Index : int
	{
#define GL_FN(R, M, S, P, A) INDEX_##M,
#include <gr/gl/GL_functionList.h>
#undef GL_FN
		FUNCTION_COUNT
	};

	/** GL symbol name of each entry ("glBindFramebufferOES" and so on). */
	static const char* const SYMBOLS[FUNCTION_COUNT];

	/** True once every entry holds a function. */
	bool loaded() const;

	/**
	 * Asks EGL for every entry point; an EGL context of the matching API must exist.
	 * Throws gr::GraphicsException naming the first missing one.
	 */
	void load();

	/**
	 * A table that reaches no GPU: calls do nothing, queries answer zero, glGetError reports
	 * no error, generated names count up and frame buffers report complete.
	 * Measures the CPU side of the back end.
	 */
	static GL_Functions null();
};

/** The table every OpenGL ES call of this back end goes through. */
extern GL_Functions gl;

/**
 * Counts the calls made through `gl` while it lives, passing each one on to the
 * table that was installed before. Only one counter may live at a time.
 */
class GL_CallCounter
{
public:
	GL_CallCounter();
	~GL_CallCounter();
	GL_CallCounter(const GL_CallCounter&) = delete;
	GL_CallCounter& operator=(const GL_CallCounter&) = delete;

	/** Calls of one entry point since construction or the last clear(). */
	int count(GL_Functions::Index fn) const;
	/** Calls of all entry points, glGetError excluded. */
	int total() const;
	void clear();
};

/**
 * Replaces the extension string that the back end tests names against (GL_EXTENSIONS);
 * null goes back to the driver's string. Lets tests take the branches the driver never takes.
 */
void GL_setExtensionsOverride(const char* extensions);

/** The extension string in use: the override when set, else glGetString(GL_EXTENSIONS). */
const char* GL_extensions();

/** True when `name` is a whole space-separated word of GL_extensions(); empty names and names holding a space are never supported. */
bool GL_isExtensionSupported(const char* name);

/** Stops the program with "glGetError() == GL_NO_ERROR" naming `operation` when the GL holds an error. */
void GL_checkError(const char* operation, const char* file, int line);
}
}

// The assertion that follows every GL call of the back ends.
#define GR_GL_CHECK(OPERATION, FILE) ::gr::GR_GL_NS::GL_checkError(OPERATION, FILE, __LINE__)

#endif
