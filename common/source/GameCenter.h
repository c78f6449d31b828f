#ifndef GAMECENTER_H
#define GAMECENTER_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class GameApp;
class GameLua;

namespace gr
{
class Context;
}

/**
 * Leaderboards and achievements, kept locally: the catalogue
 * "gamecenter-catalogue.json" at the bundle root names what exists, and the
 * player's scores and progress live in "gamecenter.json" in the state folder.
 * Every answer is queued and handed to GameLua from runCompletions, on the
 * main thread, in the order the requests were made.
 */
class GameCenter
{
public:
	/** Shows a dialog with one "OK" button; done runs when it is answered. */
	typedef std::function<void(const std::string& title, const std::string& message, std::function<void()> done)> AlertFunction;

	GameCenter(GameApp* app, GameLua* lua, gr::Context* context);
	~GameCenter();

	/** True when the bundle holds the catalogue. */
	static bool isGameCenterAvailable();

	/** The start-up sign-in, without dialogs. */
	void firstInit();
	/** The sign-in asked for by the scripts, with error dialogs. */
	void init();
	void enableGameCenter();
	void loadLeaderboardCategories();
	void loadAchievements();
	void loadAchievementMetaData();
	void postHighscore(std::string category, double value);
	void unlockAchievement(std::string id, float percent);
	void getLeaderboardScoresForRange(std::string category, int start, int length);
	void showLeaderboards();
	void showAchievement();

	/** Runs the queued answers, including any queued while they run. */
	void runCompletions();
	bool hasPendingCompletions() const { return !m_queue.empty(); }

	/** Replaces the dialog; null restores the default: pf::Alert (the host's dialog, or a printed line). */
	static void setAlertFunction(AlertFunction alert);
	/**
	 * The state file's path: $XDG_STATE_HOME/<game>/gamecenter.json, or under ~/.local/state, where
	 * <game> is the game's name (io::detail::gameName). Earlier versions kept it under the user
	 * folder's name instead (legacyStateFilePath); that file is read while this one is missing.
	 */
	static std::string stateFilePath();
	static std::string legacyStateFilePath();

private:
	struct Entry
	{
		std::string playerID;
		std::string alias;
		int64_t value;
		int64_t order; // earlier posts win ties
	};
	struct Leaderboard
	{
		std::string id, title;
	};
	struct Achievement
	{
		std::string id, title, achievedDescription;
		bool hidden;
	};

	GameApp* m_app;
	GameLua* m_lua;
	gr::Context* m_context;

	std::vector<Leaderboard> m_leaderboards;
	std::vector<Achievement> m_achievements;
	std::map<std::string, std::vector<Entry>> m_presetScores;
	int m_authError;

	std::string m_playerID;
	std::string m_alias;
	bool m_authenticated;
	bool m_observing;
	bool m_showingLeaderboard;
	bool m_showingAchievements;
	std::map<std::string, Entry> m_bestScores; // leaderboard id to the player's best
	std::map<std::string, double> m_progress; // achievement id to percent
	int64_t m_nextOrder;

	std::deque<std::function<void()>> m_queue;

	void post(std::function<void()> completion);
	void authenticate(bool showDialog);
	void authenticationChanged();
	void showAlert(int code, bool showDialog);
	void alert(const std::string& title, const std::string& message, std::function<void()> done);
	void loadCatalogue();
	void loadState();
	void saveState();
	std::vector<Entry> ranked(const std::string& category) const;
	bool hasLeaderboard(const std::string& id) const;
	bool hasAchievement(const std::string& id) const;
	std::string leaderboardText() const;
	std::string achievementText() const;
	void showView(bool leaderboards);
};

#endif
