// The scripts' immediate drawing on the do-nothing GL table: drawUITextNative of a 20-character
// text and drawBoxNative of a nine-slice box, called from a script loop, each beside its plain
// reference: the same drawing done straight through game::Resources, the sprites and the render
// state in C++. The counter "ratio" is the script path's time over the reference's, in one process.
#include "GameApp.h"
#include "GameLua.h"
#include "NullOSInterface.h"
#include <game/Resources.h>
#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/ByteArrayInputStream.h>
#include <io/detail/paths.h>
#include <lua/LuaState.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
#include "../support/NullGLBundle.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

using namespace gr::GR_GL_NS;

namespace
{
const int REPEATS = 25; // draws per flush

/** The do-nothing GL, a bundle folder with a font and a box sheet, and the game object on them. */
struct Scene : benchsupport::NullGLBundle
{
	lang::Ptr<game::Resources> resources;
	lang::Ptr<lua::LuaState> state;
	NullOSInterface os;
	/** The game object's owner, without a game of its own. */
	GameApp app{GameApp::StandIn(), os};
	std::unique_ptr<GameLua> game;

	Scene()
	{
		io::detail::setAppdataPath(dir);
		qf3d::writeFile(dir + "/font.png", qf3d::encodePng(qf3d::Bitmap(256, 256)));
		qf3d::FontRecord font;
		font.image = "font.png";
		font.tracking = 1;
		for (int c = 32; c < 127; ++c)
			font.glyphs.push_back(qf3d::GlyphRecord{c, (c - 32) % 16 * 16, (c - 32) / 16 * 16, 10, 14, 11});
		qf3d::writeFile(dir + "/FONT_BASIC_DEFAULT.font", qf3d::encodeFont(font));
		qf3d::writeFile(dir + "/box.png", qf3d::encodePng(qf3d::Bitmap(64, 64)));
		qf3d::SheetRecord sheet;
		sheet.image = "box.png";
		const char* const names[] = {"tl", "t", "tr", "l", "c", "r", "bl", "b", "br"};
		for (int i = 0; i < 9; ++i)
			sheet.sprites.push_back(qf3d::SpriteRecord{names[i], i % 3 * 16, i / 3 * 16, 12, 12, 0, 0});
		qf3d::writeFile(dir + "/box.sheet", qf3d::encodeSheet(sheet));

		resources = new game::Resources(context);
		resources->createBitmapFont("FONT_BASIC_DEFAULT.font", false);
		resources->createSpriteSheet("box.sheet", false);
		state = new lua::LuaState();
		game.reset(new GameLua(&app, resources, state, context));
	}
	~Scene()
	{
		game.reset();
		state = nullptr;
		resources = nullptr;
		io::detail::setAppdataPath(".");
	}
	void run(const std::string& code)
	{
		io::ByteArrayInputStream in(code.data(), int(code.size()));
		state->compile(in, "bench", game.get());
	}
};

using benchsupport::referenceSeconds;

template <class Subject, class Reference> void measure(benchmark::State& state, Subject subject, Reference reference)
{
	subject(); // warm: batches and shaders at their size
	reference();
	const auto t0 = std::chrono::steady_clock::now();
	long rounds = 0;
	for (auto _ : state)
	{
		subject();
		++rounds;
	}
	const double own = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(rounds);
	const double ref = referenceSeconds(reference, rounds);
	state.SetItemsProcessed(state.iterations() * REPEATS);
	state.counters["us_per_call"] = own * 1e6 / REPEATS;
	state.counters["reference_us_per_call"] = ref * 1e6 / REPEATS;
	state.counters["ratio"] = own / ref;
}

void BM_DrawUITextNative20(benchmark::State& state)
{
	Scene scene;
	const std::string text = "Score 1234567 points";
	scene.run("label = { visible = true, group = '', text = '" + text + "', x = 4, y = 2, scaleX = 1, scaleY = 1,\n"
		"  hanchor = 'RIGHT', vanchor = 'TOP' }\n"
		"function benchText() for i = 1, " + std::to_string(REPEATS) + " do drawUITextNative(label, 600, 20, 1.5, 1.5, 0.1, 0.8) end end");
	gr::Context* c = scene.context;
	game::Resources* r = scene.resources;
	measure(state,
		[&] {
			scene.game->call("benchText");
			c->flush();
		},
		[&] {
			for (int i = 0; i < REPEATS; ++i)
			{
				gr::RenderState2D& rs = c->getRenderState2D();
				rs.scale = math::float2(1.5f, 1.5f);
				rs.angle = 0.1f;
				rs.rotation[0] = std::cos(0.1f), rs.rotation[1] = std::sin(0.1f);
				rs.rotation[2] = -std::sin(0.1f), rs.rotation[3] = std::cos(0.1f);
				rs.pivot = math::float2(0.f, 0.f);
				rs.alphaFactor = 0.8f;
				r->useFont("FONT_BASIC_DEFAULT");
				r->drawString("", text, 604.f / 1.5f, 22.f / 1.5f, game::Anchor(game::Anchor::TOP, game::Anchor::RIGHT));
				rs.alphaFactor = 1.f;
			}
			c->flush();
		});
}
BENCHMARK(BM_DrawUITextNative20);

void BM_DrawBoxNative(benchmark::State& state)
{
	Scene scene;
	scene.run("box = { topLeft = 'tl', topMiddle = 't', topRight = 'tr', left = 'l', center = 'c', right = 'r',\n"
		"  bottomLeft = 'bl', bottomMiddle = 'b', bottomRight = 'br' }\n"
		"function benchBox() for i = 1, " + std::to_string(REPEATS) + " do drawBoxNative(box, 500, 300, 200, 120, 'HCENTER', 'VCENTER') end end");
	gr::Context* c = scene.context;
	game::Resources* r = scene.resources;
	game::Sprite* s[9];
	const char* const names[] = {"tl", "t", "tr", "l", "c", "r", "bl", "b", "br"};
	for (int i = 0; i < 9; ++i)
		s[i] = r->getSprite(names[i]);
	using game::Anchor;
	const Anchor tl(Anchor::TOP, Anchor::LEFT);
	measure(state,
		[&] {
			scene.game->call("benchBox");
			c->flush();
		},
		[&] {
			for (int i = 0; i < REPEATS; ++i)
			{
				const float x = 400.f, y = 240.f, w = 200.f, h = 120.f, b = 12.f;
				s[1]->draw(c, x + b, y, w - 2 * b, b, tl);
				s[7]->draw(c, x + b, y + h - b, w - 2 * b, b, tl);
				s[3]->draw(c, x, y + b, b, h - 2 * b, tl);
				s[5]->draw(c, x + w - b, y + b, b, h - 2 * b, tl);
				s[0]->draw(c, x, y, tl);
				s[2]->draw(c, x + w, y, Anchor(Anchor::TOP, Anchor::RIGHT));
				s[6]->draw(c, x, y + h, Anchor(Anchor::BOTTOM, Anchor::LEFT));
				s[8]->draw(c, x + w, y + h, Anchor(Anchor::BOTTOM, Anchor::RIGHT));
				s[4]->draw(c, x + b, y + b, w - 2 * b, h - 2 * b, tl);
			}
			c->flush();
		});
}
BENCHMARK(BM_DrawBoxNative);
}
