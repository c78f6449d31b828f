// One GameApp frame with empty script "update" and "draw" on the do-nothing GL table,
// and its plain reference: the same two script calls straight through the Lua C API
// plus the scene, clear and present of the context.
#include "GameApp.h"
#include "NullOSInterface.h"
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <benchmark/benchmark.h>
#include <lua.hpp>
#include <chrono>
#include <filesystem>
#include <stdlib.h>

using namespace gr::GR_GL_NS;

namespace
{
typedef NullOSInterface BenchOS;


const float DT = 1.f / 60.f;

void plainFrame(lua_State* L, gr::Context* context)
{
	context->beginScene();
	lua_getfield(L, LUA_GLOBALSINDEX, "update");
	lua_pushnumber(L, DT);
	lua_pushnumber(L, DT);
	lua_pcall(L, 2, 0, 0);
	context->clear(0xFF000000u, true, true, true);
	lua_getfield(L, LUA_GLOBALSINDEX, "draw");
	lua_pcall(L, 0, 0, 0);
	context->endScene();
	context->present();
}

/** Nanoseconds of one plain frame, measured here so the ratio comes from one process. */
double plainFrameNanos(gr::Context* context)
{
	lua_State* L = luaL_newstate();
	luaL_dostring(L, "function update(a, b) end function draw() end");
	const int n = 20000;
	for (int i = 0; i < 1000; ++i)
		plainFrame(L, context);
	const auto start = std::chrono::steady_clock::now();
	for (int i = 0; i < n; ++i)
		plainFrame(L, context);
	const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / n;
	lua_close(L);
	return ns;
}

void BM_GameAppFrame(benchmark::State& state)
{
	gl = GL_Functions::null();
	char tmpl[] = "/tmp/gamecore_bench.XXXXXX";
	const std::string user = mkdtemp(tmpl);
	io::detail::setBundlePath(ENGINE_BINARY_DIR "/demo");
	io::detail::setAppdataPath(user);
	BenchOS os;
	framework::App::Configuration config;
	framework::configure(config, os);
	{
		lang::Ptr<gr::Context> context = GL_createContext(640, 960, gr::Context::ORIENTATION_LANDSCAPE_RIGHT, [] {});
		GameApp* app = static_cast<GameApp*>(framework::init(&os, context));
		const std::string code = "setPhysicsEnabled(false) function update(a, b) end function draw() end";
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		app->luaState()->compile(in, "bench", app->gameLua());

		const double plain = plainFrameNanos(context);
		const auto start = std::chrono::steady_clock::now();
		int64_t frames = 0;
		for (auto _ : state)
		{
			app->update(DT, context, 3);
			++frames;
		}
		const double game = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / double(frames);
		state.counters["plain_ns"] = plain;
		state.counters["ratio_to_plain"] = game / plain;
		framework::App::deleteApp();
	}
	std::error_code ignored;
	std::filesystem::remove_all(user, ignored);
}
BENCHMARK(BM_GameAppFrame)->Repetitions(5)->ReportAggregatesOnly(true);
}
