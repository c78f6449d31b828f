// Sprites of 32 x 32 drawn through GL images with the context's own sprite effect, each
// measured against a plain reference in the same process, alternating run by run:
// - SpriteFrame32: whole frames on Mesa's software GL (clear, draws, present, glFinish)
//   against a hand-written frame of the same quads: texture-only shader, one vertex buffer
//   filled per frame, one shared index buffer;
// - SpriteSubmit: the CPU cost of Image::draw on the do-nothing GL against feeding the
//   batcher the finished quads directly.
// vs_plain = our time / the reference's time.
#include <gr/gl/EGLHeadlessView.h>
#include "../../support/HeadlessGL.h"
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#include <gr/gl/GL_createContext.h>
#include <gr/Image.h>
#include <benchmark/benchmark.h>
#include <io/detail/paths.h>
#include <lang/Ptr.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

using namespace gr::GR_GL_NS;

namespace
{
const int WIDTH = 1024;
const int HEIGHT = 768;
const int SIZE = 32;

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from)
{
	return std::chrono::duration<double>(Clock::now() - from).count();
}

// Runs ours and the reference alternately, timing ours for the benchmark; returns the two totals.
template <class Ours, class Plain> std::pair<double, double> alternate(benchmark::State& state, Ours ours, Plain plain)
{
	ours();
	plain();
	double oursTotal = 0, plainTotal = 0;
	for (auto _ : state)
	{
		Clock::time_point t = Clock::now();
		ours();
		const double o = seconds(t);
		t = Clock::now();
		plain();
		plainTotal += seconds(t);
		oursTotal += o;
		state.SetIterationTime(o);
	}
	return {oursTotal, plainTotal};
}

struct Sprite
{
	float x, y;
};

// Fixed pseudo-random places wholly on screen.
std::vector<Sprite> places(int n)
{
	std::vector<Sprite> out(static_cast<size_t>(n));
	unsigned seed = 12345;
	for (Sprite& s : out)
	{
		seed = seed * 1103515245u + 12345u;
		s.x = float(seed % (WIDTH - SIZE));
		s.y = float((seed >> 10) % (HEIGHT - SIZE));
	}
	return out;
}

// A white disc with a soft edge, premultiplied: the usual particle or sprite picture.
lang::Ptr<gr::Image> roundSprite(gr::Context* context)
{
	const gr::SurfaceFormat rgba(gr::SurfaceFormat::SURFACE_A8B8G8R8);
	lang::Ptr<gr::Image> image = context->createImage(SIZE, SIZE, 0, rgba, gr::Context::USAGE_NONE);
	std::vector<uint32_t> px(SIZE * SIZE);
	for (int y = 0; y < SIZE; ++y)
		for (int x = 0; x < SIZE; ++x)
		{
			const float dx = float(x) + 0.5f - SIZE / 2, dy = float(y) + 0.5f - SIZE / 2;
			float a = float(SIZE / 2) - std::sqrt(dx * dx + dy * dy);
			a = a < 0.f ? 0.f : a > 1.f ? 1.f : a;
			const uint32_t v = uint32_t(a * 255.f + 0.5f);
			px[size_t(y * SIZE + x)] = v << 24 | v << 16 | (v * 3 / 4) << 8 | (v / 2);
		}
	const gr::SurfaceFormat own = image->format();
	std::vector<uint8_t> converted(size_t(own.getMemoryUsage(SIZE, SIZE)));
	const gr::SurfaceFormat none(gr::SurfaceFormat::SURFACE_UNKNOWN);
	own.copyPixels(converted.data(), own.getMemoryUsage(SIZE, 1), none, nullptr, rgba, px.data(), SIZE * 4, none, nullptr, SIZE, SIZE);
	image->blt(0, 0, converted.data(), own.getMemoryUsage(SIZE, 1), 0, SIZE, SIZE, own);
	return image;
}

/** The reference frame: what a small hand-written 2-D renderer does per frame. */
class PlainFrame
{
public:
	explicit PlainFrame(int sprites) : m_vertices(size_t(sprites) * 16)
	{
		std::vector<unsigned short> indices(size_t(sprites) * 6);
		for (int i = 0; i < sprites; ++i)
		{
			// 16-bit indices: quads beyond 16384 reuse the index run of a later draw call.
			const unsigned short b = static_cast<unsigned short>((i % QUADS_PER_DRAW) * 4);
			const unsigned short q[6] = {b, static_cast<unsigned short>(b + 1), static_cast<unsigned short>(b + 2), static_cast<unsigned short>(b + 2),
				static_cast<unsigned short>(b + 1), static_cast<unsigned short>(b + 3)};
			std::memcpy(&indices[size_t(i) * 6], q, sizeof q);
		}
		gl.GenBuffers(1, &m_vbo);
		gl.GenBuffers(1, &m_ibo);
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ibo);
		gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(std::min(sprites, QUADS_PER_DRAW) * 12), indices.data(), GL_STATIC_DRAW);
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
#if GR_GL_VERSION == 2
		static const char* vs =
			"attribute vec2 pos;\nattribute vec2 uv;\nvarying vec2 v_uv;\n"
			"void main() { v_uv = uv; gl_Position = vec4(pos, 0.0, 1.0); }\n";
		static const char* fs =
			"precision mediump float;\nuniform sampler2D tex;\nvarying vec2 v_uv;\n"
			"void main() { gl_FragColor = texture2D(tex, v_uv); }\n";
		m_program = gl.CreateProgram();
		for (int i = 0; i < 2; ++i)
		{
			GLuint s = gl.CreateShader(i ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
			const char* text = i ? fs : vs;
			gl.ShaderSource(s, 1, &text, nullptr);
			gl.CompileShader(s);
			gl.AttachShader(m_program, s);
			gl.DeleteShader(s);
		}
		gl.BindAttribLocation(m_program, 0, "pos");
		gl.BindAttribLocation(m_program, 1, "uv");
		gl.LinkProgram(m_program);
#endif
	}
	~PlainFrame()
	{
		GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
		gl.DeleteBuffers(1, &m_vbo);
		gl.DeleteBuffers(1, &m_ibo);
#if GR_GL_VERSION == 2
		gl.DeleteProgram(m_program);
#endif
	}

	void draw(const std::vector<Sprite>& sprites, GLuint texture)
	{
		GL_State::clearColor(0.f, 0.f, 0.f, 1.f);
		gl.Clear(GL_COLOR_BUFFER_BIT);
		float* v = m_vertices.data();
		const float kx = 2.f / WIDTH, ky = -2.f / HEIGHT;
		for (const Sprite& s : sprites)
		{
			const float l = kx * s.x - 1.f, r = kx * (s.x + SIZE) - 1.f, t = ky * s.y + 1.f, b = ky * (s.y + SIZE) + 1.f;
			const float q[16] = {l, t, 0, 0, r, t, 1, 0, l, b, 0, 1, r, b, 1, 1};
			std::memcpy(v, q, sizeof q);
			v += 16;
		}
		GL_State::enable(GL_BLEND);
		GL_State::blendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
		GL_State::activeTexture(GL_TEXTURE0);
		GL_State::bindTexture(texture);
		GL_State::bindBuffer(GL_ARRAY_BUFFER, m_vbo);
		gl.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(m_vertices.size() * sizeof(float)), m_vertices.data(), GL_DYNAMIC_DRAW);
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ibo);
#if GR_GL_VERSION == 2
		GL_State::useProgram(m_program);
		gl.EnableVertexAttribArray(0);
		gl.EnableVertexAttribArray(1);
#else
		GL_State::enable(GL_TEXTURE_2D);
		GL_State::enableClientState(GL_VERTEX_ARRAY);
		GL_State::clientActiveTexture(GL_TEXTURE0);
		GL_State::enableClientState(GL_TEXTURE_COORD_ARRAY);
		gl.Color4f(1.f, 1.f, 1.f, 1.f);
#endif
		const int n = int(sprites.size());
		for (int first = 0; first < n; first += QUADS_PER_DRAW)
		{
			const size_t offset = size_t(first) * 16 * sizeof(float);
#if GR_GL_VERSION == 2
			gl.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(offset));
			gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(offset + 8));
#else
			gl.VertexPointer(2, GL_FLOAT, 16, reinterpret_cast<const void*>(offset));
			gl.TexCoordPointer(2, GL_FLOAT, 16, reinterpret_cast<const void*>(offset + 8));
#endif
			gl.DrawElements(GL_TRIANGLES, std::min(n - first, QUADS_PER_DRAW) * 6, GL_UNSIGNED_SHORT, nullptr);
		}
#if GR_GL_VERSION == 2
		gl.DisableVertexAttribArray(0);
		gl.DisableVertexAttribArray(1);
#else
		GL_State::disableClientState(GL_VERTEX_ARRAY);
		GL_State::disableClientState(GL_TEXTURE_COORD_ARRAY);
#endif
		GL_State::bindBuffer(GL_ARRAY_BUFFER, 0);
		GL_State::bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
		gr::gl::EGLHeadlessView::presentCurrent();
		gl.Finish();
	}

private:
	static const int QUADS_PER_DRAW = 16384;
	std::vector<float> m_vertices;
	GLuint m_vbo = 0;
	GLuint m_ibo = 0;
#if GR_GL_VERSION == 2
	GLuint m_program = 0;
#endif
};

void BM_SpriteFrame32(benchmark::State& state)
{
	const int n = int(state.range(0));
	lang::Ptr<gr::gl::EGLHeadlessView> view = openHeadlessGL(state, WIDTH, HEIGHT);
	if (!view)
		return;
	GL_State::reset();
	io::detail::setBundlePath(ENGINE_SOURCE_DIR "/data");
	{
		lang::Ptr<gr::Context> context = GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT, &gr::gl::EGLHeadlessView::presentCurrent);
		context->setShaderPath("shaders");
		lang::Ptr<gr::Image> image = roundSprite(context);
		const GLuint texture = static_cast<GL_Texture*>(image->getTexture())->textureName();
		const std::vector<Sprite> sprites = places(n);
		PlainFrame plain(n);

		auto ours = [&] {
			context->clear(0xFF000000u, true, false, false);
			for (const Sprite& s : sprites)
				image->draw(context, s.x, s.y, 0, 0, SIZE, SIZE, float(SIZE), float(SIZE));
			context->present();
			gl.Finish();
		};
		const std::pair<double, double> totals = alternate(state, ours, [&] { plain.draw(sprites, texture); });
		const double oursTotal = totals.first, plainTotal = totals.second;
		state.counters["plain_ms"] = plainTotal * 1e3 / double(state.iterations());
		state.counters["vs_plain"] = oursTotal / plainTotal;
	}
	io::detail::setBundlePath(".");
	GL_State::reset();
	view = nullptr;
}
BENCHMARK(BM_SpriteFrame32)->Arg(1000)->Arg(10000)->Arg(50000)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The do-nothing GL, with room for textures.
void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 4096 : 0;
}

void BM_SpriteSubmit(benchmark::State& state)
{
	const int n = int(state.range(0));
	gl = GL_Functions::null();
	gl.GetIntegerv = &nullGetIntegerv;
	GL_State::reset();
	io::detail::setBundlePath(ENGINE_SOURCE_DIR "/data");
	{
		lang::Ptr<gr::Context> context = GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT, [] {});
		context->setShaderPath("shaders");
		GL_Context& c = static_cast<GL_Context&>(*context);
		lang::Ptr<gr::Image> image = context->createImage(SIZE, SIZE, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8B8G8R8), gr::Context::USAGE_NONE);
		const std::vector<Sprite> sprites = places(n);
		// The reference: the same quads, already in device coordinates, with their shader.
		struct Quad
		{
			math::float3 p[4];
		};
		std::vector<Quad> quads(sprites.size());
		for (size_t i = 0; i < sprites.size(); ++i)
		{
			const float kx = 2.f / WIDTH, ky = -2.f / HEIGHT;
			const float l = kx * sprites[i].x - 1.f, r = kx * (sprites[i].x + SIZE) - 1.f;
			const float t = ky * sprites[i].y + 1.f, b = ky * (sprites[i].y + SIZE) + 1.f;
			quads[i] = Quad{{math::float3(l, t, 0.001f), math::float3(r, t, 0.001f), math::float3(l, b, 0.001f), math::float3(r, b, 0.001f)}};
		}
		static const math::float2 uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
		gr::Shader* shader = c.getSpriteAlphaShader();
		GL_RenderBatcher& batcher = c.getBatcher();

		auto ours = [&] {
			for (const Sprite& s : sprites)
				image->draw(context, s.x, s.y, 0, 0, SIZE, SIZE, float(SIZE), float(SIZE));
			context->flush();
		};
		auto direct = [&] {
			for (const Quad& q : quads)
				batcher.render(GL_RenderBatcher::TYPE_IMAGES, shader, q.p, uv, nullptr, image, 1);
			context->flush();
		};
		const std::pair<double, double> totals = alternate(state, ours, direct);
		const double oursTotal = totals.first, plainTotal = totals.second;
		state.counters["ns_per_draw"] = oursTotal * 1e9 / double(state.iterations()) / n;
		state.counters["plain_ns"] = plainTotal * 1e9 / double(state.iterations()) / n;
		state.counters["vs_plain"] = oursTotal / plainTotal;
	}
	io::detail::setBundlePath(".");
	GL_State::reset();
}
BENCHMARK(BM_SpriteSubmit)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);
}
