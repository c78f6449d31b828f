#include <support/NullGLContext.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>

namespace support
{
struct NullGLContext::SavedTable
{
	gr::gles2::GL_Functions table;
};

NullGLContext::NullGLContext(int width, int height) :
	m_root(ENGINE_SOURCE_DIR "/data"),
	m_saved(new SavedTable{gr::gles2::gl})
{
	gr::gles2::gl = gr::gles2::GL_Functions::null();
	// The state cache must not believe anything of a GL it has not seen.
	gr::gles2::GL_State::reset();
	m_context = gr::gles2::GL_createContext(width, height, gr::Context::ORIENTATION_PORTRAIT, nullptr);
	m_context->setShaderPath("shaders");
}

NullGLContext::~NullGLContext()
{
	m_context = nullptr;
	gr::gles2::gl = m_saved->table;
	gr::gles2::GL_State::reset();
}
}
