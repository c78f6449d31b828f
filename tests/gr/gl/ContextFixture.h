#ifndef GR_GL_TESTS_CONTEXTFIXTURE_H
#define GR_GL_TESTS_CONTEXTFIXTURE_H

#include "GLTestSupport.h"
#include <gr/gl/GL_Context.h>
#include <lang/Ptr.h>

namespace gltest
{
/** A headless view with a context of the back end under test. */
class ContextFixture : public GLFixture
{
protected:
	void SetUp() override;
	void TearDown() override;

	/** The whole view, top row first (0xAABBGGRR per pixel). */
	RGBAImage capture();
	/** One pixel of the view (x right, y down). */
	uint32_t pixel(int x, int y);

	lang::Ptr<gr::GR_GL_NS::GL_Context> m_context;
};
}

#endif
