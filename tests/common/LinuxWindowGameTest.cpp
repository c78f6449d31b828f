#include "GameFixture.h"
#include "HostServices.h"
#include <framework/linux/LinuxHost.h>
#include <io/ByteArrayInputStream.h>
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

// The game in a window (SDL's offscreen driver): the back key reaches the
// scripts, which ask to quit; the host ends the run and the game saves.
TEST(LinuxWindowGame, TheBackKeyQuitsThroughTheScriptsAndTheGameSaves)
{
	ScratchDir dir;
	framework::LinuxHost::Options o;
	o.dataRoot = TEST_BUNDLE;
	o.userRoot = dir.path();
	o.window = true;
	addPlatformServices(o);
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
	host.tick();
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
std::array<int, 3> pixelAt(int x, int y)
{
	unsigned char rgba[4] = {};
	glReadPixels(x, 640 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
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

	void start()
	{
		framework::LinuxHost::Options o;
		o.dataRoot = ENGINE_BINARY_DIR "/demo";
		o.userRoot = m_dir.path();
		o.window = true;
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
	// The panel is dark blue.
	EXPECT_GT(lost[2], lost[0] + 40);
	EXPECT_LT(lost[0], 90);
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

