// The stand-in game object hands the scripts' platform calls to the OS interface it was given.
#include "GameGLFixture.h"

TEST_F(GLT(GameGL), StandInAnswersPlatformCallsFromItsOS)
{
	startGame();
	run("full = isInFullScreenMode() captured = captureMouse(true) held = isMouseCaptured()"
		" setFullScreenMode(false) setResolution(640, 480) setGameOn(true)");
	EXPECT_TRUE(m_game->getBoolean("full"));
	EXPECT_TRUE(m_game->getBoolean("captured"));
	EXPECT_FALSE(m_game->getBoolean("held"));
}
