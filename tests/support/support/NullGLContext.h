#ifndef TESTS_SUPPORT_NULLGLCONTEXT_H
#define TESTS_SUPPORT_NULLGLCONTEXT_H

#include <gr/Context.h>
#include <lang/Ptr.h>
#include <support/ScopedRoots.h>
#include <memory>

namespace support
{
/**
 * An OpenGL ES 2.0 gr::Context over the do-nothing GL table: no display, no driver, no
 * pixels. For tests of code that needs a working context (images, primitives, 2-D calls)
 * but checks no picture. While it lives the bundle root is the game's data folder (for
 * the 2-D shaders) and the back end's GL table is the do-nothing one; both are put back.
 */
class NullGLContext
{
public:
	explicit NullGLContext(int width = 64, int height = 48);
	~NullGLContext();
	NullGLContext(const NullGLContext&) = delete;
	NullGLContext& operator=(const NullGLContext&) = delete;

	gr::Context* context() const { return m_context; }
	gr::Context* operator->() const { return m_context; }

private:
	struct SavedTable;
	ScopedBundleRoot m_root;
	std::unique_ptr<SavedTable> m_saved;
	lang::Ptr<gr::Context> m_context;
};
}

#endif
