#include "GLTestSupport.h"
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <stdexcept>
#include <unistd.h>

namespace gltest
{
lang::Ptr<gr::Context> createGameContext(lang::Ptr<gr::gl::EGLHeadlessView>& view, const std::string& dir, int width, int height)
{
	view = new gr::gl::EGLHeadlessView(GR_GL_VERSION, width, height);
	gr::GR_GL_NS::gl.load();
	gr::GR_GL_NS::GL_State::reset();
	gr::GR_GL_NS::GL_setExtensionsOverride(nullptr);
	const std::string shaders = dir + "/shaders";
	if (::symlink(ENGINE_SOURCE_DIR "/data/shaders", shaders.c_str()) != 0)
		throw std::runtime_error("cannot link the shaders into " + shaders);
	io::detail::setBundlePath(dir);
	lang::Ptr<gr::Context> context =
		gr::GR_GL_NS::GL_createContext(width, height, gr::Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
	context->setShaderPath("shaders");
	return context;
}

void GLFixture::SetUp()
{
	m_view.reset(new gr::gl::EGLHeadlessView(GR_GL_VERSION, WIDTH, HEIGHT));
	gr::GR_GL_NS::gl.load();
	gr::GR_GL_NS::GL_State::reset();
	gr::GR_GL_NS::GL_setExtensionsOverride(nullptr);
	// The game's data folder, whose "shaders" folder holds the 2-D effects.
	m_bundle.reset(new support::ScopedBundleRoot(ENGINE_SOURCE_DIR "/data"));
}

void GLFixture::TearDown()
{
	gr::GR_GL_NS::GL_setExtensionsOverride(nullptr);
	m_bundle.reset();
	m_view.reset();
}

}
