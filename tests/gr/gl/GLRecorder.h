#ifndef GR_GL_TESTS_GLRECORDER_H
#define GR_GL_TESTS_GLRECORDER_H

#include <gr/gl/GL_Functions.h>
#include <vector>

namespace gltest
{
/**
 * Records the arguments of a few GL calls while it lives, passing every call on to the table
 * installed before. Only one may live at a time.
 */
class GLRecorder
{
public:
	struct TexParameter { GLenum pname; GLint value; };
	struct TexImage { GLint level; GLsizei width, height; };
	struct Compressed { bool sub; GLint level; GLint x, y; GLsizei width, height; GLsizei bytes; };
	struct Draw { GLenum mode; GLint first; GLsizei count; const void* indices; };
	struct Pointer { int kind; GLint size; GLenum type; GLboolean normalized; GLsizei stride; const void* pointer; };

	GLRecorder();
	~GLRecorder();
	GLRecorder(const GLRecorder&) = delete;
	GLRecorder& operator=(const GLRecorder&) = delete;

	static std::vector<TexParameter> texParameters;
	static std::vector<TexImage> texImages;
	static std::vector<Compressed> compressed;
	static std::vector<Draw> draws;
	static std::vector<Pointer> pointers;
	static std::vector<float> lineWidths;

	/** Value given to the last glTexParameteri of pname, or -1. */
	static GLint lastTexParameter(GLenum pname);

private:
	gr::GR_GL_NS::GL_Functions m_saved;
};
}

#endif
