// Sprite quads through the 2-D batcher, per frame: on the do-nothing GL (CPU cost of the
// batcher, primitive and state cache) and on Mesa's software GL (whole frames).
#include <gr/gl/EGLHeadlessView.h>
#include "../../support/HeadlessGL.h"
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_createContext.h>
#include <gr/gl/GL_Functions.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_Texture.h>
#if GR_GL_VERSION == 2
#include <gr/gl/GL2_Shader_Platform.h>
#endif
#include <gr/Image.h>
#include "TextureImage.h"
#include <gr/Shader.h>
#include <benchmark/benchmark.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using namespace gr::GR_GL_NS;

#include "../../support/AllocationCounter.h"

namespace
{
const int WIDTH = 1024;
const int HEIGHT = 768;

/** Textured sprites: texture times alpha factor. */
class SpriteShader : public gr::Shader
{
public:
	SpriteShader()
	{
#if GR_GL_VERSION == 2
		static const char* vs =
			"attribute vec4 DT_POSITION;\nattribute vec2 DT_TEX0;\nuniform mat4 PROJTM;\nvarying vec2 uv;\n"
			"void main() { gl_Position = PROJTM * vec4(DT_POSITION.xyz, 1.0); uv = DT_TEX0; }\n";
		static const char* fs =
			"precision mediump float;\nuniform sampler2D BASEMAP;\nuniform float ALPHA_FACTOR;\nvarying vec2 uv;\n"
			"void main() { gl_FragColor = texture2D(BASEMAP, uv) * vec4(1.0, 1.0, 1.0, ALPHA_FACTOR); }\n";
		m_platform = new GL_Shader_Platform;
		m_platform->setVertexShader(m_platform->compileVertexShader(std::vector<char>(vs, vs + std::strlen(vs) + 1), "sprite.vert"));
		m_platform->setPixelShader(m_platform->compilePixelShader(std::vector<char>(fs, fs + std::strlen(fs) + 1), "sprite.frag"));
		m_platform->createShaderProgram(m_platform->getVertexShader(), m_platform->getPixelShader());
#endif
	}

	Shader* clone() const override { return new SpriteShader; }
	void setTechnique(const char*) override {}
	bool hasTechnique(const char*) override { return false; }
	void setTexture(ParamType, gr::BaseTexture*) override {}
	void setTexture(const char*, gr::BaseTexture* texture) override { m_texture = static_cast<GL_Texture*>(texture); }
	void setMatrix(ParamType param, const math::float4x4& value) override
	{
		if (param == PARAM_PROJTM)
			m_proj = value;
	}
	void setMatrix(const char*, const math::float4x4&) override {}
	void setMatrixArray(ParamType, math::float4x4**, int) override {}
	void setVector(ParamType, const math::float4&) override {}
	void setVector(const char*, const math::float4&) override {}
	void setFloat(ParamType, float) override {}
	void setFloat(const char* name, float value) override
	{
		if (name[0] == 'A')
			m_alpha = value;
	}
	gr::BaseTexture* getTexture(const char*) override { return m_texture; }
	math::float4x4 getMatrix(const char*) override { return m_proj; }
	math::float4 getVector(const char*) override { return math::float4(0, 0, 0, 0); }
	float getFloat(const char*) override { return m_alpha; }
	int begin() override { return 1; }
	void beginPass(int) override
	{
		GL_State::disable(GL_DEPTH_TEST);
		GL_State::disable(GL_CULL_FACE);
		GL_State::enable(GL_BLEND);
		GL_State::blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
#if GR_GL_VERSION == 2
		GL_State::useProgram(m_platform->getProgramObject());
		m_platform->begin();
		m_platform->setMatrix("PROJTM", m_proj);
		m_platform->setFloat("ALPHA_FACTOR", m_alpha);
		m_platform->setTexture("BASEMAP", m_texture, 0);
#else
		gl.Color4f(1.f, 1.f, 1.f, m_alpha);
		GL_State::activeTexture(GL_TEXTURE0);
		GL_State::bindTexture(m_texture->textureName());
		GL_State::enable(GL_TEXTURE_2D);
#endif
	}
	void endPass() override
	{
#if GR_GL_VERSION == 2
		m_platform->end();
#endif
	}
	void end() override {}
	void setName(const std::string&) override {}
	void setSort(SortType) override {}
	int priority() const override { return 0; }
	SortType sort() const override { return SORT_NONE; }
	bool enabled() const override { return true; }
	const std::string& name() const override { return m_name; }

private:
	std::string m_name = "sprite";
	GL_Texture* m_texture = nullptr;
	math::float4x4 m_proj{1.f};
	float m_alpha = 1.f;
#if GR_GL_VERSION == 2
	lang::Ptr<GL_Shader_Platform> m_platform;
#endif
};

// The do-nothing GL answers 0 to every query; a few answers make it look like a small device.
void GL_APIENTRY nullGetIntegerv(GLenum pname, GLint* data)
{
	data[0] = pname == GL_MAX_TEXTURE_SIZE ? 4096 : pname == GL_FRAMEBUFFER_BINDING ? 0 : 8;
}
#if GR_GL_VERSION == 2
void GL_APIENTRY nullGetProgramiv(GLuint, GLenum pname, GLint* data)
{
	data[0] = pname == GL_LINK_STATUS || pname == GL_VALIDATE_STATUS ? GL_TRUE : 0;
}
GLint GL_APIENTRY nullGetAttribLocation(GLuint, const GLchar* name)
{
	return std::strcmp(name, "DT_POSITION") == 0 ? 0 : std::strcmp(name, "DT_TEX0") == 0 ? 1 : -1;
}
#endif

enum Scene { ONE_IMAGE, FOUR_IMAGES, ALPHA_STEPS, CORNER_COLOURS };
enum Device { NULL_GL, LLVMPIPE };

struct Quad
{
	math::float3 p[4];
};

void spriteFrames(benchmark::State& state, Device device, Scene scene)
{
	const int sprites = int(state.range(0));
	lang::Ptr<gr::gl::EGLHeadlessView> view;
	if (device == LLVMPIPE)
	{
		view = openHeadlessGL(state, WIDTH, HEIGHT);
		if (!view)
			return;
	}
	else
	{
		gl = GL_Functions::null();
		gl.GetIntegerv = &nullGetIntegerv;
#if GR_GL_VERSION == 2
		gl.GetProgramiv = &nullGetProgramiv;
		gl.GetAttribLocation = &nullGetAttribLocation;
#endif
	}
	GL_State::reset();
	{
		lang::Ptr<gr::Context> context = GL_createContext(WIDTH, HEIGHT, gr::Context::ORIENTATION_PORTRAIT, [] {});
		GL_Context& c = static_cast<GL_Context&>(*context);
		lang::Ptr<SpriteShader> shader = new SpriteShader;
		std::vector<lang::Ptr<gltest::TextureImage>> images;
		for (int i = 0; i < 4; ++i)
		{
			lang::Ptr<GL_Texture> t = new GL_Texture(&c, 32, 32, 0, gr::SurfaceFormat::SURFACE_A8B8G8R8, 0);
			std::vector<uint32_t> px(32 * 32, 0xFF000000u | (0x3F << (8 * i)));
			t->blt(0, 0, px.data(), 32 * 4, 0, 32, 32, gr::SurfaceFormat::SURFACE_A8B8G8R8);
			images.push_back(new gltest::TextureImage(t));
		}

		std::vector<Quad> quads(static_cast<size_t>(sprites));
		unsigned seed = 12345;
		for (Quad& q : quads)
		{
			seed = seed * 1103515245u + 12345u;
			const float x = float(seed % (WIDTH - 32)), y = float((seed >> 10) % (HEIGHT - 32));
			const float l = 2 * x / WIDTH - 1, r = 2 * (x + 32) / WIDTH - 1, t = 1 - 2 * y / HEIGHT, b = 1 - 2 * (y + 32) / HEIGHT;
			q.p[0] = math::float3(l, t, 0.001f);
			q.p[1] = math::float3(r, t, 0.001f);
			q.p[2] = math::float3(l, b, 0.001f);
			q.p[3] = math::float3(r, b, 0.001f);
		}
		static const math::float2 uv[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
		static const math::float4 colours[4] = {{255, 255, 255, 255}, {255, 128, 128, 255}, {128, 255, 128, 255}, {128, 128, 255, 255}};
		GL_RenderBatcher& batcher = c.getBatcher();
		gr::RenderState2D& rs = c.getRenderState2D();

		auto frame = [&] {
			c.clear(0xFF000000u, true, false, false);
			for (int i = 0; i < sprites; ++i)
			{
				gr::Image* image = images[scene == FOUR_IMAGES ? i & 3 : 0];
				if (scene == ALPHA_STEPS && i % 100 == 0)
					rs.alphaFactor = (i / 100) & 1 ? 0.5f : 1.f;
				batcher.render(GL_RenderBatcher::TYPE_IMAGES, shader, quads[size_t(i)].p, uv, scene == CORNER_COLOURS ? colours : nullptr, image, 1);
			}
			c.present();
			if (device == LLVMPIPE)
				gl.Finish();
			rs.alphaFactor = 1.f;
		};

		// Warm up: the vertex lists and the primitive pool reach their size.
		frame();
		frame();
		c.statistics().reset();
		const long allocationsBefore = s_allocations.load();
		long frames = 0;
		for (auto _ : state)
		{
			frame();
			++frames;
		}
		const long allocations = s_allocations.load() - allocationsBefore;
		state.SetItemsProcessed(state.iterations() * sprites);
		// Seconds of CPU per sprite (printed with an SI suffix: "25n" is 25 ns).
		state.counters["cpu_per_sprite"] = benchmark::Counter(double(sprites), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
		state.counters["draws_per_frame"] = double(c.statistics().primitives) / double(frames);
		state.counters["allocs_per_frame"] = double(allocations) / double(frames);
		images.clear();
		shader = nullptr;
	}
	GL_State::reset();
	view = nullptr;
}
}

#define SPRITE_BENCH(NAME, DEVICE, SCENE) \
	BENCHMARK_CAPTURE(spriteFrames, NAME, DEVICE, SCENE)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond)

SPRITE_BENCH(null_one_image, NULL_GL, ONE_IMAGE);
SPRITE_BENCH(null_four_images, NULL_GL, FOUR_IMAGES);
SPRITE_BENCH(null_alpha_every_100, NULL_GL, ALPHA_STEPS);
// Particles and tinted glyphs: every corner carries a colour.
SPRITE_BENCH(null_corner_colours, NULL_GL, CORNER_COLOURS);
SPRITE_BENCH(llvmpipe_one_image, LLVMPIPE, ONE_IMAGE);
SPRITE_BENCH(llvmpipe_four_images, LLVMPIPE, FOUR_IMAGES);
SPRITE_BENCH(llvmpipe_alpha_every_100, LLVMPIPE, ALPHA_STEPS);
