#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <gr/Image.h>
#include <benchmark/benchmark.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>
#include <cmath>

using namespace gr::GR_GL_NS;

namespace
{
// The do-nothing GL, with room for textures.
void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 4096 : 0;
}

void useNullGL()
{
	gl = GL_Functions::null();
	gl.GetIntegerv = &nullGetIntegerv;
	GL_State::reset();
	io::detail::setBundlePath(ENGINE_SOURCE_DIR "/data");
}

// Sprites drawn through GL images with the context's own sprite shaders (the game's effects
// on 2.0, the fixed-function templates on 1.1), on the do-nothing GL: the CPU cost of a
// draw call from the image to the batch, and of the flushes.
void BM_ImageDraws(benchmark::State& state)
{
	useNullGL();
	const bool rotated = state.range(1) != 0;
	{
		lang::Ptr<gr::Context> context = GL_createContext(1024, 768, gr::Context::ORIENTATION_PORTRAIT, [] {});
		context->setShaderPath("shaders");
		lang::Ptr<gr::Image> image = context->createImage(64, 64, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
		gr::RenderState2D& rs = context->getRenderState2D();
		if (rotated)
		{
			const float a = 0.5f;
			rs.rotation[0] = std::cos(a), rs.rotation[1] = std::sin(a), rs.rotation[2] = -std::sin(a), rs.rotation[3] = std::cos(a);
			rs.angle = a;
			rs.pivot = math::float2(16.f, 16.f);
		}
		const int n = int(state.range(0));
		for (auto _ : state)
		{
			for (int i = 0; i < n; ++i)
				image->draw(context, float(i * 7 % 1000), float(i * 13 % 740), (i & 1) * 32, 0, 32, 32, 32.f, 32.f);
			context->flush();
		}
		state.SetItemsProcessed(state.iterations() * n);
	}
	io::detail::setBundlePath(".");
}
BENCHMARK(BM_ImageDraws)->Args({1000, 0})->Args({1000, 1});

// One effect or template run per batch: begin, a pass with its parameters, end.
void BM_ShaderPass(benchmark::State& state)
{
	useNullGL();
	{
		lang::Ptr<gr::Context> context = GL_createContext(1024, 768, gr::Context::ORIENTATION_PORTRAIT, [] {});
		context->setShaderPath("shaders");
		lang::Ptr<gr::Shader> shader = context->createShader(GR_GL_VERSION == 1 ? "shaders/sprite-alpha" : "shaders/2d-sprite-alpha", 0);
		const math::float4x4 identity(1.f);
		for (auto _ : state)
		{
			shader->setFloat("ALPHA_FACTOR", 0.5f);
			shader->setFloat("COLOR_SATURATION", 1.f);
			const int passes = shader->begin();
			shader->setMatrix(gr::Shader::PARAM_WORLDTM, identity);
			shader->setMatrix(gr::Shader::PARAM_PROJTM, identity);
			for (int p = 0; p < passes; ++p)
			{
				shader->beginPass(p);
				shader->endPass();
			}
			shader->end();
		}
	}
	io::detail::setBundlePath(".");
}
BENCHMARK(BM_ShaderPass);
}
