#include "GameFixture.h"
#include <framework/linux/LinuxHost.h>
#include <io/ByteArrayInputStream.h>
#include <SDL.h>

namespace
{
GameLua* gameLua()
{
	return static_cast<GameApp*>(framework::App::get())->gameLua();
}

void pushKey(SDL_Keycode key, bool down)
{
	SDL_Event e = {};
	e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
	e.key.keysym.sym = key;
	SDL_PushEvent(&e);
}
}

// The game in a window (SDL's offscreen driver): the back key reaches the
// scripts, which ask to quit; the host ends the run and the game saves.
TEST(LinuxWindowGame, TheBackKeyQuitsThroughTheScriptsAndTheGameSaves)
{
	ScratchDir dir;
	framework::LinuxHost::Options o;
	o.dataRoot = TEST_BUNDLE;
	o.userRoot = dir.path();
	o.window = true;
	framework::LinuxHost host(o);
	EXPECT_TRUE(gameLua()->getBoolean("g_mouseAvailable"));
	const std::string code = "update = function() if keyPressed.KEY_BACK then requestExit() end end";
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	gameLua()->getState()->compile(in, "back", gameLua());
	host.tick();
	EXPECT_FALSE(host.stopping());
	pushKey(SDLK_ESCAPE, true);
	EXPECT_EQ(0, host.run(0));
	EXPECT_FALSE(framework::App::initialized());
	EXPECT_TRUE(GameTest::exists(dir.path() + "/settings.lua"));
	EXPECT_TRUE(GameTest::exists(dir.path() + "/highscores.lua"));
}

namespace
{
void pushMouseButton(bool down, int x, int y)
{
	SDL_Event e = {};
	e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
	e.button.button = SDL_BUTTON_LEFT;
	e.button.x = x;
	e.button.y = y;
	SDL_PushEvent(&e);
}

unsigned bgColor()
{
	return gameLua()->getBGColor();
}
}

// The demo bundle: while the button is held the sky follows the cursor; the back key leaves.
TEST(LinuxWindowGame, TheDemoSkyFollowsTheHeldButtonAndTheBackKeyLeaves)
{
	ScratchDir dir;
	framework::LinuxHost::Options o;
	o.dataRoot = ENGINE_BINARY_DIR "/demo";
	o.userRoot = dir.path();
	// The store and notification state of the run stays in the scratch folder.
	setenv("XDG_CONFIG_HOME", (dir.path() + "/config").c_str(), 1);
	setenv("XDG_STATE_HOME", (dir.path() + "/state").c_str(), 1);
	o.window = true;
	framework::LinuxHost host(o);
	host.tick();
	// The demo's intro video stops the loop until it has ended.
	for (int i = 0; i < 100 && !host.isUpdating(); ++i)
		host.tick();
	ASSERT_TRUE(host.isUpdating());
	const unsigned sky = bgColor();
	pushMouseButton(true, 480, 160);
	host.tick();
	EXPECT_EQ(127u << 16 | 63u << 8 | 128u, bgColor());
	pushMouseButton(false, 480, 160);
	host.tick();
	// Released: the sky stays where the cursor left it.
	EXPECT_NE(sky, bgColor());
	EXPECT_EQ(127u << 16 | 63u << 8 | 128u, bgColor());
	pushKey(SDLK_AC_BACK, true);
	host.tick();
	EXPECT_TRUE(host.stopping());
	EXPECT_EQ(0, host.run(0));
}
