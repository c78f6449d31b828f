// The object pass's texture batches in the game object: which objects go to a batch, where
// their quads land, and the texture-name order the batches are drawn in.
#include "GameFixture.h"
#include <EGL/egl.h>
#include <game/SpriteSheet.h>
#include <gr/Context.h>

namespace
{
class TextureBatchTest : public GameTest
{
protected:
	static constexpr int WIDTH = 128;
	static constexpr int HEIGHT = 96;

	/** A solid image of one 0xAABBGGRR colour. */
	lang::Ptr<gr::Image> solid(int size, uint32_t abgr)
	{
		lang::Ptr<gr::Image> img = m_context->createImage(size, size, 0, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8R8G8B8), gr::Context::USAGE_NONE);
		const std::vector<uint32_t> words(size_t(size * size), abgr);
		const gr::SurfaceFormat own = img->format();
		std::vector<uint8_t> converted(size_t(own.getMemoryUsage(size, size)));
		const int pitch = own.getMemoryUsage(size, 1);
		const gr::SurfaceFormat none(gr::SurfaceFormat::SURFACE_UNKNOWN);
		own.copyPixels(converted.data(), pitch, none, nullptr, gr::SurfaceFormat(gr::SurfaceFormat::SURFACE_A8B8G8R8), words.data(),
			size * 4, none, nullptr, size, size);
		img->blt(0, 0, converted.data(), pitch, 0, size, size, own);
		return img;
	}

	/** The pixel at (x, y) from the top, as 0xAABBGGRR. */
	uint32_t pixel(int x, int y)
	{
		m_context->flush();
		typedef void (*ReadPixels)(int, int, int, int, unsigned, unsigned, void*);
		const ReadPixels readPixels = reinterpret_cast<ReadPixels>(eglGetProcAddress("glReadPixels"));
		uint32_t word = 0;
		readPixels(x, HEIGHT - 1 - y, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, &word);
		return word;
	}

	void SetUp() override
	{
		start(WIDTH, HEIGHT);
		m_sheet = new game::SpriteSheet(solid(16, 0xFFFFFFFFu));
		m_block = m_sheet->createSprite("block", 0, 0, 8, 8, 4, 4);
		m_red = solid(4, 0xFF0000FFu);
		m_blue = solid(4, 0xFFFF0000u);
		m_context->clear(0xFF000000, true, true, false);
	}
	void TearDown() override
	{
		m_sheet = nullptr;
		m_red = m_blue = nullptr;
	}

	/** A textured record at a physics position, doubled in size. */
	GameLua::RenderObjectData& object(const std::string& texture, gr::Image* image, float x, float y)
	{
		m_objects.emplace_back(new GameLua::RenderObjectData);
		GameLua::RenderObjectData& o = *m_objects.back();
		o.textureName = texture;
		o.textureImage = image;
		o.sprite = m_block;
		o.renderPose = {x, y, 0.f};
		o.scale = b2Vec2(2.f, 2.f);
		o.textureScale = 1.f;
		return o;
	}

	lang::Ptr<game::SpriteSheet> m_sheet;
	game::Sprite* m_block = nullptr;
	lang::Ptr<gr::Image> m_red, m_blue;
	std::vector<std::unique_ptr<GameLua::RenderObjectData>> m_objects;
};

TEST_F(TextureBatchTest, ObjectsWithoutTextureOrSpriteStayPlain)
{
	GameLua::RenderObjectData& untextured = object("wood", nullptr, 1.f, 1.f);
	GameLua::RenderObjectData& spriteless = object("wood", m_red, 1.f, 1.f);
	spriteless.sprite = nullptr;
	EXPECT_FALSE(lua()->addToTextureBatch(untextured));
	EXPECT_FALSE(lua()->addToTextureBatch(spriteless));
	EXPECT_TRUE(lua()->maskedImages().empty());
	// A textured object scaled to nothing is the batch's, and adds nothing to it.
	GameLua::RenderObjectData& flat = object("wood", m_red, 1.f, 1.f);
	flat.scale = b2Vec2(0.f, 2.f);
	EXPECT_TRUE(lua()->addToTextureBatch(flat));
	EXPECT_EQ(lua()->maskedImage("wood").quads(), 0);
}

// Positions are in physics units at 20 pixels each; the object's scale joins the render state's
// (the world scale): an 8-pixel block at (3, 2) of scale 2 covers 52..68 x 32..48.
TEST_F(TextureBatchTest, BatchesDrawInTextureNameOrderWhereTheObjectsAre)
{
	gr::RenderState2D& rs = m_context->getRenderState2D();
	// As the object pass does: each object starts from the world transform.
	auto add = [&](GameLua::RenderObjectData& o) {
		rs.reset();
		return lua()->addToTextureBatch(o);
	};
	// Added wood first, but "stone" sorts first, so wood ends on top.
	EXPECT_TRUE(add(object("wood", m_red, 3.f, 2.f)));
	EXPECT_TRUE(add(object("stone", m_blue, 3.f, 2.f)));
	EXPECT_TRUE(add(object("stone", m_blue, 4.f, 2.f)));
	ASSERT_EQ(lua()->maskedImages().size(), 2u);
	EXPECT_EQ(lua()->maskedImage("stone").quads(), 2);
	lua()->renderTextureBatches();
	rs.reset();
	EXPECT_EQ(lua()->maskedImage("stone").quads(), 0);
	EXPECT_EQ(lua()->maskedImage("wood").quads(), 0);

	EXPECT_EQ(pixel(60, 40), 0xFF0000FFu);
	EXPECT_EQ(pixel(53, 33), 0xFF0000FFu);
	EXPECT_EQ(pixel(72, 40), 0xFFFF0000u);
	EXPECT_EQ(pixel(50, 40), 0xFF000000u);
	EXPECT_EQ(pixel(60, 30), 0xFF000000u);
	// Nothing added since: drawing the batches again draws nothing.
	m_context->clear(0xFF000000, true, true, false);
	lua()->renderTextureBatches();
	EXPECT_EQ(pixel(60, 40), 0xFF000000u);
}
}
