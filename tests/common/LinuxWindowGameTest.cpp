#include "GameFixture.h"
#include "HostServices.h"
#include <framework/linux/LinuxHost.h>
#include <io/ByteArrayInputStream.h>
#include <pf/WebView.h>
#include <SDL.h>
#include <GLES2/gl2.h>
#include <array>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

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

namespace
{
/** The test bundle's game in a window, with the platform's services, saving in dir. */
framework::LinuxHost::Options windowOptions(const ScratchDir& dir)
{
	framework::LinuxHost::Options o;
	o.dataRoot = TEST_BUNDLE;
	o.userRoot = dir.path();
	o.window = true;
	addPlatformServices(o);
	return o;
}
}

// The game in a window (SDL's offscreen driver): the back key reaches the
// scripts, which ask to quit; the host ends the run and the game saves.
TEST(LinuxWindowGame, TheBackKeyQuitsThroughTheScriptsAndTheGameSaves)
{
	ScratchDir dir;
	framework::LinuxHost host(windowOptions(dir));
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

// Web pages lie over the game's surface: in a window letterboxed to keep the game's shape they
// are placed from the surface's corner, below the bar, not from the window's.
TEST(LinuxWindowGame, WebPagesArePlacedOverTheGamesSurfaceInALetterbox)
{
	ScratchDir dir;
	framework::LinuxHost host(windowOptions(dir));
	SDL_Window* window = host.view()->window();
	SDL_SetWindowSize(window, 450, 700);
	SDL_Event e = {};
	e.type = SDL_WINDOWEVENT;
	e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
	e.window.windowID = host.view()->windowID();
	SDL_PushEvent(&e);
	host.tick();
	host.tick();
	ASSERT_EQ(200, host.view()->surfaceTop());
	int wx = 0, wy = 0, x = -1, y = -1;
	SDL_GetWindowPosition(window, &wx, &wy);
	ASSERT_TRUE(pf::WebView::locateWindow(x, y));
	EXPECT_EQ(wx, x);
	EXPECT_EQ(wy + 200, y);
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

void pushMotion(int x, int y)
{
	SDL_Event e = {};
	e.type = SDL_MOUSEMOTION;
	e.motion.x = x;
	e.motion.y = y;
	e.motion.state = SDL_BUTTON_LMASK;
	SDL_PushEvent(&e);
}

unsigned bgColor()
{
	return gameLua()->getBGColor();
}
}

// The demo bundle: a held button leaves the sky alone; the back key leaves.
TEST(LinuxWindowGame, TheDemoSkyStaysWhileTheButtonIsHeldAndTheBackKeyLeaves)
{
	ScratchDir dir;
	framework::LinuxHost::Options o;
	o.dataRoot = ENGINE_BINARY_DIR "/demo";
	o.userRoot = dir.path();
	// The store and notification state of the run stays in the scratch folder.
	setenv("XDG_CONFIG_HOME", (dir.path() + "/config").c_str(), 1);
	setenv("XDG_STATE_HOME", (dir.path() + "/state").c_str(), 1);
	o.window = true;
	addPlatformServices(o);
	framework::LinuxHost host(o);
	host.tick();
	// The demo's intro video stops the loop until it has ended.
	for (int i = 0; i < 100 && !host.isUpdating(); ++i)
		host.tick();
	ASSERT_TRUE(host.isUpdating());
	const unsigned sky = bgColor();
	pushMouseButton(true, 480, 160);
	host.tick();
	pushMotion(200, 400);
	host.tick();
	EXPECT_EQ(sky, bgColor());
	pushMouseButton(false, 200, 400);
	host.tick();
	EXPECT_EQ(sky, bgColor());
	pushKey(SDLK_AC_BACK, true);
	// Presses and releases end a frame's input: the key may come a frame or two later.
	for (int i = 0; i < 10 && !host.stopping(); ++i)
		host.tick();
	EXPECT_EQ(sky, bgColor());
	EXPECT_TRUE(host.stopping());
	EXPECT_EQ(0, host.run(0));
}

namespace
{
// Everything written to stdout (the scripts' print) while it lives, read through a pipe.
class StdoutTap
{
public:
	StdoutTap()
	{
		std::fflush(stdout);
		if (pipe(m_fds) != 0)
			throw std::runtime_error("no pipe");
		// Room for a whole frame's lines: the pipe is read between frames.
		fcntl(m_fds[1], F_SETPIPE_SZ, 1 << 20);
		fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
		m_saved = dup(1);
		dup2(m_fds[1], 1);
	}
	~StdoutTap()
	{
		drain();
		dup2(m_saved, 1);
		close(m_saved);
		close(m_fds[0]);
		close(m_fds[1]);
	}
	void drain()
	{
		std::fflush(stdout);
		char buf[4096];
		for (ssize_t n; (n = read(m_fds[0], buf, sizeof(buf))) > 0; )
			m_text.append(buf, static_cast<size_t>(n));
	}
	const std::string& text()
	{
		drain();
		return m_text;
	}
	/** The lines starting with prefix, in order, without the prefix. */
	std::vector<std::string> lines(const std::string& prefix)
	{
		std::vector<std::string> found;
		std::istringstream in(text());
		for (std::string line; std::getline(in, line); )
			if (line.compare(0, prefix.size(), prefix) == 0)
				found.push_back(line.substr(prefix.size()));
		return found;
	}

private:
	int m_fds[2];
	int m_saved;
	std::string m_text;
};

/** Runs script text in the game table. */
void script(const std::string& code)
{
	io::ByteArrayInputStream in(code.data(), static_cast<int>(code.size()));
	gameLua()->getState()->compile(in, "test", gameLua());
}

/** The level's objects, sorted by name, with their positions (to a tenth: the restarted level may have taken a step or two). */
std::string levelState()
{
	script("local parts, names = {}, {}\n"
		"for name in _G.pairs(objects.world) do names[#names + 1] = name end\n"
		"_G.table.sort(names)\n"
		"for _, name in _G.ipairs(names) do local o = objects.world[name]\n"
		"  parts[#parts + 1] = _G.string.format('%s %.1f %.1f', name, o.x, o.y) end\n"
		"testLevelState = #names .. ' objects\\n' .. _G.table.concat(parts, '\\n')");
	return gameLua()->getString("testLevelState");
}

/** The colour of the window's pixel at (x, y) counted from the top, as the last frame left it. */
std::array<int, 3> pixelAt(int x, int y, int windowHeight = 640)
{
	unsigned char rgba[4] = {};
	glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
	return {rgba[0], rgba[1], rgba[2]};
}

std::pair<int, int> parsePair(const std::string& text)
{
	int a = 0, b = 0;
	EXPECT_EQ(2, std::sscanf(text.c_str(), "%d,%d", &a, &b)) << text;
	return {a, b};
}

/**
 * The demo in a window, played by injected mouse events. Its clock moves by the frames' own
 * pacing, so the game runs as fast as frames are drawn; waits are bounded in real time.
 */
class DemoPlay : public ::testing::Test
{
protected:
	ScratchDir m_dir;
	int64_t m_now = 0;
	std::unique_ptr<StdoutTap> m_tap;
	std::unique_ptr<framework::LinuxHost> m_host;

	DemoPlay()
	{
		setenv("XDG_CONFIG_HOME", (m_dir.path() + "/config").c_str(), 1);
		setenv("XDG_STATE_HOME", (m_dir.path() + "/state").c_str(), 1);
		unsetenv("DEMO_TOUR");
		unsetenv("DEMO_HELP");
		// The hits are told on "physics:" lines, which a player sees only with this switch.
		setenv("DEMO_PHYSICS", "1", 1);
		m_tap.reset(new StdoutTap);
	}
	~DemoPlay() override
	{
		m_host.reset();
		const std::string text = m_tap->text();
		m_tap.reset();
		if (HasFailure())
			std::printf("%s", text.c_str());
	}

	void start(int width = 960, int height = 640)
	{
		framework::LinuxHost::Options o;
		o.dataRoot = ENGINE_BINARY_DIR "/demo";
		o.userRoot = m_dir.path();
		o.window = true;
		o.width = width;
		o.height = height;
		o.clock = [this] { return m_now; };
		o.sleep = [this](int64_t micros) { m_now += micros; };
		addPlatformServices(o);
		m_host.reset(new framework::LinuxHost(o));
	}

	void stop() { m_host.reset(); }

	/** Ticks until done() holds, for at most the given real seconds. */
	bool stepUntil(const std::function<bool()>& done, double seconds = 30)
	{
		const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
		while (!done())
		{
			if (std::chrono::steady_clock::now() > end || !m_host->tick())
				return false;
		}
		return true;
	}

	/** Ticks until a line starting with prefix has been printed count times; returns the last one's rest. */
	std::string waitFor(const std::string& prefix, size_t count = 1)
	{
		std::string rest;
		const bool seen = stepUntil([&] {
			const std::vector<std::string> found = m_tap->lines(prefix);
			if (found.size() < count)
				return false;
			rest = found[count - 1];
			return true;
		});
		EXPECT_TRUE(seen) << "no line " << prefix << " (" << count << ")";
		return rest;
	}

	/** Game seconds pass (the clock moves a sixtieth per frame). */
	void play(double seconds)
	{
		const int64_t until = m_now + static_cast<int64_t>(seconds * 1e6);
		EXPECT_TRUE(stepUntil([&] { return m_now >= until; }));
	}

	void pointFrom(int x, int y, int toX, int toY)
	{
		pushMouseButton(true, x, y);
		m_host->tick();
		pushMotion((x + toX) / 2, (y + toY) / 2);
		m_host->tick();
		pushMotion(toX, toY);
		m_host->tick();
		pushMouseButton(false, toX, toY);
		m_host->tick();
	}

	/** Once the shot on the tower has been spent: the next one, lobbed onto the target behind it. */
	void lobOverTheTower()
	{
		const std::pair<int, int> at = parsePair(m_tap->lines("demo: shot ready at ").back());
		pointFrom(at.first, at.second, at.first - 21, at.second + 33);
	}

	float number(const std::string& expression)
	{
		script("testNumber = " + expression);
		return gameLua()->getNumber("testNumber");
	}

	/** Where a point of the level (level units) is in the window, through the scene's camera. */
	std::pair<float, float> onScreen(float x, float y)
	{
		const GameLua* game = gameLua();
		return {(x * 20.f - game->cameraX()) * game->worldScale(), (y * 20.f - game->cameraY()) * game->worldScale()};
	}

	/** Where an object of the level is in the window. */
	std::pair<float, float> objectOnScreen(const std::string& name)
	{
		return onScreen(number("objects.world." + name + ".x"), number("objects.world." + name + ".y"));
	}
};

}

// Pulling the shot back and letting go launches it away from the pull; a hit on a
// target scores, and the best score is still there when the engine starts again.
TEST_F(DemoPlay, APullLaunchesAwayFromThePullAndHitsScore)
{
	start();
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	const float restX = number("objects.world.shot.x");
	// Back and down: the launch goes forward and up, onto the target on the tower.
	pointFrom(shot.first, shot.second, shot.first - 43, shot.second + 16);
	float vx = 0, vy = 0;
	const std::string launch = waitFor("demo: launch ");
	ASSERT_EQ(2, std::sscanf(launch.c_str(), "%f,%f", &vx, &vy)) << launch;
	EXPECT_GT(vx, 0.f);
	EXPECT_LT(vy, 0.f);
	EXPECT_TRUE(stepUntil([&] { return number("objects.world.shot and objects.world.shot.x or 0") > restX + 5; }));
	EXPECT_TRUE(stepUntil([&] { return !m_tap->lines("physics: hit shot target_").empty(); }));
	const std::string score = waitFor("demo: score ");
	EXPECT_GT(std::atoi(score.c_str()), 0);
	// The second shot, a lob over the tower, takes the other target.
	waitFor("demo: shot ready at ", 2);
	lobOverTheTower();
	waitFor("demo: level won");
	int best = 0;
	for (const std::string& s : m_tap->lines("demo: score "))
		best = std::max(best, std::atoi(s.c_str()));
	ASSERT_GT(best, 0);
	stop();
	start();
	EXPECT_EQ(best, static_cast<int>(number("highscores.level1")));
	// Signed in again, the leaderboard gets it.
	const std::string signedIn = waitFor("demo: signed in as ", 2);
	EXPECT_EQ(", posting " + std::to_string(best), signedIn.substr(signedIn.rfind(", posting ")));
}

// A release close to the rest point puts the shot back; a press away from it holds nothing;
// a press on the help button opens the help page.
TEST_F(DemoPlay, ADeadZoneReleaseOrAPressAwayLaunchesNothing)
{
	start();
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	const float restX = number("objects.world.shot.x");
	const float restY = number("objects.world.shot.y");
	pointFrom(shot.first, shot.second, shot.first - 5, shot.second + 5);
	pointFrom(shot.first + 200, shot.second - 200, shot.first + 100, shot.second - 150);
	// Taps beside the shot, within its reach.
	for (int dx : {12, 20, -20})
		pointFrom(shot.first + dx, shot.second + 4, shot.first + dx, shot.second + 4);
	// Pulled out, then back into the dead zone and let go: the stream goes with the pull.
	pushMouseButton(true, shot.first, shot.second);
	m_host->tick();
	pushMotion(shot.first - 40, shot.second + 10);
	m_host->tick();
	m_host->tick();
	EXPECT_FALSE(gameLua()->aimStream().particles().empty());
	pushMotion(shot.first - 3, shot.second + 2);
	m_host->tick();
	pushMouseButton(false, shot.first - 3, shot.second + 2);
	m_host->tick();
	m_host->tick();
	EXPECT_TRUE(gameLua()->aimStream().particles().empty());
	// The help button opens the help page (a stand-in web view here: no display).
	script("testHelp = {page = \"\", shown = false} _G.WebView = {new = function() return {setOnPageLoadedCallback = function() end,\n"
		"  loadLocalPage = function(self, page) testHelp.page = page end, show = function() testHelp.shown = true end,\n"
		"  allowCallsFromJavaScript = function() end} end}");
	play(0.5);
	EXPECT_EQ("", gameLua()->getTable("testHelp").getString("page"));
	pointFrom(920, 600, 920, 600);
	play(2);
	EXPECT_EQ("data_iphone/web/help.html", gameLua()->getTable("testHelp").getString("page"));
	EXPECT_TRUE(gameLua()->getTable("testHelp").getBoolean("shown"));
	script("_G.WebView = nil");
	EXPECT_TRUE(m_tap->lines("demo: launch ").empty());
	EXPECT_FLOAT_EQ(restX, number("objects.world.shot.x"));
	EXPECT_FLOAT_EQ(restY, number("objects.world.shot.y"));
	EXPECT_EQ(1u, m_tap->lines("demo: shot ready at ").size());
}

// A lost and a won level show their panel; a tap starts the level again as it first was.
TEST_F(DemoPlay, LostAndWonLevelsShowAPanelAndATapRestartsTheLevel)
{
	start();
	const std::string first = levelState();
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	// A point inside the panel that no text covers.
	const int panelX = 650, panelY = 370;
	const std::array<int, 3> playing = pixelAt(panelX, panelY);
	// Three shots backwards, into the wall behind the launcher: nothing is hit.
	for (size_t i = 1; i <= 3; ++i)
	{
		const std::pair<int, int> at = parsePair(waitFor("demo: shot ready at ", i));
		pointFrom(at.first, at.second, at.first + 40, at.second);
		waitFor("demo: launch ", i);
	}
	waitFor("demo: level lost");
	m_host->tick();
	const std::array<int, 3> lost = pixelAt(panelX, panelY);
	EXPECT_NE(playing, lost);
	// The panel is dark blue, and hides the game behind it.
	EXPECT_EQ((std::array<int, 3>{20, 30, 60}), lost);
	play(0.5);
	pointFrom(480, 320, 480, 320);
	waitFor("demo: level restarted");
	EXPECT_EQ(first, levelState());
	EXPECT_EQ(shot, parsePair(waitFor("demo: shot ready at ", 4)));
	m_host->tick();
	EXPECT_EQ(playing, pixelAt(panelX, panelY));

	// One shot onto the tower's target, a lob onto the other one: won.
	pointFrom(shot.first, shot.second, shot.first - 43, shot.second + 16);
	waitFor("demo: shot ready at ", 5);
	lobOverTheTower();
	waitFor("demo: level won");
	EXPECT_EQ(1.f, number("_G.res.isAudioPlaying('jingle') and 1 or 0"));
	m_host->tick();
	const std::array<int, 3> won = pixelAt(panelX, panelY);
	for (int c = 0; c < 3; ++c)
		EXPECT_NEAR(lost[c], won[c], 8) << c;
	play(0.5);
	pointFrom(480, 320, 480, 320);
	waitFor("demo: level restarted", 2);
	EXPECT_EQ(first, levelState());
	EXPECT_EQ(1u, m_tap->lines("demo: level lost").size());
	EXPECT_EQ(1u, m_tap->lines("demo: level won").size());
}


// Every window size shows the whole playfield, from the launcher to the far target, above the
// bottom edge, and the waiting shot where the demo says it is.
TEST_F(DemoPlay, EveryWindowSizeShowsThePlayfield)
{
	const std::pair<int, int> sizes[] = {{480, 320}, {800, 480}, {960, 640}, {1100, 700}, {1920, 1080}};
	size_t run = 0;
	for (const std::pair<int, int>& size : sizes)
	{
		SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
		start(size.first, size.second);
		const std::pair<int, int> said = parsePair(waitFor("demo: shot ready at ", ++run));
		const std::pair<float, float> shot = objectOnScreen("shot");
		EXPECT_NEAR(shot.first, said.first, 1);
		EXPECT_NEAR(shot.second, said.second, 1);
		// The launcher's far corner, the far target's, the tower's top and the ground line.
		const std::pair<float, float> corners[] = {onScreen(-41, 26), onScreen(25.5f, 29), onScreen(17.5f, 24),
			onScreen(0, 29)};
		for (const std::pair<float, float>& p : corners)
		{
			EXPECT_GE(p.first, 0.f);
			EXPECT_LT(p.first, float(size.first));
			EXPECT_GE(p.second, 0.f);
			EXPECT_LT(p.second, float(size.second));
		}
		stop();
	}
}

// The same drag launches the same shot wherever on the shot the press began.
TEST_F(DemoPlay, ThePullCountsFromWhereThePressBegan)
{
	start();
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	pointFrom(shot.first, shot.second, shot.first + 40, shot.second);
	const std::string fromTheCentre = waitFor("demo: launch ");
	waitFor("demo: shot ready at ", 2);
	pointFrom(shot.first - 10, shot.second + 5, shot.first + 30, shot.second + 5);
	EXPECT_EQ(fromTheCentre, waitFor("demo: launch ", 2));
}

// While the shot is pulled the stream runs to where it lands; in flight the camera keeps the
// shot in view, and it comes back for the next one.
TEST_F(DemoPlay, TheStreamEndsWhereTheShotLandsAndTheCameraFollowsTheShot)
{
	start();
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	pushMouseButton(true, shot.first, shot.second);
	m_host->tick();
	pushMotion(shot.first - 43, shot.second + 16);
	m_host->tick();
	m_host->tick();
	ASSERT_TRUE(gameLua()->aimStream().isStreamReady());
	const math::float2 end = gameLua()->aimStream().points().back();
	pushMouseButton(false, shot.first - 43, shot.second + 16);
	m_host->tick();
	ASSERT_TRUE(stepUntil([&] { return !m_tap->lines("physics: hit shot ").empty(); }));
	const float x = number("objects.world.shot.x"), y = number("objects.world.shot.y");
	EXPECT_NEAR(end.x, x, 1.5f) << m_tap->lines("physics: hit shot ")[0];
	EXPECT_NEAR(end.y, y, 1.5f) << m_tap->lines("physics: hit shot ")[0];

	// A long, high shot into the right wall.
	waitFor("demo: shot ready at ", 2);
	pointFrom(shot.first, shot.second, shot.first - 60, shot.second + 40);
	waitFor("demo: launch ", 2);
	float farthest = 0;
	const bool spent = stepUntil([&] {
		if (number("play.state == 'flying' and 1 or 0") == 0.f)
			return true;
		const std::pair<float, float> at = objectOnScreen("shot_2");
		EXPECT_TRUE(at.first >= 0 && at.first < 960 && at.second >= 0 && at.second < 640) << at.first << "," << at.second;
		farthest = std::max(farthest, number("objects.world.shot_2.x"));
		return false;
	});
	EXPECT_TRUE(spent);
	waitFor("demo: shot ready at ", 3);
	EXPECT_GT(farthest, 40.f);
	EXPECT_EQ(shot, parsePair(m_tap->lines("demo: shot ready at ").back()));
}

// What the shot can hit has a picture: the objects' sprites, the slope and spring as bands
// and the gravity field's dots (seen zoomed out, so the slope is in the window too).
TEST_F(DemoPlay, WhatTheShotCanHitIsDrawn)
{
	start();
	waitFor("demo: shot ready at ");
	for (const char* name : {"piece", "blade", "hub", "spring_top", "bob", "wall_left", "wall_right", "launcher",
			 "target_1", "target_2", "tower_3_1", "shot"})
	{
		const GameLua::RenderObjectData* o = gameLua()->findObject(name);
		ASSERT_NE(nullptr, o) << name;
		bool pictured = o->sprite || (o->compound && o->compoSprite);
		for (size_t i = 0; i < o->pieceSprites.size(); ++i)
			pictured = pictured || o->pieceSprites[i] || o->pieceCompoSprites[i];
		EXPECT_TRUE(pictured) << name;
	}
	SDL_Event wheel = {};
	wheel.type = SDL_MOUSEWHEEL;
	wheel.wheel.y = -4;
	SDL_PushEvent(&wheel);
	play(3);
	const std::pair<float, float> slope = onScreen(36, 26), spring = onScreen(-10, 6.5f);
	const std::array<int, 3> brown = pixelAt(int(slope.first), int(slope.second));
	EXPECT_TRUE(brown[0] > brown[1] && brown[1] > brown[2] && brown[0] > 90) << brown[0] << " " << brown[1] << " " << brown[2];
	const std::array<int, 3> grey = pixelAt(int(spring.first), int(spring.second));
	EXPECT_LT(std::abs(grey[2] - grey[0]), 40) << grey[0] << " " << grey[1] << " " << grey[2];
	// A purple dot somewhere round the field's centre.
	const std::pair<float, float> field = onScreen(-30, 22.7f);
	const int r = 30, x0 = int(field.first) - r, y0 = int(field.second) - r;
	std::vector<unsigned char> block(size_t(4 * 2 * r * 2 * r));
	glReadPixels(x0, 640 - (y0 + 2 * r), 2 * r, 2 * r, GL_RGBA, GL_UNSIGNED_BYTE, block.data());
	bool purple = false;
	for (size_t i = 0; i < block.size(); i += 4)
		purple = purple || (block[i + 2] > 200 && block[i] > 130 && block[i + 1] < 170 && block[i] > block[i + 1] + 20);
	EXPECT_TRUE(purple);
}

// No effect plays while nothing happens; a launch is heard, and so is a lost level.
TEST_F(DemoPlay, SoundsFollowThePlay)
{
	start();
	waitFor("demo: shot ready at ");
	const auto playing = [this](const char* name) {
		return number(std::string("_G.res.isAudioPlaying('") + name + "') and 1 or 0") != 0.f;
	};
	const int64_t until = m_now + 2000000;
	EXPECT_TRUE(stepUntil([&] {
		for (const char* name : {"pop", "hit", "break", "whoosh", "jingle", "lose"})
			EXPECT_FALSE(playing(name)) << name;
		return m_now >= until;
	}));
	EXPECT_TRUE(playing("music"));
	for (size_t i = 1; i <= 3; ++i)
	{
		const std::pair<int, int> at = parsePair(waitFor("demo: shot ready at ", i));
		pointFrom(at.first, at.second, at.first + 40, at.second);
		waitFor("demo: launch ", i);
		EXPECT_TRUE(playing("whoosh"));
	}
	waitFor("demo: level lost");
	EXPECT_TRUE(playing("lose"));
}

// The help page: made hidden at start, it opens over the middle of the game on the menu key,
// the help button or the first key press, and closes by its page call, the keys and the
// button; the back key closes it rather than quitting. A press on the game meanwhile does nothing.
TEST_F(DemoPlay, TheHelpPageOpensOverTheGameAndClosesByItsLinkTheKeysAndTheButton)
{
	start();
	// A stand-in web view (no display here), in place before the game's first frame.
	script("testHelp = {made = 0, shown = false}\n"
		"_G.WebView = {new = function(x, y, w, h) testHelp.made = testHelp.made + 1\n"
		"  testHelp.x, testHelp.y, testHelp.w, testHelp.h = x, y, w, h\n"
		"  return {setOnPageLoadedCallback = function() end, allowCallsFromJavaScript = function(self, ns) testHelp.ns = ns end,\n"
		"    loadLocalPage = function(self, page) testHelp.page = page end, show = function() testHelp.shown = true end,\n"
		"    hide = function() testHelp.shown = false end, delete = function() end} end}");
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	const auto page = [] { return gameLua()->getTable("testHelp"); };
	EXPECT_EQ(1, int(page().getNumber("made")));
	EXPECT_FALSE(page().getBoolean("shown"));
	EXPECT_EQ("data_iphone/web/help.html", page().getString("page"));
	// Over the middle of the window, not over all of it.
	EXPECT_GT(page().getNumber("x"), 0.f);
	EXPECT_GT(page().getNumber("y"), 0.f);
	EXPECT_LE(page().getNumber("x") * 2 + page().getNumber("w"), 961.f);

	const auto key = [this](SDL_Keycode k) {
		pushKey(k, true);
		m_host->tick();
		pushKey(k, false);
		m_host->tick();
	};
	key(SDLK_MENU);
	EXPECT_TRUE(page().getBoolean("shown"));
	pointFrom(shot.first, shot.second, shot.first - 43, shot.second + 16);
	// The page's close link makes this page call.
	script("_G.Demo.Web.close()");
	EXPECT_FALSE(page().getBoolean("shown"));
	pointFrom(920, 600, 920, 600);
	EXPECT_TRUE(page().getBoolean("shown"));
	key(SDLK_ESCAPE);
	EXPECT_FALSE(page().getBoolean("shown"));
	EXPECT_FALSE(m_host->stopping());
	key(SDLK_MENU);
	EXPECT_TRUE(page().getBoolean("shown"));
	pointFrom(920, 600, 920, 600);
	EXPECT_FALSE(page().getBoolean("shown"));
	EXPECT_EQ(3u, m_tap->lines("demo: help opened").size());
	EXPECT_EQ(3u, m_tap->lines("demo: help closed").size());
	EXPECT_TRUE(m_tap->lines("demo: launch ").empty());
	EXPECT_EQ(1, int(page().getNumber("made")));
	// Closed, the back key ends the game.
	key(SDLK_ESCAPE);
	EXPECT_TRUE(m_host->stopping());
	script("_G.WebView = nil");
}

// Without the switch a player's terminal shows no "physics:" lines; the title's sparkles stay
// on the title and its buttons, which led nowhere, are gone.
TEST_F(DemoPlay, APlayersTerminalAndTitleKeepToThePoint)
{
	unsetenv("DEMO_PHYSICS");
	start();
	// The intro video stops the loop until it has ended; then the title is up for 60 frames.
	ASSERT_TRUE(stepUntil([&] { return m_host->isUpdating(); }));
	for (int i = 0; i < 30; ++i)
		m_host->tick();
	// Where the title's "Play" button was drawn.
	const std::array<int, 3> button = pixelAt(60, 600);
	EXPECT_FALSE(button[0] > 200 && button[1] > 150 && button[2] < 90) << button[0] << " " << button[1] << " " << button[2];
	const std::pair<int, int> shot = parsePair(waitFor("demo: shot ready at "));
	play(1);
	size_t sparkles = 0;
	for (const Particles::ParticleData& p : gameLua()->particles().particles())
		sparkles += p.animationByLifeTime ? 1 : 0;
	EXPECT_EQ(0u, sparkles);
	pointFrom(shot.first, shot.second, shot.first - 43, shot.second + 16);
	waitFor("demo: shot ready at ", 2);
	EXPECT_FALSE(m_tap->lines("demo: score ").empty());
	EXPECT_TRUE(m_tap->lines("physics:").empty()) << m_tap->lines("physics:")[0];
}
