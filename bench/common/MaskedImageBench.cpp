// 200 material-textured objects added to their texture batch and drawn, on the do-nothing GL,
// beside the plain reference: the same quads placed in a bare loop and drawn by hand-written GL.
// The counter "ratio" is the batch's time over the reference's, measured in one process.
#include "MaskedImage.h"
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include "../support/NullGLBundle.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace gr::GR_GL_NS;

namespace
{
const int OBJECTS = 200;

using Scene = benchsupport::NullGLBundle;

void BM_MaskedImageAddAndRender200(benchmark::State& state)
{
	Scene scene;
	gr::Context* c = scene.context;
	const gr::SurfaceFormat format(gr::SurfaceFormat::SURFACE_A8R8G8B8);
	lang::Ptr<gr::Image> material = c->createImage(64, 64, 0, format, gr::Context::USAGE_NONE);
	lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(c->createImage(256, 256, 0, format, gr::Context::USAGE_NONE));
	game::Sprite* block = sheet->createSprite("block", 0, 0, 40, 20, 20, 10);
	struct Object
	{
		float x, y;
	};
	std::vector<Object> objects;
	for (int i = 0; i < OBJECTS; ++i)
		objects.push_back(Object{float(30 + i % 20 * 45), float(40 + i / 20 * 60)});
	{
		MaskedImage batch(c);
		gr::RenderState2D& rs = c->getRenderState2D();
		rs.translation = math::float2(-5.f, -3.f);

		auto subject = [&] {
			for (const Object& o : objects)
				batch.add(o.x, o.y, material, block, 1.f, 1.f);
			batch.render();
		};
		// The reference: the same quads, placed by translation and scale only, in one hand-written draw.
		std::vector<float> positions(size_t(OBJECTS) * 6 * 4), uv0(size_t(OBJECTS) * 6 * 2), uv1(size_t(OBJECTS) * 6 * 2);
		auto reference = [&] {
			const float kx = 2.f * rs.scale.x / 1024.f, ky = -2.f * rs.scale.y / 768.f;
			float* p = positions.data();
			float* t0 = uv0.data();
			float* t1 = uv1.data();
			static const float QX[6] = {0, 40, 0, 0, 40, 40}, QY[6] = {0, 0, 20, 20, 0, 20};
			for (const Object& o : objects)
			{
				const float left = o.x - 20.f, top = o.y - 10.f;
				for (int k = 0; k < 6; ++k)
				{
					*p++ = kx * (left + QX[k] + rs.translation.x) - 1.f;
					*p++ = ky * (top + QY[k] + rs.translation.y) + 1.f;
					*p++ = 0.001f;
					*p++ = 1.f;
					*t0++ = (left + QX[k]) / 64.f;
					*t0++ = (top + QY[k]) / 64.f;
					*t1++ = QX[k] / 256.f;
					*t1++ = QY[k] / 256.f;
				}
			}
			gl.UseProgram(1);
			gl.ActiveTexture(GL_TEXTURE0);
			gl.BindTexture(GL_TEXTURE_2D, 1);
			gl.ActiveTexture(GL_TEXTURE1);
			gl.BindTexture(GL_TEXTURE_2D, 2);
			gl.Uniform1f(3, rs.alphaFactor);
			gl.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 0, positions.data());
			gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, uv0.data());
			gl.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 0, uv1.data());
			gl.DrawArrays(GL_TRIANGLES, 0, OBJECTS * 6);
			benchmark::DoNotOptimize(positions.data());
		};

		subject(); // warm: vectors and the pooled primitive at their size
		reference();
		const auto t0 = std::chrono::steady_clock::now();
		long rounds = 0;
		for (auto _ : state)
		{
			subject();
			++rounds;
		}
		const double own = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(rounds);
		const auto r0 = std::chrono::steady_clock::now();
		for (long i = 0; i < rounds; ++i)
			reference();
		const double ref = std::chrono::duration<double>(std::chrono::steady_clock::now() - r0).count() / double(rounds);
		state.SetItemsProcessed(state.iterations() * OBJECTS);
		state.counters["us_per_frame"] = own * 1e6;
		state.counters["reference_us_per_frame"] = ref * 1e6;
		state.counters["ratio"] = own / ref;
	}
}
BENCHMARK(BM_MaskedImageAddAndRender200);
}
