#ifndef GR_GL_EGLHEADLESSVIEW_H
#define GR_GL_EGLHEADLESSVIEW_H

#include <lang/Object.h>
#include <lang/Ptr.h>

namespace gr
{
namespace gl
{
/**
 * An OpenGL ES context with no display: EGL on Mesa's surfaceless platform, drawing into a
 * frame buffer object of RGBA8 colour and depth/stencil render buffers. The view publishes
 * the frame buffer in EAGLBackbufferFrameBuffer and leaves it bound with the context current.
 * Serves tests and runs without a window.
 */
class EGLHeadlessView : public lang::Object
{
public:
	/** glesVersion is 1 (OpenGL ES 1.1) or 2 (OpenGL ES 2.0). Throws gr::GraphicsException when EGL cannot give such a context. */
	EGLHeadlessView(int glesVersion, int width, int height);
	~EGLHeadlessView() override;

	EGLHeadlessView(const EGLHeadlessView&) = delete;
	EGLHeadlessView& operator=(const EGLHeadlessView&) = delete;

	int width() const;
	int height() const;
	int glesVersion() const;

	/** Name of the frame buffer object the view draws to. */
	unsigned frameBuffer() const;

	/** Makes this view's context current (views may be stacked in tests). */
	void makeCurrent();

	/** Presents the frame: nothing to show without a display, so the GL commands are only flushed. */
	void present();

	/** The present callback handed to the contexts: presents the most recently made live view. */
	static void presentCurrent();

private:
	class Impl;
	lang::Ptr<Impl> m_impl;
	EGLHeadlessView* m_previous;
};
}
}

#endif
