#include "GLRecorder.h"
#include <lang/assert.h>

using gr::GR_GL_NS::gl;
using gr::GR_GL_NS::GL_Functions;

namespace gltest
{
std::vector<GLRecorder::TexParameter> GLRecorder::texParameters;
std::vector<GLRecorder::TexImage> GLRecorder::texImages;
std::vector<GLRecorder::Compressed> GLRecorder::compressed;
std::vector<GLRecorder::Draw> GLRecorder::draws;
std::vector<GLRecorder::Pointer> GLRecorder::pointers;
std::vector<float> GLRecorder::lineWidths;

namespace
{
GL_Functions s_next = {};
bool s_live = false;

void GL_APIENTRY texParameteri(GLenum target, GLenum pname, GLint param)
{
	GLRecorder::texParameters.push_back({pname, param});
	s_next.TexParameteri(target, pname, param);
}
void GL_APIENTRY texImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels)
{
	GLRecorder::texImages.push_back({level, width, height});
	s_next.TexImage2D(target, level, internalformat, width, height, border, format, type, pixels);
}
void GL_APIENTRY compressedTexImage2D(GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border, GLsizei imageSize, const void* data)
{
	GLRecorder::compressed.push_back({false, level, 0, 0, width, height, imageSize});
	s_next.CompressedTexImage2D(target, level, internalformat, width, height, border, imageSize, data);
}
void GL_APIENTRY compressedTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLsizei imageSize, const void* data)
{
	GLRecorder::compressed.push_back({true, level, x, y, width, height, imageSize});
	s_next.CompressedTexSubImage2D(target, level, x, y, width, height, format, imageSize, data);
}
void GL_APIENTRY drawArrays(GLenum mode, GLint first, GLsizei count)
{
	GLRecorder::draws.push_back({mode, first, count, nullptr});
	s_next.DrawArrays(mode, first, count);
}
void GL_APIENTRY drawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
	GLRecorder::draws.push_back({mode, -1, count, indices});
	s_next.DrawElements(mode, count, type, indices);
}
void GL_APIENTRY lineWidth(GLfloat w)
{
	GLRecorder::lineWidths.push_back(w);
	s_next.LineWidth(w);
}
#if GR_GL_VERSION == 2
void GL_APIENTRY vertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride, const void* pointer)
{
	GLRecorder::pointers.push_back({int(index), size, type, normalized, stride, pointer});
	s_next.VertexAttribPointer(index, size, type, normalized, stride, pointer);
}
#else
void GL_APIENTRY colorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
	GLRecorder::pointers.push_back({int(GL_COLOR_ARRAY), size, type, GL_FALSE, stride, pointer});
	s_next.ColorPointer(size, type, stride, pointer);
}
void GL_APIENTRY vertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
	GLRecorder::pointers.push_back({int(GL_VERTEX_ARRAY), size, type, GL_FALSE, stride, pointer});
	s_next.VertexPointer(size, type, stride, pointer);
}
#endif
}

GLint GLRecorder::lastTexParameter(GLenum pname)
{
	for (auto it = texParameters.rbegin(); it != texParameters.rend(); ++it)
		if (it->pname == pname)
			return it->value;
	return -1;
}

GLRecorder::GLRecorder()
{
	LANG_ASSERT(!s_live);
	s_live = true;
	m_saved = gl;
	s_next = gl;
	texParameters.clear();
	texImages.clear();
	compressed.clear();
	draws.clear();
	pointers.clear();
	lineWidths.clear();
	gl.TexParameteri = &texParameteri;
	gl.TexImage2D = &texImage2D;
	gl.CompressedTexImage2D = &compressedTexImage2D;
	gl.CompressedTexSubImage2D = &compressedTexSubImage2D;
	gl.DrawArrays = &drawArrays;
	gl.DrawElements = &drawElements;
	gl.LineWidth = &lineWidth;
#if GR_GL_VERSION == 2
	gl.VertexAttribPointer = &vertexAttribPointer;
#else
	gl.ColorPointer = &colorPointer;
	gl.VertexPointer = &vertexPointer;
#endif
}

GLRecorder::~GLRecorder()
{
	gl = m_saved;
	s_live = false;
}
}
