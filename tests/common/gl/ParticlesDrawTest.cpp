// Particle passes drawn through the game object: the background and foreground layers in world
// space under the camera, and the menu layer in screen space.
#include "GameGLFixture.h"
#include <math/RandomUtil.h>

namespace
{
const uint32_t SQUARE = 0xFFE03020, CROSS = 0xFF30E040, FRAME = 0xFF4060F0, GREY = 0xFF202020;

class GLT(ParticlesDraw) : public GLT(GameGL)
{
protected:
	void SetUp() override
	{
		GLT(GameGL)::SetUp();
		// Three 8 x 8 sprites with the pivot in the middle: a red square, a green cross, a blue frame.
		qf3d::Bitmap image(32, 8);
		paint(image, 0, 0, 8, 8, SQUARE);
		paint(image, 11, 0, 2, 8, CROSS);
		paint(image, 8, 3, 8, 2, CROSS);
		paint(image, 16, 0, 8, 8, FRAME);
		paint(image, 17, 1, 6, 6, 0);
		write("particles.png", qf3d::encodePng(image));
		write("particles.sheet", qf3d::encodeSheet({"particles.png",
			{{"square", 0, 0, 8, 8, 4, 4}, {"cross", 8, 0, 8, 8, 4, 4}, {"frame", 16, 0, 8, 8, 4, 4}}}));
		resources().createSpriteSheet("particles.sheet", false);
		startGame();
		run("setBGColor(32, 32, 32) enableInGameParticlesNative(true)");
	}
};
}

TEST_F(GLT(ParticlesDraw), BurstAfterResetInWorldAndMenuSpace)
{
	run("particleTable = { particles = {\n"
		"  behind = { sprites = { 'frame' }, background = true, lifeTime = 4, minVel = 20, maxVel = 60,\n"
		"    minAngleEmitter = 0, maxAngleEmitter = 360, minScaleBegin = 1.5, maxScaleBegin = 2, minScaleEnd = 1,\n"
		"    maxScaleEnd = 1 },\n"
		"  sparks = { sprites = { 'square', 'cross' }, lifeTime = 4, minVel = 40, maxVel = 80, minAngleEmitter = 180,\n"
		"    maxAngleEmitter = 360, minAngle = 0, maxAngle = 90, minAngleVel = -1, maxAngleVel = 1,\n"
		"    minScaleBegin = 0.5, maxScaleBegin = 1.5, minScaleEnd = 0.5, maxScaleEnd = 0.5, gravityY = 40 },\n"
		"} }\n");
	math::RandomUtil::reset();
	run("_G.particles.addParticles('behind', 6, 100, 120, 40, 20, 0)\n"
		"_G.particles.addParticles('sparks', 20, 100, 120, 60, 20, 0.5)\n");
	for (int i = 0; i < 30; ++i)
		m_game->particles().update(1.f / 60.f, true, m_context);
	// Seen from (20, 40) at a zoom of 1.25; then the foreground again as menu particles at half
	// their scale, moved right by the translation they find.
	const gltest::RGBAImage burst = frame("setTopLeft(20, 40) setWorldScale(1.25)\n"
										  "drawParticlesNative() setMenuParticlesScale(0.5)\n"
										  "drawMenuParticlesNative()");
	EXPECT_TRUE(gltest::matchesGolden("particles-burst", burst));
	// Only the foreground pass ran: no frame sprite is anywhere.
	for (size_t i = 0; i < burst.pixels.size() / 4; ++i)
		ASSERT_NE(captured(FRAME), burst.at(int(i % WIDTH), int(i / WIDTH)));
	// The object pass draws the background layer first and the foreground after its last level.
	const gltest::RGBAImage both = frame("drawGameNative(200)");
	EXPECT_TRUE(gltest::matchesGolden("particles-burst-layers", both));
}

TEST_F(GLT(ParticlesDraw), ParticlesLandOnTheirPointUnderCameraAndScale)
{
	run("particleTable = { particles = {\n"
		"  big = { sprites = { 'square' }, lifeTime = 9, minScaleBegin = 2, maxScaleBegin = 2, minScaleEnd = 2,\n"
		"    maxScaleEnd = 2 },\n"
		"} }\n"
		"_G.particles.addParticles('big', 1, 80, 60, 0, 0, 0)\n"
		"setMenuParticlesScale(0.5)\n");
	const struct
	{
		const char* draw;
		int x, y; // where the particle's point lands
		int half; // half the drawn size
	} cases[] = {
		{"setTopLeft(0, 0) setWorldScale(1) drawParticlesNative()", 80, 60, 8},
		{"setTopLeft(40, 20) setWorldScale(1) drawParticlesNative()", 40, 40, 8},
		{"setTopLeft(40, 20) setWorldScale(2) drawParticlesNative()", 80, 80, 16},
		{"enableInGameParticlesNative(false) drawParticlesNative()", -100, -100, 0},
		{"drawMenuParticlesNative()", 80, 60, 4}, // menus ignore the camera; 2 x 0.5
	};
	for (const auto& c : cases)
	{
		const gltest::RGBAImage f = frame(c.draw);
		if (c.half == 0)
		{
			EXPECT_EQ(captured(GREY), f.at(80, 60)) << c.draw;
			continue;
		}
		// Two pixels in from each edge and two out: filtering may blend the border pixels.
		EXPECT_EQ(captured(SQUARE), f.at(c.x - c.half + 2, c.y - c.half + 2)) << c.draw;
		EXPECT_EQ(captured(SQUARE), f.at(c.x + c.half - 3, c.y + c.half - 3)) << c.draw;
		EXPECT_EQ(captured(GREY), f.at(c.x + c.half + 2, c.y)) << c.draw;
		EXPECT_EQ(captured(GREY), f.at(c.x, c.y - c.half - 3)) << c.draw;
		EXPECT_EQ(captured(GREY), f.at(c.x - c.half - 3, c.y + c.half + 2)) << c.draw;
	}
}
