// The game on the demo bundle for benchmarks: the do-nothing GL table, a scratch user folder,
// and a world emptied before the benchmark's own scene is built.
#ifndef BENCH_COMMON_BENCHGAME_H
#define BENCH_COMMON_BENCHGAME_H

#include "GameApp.h"
#include "NullOSInterface.h"
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <chrono>
#include <filesystem>
#include <stdlib.h>
#include <string>

namespace
{
using namespace gr::GR_GL_NS;

const float FRAME_DT = 1.f / 60.f;

/** The game on the demo bundle with the do-nothing GL table, its world emptied. */
class Game
{
public:
	explicit Game(const char* scene)
	{
		gl = GL_Functions::null();
		char tmpl[] = "/tmp/game_bench.XXXXXX";
		m_user = mkdtemp(tmpl);
		io::detail::setBundlePath(ENGINE_BINARY_DIR "/demo");
		io::detail::setAppdataPath(m_user);
		framework::App::Configuration config;
		framework::configure(config, m_os);
		m_context = GL_createContext(640, 960, gr::Context::ORIENTATION_LANDSCAPE_RIGHT, [] {});
		m_app = static_cast<GameApp*>(framework::init(&m_os, m_context));
		lua()->resetPhysicsWorld(b2Vec2(0.f, 0.f), true);
		run(scene);
	}
	~Game()
	{
		framework::App::deleteApp();
		m_context = nullptr;
		std::error_code ignored;
		std::filesystem::remove_all(m_user, ignored);
	}
	GameLua* lua() { return m_app->gameLua(); }
	GameApp* app() { return m_app; }
	gr::Context* context() { return m_context; }
	game::Resources* resources() { return m_app->luaResources()->getResources(); }
	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		m_app->luaState()->compile(in, "bench", lua());
	}
	/** One frame: its wall time and the step time it published, in milliseconds. */
	void frame(double& frameMs, double& stepMs)
	{
		const auto start = std::chrono::steady_clock::now();
		m_app->update(FRAME_DT, m_context, 3);
		frameMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
		stepMs += lua()->getNumber("g_physicsUpdateMillis");
	}

private:
	NullOSInterface m_os;
	std::string m_user;
	lang::Ptr<gr::Context> m_context;
	GameApp* m_app;
};

}

#endif
