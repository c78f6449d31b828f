#ifndef TESTS_SUPPORT_HEADLESSGL_H
#define TESTS_SUPPORT_HEADLESSGL_H

#include <gr/Context.h>
#include <lang/Ptr.h>
#include <support/ScopedRoots.h>
#include <memory>

namespace gr
{
namespace gl
{
class EGLHeadlessView;
}
}

namespace support
{
/**
 * A real OpenGL ES 2.0 context drawing into an off-screen frame buffer no one looks at,
 * for tests of code that needs a working gr::Context but checks no pixels. The bundle
 * root is the game's data folder (for the 2-D shaders) while it lives.
 */
class HeadlessGL
{
public:
	explicit HeadlessGL(int width = 64, int height = 48);
	~HeadlessGL();
	HeadlessGL(const HeadlessGL&) = delete;
	HeadlessGL& operator=(const HeadlessGL&) = delete;

	gr::Context* context() const { return m_context; }

private:
	ScopedBundleRoot m_root;
	std::unique_ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
};
}

#endif
