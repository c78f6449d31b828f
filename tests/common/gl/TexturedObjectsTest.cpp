// Material-textured objects drawn by the object pass through their texture batches.
#include "GameGLFixture.h"

namespace
{
const uint32_t MASK = 0xFFFFFFFF, PLAIN = 0xFF3060C0;

class GLT(TexturedObjects) : public GLT(GameGL)
{
protected:
	void SetUp() override
	{
		GLT(GameGL)::SetUp();
		// Masks: a 20-pixel block (one physics unit), a wedge, and a plain-coloured block.
		qf3d::Bitmap masks(64, 32);
		paint(masks, 0, 0, 20, 20, MASK);
		for (int y = 0; y < 20; ++y)
			paint(masks, 20 + y, y, 20 - y, 1, MASK);
		paint(masks, 40, 0, 20, 20, PLAIN);
		write("masks.png", qf3d::encodePng(masks));
		write("masks.sheet", qf3d::encodeSheet({"masks.png", {{"block", 0, 0, 20, 20, 10, 10}, {"wedge", 20, 0, 20, 20, 10, 10},
			{"plain", 40, 0, 20, 20, 10, 10}}}));
		// Materials of 16 x 16 that change along both axes, so a restarted pattern shows.
		qf3d::Bitmap wood(16, 16), stone(16, 16);
		for (int y = 0; y < 16; ++y)
			for (int x = 0; x < 16; ++x)
			{
				wood.at(x, y) = 0xFF000000u | uint32_t(0x60 + x * 8) << 16 | uint32_t(0x30 + y * 6) << 8 | 0x20;
				stone.at(x, y) = (x / 4 + y / 4) & 1 ? 0xFF909090u : 0xFF505860u;
			}
		write("wood.png", qf3d::encodePng(wood));
		write("wood.sheet", qf3d::encodeSheet({"wood.png", {{"wood", 0, 0, 16, 16, 0, 0}}}));
		write("stone.png", qf3d::encodePng(stone));
		write("stone.sheet", qf3d::encodeSheet({"stone.png", {{"stone", 0, 0, 16, 16, 0, 0}}}));
		for (const char* sheet : {"masks.sheet", "wood.sheet", "stone.sheet"})
			resources().createSpriteSheet(sheet, false);
		startGame();
	}
};

// Two wood blocks side by side join without a seam (the wood repeats every 16 pixels across the
// joint at x = 70); the stone wedge is cut to its outline; a plain block draws its own sprite;
// a texture scale of 0.5 repeats the picture every 8 pixels.
TEST_F(GLT(TexturedObjects), BlocksOfOneMaterialJoinAndMaterialsKeepToTheirObjects)
{
	run(R"(
createBox("a", "block", 3, 3, 1, 1, 0, 1, 0, true, false, 10)
createBox("b", "block", 4, 3, 1, 1, 0, 1, 0, true, false, 10)
createBox("c", "wedge", 6, 3, 1, 1, 0, 1, 0, true, false, 10)
createBox("d", "plain", 8, 3, 1, 1, 0, 1, 0, true, false, 10)
createBox("e", "block", 3, 6, 1, 1, 0, 1, 0, true, false, 20)
createBox("f", "block", 6, 6, 1, 1, 0, 1, 0, true, false, 20)
setRotation("f", 0.5)
setTexture("a", "wood"); setTexture("b", "wood"); setTexture("e", "wood"); setTexture("f", "wood")
setTexture("c", "stone")
setTextureScale("e", 0.5)
)");
	const gltest::RGBAImage img = frame("drawGameNative(100)");
	for (int y : {52, 60, 68})
		for (int x = 51; x + 16 < 90; ++x)
			EXPECT_EQ(img.at(x, y), img.at(x + 16, y)) << x << ", " << y;
	EXPECT_EQ(captured(0xFF000000), img.at(113, 67)); // below the wedge's diagonal
	EXPECT_NE(captured(0xFF000000), img.at(127, 53));
	EXPECT_EQ(captured(PLAIN), img.at(160, 60));
	EXPECT_TRUE(gltest::matchesGolden("textured-objects", img, 3));
}
}
