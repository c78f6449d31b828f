// Script calls of bound operations against a hand-written lua_CFunction that
// does the same checks and calls the same member. Each pair differs only by
// "Plain"; a run is one script loop of a million calls.
#include "GameApp.h"
#include "NullOSInterface.h"
#include <game/LuaResources.h>
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <benchmark/benchmark.h>
#include <lua.hpp>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <lang/Throwable.h>
#include <stdio.h>
#include <stdlib.h>

using namespace gr::GR_GL_NS;

namespace
{
const int CALLS = 1000000;

/** The demo game on the do-nothing GL table, made once for every benchmark. */
struct Game
{
	NullOSInterface os;
	std::string user;
	lang::Ptr<gr::Context> context;
	GameApp* app = nullptr;

	Game()
	{
		gl = GL_Functions::null();
		char tmpl[] = "/tmp/scriptcall_bench.XXXXXX";
		user = mkdtemp(tmpl);
		io::detail::setBundlePath(ENGINE_BINARY_DIR "/demo");
		io::detail::setAppdataPath(user);
		framework::App::Configuration config;
		framework::configure(config, os);
		context = GL_createContext(640, 960, gr::Context::ORIENTATION_LANDSCAPE_RIGHT, [] {});
		app = static_cast<GameApp*>(framework::init(&os, context));
		run("function update(a, b) end function draw() end");
		// The null GL makes no textures: a sheet without an image holds the measured sprite.
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(nullptr);
		sheet->createSprite("title_button", 0, 0, 160, 48, 80, 24);
		app->luaResources()->getResources()->addSpriteSheet("bench", sheet);
		registerPlain();
	}

	~Game()
	{
		framework::App::deleteApp();
		context = nullptr;
		std::error_code ignored;
		std::filesystem::remove_all(user, ignored);
	}

	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		try
		{
			app->luaState()->compile(in, "bench", app->gameLua());
		}
		catch (const lang::Throwable& e)
		{
			fprintf(stderr, "%s\n", e.getMessage().format().c_str());
			abort();
		}
	}

	/** The hand-written references, as globals of the game table. */
	void registerPlain();
};

Game& game()
{
	static std::unique_ptr<Game> g(new Game());
	return *g;
}

[[noreturn]] void raise(lua_State* L, const char* name, const char* what)
{
	lua_pushfstring(L, "%s: %s", name, what);
	lua_error(L);
	abort();
}

int plainGetSpriteBounds(lua_State* L)
{
	game::LuaResources* res = static_cast<game::LuaResources*>(lua_touserdata(L, lua_upvalueindex(1)));
	const int n = lua_gettop(L);
	if (n < 1 || n > 2)
		raise(L, "getSpriteBounds", "1 to 2 arguments expected");
	const int at = n == 1 ? 1 : 2;
	if (lua_type(L, at) != LUA_TSTRING)
		raise(L, "getSpriteBounds", "Excepted type STRING");
	const std::string name(lua_tostring(L, at));
	game::Resources* r = res->getResources();
	lua_pushnumber(L, float(r->getSpriteWidth(name)));
	lua_pushnumber(L, float(r->getSpriteHeight(name)));
	return 2;
}

/** The member's own conversions: a string for the name, numbers read as floats. */
std::string nameAt(lua_State* L, const char* op, int i)
{
	if (lua_type(L, i) != LUA_TSTRING)
		raise(L, op, "Excepted type STRING");
	return std::string(lua_tostring(L, i));
}

float numberAt(lua_State* L, const char* op, int i)
{
	if (lua_type(L, i) != LUA_TNUMBER)
		raise(L, op, "Excepted type NUMBER");
	return static_cast<float>(lua_tonumber(L, i));
}

int plainGetAngularVelocity(lua_State* L)
{
	GameLua* game = static_cast<GameLua*>(lua_touserdata(L, lua_upvalueindex(1)));
	const std::string name = nameAt(L, "getAngularVelocity", 1);
	lua_pushnumber(L, game->getAngularVelocity(name));
	return 1;
}

int plainSetVelocity(lua_State* L)
{
	GameLua* game = static_cast<GameLua*>(lua_touserdata(L, lua_upvalueindex(1)));
	const std::string name = nameAt(L, "setVelocity", 1);
	const float x = numberAt(L, "setVelocity", 2);
	const float y = numberAt(L, "setVelocity", 3);
	game->setVelocity(name, x, y);
	return 0;
}

void Game::registerPlain()
{
	lua_State* L = app->luaState()->getLua();
	lua::LuaState::pushTable(L, app->gameLua());
	lua_pushlightuserdata(L, app->luaResources());
	lua_pushcclosure(L, plainGetSpriteBounds, 1);
	lua_setfield(L, -2, "plainGetSpriteBounds");
	lua_pushlightuserdata(L, app->gameLua());
	lua_pushcclosure(L, plainGetAngularVelocity, 1);
	lua_setfield(L, -2, "plainGetAngularVelocity");
	lua_pushlightuserdata(L, app->gameLua());
	lua_pushcclosure(L, plainSetVelocity, 1);
	lua_setfield(L, -2, "plainSetVelocity");
	lua_pop(L, 1);
	run("createBox('benchBox', '', 0, 0, 1, 1, 1, 0.5, 0.1, true, false, 1)");
}

/** Runs "local f = <function>; for i = 1, CALLS do f(<args>) end" per iteration; reports ns per call. */
void loop(benchmark::State& state, const std::string& setup, const std::string& function, const std::string& args)
{
	Game& g = game();
	g.run(setup);
	const std::string code = "benchLoop = function() local f = " + function + " for i = 1, " + std::to_string(CALLS) +
		" do f(" + args + ") end end";
	g.run(code);
	const auto start = std::chrono::steady_clock::now();
	int64_t loops = 0;
	for (auto _ : state)
	{
		try
		{
			g.app->gameLua()->call("benchLoop");
		}
		catch (const lang::Throwable& e)
		{
			fprintf(stderr, "%s\n", e.getMessage().format().c_str());
			abort();
		}
		++loops;
	}
	const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
	state.counters["ns_per_call"] = ns / double(loops) / CALLS;
}


void BM_GetSpriteBounds(benchmark::State& state)
{
	loop(state, "", "_G.res.getSpriteBounds", "'title_button'");
}
BENCHMARK(BM_GetSpriteBounds)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_GetSpriteBoundsPlain(benchmark::State& state)
{
	loop(state, "", "plainGetSpriteBounds", "'title_button'");
}
BENCHMARK(BM_GetSpriteBoundsPlain)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_GetAngularVelocity(benchmark::State& state)
{
	loop(state, "", "getAngularVelocity", "'benchBox'");
}
BENCHMARK(BM_GetAngularVelocity)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_GetAngularVelocityPlain(benchmark::State& state)
{
	loop(state, "", "plainGetAngularVelocity", "'benchBox'");
}
BENCHMARK(BM_GetAngularVelocityPlain)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SetVelocity(benchmark::State& state)
{
	loop(state, "", "setVelocity", "'benchBox', 1, 2");
}
BENCHMARK(BM_SetVelocity)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SetVelocityPlain(benchmark::State& state)
{
	loop(state, "", "plainSetVelocity", "'benchBox', 1, 2");
}
BENCHMARK(BM_SetVelocityPlain)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}
