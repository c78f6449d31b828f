#include "ContextFixture.h"
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_createContext.h>

namespace gltest
{
void ContextFixture::SetUp()
{
	GLFixture::SetUp();
	gr::Context* c = gr::GR_GL_NS::GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
	m_context = static_cast<gr::GR_GL_NS::GL_Context*>(c);
	m_context->setShaderPath("shaders");
}

void ContextFixture::TearDown()
{
	m_context = nullptr;
	GLFixture::TearDown();
}

RGBAImage ContextFixture::capture()
{
	m_context->flush();
	RGBAImage img;
	img.width = WIDTH;
	img.height = HEIGHT;
	img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
	return img;
}

uint32_t ContextFixture::pixel(int x, int y)
{
	return capture().at(x, y);
}
}
