#include <support/HeadlessGL.h>
#include <gr/gl/EGLHeadlessView.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>

namespace support
{
HeadlessGL::HeadlessGL(int width, int height) :
	m_root(ENGINE_SOURCE_DIR "/data"),
	m_view(new gr::gl::EGLHeadlessView(2, width, height))
{
	gr::gles2::gl.load();
	// A new GL context starts from GL's defaults, whatever the state cache saw before.
	gr::gles2::GL_State::reset();
	m_context = gr::gles2::GL_createContext(width, height, gr::Context::ORIENTATION_PORTRAIT,
		&gr::gl::EGLHeadlessView::presentCurrent);
	m_context->setShaderPath("shaders");
}

HeadlessGL::~HeadlessGL()
{
	m_context = nullptr;
	m_view.reset();
}
}
