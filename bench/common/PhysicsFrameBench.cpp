// Game frames with 1,000 script-made objects dropped into a walled box, against the time
// Box2D's Step takes inside them (g_physicsUpdateMillis); and the convex decomposition of a
// 64-point star against creating its pieces' fixtures directly.
#include "BenchGame.h"
#include "ConvexDecomposition/b2Polygon.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <stdlib.h>

using namespace gr::GR_GL_NS;

namespace
{
const char* const SCENE =
	"function applyForcesAtPhysicsStep() end function removeBlocks() end\n"
	"function clearLuaForceFunctions() end function selectObjectAnimation() end\n"
	"function update(a, b) end function draw() end\n"
	"function enterCollision() end function exitCollision() end\n"
	"function projectileCollision() end function blockCollision() end\n"
	"setWorldGravity(0, 10) setLevelLimits(-100, -100, 100, 100)\n"
	"createBox('floor', '', 0, 30, 60, 2, 0, 0.6, 0, true, false, 0)\n"
	"createBox('left', '', -29, 0, 2, 60, 0, 0.6, 0, true, false, 0)\n"
	"createBox('right', '', 29, 0, 2, 60, 0, 0.6, 0, true, false, 0)\n"
	"for i = 0, 999 do\n"
	"  local x, y = -24 + (i % 40) * 1.2, 27 - _G.math.floor(i / 40) * 1.2\n"
	"  if i % 2 == 0 then createBox('o' .. i, '', x, y, 1, 1, 1, 0.6, 0, true, false, 1)\n"
	"  else createCircle('o' .. i, '', x, y, 0.5, 1, 0.6, 0, true, false, 1) end\n"
	"end\n"
	"setPhysicsEnabled(true)\n";

void BM_PhysicsFramesAfterDrop(benchmark::State& state)
{
	double frameMs = 0.0, stepMs = 0.0;
	int frames = 0;
	for (auto _ : state)
	{
		Game game(SCENE);
		double ignoredFrame = 0.0, ignoredStep = 0.0;
		for (int i = 0; i < 60; ++i)
			game.frame(ignoredFrame, ignoredStep);
		for (int i = 60; i < 180; ++i, ++frames)
			game.frame(frameMs, stepMs);
	}
	state.counters["frame_ms"] = frameMs / frames;
	state.counters["step_ms"] = stepMs / frames;
	state.counters["ratio"] = frameMs / stepMs;
}
BENCHMARK(BM_PhysicsFramesAfterDrop)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

/** Arg 1: every frame touches the world first, so the per-object passes run as if something moved. */
void BM_PhysicsFramesAllAsleep(benchmark::State& state)
{
	const bool touched = state.range(0) != 0;
	Game game(SCENE);
	double frameMs = 0.0, stepMs = 0.0;
	int settle = 0;
	for (; settle < 6000; ++settle)
	{
		game.frame(frameMs, stepMs);
		if (settle > 60 && !game.lua()->getBoolean("hasAwakeObjects"))
			break;
	}
	frameMs = stepMs = 0.0;
	int frames = 0;
	for (auto _ : state)
	{
		if (touched)
			game.lua()->touchWorld();
		game.frame(frameMs, stepMs);
		++frames;
	}
	state.counters["settle_frames"] = settle;
	state.counters["overhead_ms"] = (frameMs - stepMs) / frames;
	state.counters["step_ms"] = stepMs / frames;
	// The whole game frame against Box2D's own Step inside it; untouched, the object passes skip.
	state.counters["ratio"] = frameMs / stepMs;
}
BENCHMARK(BM_PhysicsFramesAllAsleep)->Arg(0)->Arg(1)->Iterations(600)->Repetitions(3)->Unit(benchmark::kMicrosecond);

std::vector<b2Vec2> clockwiseStar()
{
	std::vector<b2Vec2> star;
	for (int i = 0; i < 64; ++i)
	{
		const float r = i % 2 ? 1.f : 3.f;
		const float a = -2.f * b2_pi * static_cast<float>(i) / 64.f;
		star.push_back(b2Vec2(r * std::cos(a), r * std::sin(a)));
	}
	return star;
}

void BM_DecomposeStar(benchmark::State& state)
{
	const std::vector<b2Vec2> star = clockwiseStar();
	const b2Polygon polygon(star.data(), static_cast<int>(star.size()));
	b2World world(b2Vec2(0.f, 0.f));
	b2BodyDef bodyDef;
	bodyDef.type = b2_dynamicBody;
	b2FixtureDef def;
	def.density = 1.f;

	// The plain reference: the same pieces' fixtures made from ready shapes.
	std::vector<b2PolygonShape> shapes;
	{
		b2Body* body = world.CreateBody(&bodyDef);
		DecomposeConvexAndAddTo(&polygon, body, &def);
		for (b2Fixture* f = body->GetFixtureList(); f; f = f->GetNext())
			shapes.push_back(*static_cast<b2PolygonShape*>(f->GetShape()));
		world.DestroyBody(body);
	}
	const int n = 2000;
	double plainTotal = 0.0;
	for (int i = 0; i < n; ++i)
	{
		b2Body* body = world.CreateBody(&bodyDef);
		const auto t0 = std::chrono::steady_clock::now();
		for (const b2PolygonShape& shape : shapes)
		{
			b2PolygonShape copy;
			copy.Set(shape.m_vertices, shape.m_count);
			b2FixtureDef piece = def;
			piece.shape = &copy;
			body->CreateFixture(&piece);
		}
		plainTotal += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
		world.DestroyBody(body);
	}
	const double plain = plainTotal / n;

	double total = 0.0;
	int64_t runs = 0;
	for (auto _ : state)
	{
		b2Body* body = world.CreateBody(&bodyDef);
		const auto t0 = std::chrono::steady_clock::now();
		DecomposeConvexAndAddTo(&polygon, body, &def);
		total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
		++runs;
		state.PauseTiming();
		world.DestroyBody(body);
		state.ResumeTiming();
	}
	state.counters["pieces"] = static_cast<double>(shapes.size());
	state.counters["decompose_ms"] = total / runs;
	state.counters["plain_ms"] = plain;
	state.counters["ratio_to_plain"] = total / runs / plain;
}
BENCHMARK(BM_DecomposeStar)->Repetitions(3)->ReportAggregatesOnly(true);
}
