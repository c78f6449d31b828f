#ifndef BENCH_SUPPORT_NULLGLBUNDLE_H
#define BENCH_SUPPORT_NULLGLBUNDLE_H

// Drawing benchmarks run on the do-nothing GL table of the back end they are built for
// (GR_GL_NS), with a scratch bundle folder that sees the game's 2-D shaders.

#include <gr/Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <stdlib.h>
#include <unistd.h>

namespace benchsupport
{
inline void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	// Textures need a maximum size: sheets then load on the do-nothing table.
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 4096 : 0;
}

/** The do-nothing GL and a 1024x768 context over a fresh bundle folder, removed at the end. */
struct NullGLBundle
{
	std::string dir;
	lang::Ptr<gr::Context> context;

	NullGLBundle()
	{
		using namespace gr::GR_GL_NS;
		gl = GL_Functions::null();
		gl.GetIntegerv = &nullGetIntegerv;
		GL_State::reset();
		const char* base = std::getenv("TMPDIR");
		std::string pattern = std::string(base && *base ? base : "/tmp") + "/engine-bench-XXXXXX";
		dir = mkdtemp(&pattern[0]) ? pattern : std::string(".");
		if (::symlink(ENGINE_SOURCE_DIR "/data/shaders", (dir + "/shaders").c_str()) != 0)
			std::abort();
		io::detail::setBundlePath(dir);
		context = GL_createContext(1024, 768, gr::Context::ORIENTATION_PORTRAIT, [] {});
		context->setShaderPath("shaders");
	}
	~NullGLBundle()
	{
		context = nullptr;
		io::detail::setBundlePath(".");
		std::system(("rm -rf '" + dir + "'").c_str());
	}
	NullGLBundle(const NullGLBundle&) = delete;
	NullGLBundle& operator=(const NullGLBundle&) = delete;
};

/** Times the reference for as many rounds as the benchmark ran, in seconds per round. */
template <class F> double referenceSeconds(F f, long rounds)
{
	const auto t0 = std::chrono::steady_clock::now();
	for (long i = 0; i < rounds; ++i)
		f();
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(rounds);
}
}

#endif
