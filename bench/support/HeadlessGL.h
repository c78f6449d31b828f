#ifndef BENCH_SUPPORT_HEADLESSGL_H
#define BENCH_SUPPORT_HEADLESSGL_H

// Drawing benchmarks on the real driver: a headless EGL view of the back end they are built
// for (GR_GL_NS) with its entry points loaded; null, and the benchmark skipped, without an EGL device.

#include <benchmark/benchmark.h>
#include <gr/gl/EGLHeadlessView.h>
#include <gr/gl/GL_Functions.h>
#include <lang/Ptr.h>

inline lang::Ptr<gr::gl::EGLHeadlessView> openHeadlessGL(benchmark::State& state, int width, int height)
{
	lang::Ptr<gr::gl::EGLHeadlessView> view;
	try
	{
		view = new gr::gl::EGLHeadlessView(GR_GL_VERSION, width, height);
	}
	catch (...)
	{
		state.SkipWithError("no EGL device");
		return nullptr;
	}
	gr::GR_GL_NS::gl.load();
	return view;
}

#endif
