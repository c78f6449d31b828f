// Texture batches of material-textured objects on each back end: golden images, seams and draw calls.
#include "GLRecorder.h"
#include "GLTestSupport.h"
#include "MaskedImage.h"
#include <game/SpriteSheet.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/gl/GL_createContext.h>
#include <io/detail/paths.h>
#include <support/TempDir.h>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace
{
using gr::SurfaceFormat;

class GLT(MaskedImage) : public ::testing::Test
{
protected:
	static constexpr int WIDTH = 128;
	static constexpr int HEIGHT = 96;

	void SetUp() override
	{
		m_context = gltest::createGameContext(m_view, m_dir.path(), WIDTH, HEIGHT);
		m_context->clear(0xFF303030, true, true, false);

		// Materials vary along x and y so a restarted pattern shows; the mask sheet holds a square and a wedge.
		m_stripes = image(8, 8, [](int x, int y) { return 0xFF000000u | uint32_t(0x40 + y * 0x10) << 8 | uint32_t(0x20 + x * 0x1C); });
		m_dots = image(8, 8, [](int x, int y) { return (x / 2 + y / 2) & 1 ? 0xFFF0E020u : 0xFF802000u; });
		m_sheet = new game::SpriteSheet(image(32, 16, [](int x, int y) {
			const bool wedge = x >= 16 && x - 16 >= y;
			return x < 12 || wedge ? 0xFFFFFFFFu : 0x00FFFFFFu;
		}));
		m_square = m_sheet->createSprite("square", 0, 0, 12, 12, 6, 6);
		m_wedge = m_sheet->createSprite("wedge", 16, 0, 12, 12, 6, 6);
	}

	void TearDown() override
	{
		m_sheet = nullptr;
		m_stripes = m_dots = nullptr;
		m_context = nullptr;
		io::detail::setBundlePath(".");
		m_view = nullptr;
	}

	/** An image from 0xAABBGGRR words. */
	template <class Fn> lang::Ptr<gr::Image> image(int w, int h, Fn fn)
	{
		const SurfaceFormat words(SurfaceFormat::SURFACE_A8B8G8R8);
		lang::Ptr<gr::Image> img = m_context->createImage(w, h, 0, SurfaceFormat(SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
		std::vector<uint32_t> pixels(size_t(w * h));
		for (int y = 0; y < h; ++y)
			for (int x = 0; x < w; ++x)
				pixels[size_t(y * w + x)] = fn(x, y);
		const SurfaceFormat own = img->format();
		std::vector<uint8_t> converted(size_t(own.getMemoryUsage(w, h)));
		const int pitch = own.getMemoryUsage(w, 1);
		const SurfaceFormat none(SurfaceFormat::SURFACE_UNKNOWN);
		own.copyPixels(converted.data(), pitch, none, nullptr, words, pixels.data(), w * 4, none, nullptr, w, h);
		img->blt(0, 0, converted.data(), pitch, 0, w, h, own);
		return img;
	}

	gltest::RGBAImage capture()
	{
		m_context->flush();
		gltest::RGBAImage img;
		img.width = WIDTH;
		img.height = HEIGHT;
		img.pixels = gr::GR_GL_NS::GL_capturePixels(0, 0, WIDTH, HEIGHT);
		return img;
	}

	static uint32_t pixel(const gltest::RGBAImage& img, int x, int y)
	{
		const uint8_t* p = &img.pixels[size_t((y * img.width + x) * 4)];
		return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
	}

	static int channelDistance(uint32_t a, uint32_t b)
	{
		int worst = 0;
		for (int s = 0; s < 32; s += 8)
			worst = std::max(worst, std::abs(int(a >> s & 0xFF) - int(b >> s & 0xFF)));
		return worst;
	}

	gr::RenderState2D& state() { return m_context->getRenderState2D(); }

	support::TempDir m_dir;
	lang::Ptr<gr::gl::EGLHeadlessView> m_view;
	lang::Ptr<gr::Context> m_context;
	lang::Ptr<gr::Image> m_stripes, m_dots;
	lang::Ptr<game::SpriteSheet> m_sheet;
	game::Sprite* m_square = nullptr;
	game::Sprite* m_wedge = nullptr;
};

// Two squares side by side, 12 pixels wide over a material that repeats every 8: the material
// carries on across the joint, and the wedge cuts it to its own outline.
TEST_F(GLT(MaskedImage), ObjectsOfOneMaterialJoinWithoutASeam)
{
	MaskedImage batch(m_context);
	batch.add(40.f, 30.f, m_stripes, m_square, 1.f, 1.f);
	batch.add(52.f, 30.f, m_stripes, m_square, 1.f, 1.f);
	batch.add(80.f, 30.f, m_stripes, m_wedge, 1.f, 1.f);
	// Under a translated, doubled render state the pattern doubles with it.
	state().translation = math::float2(10.f, 20.f);
	state().scale = math::float2(2.f, 2.f);
	batch.add(20.f, 15.f, m_stripes, m_square, 1.f, 1.f);
	state().reset();
	EXPECT_EQ(batch.quads(), 4);
	batch.render();
	EXPECT_EQ(batch.quads(), 0);
	EXPECT_EQ(batch.image(), nullptr);

	const gltest::RGBAImage frame = capture();
	for (int y : {25, 30, 35})
		for (int x = 34; x + 8 < 58; ++x)
			EXPECT_LE(channelDistance(pixel(frame, x, y), pixel(frame, x + 8, y)), 2) << x << ", " << y;
	// Wedge: lit above its diagonal, background below.
	EXPECT_GT(channelDistance(pixel(frame, 84, 26), 0xFF303030u), 20);
	EXPECT_LE(channelDistance(pixel(frame, 76, 34), 0xFF303030u), 2);
	EXPECT_TRUE(gltest::matchesGolden("masked-join", frame, 3));
}

// A second material (or a sprite from another sheet) draws what is queued first; one material is one draw.
TEST_F(GLT(MaskedImage), EachMaterialRunIsOneDraw)
{
	lang::Ptr<game::SpriteSheet> other = new game::SpriteSheet(image(16, 16, [](int, int) { return 0xFFFFFFFFu; }));
	game::Sprite* otherSquare = other->createSprite("square", 0, 0, 12, 12, 6, 6);
	struct Add
	{
		gr::Image* material;
		game::Sprite* sprite;
		float x, y;
	};
	struct Case
	{
		const char* name;
		std::vector<Add> adds;
		std::vector<int> drawCounts;
	};
	const std::vector<Case> cases = {
		{"one material", {{m_stripes, m_square, 20, 20}, {m_stripes, m_square, 32, 20}, {m_stripes, m_wedge, 44, 20}}, {18}},
		{"materials alternate",
			{{m_stripes, m_square, 20, 60}, {m_dots, m_square, 32, 60}, {m_dots, m_wedge, 44, 60}, {m_stripes, m_square, 56, 60}},
			{6, 12, 6}},
		{"mask from another sheet", {{m_dots, m_square, 90, 20}, {m_dots, otherSquare, 102, 20}}, {6, 6}},
		{"off screen", {{m_stripes, m_square, -20, 20}, {m_stripes, m_square, 20, HEIGHT + 7}}, {}},
	};
	m_context->clear(0xFF303030, true, true, false);
	for (const Case& c : cases)
	{
		MaskedImage batch(m_context);
		gltest::GLRecorder recorder;
		for (const Add& a : c.adds)
			batch.add(a.x, a.y, a.material, a.sprite, 1.f, 1.f);
		batch.render();
		std::vector<int> counts;
		for (const gltest::GLRecorder::Draw& d : gltest::GLRecorder::draws)
		{
			EXPECT_EQ(d.mode, GLenum(GL_TRIANGLES)) << c.name;
			counts.push_back(d.count);
		}
		EXPECT_EQ(counts, c.drawCounts) << c.name;
	}
	EXPECT_TRUE(gltest::matchesGolden("masked-materials", capture(), 3));
}

// The batch fades with the render state's alpha at the time it is drawn.
TEST_F(GLT(MaskedImage), AlphaOfTheRenderStateFadesTheBatch)
{
	MaskedImage batch(m_context);
	batch.add(40.f, 40.f, m_dots, m_square, 1.f, 1.f);
	const uint32_t opaque = 0xFF802000u;
	state().alphaFactor = 0.5f;
	batch.render();
	state().reset();
	const gltest::RGBAImage frame = capture();
	// Half of a dark-blue texel over the grey background (captured words are 0xAABBGGRR).
	const uint32_t got = pixel(frame, 35, 35);
	EXPECT_LE(channelDistance(got & 0xFFFFFFu, ((opaque & 0xFEFEFEu) >> 1) + 0x181818u), 3) << std::hex << got;
}
}
