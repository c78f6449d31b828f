#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <benchmark/benchmark.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>

using namespace gr::GR_GL_NS;

namespace
{
// No GPU: every GL call lands in the do-nothing table, so only the back end's own work is timed.
struct NullGL
{
	NullGL() { gl = GL_Functions::null(); }
};

// A context over the do-nothing GL whose 2-D shaders come from the game's data folder.
lang::Ptr<gr::Context> newContext()
{
	io::detail::setBundlePath(ENGINE_SOURCE_DIR "/data");
	lang::Ptr<gr::Context> context = GL_createContext(1024, 768, gr::Context::ORIENTATION_PORTRAIT, nullptr);
	context->setShaderPath("shaders");
	return context;
}

void BM_StateCacheHits(benchmark::State& state)
{
	NullGL null;
	GL_State::reset();
	for (auto _ : state)
	{
		GL_State::enable(GL_BLEND);
		GL_State::blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
		GL_State::bindTexture(7);
		GL_State::viewport(0, 0, 640, 480);
		GL_State::lineWidth(1.f);
	}
}
BENCHMARK(BM_StateCacheHits);

void BM_StateBeginAlternating(benchmark::State& state)
{
	NullGL null;
	GL_State::reset();
	GL_State opaque, blended;
	blended.m_blend = true;
	blended.m_blendSrc = GL_SRC_ALPHA;
	blended.m_blendDst = GL_ONE_MINUS_SRC_ALPHA;
	for (auto _ : state)
	{
		opaque.begin(false);
		blended.begin(false);
	}
}
BENCHMARK(BM_StateBeginAlternating);

void BM_FillRects(benchmark::State& state)
{
	NullGL null;
	lang::Ptr<gr::Context> context = newContext();
	const int n = int(state.range(0));
	for (auto _ : state)
	{
		for (int i = 0; i < n; ++i)
			context->fillRect2D(0xFF808080u, i % 1000, i % 700, 16, 16);
		context->flush();
	}
	state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FillRects)->Arg(1000);

void BM_FillCircles(benchmark::State& state)
{
	NullGL null;
	lang::Ptr<gr::Context> context = newContext();
	for (auto _ : state)
	{
		for (int i = 0; i < 100; ++i)
			context->fillCircle2D(0xFF808080u, i * 10, 300, 12);
		context->flush();
	}
	state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_FillCircles);

void BM_ExtensionLookup(benchmark::State& state)
{
	NullGL null;
	GL_setExtensionsOverride("GL_OES_blend_equation_separate GL_OES_blend_func_separate GL_OES_blend_subtract "
		"GL_OES_byte_coordinates GL_OES_compressed_ETC1_RGB8_texture GL_OES_compressed_paletted_texture "
		"GL_OES_draw_texture GL_OES_element_index_uint GL_OES_fbo_render_mipmap GL_OES_framebuffer_object");
	for (auto _ : state)
		benchmark::DoNotOptimize(GL_isExtensionSupported("GL_OES_framebuffer_object"));
	GL_setExtensionsOverride(nullptr);
}
BENCHMARK(BM_ExtensionLookup);
}
