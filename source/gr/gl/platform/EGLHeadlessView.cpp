#include <gr/gl/EGLHeadlessView.h>
#include <gr/gl/EAGLBackbufferFrameBuffer.h>
#include <gr/GraphicsException.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>
#include <cstring>
#include <string>

namespace gr
{
namespace gl
{
namespace
{
[[noreturn]] void fail(const char* what)
{
	lang::throwError(GraphicsException(lang::Format("EGL headless view: {0} failed (error 0x{1,X})", what, (int)eglGetError())));
}

// The few calls the view makes itself; names differ between 1.1 (OES suffix) and 2.0,
// the signatures do not.
struct ViewGL
{
	PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
	PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
	PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
	PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
	PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
	PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
	PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
	PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
	PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
	PFNGLVIEWPORTPROC viewport;
	PFNGLFLUSHPROC flush;
	PFNGLGETSTRINGPROC getString;

	template <class F> static void get(F& f, const char* name, const char* suffix)
	{
		char full[64];
		std::strcpy(full, name);
		std::strcat(full, suffix);
		f = reinterpret_cast<F>(eglGetProcAddress(full));
		if (!f)
			fail(full);
	}

	explicit ViewGL(int version)
	{
		const char* s = version == 1 ? "OES" : "";
		get(genFramebuffers, "glGenFramebuffers", s);
		get(bindFramebuffer, "glBindFramebuffer", s);
		get(deleteFramebuffers, "glDeleteFramebuffers", s);
		get(genRenderbuffers, "glGenRenderbuffers", s);
		get(bindRenderbuffer, "glBindRenderbuffer", s);
		get(deleteRenderbuffers, "glDeleteRenderbuffers", s);
		get(renderbufferStorage, "glRenderbufferStorage", s);
		get(framebufferRenderbuffer, "glFramebufferRenderbuffer", s);
		get(checkFramebufferStatus, "glCheckFramebufferStatus", s);
		get(viewport, "glViewport", "");
		get(flush, "glFlush", "");
		get(getString, "glGetString", "");
	}
};

EGLHeadlessView* s_current = nullptr;
}

class EGLHeadlessView::Impl : public lang::Object
{
public:
	int version;
	int width;
	int height;
	EGLDisplay display = EGL_NO_DISPLAY;
	EGLContext context = EGL_NO_CONTEXT;
	GLuint frameBuffer = 0;
	GLuint colour = 0;
	GLuint depthStencil = 0;
	ViewGL* fns = nullptr;

	Impl(int glesVersion, int w, int h) : version(glesVersion), width(w), height(h)
	{
		try
		{
			init();
		}
		catch (...)
		{
			release();
			throw;
		}
	}

	~Impl() override { release(); }

	void init()
	{
		if ((version != 1 && version != 2) || width <= 0 || height <= 0)
			lang::throwError(GraphicsException(lang::Format("EGL headless view: bad version {0} or size {1}x{2}", version, width, height)));
		display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
		if (display == EGL_NO_DISPLAY)
			fail("eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA)");
		if (!eglInitialize(display, nullptr, nullptr))
			fail("eglInitialize");
		if (!eglBindAPI(EGL_OPENGL_ES_API))
			fail("eglBindAPI");
		const EGLint configAttribs[] = {
			EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
			EGL_RENDERABLE_TYPE, version == 1 ? EGL_OPENGL_ES_BIT : EGL_OPENGL_ES2_BIT,
			EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
			EGL_NONE};
		EGLConfig config;
		EGLint count = 0;
		if (!eglChooseConfig(display, configAttribs, &config, 1, &count) || count < 1)
			fail("eglChooseConfig");
		const EGLint contextAttribs[] = {EGL_CONTEXT_CLIENT_VERSION, version, EGL_NONE};
		context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
		if (context == EGL_NO_CONTEXT)
			fail("eglCreateContext");
		if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
			fail("eglMakeCurrent");

		fns = new ViewGL(version);
		const ViewGL& f = *fns;
		f.genFramebuffers(1, &frameBuffer);
		f.bindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
		// Published right after the frame buffer is made, before its colour buffer is attached.
		EAGLBackbufferFrameBuffer = frameBuffer;
		f.genRenderbuffers(1, &colour);
		f.bindRenderbuffer(GL_RENDERBUFFER, colour);
		f.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, width, height);
		f.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
		f.genRenderbuffers(1, &depthStencil);
		f.bindRenderbuffer(GL_RENDERBUFFER, depthStencil);
		f.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8_OES, width, height);
		f.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
		f.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
		// A size beyond what the driver holds leaves the buffer incomplete.
		const GLenum status = f.checkFramebufferStatus(GL_FRAMEBUFFER);
		if (status != GL_FRAMEBUFFER_COMPLETE)
			lang::throwError(GraphicsException(lang::Format("cannot make a {0}x{1} frame buffer (status 0x{2,X})",
				std::to_string(width), std::to_string(height), static_cast<int>(status))));
		f.viewport(0, 0, width, height);
	}

	void release()
	{
		if (context == EGL_NO_CONTEXT)
			return;
		makeCurrent();
		if (fns)
		{
			fns->bindFramebuffer(GL_FRAMEBUFFER, 0);
			fns->deleteRenderbuffers(1, &colour);
			fns->deleteRenderbuffers(1, &depthStencil);
			fns->deleteFramebuffers(1, &frameBuffer);
			delete fns;
			fns = nullptr;
		}
		eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
		eglDestroyContext(display, context);
		context = EGL_NO_CONTEXT;
	}

	void makeCurrent()
	{
		if (eglGetCurrentContext() != context)
			eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
	}
};

EGLHeadlessView::EGLHeadlessView(int glesVersion, int width, int height) :
	m_impl(new Impl(glesVersion, width, height)), m_previous(s_current)
{
	s_current = this;
}

EGLHeadlessView::~EGLHeadlessView()
{
	m_impl = nullptr;
	if (s_current == this)
		s_current = m_previous;
	if (s_current)
		s_current->makeCurrent();
}

int EGLHeadlessView::width() const { return m_impl->width; }
int EGLHeadlessView::height() const { return m_impl->height; }
int EGLHeadlessView::glesVersion() const { return m_impl->version; }
unsigned EGLHeadlessView::frameBuffer() const { return m_impl->frameBuffer; }

void EGLHeadlessView::makeCurrent()
{
	m_impl->makeCurrent();
	EAGLBackbufferFrameBuffer = m_impl->frameBuffer;
}

void EGLHeadlessView::present()
{
	m_impl->fns->flush();
}

void EGLHeadlessView::presentCurrent()
{
	if (s_current)
		s_current->present();
}
}
}
