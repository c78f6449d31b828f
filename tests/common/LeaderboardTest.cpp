#include "GameFixture.h"
#include <io/detail/paths.h>
#include <lang/System.h>
#include <pf/Alert.h>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const CATALOGUE = R"({
  "leaderboards": [{"id": "best", "title": "Best"}, {"id": "time", "title": "Time"}],
  "achievements": [
    {"id": "first", "title": "First", "achievedDescription": "Did it first", "hidden": false},
    {"id": "secret", "title": "Secret", "achievedDescription": "Found it", "hidden": true}],
  "scores": [
    {"leaderboard": "best", "playerID": "G:1", "alias": "ann", "value": 500},
    {"leaderboard": "best", "playerID": "G:2", "alias": "bob", "value": 300},
    {"leaderboard": "best", "playerID": "G:3", "alias": "cy", "value": 100}]
})";

// Every callback the glue may call, recorded in order.
const char* const CALLBACKS = R"(
log = {}
local function rec(s) log[#log + 1] = s end
function enableGameCenter() rec("enable") end
function disableGameCenter() rec("disable") end
function hideLoadingInitGameCenter() rec("hideInit") end
function gameCenterAchievementsLoaded() rec("achievementsLoaded") end
function achievementRegisteredCallback(id) rec("registered:" .. id) end
function hideLoadingLeaderboards() rec("hideLeaderboards") end
function hideLoadingAchievements() rec("hideAchievements") end
function setIndicatorPositions() rec("indicators") end
function logText() local s = "" for i = 1, #log do s = s .. (i > 1 and "," or "") .. log[i] end return s end
)";

int64_t s_micros = 0;
int64_t fakeClock()
{
	return s_micros;
}
}

/** The game over a bundle with a leaderboard catalogue and a private state folder. */
class LeaderboardTest : public GameTest
{
protected:
	ScratchDir m_bundle;
	ScratchDir m_state;
	std::vector<std::pair<std::string, std::string>> m_alerts;

	LeaderboardTest()
	{
		EXPECT_EQ(0, symlink((std::string(TEST_BUNDLE) + "/data_iphone").c_str(), (m_bundle.path() + "/data_iphone").c_str()));
		writeCatalogue(CATALOGUE);
		io::detail::setBundlePath(m_bundle.path());
		setenv("XDG_STATE_HOME", m_state.path().c_str(), 1);
		GameCenter::setAlertFunction([this](const std::string& title, const std::string& message, std::function<void()> done) {
			m_alerts.emplace_back(title, message);
			done();
		});
	}
	~LeaderboardTest() override
	{
		stop();
		GameCenter::setAlertFunction(nullptr);
		unsetenv("XDG_STATE_HOME");
	}

	void writeCatalogue(const std::string& text)
	{
		std::ofstream(m_bundle.path() + "/gamecenter-catalogue.json") << text;
	}

	/** Starts the game with the callbacks defined and runs frames until the service is idle. */
	void startSignedIn()
	{
		start();
		run(CALLBACKS);
		settle();
	}
	void settle()
	{
		for (int i = 0; i < 20 && (i < 2 || app()->gameCenter()->hasPendingCompletions()); ++i)
			frame();
	}
	std::string log() { return eval("logText()"); }
};

TEST_F(LeaderboardTest, SignInFillsTheTablesAndKeepsThePlayer)
{
	startSignedIn();
	EXPECT_EQ("true", eval("gameCenterEnabled"));
	EXPECT_EQ("true", eval("gameCenterSupported"));
	const std::string player = eval("gameCenter.localPlayerID");
	EXPECT_EQ("G:", player.substr(0, 2));
	EXPECT_GT(player.size(), 2u);
	EXPECT_EQ(std::string::npos, player.find_first_not_of("0123456789", 2));
	EXPECT_FALSE(eval("gameCenter.localPlayerAlias").empty());
	EXPECT_EQ("enable,hideInit,achievementsLoaded", log());

	EXPECT_EQ("false", eval("gameCenter.leaderboards.loading"));
	EXPECT_EQ("Best", eval("gameCenter.leaderboards.best.title"));
	EXPECT_EQ("false", eval("gameCenter.leaderboards.best.posted"));
	// The top entry of each leaderboard is asked for; without a score of its own the player has rank and score 0.
	EXPECT_EQ("3", eval("gameCenter.leaderboards.best.range"));
	EXPECT_EQ("0", eval("gameCenter.leaderboards.best.localRank"));
	EXPECT_EQ("500", eval("gameCenter.leaderboards.best[1].score"));
	EXPECT_EQ("G:1", eval("gameCenter.leaderboards.best[1].playerID"));
	EXPECT_EQ("nil", eval("gameCenter.leaderboards.best[2]"));
	EXPECT_EQ("nil", eval("gameCenter.leaderboards.time.range")); // no entries: no answer
	EXPECT_EQ("Did it first", eval("gameCenter.achievements.first.achievedText"));
	EXPECT_EQ("false", eval("gameCenter.achievements.first.completed"));
	EXPECT_EQ("false", eval("gameCenter.achievements.loading"));

	startSignedIn();
	EXPECT_EQ(player, eval("gameCenter.localPlayerID"));
}

TEST_F(LeaderboardTest, ScoresKeepTheBestAndRankTiesByPostingOrder)
{
	startSignedIn();
	run("postHighscore('best', 300.9)");
	settle();
	EXPECT_EQ("true", eval("gameCenter.leaderboards.best.posted"));
	run("postHighscore('best', 200) getLeaderboardScoresForRange('best', 1, 10)");
	settle();
	EXPECT_EQ("4", eval("gameCenter.leaderboards.best.range"));
	EXPECT_EQ("3", eval("gameCenter.leaderboards.best.localRank"));
	EXPECT_EQ("300", eval("gameCenter.leaderboards.best.localScore"));
	EXPECT_EQ("G:2", eval("gameCenter.leaderboards.best[2].playerID")); // the preset 300 came first
	EXPECT_EQ("300", eval("gameCenter.leaderboards.best[3].score"));
	EXPECT_EQ("100", eval("gameCenter.leaderboards.best[4].score"));

	// A second answer overwrites the ranks it returns and leaves the others.
	run("getLeaderboardScoresForRange('best', 4, 1)");
	settle();
	EXPECT_EQ("G:2", eval("gameCenter.leaderboards.best[2].playerID"));

	// Not finite: not posted. Far too large: kept saturated, shown at the 32-bit end.
	run("gameCenter.leaderboards.time.posted = false postHighscore('time', 0/0)");
	settle();
	EXPECT_EQ("false", eval("gameCenter.leaderboards.time.posted"));
	run("postHighscore('best', 1e30) getLeaderboardScoresForRange('best', 1, 1)");
	settle();
	EXPECT_EQ("1", eval("gameCenter.leaderboards.best.localRank"));
	EXPECT_EQ("2147483648", eval("gameCenter.leaderboards.best[1].score")); // float of INT32_MAX

	// The best score survives a restart.
	startSignedIn();
	EXPECT_EQ("1", eval("gameCenter.leaderboards.best.localRank"));
}

TEST_F(LeaderboardTest, BadRangesAreNotAnswered)
{
	startSignedIn();
	for (const char* range : {"0, 1", "1, 0", "1, 101", "-5, 3"})
	{
		SCOPED_TRACE(range);
		run(std::string("gameCenter.leaderboards.best.range = nil getLeaderboardScoresForRange('best', ") + range + ")");
		settle();
		EXPECT_EQ("nil", eval("gameCenter.leaderboards.best.range"));
		EXPECT_EQ("true", eval("gameCenter.leaderboards.best.loading"));
	}
	run("getLeaderboardScoresForRange('best', 3, 100)");
	settle();
	EXPECT_EQ("3", eval("gameCenter.leaderboards.best.range"));
	run("getLeaderboardScoresForRange('missing', 1, 1)"); // no entry: nothing asked
	settle();
}

TEST_F(LeaderboardTest, AchievementsAreReportedOnceAndKept)
{
	startSignedIn();
	run("unlockAchievement('first', '') unlockAchievement('missing', '')");
	settle();
	EXPECT_EQ("enable,hideInit,achievementsLoaded,registered:first", log());
	EXPECT_EQ("true", eval("gameCenter.achievements.first.completed"));
	run("unlockAchievement('first', '')");
	settle();
	EXPECT_EQ("enable,hideInit,achievementsLoaded,registered:first", log());

	startSignedIn();
	EXPECT_EQ("true", eval("gameCenter.achievements.first.completed"));
	EXPECT_EQ("100", eval("gameCenter.achievements.first.percentComplete"));
	EXPECT_EQ("false", eval("gameCenter.achievements.secret.completed"));
}

TEST_F(LeaderboardTest, CompletionsRunInTheOrderAskedAndNeverInsideTheCall)
{
	startSignedIn();
	run("unlockAchievement('first', '') showLeaderboards() log[#log + 1] = 'returned'");
	EXPECT_EQ("enable,hideInit,achievementsLoaded,returned", log());
	settle();
	EXPECT_EQ("enable,hideInit,achievementsLoaded,returned,registered:first,hideLeaderboards", log());
	ASSERT_EQ(1u, m_alerts.size());
	EXPECT_EQ("Leaderboards", m_alerts[0].first);
	EXPECT_NE(std::string::npos, m_alerts[0].second.find("Best\n1. ann 500\n2. bob 300\n3. cy 100\n")) << m_alerts[0].second;
	run("showAchievements()");
	settle();
	ASSERT_EQ(2u, m_alerts.size());
	EXPECT_EQ("Achievements", m_alerts[1].first);
	EXPECT_NE(std::string::npos, m_alerts[1].second.find("First: Did it first 100%")) << m_alerts[1].second;
	EXPECT_EQ(std::string::npos, m_alerts[1].second.find("Secret")); // hidden until progressed
}

TEST_F(LeaderboardTest, WithoutSignInTheOperationsDoNothing)
{
	writeCatalogue(R"({"leaderboards": [{"id": "best", "title": "Best"}], "authError": 3})");
	start();
	run(CALLBACKS);
	run("gameCenterEnabled = true postHighscore('best', 5) unlockAchievement('first', '') showLeaderboards()");
	settle();
	EXPECT_EQ("", log());
	EXPECT_TRUE(m_alerts.empty()); // the start-up sign-in shows no dialog
	EXPECT_EQ("nil", eval("gameCenter"));
	// The scripts' sign-in reaches the service before any player exists, and shows its error.
	run("initGameCenter()");
	settle();
	ASSERT_EQ(1u, m_alerts.size());
}

TEST_F(LeaderboardTest, SignInErrorCodes)
{
	struct Case
	{
		int code;
		const char* log;
		const char* supported;
	};
	// The start-up sign-in and the scripts' one both fail.
	for (const Case& c : {Case{2, "", "true"}, Case{7, "", "true"}, Case{16, "disable,disable", "false"}})
	{
		SCOPED_TRACE(c.code);
		m_alerts.clear();
		writeCatalogue("{\"authError\": " + std::to_string(c.code) + "}");
		start();
		run(CALLBACKS);
		run("initGameCenter()");
		settle();
		EXPECT_EQ(c.log, log());
		EXPECT_EQ(c.supported, eval("gameCenterSupported"));
		EXPECT_TRUE(m_alerts.empty());
	}
}

TEST_F(LeaderboardTest, NoCatalogueMeansNoService)
{
	std::remove((m_bundle.path() + "/gamecenter-catalogue.json").c_str());
	start();
	EXPECT_FALSE(GameCenter::isGameCenterAvailable());
	EXPECT_EQ("false", eval("gameCenterSupported"));
	run(CALLBACKS);
	run("initGameCenter()");
	settle();
	EXPECT_EQ("", log());
}

TEST_F(LeaderboardTest, UnreadableStateFileIsKeptAside)
{
	const std::string state = GameCenter::stateFilePath();
	start();
	stop();
	std::ofstream(state) << "{ not json";
	startSignedIn();
	const std::vector<unsigned char> aside = readBytes(state + ".bad");
	EXPECT_EQ("{ not json", std::string(aside.begin(), aside.end()));
	EXPECT_TRUE(exists(state));
}

// The state belongs to the game, named by its folder, whatever the user folder is called; the file an
// earlier version kept under the user folder's name is still read, and copied to the game's place.
TEST_F(LeaderboardTest, StateIsKeptUnderTheGamesNameAndAnEarlierFileIsStillRead)
{
	auto lastPart = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
	const std::string state = m_state.path() + "/" + lastPart(m_bundle.path()) + "/gamecenter.json";
	const std::string earlier = m_state.path() + "/" + lastPart(m_dir.path()) + "/gamecenter.json";
	EXPECT_EQ(state, GameCenter::stateFilePath());
	EXPECT_EQ(earlier, GameCenter::legacyStateFilePath());

	ASSERT_EQ(0, mkdir((m_state.path() + "/" + lastPart(m_dir.path())).c_str(), 0700));
	const std::string text = R"({"playerID": "G:77", "scores": {"best": {"value": "400", "order": 0}}, "achievements": {}})";
	std::ofstream(earlier) << text;
	startSignedIn();
	EXPECT_EQ("G:77", eval("gameCenter.localPlayerID"));
	run("getLeaderboardScoresForRange('best', 1, 10)");
	settle();
	EXPECT_EQ("400", eval("gameCenter.leaderboards.best.localScore"));
	const std::vector<unsigned char> copied = readBytes(state);
	EXPECT_NE(std::string::npos, std::string(copied.begin(), copied.end()).find("G:77"));
	const std::vector<unsigned char> kept = readBytes(earlier);
	EXPECT_EQ(text, std::string(kept.begin(), kept.end()));

	// From now on the game's own file is the one read.
	run("postHighscore('best', 450)");
	settle();
	stop();
	startSignedIn();
	run("getLeaderboardScoresForRange('best', 1, 10)");
	settle();
	EXPECT_EQ("450", eval("gameCenter.leaderboards.best.localScore"));
}

TEST_F(LeaderboardTest, AnalyticsOperations)
{
	start();
	const size_t before = loggedEvents().size();
	run("params = {level = '3', stars = 2, nested = {a = 'b'}} logAnalyticsEventWithParams('won', 'params')"
		" logAnalyticsEventWithParams('plain', 'nothingHere') logAnalyticsEventWithParam('one', 'k', 'v') logAnalyticsEvent('bare')");
	const auto events = loggedEvents();
	ASSERT_EQ(before + 4, events.size());
	EXPECT_EQ("won", events[before].name());
	EXPECT_EQ((analytics::Analytics::Parameters{{"level", "3"}}), events[before].parameters());
	EXPECT_TRUE(events[before + 1].parameters().empty());
	EXPECT_EQ((analytics::Analytics::Parameters{{"k", "v"}}), events[before + 2].parameters());
	EXPECT_TRUE(events[before + 3].parameters().empty());

	s_micros = 1000000000;
	const lang::System::TimeSource old = lang::System::setTimeSource(&fakeClock);
	run("resetTimer()");
	for (const auto& c : {std::make_pair(1499, "1"), std::make_pair(1500, "2")})
	{
		s_micros = 1000000000 + c.first * 1000LL;
		run("logAnalyticsTimerEvent('span')");
		EXPECT_EQ((analytics::Analytics::Parameters{{"seconds", c.second}}), loggedEvents().back().parameters());
	}
	lang::System::setTimeSource(old);
}

// Any script number reaches an int saturated: infinity, NaN and numbers beyond the range.
TEST_F(LeaderboardTest, NonFiniteAndHugeScriptNumbersAreSaturated)
{
	startSignedIn();
	const struct
	{
		const char* value;
		const char* shown;
	} cases[] = {{"1/0", "2147483647"}, {"-1/0", "-2147483648"}, {"0/0", "0"}, {"1e300", "2147483647"},
		{"-1e300", "-2147483648"}, {"12.9", "12"}, {"-12.9", "-12"}};
	for (const auto& c : cases)
	{
		testing::internal::CaptureStdout();
		run(std::string("setStatFloat('speed', ") + c.value + ")");
		EXPECT_EQ(std::string("Setting stat speed ") + c.shown + "\n", testing::internal::GetCapturedStdout()) << c.value;
	}
	// A range of unbounded numbers is no range: nothing is asked.
	for (const char* range : {"1/0, 1", "1, 1/0", "-1/0, 5", "0/0, 0/0", "1e300, 1e300"})
	{
		SCOPED_TRACE(range);
		run(std::string("gameCenter.leaderboards.best.range = nil getLeaderboardScoresForRange('best', ") + range + ")");
		settle();
		EXPECT_EQ("nil", eval("gameCenter.leaderboards.best.range"));
	}
	run("setResolution(1/0, -1/0) setResolution(0/0, 1e300)");
}

// Without a dialog of the game's own the views and errors go through the host's dialog,
// and the frame loop rests while one is up.
TEST_F(LeaderboardTest, ViewsAndErrorsAreShownInTheHostsDialog)
{
	GameCenter::setAlertFunction(nullptr);
	struct Shown
	{
		std::string title, message;
		std::vector<std::string> buttons;
		bool updating;
	};
	std::vector<Shown> shown;
	pf::Alert::setPresenter([this, &shown](const std::string& title, const std::string& message, const std::vector<std::string>& buttons) {
		shown.push_back({title, message, buttons, m_os.updating});
		return 0;
	});
	struct Uninstall
	{
		~Uninstall() { pf::Alert::setPresenter(nullptr); }
	} uninstall;
	startSignedIn();
	run("showLeaderboards()");
	settle();
	ASSERT_EQ(1u, shown.size());
	EXPECT_EQ("Leaderboards", shown[0].title);
	EXPECT_NE(std::string::npos, shown[0].message.find("Best\n1. ann 500\n")) << shown[0].message;
	EXPECT_EQ(std::vector<std::string>{"OK"}, shown[0].buttons);
	EXPECT_FALSE(shown[0].updating);
	EXPECT_TRUE(m_os.updating);

	// Dismissed, the view restarts the loop even when something else had stopped it before.
	m_os.stopUpdate();
	run("showAchievements()");
	settle();
	ASSERT_EQ(2u, shown.size());
	EXPECT_EQ("Achievements", shown[1].title);
	EXPECT_TRUE(m_os.updating);

	// A failed sign-in asked for by the scripts: the error's text as title, no message.
	writeCatalogue(R"({"leaderboards": [{"id": "best", "title": "Best"}], "authError": 3})");
	start();
	run(CALLBACKS);
	run("initGameCenter()");
	settle();
	ASSERT_EQ(3u, shown.size());
	EXPECT_EQ("The leaderboard service could not complete the request (3).", shown[2].title);
	EXPECT_EQ("", shown[2].message);
	EXPECT_EQ(std::vector<std::string>{"OK"}, shown[2].buttons);
}
