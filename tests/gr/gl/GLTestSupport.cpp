#include "GLTestSupport.h"
#include <gr/gl/GL_State.h>

namespace gltest
{
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
