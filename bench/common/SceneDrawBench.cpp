// The object pass over 500 objects on 10 z levels from two sprite sheets, on the do-nothing GL table,
// beside its plain reference: the same sprites drawn straight through game::Sprite in a bare loop.
#include "GameApp.h"
#include "NullOSInterface.h"
#include <game/Resources.h>
#include <gr/RenderState2D.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <stdlib.h>
#include <vector>

using namespace gr::GR_GL_NS;

namespace
{
const int OBJECTS = 500;

void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 4096 : 0;
}

struct Placed
{
	game::Sprite* sprite;
	float x, y, angle;
};

void BM_ObjectPass(benchmark::State& state)
{
	gl = GL_Functions::null();
	// Textures need a maximum size: the sheets then load on the do-nothing table.
	gl.GetIntegerv = &nullGetIntegerv;
	GL_State::reset();
	char tmpl[] = "/tmp/scene_bench.XXXXXX";
	const std::string user = mkdtemp(tmpl);
	io::detail::setBundlePath(ENGINE_BINARY_DIR "/demo");
	io::detail::setAppdataPath(user);
	NullOSInterface os;
	framework::App::Configuration config;
	framework::configure(config, os);
	{
		lang::Ptr<gr::Context> context = GL_createContext(640, 960, gr::Context::ORIENTATION_LANDSCAPE_RIGHT, [] {});
		GameApp* app = static_cast<GameApp*>(framework::init(&os, context));
		GameLua* game = app->gameLua();
		game->resetPhysicsWorld(b2Vec2(0.f, 0.f), true);
		const std::string code = R"(
_G.res.createSpriteSheet(imagePath .. "/level.sheet")
_G.res.createSpriteSheet(imagePath .. "/title.sheet")
local sprites = {"level_block", "title_sun", "level_ball", "title_bar"}
for i = 0, 499 do
	createBox("o" .. i, sprites[i % 4 + 1], (i % 25) * 1.9 + 1, _G.math.floor(i / 25) * 1.5 + 1, 1, 1, 0, 1, 0, true, false, (i % 10) * 10)
	setRotation("o" .. i, i * 0.01)
end
setTopLeft(10, 5)
setWorldScale(0.8)
)";
		io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
		try
		{
			app->luaState()->compile(in, "bench", game);
		}
		catch (lang::Exception& e)
		{
			state.SkipWithError(e.getMessage().format().c_str());
			framework::App::deleteApp();
			return;
		}

		std::vector<Placed> placed;
		// In the pass's own order (z level, then sheet), so both batch alike.
		std::vector<const GameLua::RenderObjectData*> order;
		for (const auto& level : game->zOrderTable())
			for (const auto& group : level.second)
				for (const std::string& name : group.second)
					order.push_back(game->findObject(name));
		for (const GameLua::RenderObjectData* object : order)
		{
			const GameLua::RenderObjectData& o = *object;
			if (!o.sprite)
				std::abort();
			placed.push_back(Placed{o.sprite.ptr(), o.renderPose.x * 20.f, o.renderPose.y * 20.f, o.renderPose.angle});
		}
		if (placed.size() != OBJECTS)
			std::abort();

		gr::RenderState2D& rs = context->getRenderState2D();
		auto plainPass = [&]() {
			for (const Placed& p : placed)
			{
				rs.reset();
				rs.translation = math::float2(-10.f, -5.f);
				rs.scale = math::float2(0.8f, 0.8f);
				rs.pivot = math::float2(static_cast<float>(p.sprite->getPivotX()), static_cast<float>(p.sprite->getPivotY()));
				const float c = std::cos(p.angle), s = std::sin(p.angle);
				rs.angle = p.angle;
				rs.rotation[0] = c, rs.rotation[1] = s, rs.rotation[2] = -s, rs.rotation[3] = c;
				p.sprite->draw(context, p.x, p.y, game::Anchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT));
			}
			context->flush();
		};
		auto gamePass = [&]() {
			game->drawGameNative(200);
			context->flush();
		};
		gamePass();
		plainPass();
		const int rounds = 2000;
		const auto p0 = std::chrono::steady_clock::now();
		for (int i = 0; i < rounds; ++i)
			plainPass();
		const double plainNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - p0).count() / rounds / OBJECTS;

		int64_t passes = 0;
		const auto g0 = std::chrono::steady_clock::now();
		for (auto _ : state)
		{
			gamePass();
			++passes;
		}
		const double gameNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - g0).count() / double(passes) / OBJECTS;
		state.counters["ns_per_object"] = gameNs;
		state.counters["plain_ns_per_object"] = plainNs;
		state.counters["ratio_to_plain"] = gameNs / plainNs;
		framework::App::deleteApp();
	}
	std::error_code ignored;
	std::filesystem::remove_all(user, ignored);
}
BENCHMARK(BM_ObjectPass)->Repetitions(3)->ReportAggregatesOnly(true);
}
