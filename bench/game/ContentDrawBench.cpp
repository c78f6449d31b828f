// BitmapFont::drawString of 40 characters and CompoSprite::draw of 6 parts on the do-nothing GL,
// each beside its plain reference: the same quads drawn straight through gr::Image::draw.
// The counter "ratio" is the content call's time over the reference's, measured in one process.
#include <game/BitmapFont.h>
#include <game/CompoSprite.h>
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <qf3d/Build.h>
#include <qf3d/ContentWriter.h>
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
const int REPEATS = 25; // draws per flush

/** The do-nothing GL, a context and a bundle folder holding the content and seeing the shaders. */
using Scene = benchsupport::NullGLBundle;
using benchsupport::referenceSeconds;

template <class Subject, class Reference> void measure(benchmark::State& state, int items, Subject subject, Reference reference)
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
	state.SetItemsProcessed(state.iterations() * items);
	state.counters["ns_per_item"] = own * 1e9 / items;
	state.counters["reference_ns_per_item"] = ref * 1e9 / items;
	state.counters["ratio"] = own / ref;
}

void BM_BitmapFontDrawString40(benchmark::State& state)
{
	Scene scene;
	{
		qf3d::Bitmap image(256, 256);
		qf3d::writeFile(scene.dir + "/font.png", qf3d::encodePng(image));
		qf3d::FontRecord record;
		record.image = "font.png";
		record.tracking = 1;
		for (int c = 32; c < 127; ++c)
			record.glyphs.push_back(qf3d::GlyphRecord{c, (c - 32) % 16 * 16, (c - 32) / 16 * 16, 10, 14, 11});
		qf3d::writeFile(scene.dir + "/f.font", qf3d::encodeFont(record));
		lang::Ptr<game::BitmapFont> font = new game::BitmapFont(scene.context, "f.font");
		const std::string text = "The quick brown fox jumps over a lazy do";
		// The reference: the same 40 glyph quads, placed beforehand.
		struct Quad
		{
			gr::Image* image;
			float x, y, w, h;
			const math::float2* uv;
		};
		std::vector<Quad> quads;
		float x = 10.f;
		for (char c : text)
		{
			const game::Sprite* g = font->getGlyph((unsigned short)c);
			quads.push_back(Quad{g->getImage(), x - g->getPivotX(), 100.f - g->getPivotY(), float(g->getWidth()), float(g->getHeight()), g->getTextureCoordinates()});
			x += font->getAdvance((unsigned short)c) + font->getTracking();
		}
		gr::Context* c = scene.context;
		measure(state, 40 * REPEATS,
			[&] {
				for (int i = 0; i < REPEATS; ++i)
					font->drawString(c, text, 10.f, 100.f, game::Anchor(game::Anchor::BASELINE, game::Anchor::LEFT));
				c->flush();
			},
			[&] {
				for (int i = 0; i < REPEATS; ++i)
					for (const Quad& q : quads)
						q.image->draw(c, q.x, q.y, q.w, q.h, q.uv);
				c->flush();
			});
	}
}
BENCHMARK(BM_BitmapFontDrawString40);

void BM_CompoSpriteDraw6(benchmark::State& state)
{
	Scene scene;
	{
		lang::Ptr<gr::Image> image = scene.context->createImage(256, 256, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
		lang::Ptr<game::SpriteSheet> sheet = new game::SpriteSheet(image);
		lang::Ptr<game::CompoSprite> compo = new game::CompoSprite;
		for (int i = 0; i < 6; ++i)
			compo->addSprite("p", float(i * 20), float(i * 5), sheet->createSprite("p" + std::to_string(i), i * 32, 0, 30, 30, 15, 15));
		gr::Context* c = scene.context;
		measure(state, 6 * REPEATS,
			[&] {
				for (int i = 0; i < REPEATS; ++i)
					compo->draw(c, 100.f, 100.f, game::Anchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT));
				c->flush();
			},
			[&] {
				for (int i = 0; i < REPEATS; ++i)
					for (int k = 0; k < compo->getSpriteCount(); ++k)
					{
						const game::CompoSprite::Entry& e = compo->getSpriteEntry(k);
						image->draw(c, 100.f + e.x - 15.f, 100.f + e.y - 15.f, 30.f, 30.f, e.sprite->getTextureCoordinates());
					}
				c->flush();
			});
	}
}
BENCHMARK(BM_CompoSpriteDraw6);
}
