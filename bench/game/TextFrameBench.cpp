// TextFrame: whole frames on Mesa's software GL (clear, 1,000 strings of 20 glyphs, present,
// glFinish) with a 20-pixel DejaVu Sans font built by the content tool, against the same frame
// with every glyph quad cropped by hand to its ink: the same glyphs at the same places, drawn
// through the same image and effect, so the difference is the area each quad covers plus the
// font's own work. Measured alternately in one process; vs_cropped = ours / the reference.
// vs_full_cells: ours against quads of the earlier layout, each glyph a whole line-tall cell as
// wide as its advance (what the frame cost before glyph boxes hugged the ink).
#include <game/BitmapFont.h>
#include <game/Sprite.h>
#include <gr/gl/EGLHeadlessView.h>
#include "../support/HeadlessGL.h"
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <img/ImageReader.h>
#include <io/FileInputStream.h>
#include <io/detail/paths.h>
#include <lang/Throwable.h>
#include <qf3d/Build.h>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace gr::GR_GL_NS;

namespace
{
const int WIDTH = 1024;
const int HEIGHT = 768;
const int STRINGS = 1000;
const int GLYPHS = 20;

using Clock = std::chrono::steady_clock;

/** One glyph's ink inside its box of the atlas, found by scanning the atlas. */
struct Crop
{
	int dx, dy, w, h;
};

struct Quad
{
	float x, y;
	int sx, sy, w, h;
};

std::vector<uint32_t> readAtlas(const std::string& path, int* w, int* h)
{
	img::ImageReader reader(new io::FileInputStream(path), io::FILEFORMAT_PNG);
	*w = reader.surfaceWidth(), *h = reader.surfaceHeight();
	std::vector<uint32_t> px(size_t(*w) * size_t(*h));
	const gr::SurfaceFormat argb(gr::SurfaceFormat::SURFACE_A8R8G8B8), none(gr::SurfaceFormat::SURFACE_UNKNOWN);
	reader.readSurface(px.data(), *w * 4, *w, *h, argb, nullptr, none);
	return px;
}

void BM_TextFrame(benchmark::State& state)
{
	const char* base = std::getenv("TMPDIR");
	std::string pattern = std::string(base && *base ? base : "/tmp") + "/engine-bench-XXXXXX";
	if (!mkdtemp(&pattern[0]))
	{
		state.SkipWithError("no scratch folder");
		return;
	}
	const std::string dir = pattern;
	lang::Ptr<gr::gl::EGLHeadlessView> view = openHeadlessGL(state, WIDTH, HEIGHT);
	if (!view)
		return;
	GL_State::reset();
	if (::symlink(ENGINE_SOURCE_DIR "/data/shaders", (dir + "/shaders").c_str()) != 0)
		std::abort();
	std::ofstream(dir + "/font.lua") << "fonts = { { file = 'f.font', size = 20 } }\n";
	qf3d::build(dir + "/font.lua", dir);
	io::detail::setBundlePath(dir);
	{
		lang::Ptr<gr::Context> context = GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
		context->setShaderPath("shaders");
		lang::Ptr<game::BitmapFont> font = new game::BitmapFont(context, "f.font");

		// The hand crops: each glyph box shrunk to the atlas pixels that hold ink.
		int aw = 0, ah = 0;
		const std::vector<uint32_t> atlas = readAtlas(dir + "/f.png", &aw, &ah);
		std::map<unsigned short, Crop> crops;
		for (unsigned short code = 0x20; code < 0x7F; ++code)
		{
			const game::Sprite* g = font->getGlyph(code);
			int x0 = g->getWidth(), x1 = -1, y0 = g->getHeight(), y1 = -1;
			for (int y = 0; y < g->getHeight(); ++y)
				for (int x = 0; x < g->getWidth(); ++x)
					if (atlas[size_t(g->getPositionInSheetY() + y) * size_t(aw) + size_t(g->getPositionInSheetX() + x)] >> 24)
						x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
			crops[code] = x1 < 0 ? Crop{0, 0, 0, 0} : Crop{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
		}

		// 1,000 strings of 20 glyphs at fixed pseudo-random places on screen.
		const std::string text = "Sphinx of black quartz, judge my vow; the quick brown fox jumps over a lazy dog.";
		struct Line
		{
			std::string text;
			float x, y;
		};
		std::vector<Line> lines;
		unsigned seed = 12345;
		for (int i = 0; i < STRINGS; ++i)
		{
			seed = seed * 1103515245u + 12345u;
			const size_t from = (seed >> 4) % (text.size() - GLYPHS);
			lines.push_back(Line{text.substr(from, GLYPHS), float(seed % (WIDTH - 260)), float(24 + (seed >> 12) % (HEIGHT - 40))});
		}
		// The reference: the same glyphs at the same pen positions, each quad cut to its ink.
		std::vector<Quad> quads;
		for (const Line& l : lines)
		{
			float pen = l.x;
			for (char c : l.text)
			{
				const game::Sprite* g = font->getGlyph((unsigned short)c);
				const Crop& k = crops[(unsigned short)c];
				if (k.w)
					quads.push_back(Quad{pen - float(g->getPivotX() - k.dx), l.y - float(g->getPivotY() - k.dy), g->getPositionInSheetX() + k.dx,
						g->getPositionInSheetY() + k.dy, k.w, k.h});
				pen += float(font->getAdvance((unsigned short)c) + font->getTracking());
			}
		}
		// Whole cells: advance wide, from the line's top to its bottom.
		std::vector<Quad> cells;
		const int lineHeight = font->getMaxAscending() + font->getMaxDescending();
		for (const Line& l : lines)
		{
			float pen = l.x;
			for (char c : l.text)
			{
				const game::Sprite* g = font->getGlyph((unsigned short)c);
				const int advance = font->getAdvance((unsigned short)c) + font->getTracking();
				cells.push_back(Quad{pen, l.y - float(font->getMaxAscending()), g->getPositionInSheetX(), std::max(0, g->getPositionInSheetY() - 4), advance, lineHeight});
				pen += float(advance);
			}
		}
		gr::Image* image = font->getGlyph('A')->getImage();

		auto ours = [&] {
			context->clear(0xFF000000u, true, false, false);
			for (const Line& l : lines)
				font->drawString(context, l.text, l.x, l.y, game::Anchor(game::Anchor::BASELINE, game::Anchor::LEFT));
			context->present();
			gl.Finish();
		};
		auto cropped = [&] {
			context->clear(0xFF000000u, true, false, false);
			for (const Quad& q : quads)
				image->draw(context, q.x, q.y, q.sx, q.sy, q.w, q.h, float(q.w), float(q.h));
			context->present();
			gl.Finish();
		};
		auto full = [&] {
			context->clear(0xFF000000u, true, false, false);
			for (const Quad& q : cells)
				image->draw(context, q.x, q.y, q.sx, q.sy, q.w, q.h, float(q.w), float(q.h));
			context->present();
			gl.Finish();
		};
		ours();
		cropped();
		full();
		double oursTotal = 0, plainTotal = 0, fullTotal = 0;
		for (auto _ : state)
		{
			Clock::time_point t = Clock::now();
			ours();
			const double o = std::chrono::duration<double>(Clock::now() - t).count();
			t = Clock::now();
			cropped();
			plainTotal += std::chrono::duration<double>(Clock::now() - t).count();
			t = Clock::now();
			full();
			fullTotal += std::chrono::duration<double>(Clock::now() - t).count();
			oursTotal += o;
			state.SetIterationTime(o);
		}
		long area = 0, croppedArea = 0;
		for (const Line& l : lines)
			for (char c : l.text)
			{
				const game::Sprite* g = font->getGlyph((unsigned short)c);
				area += long(g->getWidth()) * g->getHeight();
				croppedArea += long(crops[(unsigned short)c].w) * crops[(unsigned short)c].h;
			}
		state.counters["cropped_ms"] = plainTotal * 1e3 / double(state.iterations());
		state.counters["vs_cropped"] = oursTotal / plainTotal;
		state.counters["area_vs_cropped"] = double(area) / double(croppedArea);
		state.counters["vs_full_cells"] = oursTotal / fullTotal;
	}
	io::detail::setBundlePath(".");
	GL_State::reset();
	view = nullptr;
	std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_TextFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
}
