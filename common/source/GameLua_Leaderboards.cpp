// Leaderboards, achievements and analytics: the scripts' side of the service and the facade.
#include "GameApp.h"
#include "GameCenter.h"
#include "GameLua.h"
#include <lang/Debug.h>
#include <lang/System.h>
#include <lua/LuaStackRestore.h>
#include <lua/LuaTableVisitor.h>

namespace
{
/** Collects the string-to-string entries of a table's top level; nested tables are skipped whole. */
class StringParams : public lua::LuaTableVisitor
{
public:
	std::map<std::string, std::string> params;

	void visit(const char* key, const char* value) override
	{
		if (m_depth == 1)
		{
			lang::Debug::printf("Param: %s = %s\n", key, value);
			params[key] = value;
		}
	}
	void visit(const char*, double) override {}
	void visit(const char*, bool) override {}
	void visit(const char*) override {}
	void visit(int, const char*) override {}
	void visit(int, double) override {}
	void visit(int, bool) override {}
	void visit(int) override {}
	void openTable(const char*) override { ++m_depth; }
	void closeTable() override { --m_depth; }
	void start() override { m_depth = 1; }
	void end() override {}

private:
	int m_depth = 0;
};
}

// Leaderboards, achievements and analytics.
void GameLua::registerLeaderboards()
{
	registerMethod<&GameLua::resetTimer>("resetTimer", this);
	registerMethod<&GameLua::logAnalyticsTimerEvent>("logAnalyticsTimerEvent", this);
	registerMethod<&GameLua::initGameCenter>("initGameCenter", this);
	registerMethod<&GameLua::getLeaderboardScoresForPlayers>("getLeaderboardScoresForPlayers", this);
	registerMethod<&GameLua::getLeaderboardScoresForRangeLua>("getLeaderboardScoresForRange", this);
	registerMethod<&GameLua::showLeaderboards>("showLeaderboards", this);
	registerMethod<&GameLua::showAchievements>("showAchievements", this);
	registerMethod<&GameLua::postHighscore>("postHighscore", this);
	registerMethod<&GameLua::unlockAchievement>("unlockAchievement", this);
	registerMethod<&GameLua::setStat>("setStat", this);
	registerMethod<&GameLua::setStatFloat>("setStatFloat", this);
	registerMethod<&GameLua::logAnalyticsEvent>("logAnalyticsEvent", this);
	registerMethod<&GameLua::logAnalyticsEventWithParam>("logAnalyticsEventWithParam", this);
	registerMethod<&GameLua::logAnalyticsEventWithParams>("logAnalyticsEventWithParams", this);
}

GameCenter* GameLua::service() const
{
	return m_gameCenter;
}

void GameLua::initGameCenter()
{
	lang::Debug::printf("GameLua initGameCenter \n");
	// Before the first sign-in the service is only known to the application.
	GameCenter* gc = m_gameCenter ? m_gameCenter : m_app->gameCenter();
	if (gc)
		gc->init();
}

void GameLua::getLeaderboardScoresForRangeLua(const std::string& id, float start, float length)
{
	if (!m_gameCenter || !isTable("gameCenter"))
		return;
	lua::LuaTable gc = getTable("gameCenter");
	if (!gc.isTable("leaderboards"))
		return;
	lua::LuaTable boards = gc.getTable("leaderboards");
	if (!boards.isTable(id))
		return;
	boards.getTable(id).setBoolean("loading", true);
	m_gameCenter->getLeaderboardScoresForRange(id, lua::detail::numberToInt(start), lua::detail::numberToInt(length));
}

void GameLua::showLeaderboards()
{
	lang::Debug::printf("GameLua showLeaderboards \n");
	if (m_gameCenter)
		m_gameCenter->showLeaderboards();
}

void GameLua::showAchievements()
{
	lang::Debug::printf("GameLua showAchievements \n");
	if (m_gameCenter)
		m_gameCenter->showAchievement();
}

void GameLua::postHighscore(const std::string& id, float value)
{
	if (m_gameCenter && isBoolean("gameCenterEnabled") && getBoolean("gameCenterEnabled"))
		m_gameCenter->postHighscore(id, static_cast<double>(value));
}

void GameLua::unlockAchievement(const std::string& id, const std::string&)
{
	if (!m_gameCenter || !isBoolean("gameCenterEnabled") || !getBoolean("gameCenterEnabled") || !isTable("gameCenter"))
		return;
	lua::LuaTable gc = getTable("gameCenter");
	if (!gc.isTable("achievements"))
		return;
	lua::LuaTable achievements = gc.getTable("achievements");
	if (!achievements.isTable(id))
		return;
	lua::LuaTable entry = achievements.getTable(id);
	if (entry.isBoolean("completed") && !entry.getBoolean("completed"))
		m_gameCenter->unlockAchievement(id, 100.f);
}

void GameLua::setStat(const std::string& name, int value)
{
	lang::Debug::printf("Setting stat %s %i\n", name.c_str(), value);
}

void GameLua::setStatFloat(const std::string& name, float value)
{
	// Any script number, infinity and NaN included, is shown saturated to an int.
	lang::Debug::printf("Setting stat %s %i\n", name.c_str(), lua::detail::numberToInt(value));
}

void GameLua::logAnalyticsEvent(const std::string& name)
{
	lang::Debug::printf("Logging analytics event: name=%s\n", name.c_str());
	logEvent(name, {});
}

void GameLua::logAnalyticsEventWithParam(const std::string& name, const std::string& param, const std::string& value)
{
	lang::Debug::printf("Logging analytics event: name=%s paramname=%s paramvalue=%s\n", name.c_str(), param.c_str(), value.c_str());
	logEvent(name, {{param, value}});
}

void GameLua::logAnalyticsEventWithParams(const std::string& name, const std::string& key)
{
	lang::Debug::printf("Logging analytics event with params: event=%s\n", name.c_str());
	StringParams params;
	if (isTable(key))
		getTable(key).traverse(params);
	logEvent(name, params.params);
}

void GameLua::resetTimer()
{
	lang::Debug::printf("resetTimer called\n");
	m_timerStart = lang::System::currentTimeMillis();
}

void GameLua::logAnalyticsTimerEvent(const std::string& name)
{
	const long long elapsed = static_cast<long long>(lang::System::currentTimeMillis() - m_timerStart);
	char seconds[32];
	std::snprintf(seconds, sizeof seconds, "%lli", (elapsed + 500) / 1000);
	lang::Debug::printf("logAnalyticsTimerEvent: %s, %ss, (%llims)\n", name.c_str(), seconds, elapsed);
	lang::Debug::printf("Logging analytics event: name=%s paramname=%s paramvalue=%s\n", name.c_str(), "seconds", seconds);
	logEvent(name, {{"seconds", seconds}});
}

void GameLua::prepareGameCenter(GameCenter* service, std::string playerID, std::string alias)
{
	m_gameCenter = service;
	setBoolean("gameCenterEnabled", true);
	setBoolean("gameCenterSupported", true);
	lua::LuaTable gc(getState());
	gc.setTable("achievements", lua::LuaTable(getState()));
	gc.setTable("leaderboards", lua::LuaTable(getState()));
	gc.setString("localPlayerID", playerID);
	gc.setString("localPlayerAlias", alias);
	setTable("gameCenter", gc);
	getLeaderboardCategories();
	getAchievements();
	callScript("enableGameCenter");
}

void GameLua::removeGameCenter()
{
	setBoolean("gameCenterEnabled", false);
	setNumber("localPlayerID", 0.f);
	callScript("disableGameCenter");
}

void GameLua::removeSupport()
{
	setBoolean("gameCenterEnabled", false);
	setBoolean("gameCenterSupported", false);
	setNumber("localPlayerID", 0.f);
	callScript("disableGameCenter");
}

void GameLua::hideLoadingInitGameCenter()
{
	callScript("hideLoadingInitGameCenter");
}

namespace
{
/** gameCenter[name], when both tables exist. */
bool serviceTable(GameLua& lua, const char* name, lua::LuaTable& out)
{
	if (!lua.isTable("gameCenter"))
		return false;
	lua::LuaTable gc = lua.getTable("gameCenter");
	if (!gc.isTable(name))
		return false;
	out = gc.getTable(name);
	return true;
}
}

void GameLua::getLeaderboardCategories()
{
	lua::LuaTable boards(getState());
	if (serviceTable(*this, "leaderboards", boards))
		boards.setBoolean("loading", true);
	if (m_gameCenter)
		m_gameCenter->loadLeaderboardCategories();
}

void GameLua::getAchievements()
{
	lua::LuaTable achievements(getState());
	if (serviceTable(*this, "achievements", achievements))
		achievements.setBoolean("loading", true);
	if (m_gameCenter)
		m_gameCenter->loadAchievementMetaData();
}

void GameLua::setLeaderboardCategories(std::map<std::string, std::string>& categories)
{
	lua::LuaTable boards(getState());
	if (!serviceTable(*this, "leaderboards", boards))
		return;
	boards.setBoolean("loading", false);
	for (const auto& category : categories)
	{
		lua::LuaTable entry(getState());
		entry.setString("title", category.second);
		entry.setBoolean("posted", false);
		boards.setTable(category.first, entry);
		getLeaderboardScoresForRangeLua(category.first, 1.f, 1.f);
	}
}

void GameLua::setLeaderboardScores(std::vector<ScoreData> scores, std::string category, int range, int localRank, int localScore)
{
	lua::LuaTable boards(getState());
	if (!serviceTable(*this, "leaderboards", boards) || !boards.isTable(category))
		return;
	lua::LuaTable entry = boards.getTable(category);
	entry.setNumber("range", static_cast<float>(range));
	entry.setNumber("localRank", static_cast<float>(localRank));
	entry.setNumber("localScore", static_cast<float>(localScore));
	entry.setBoolean("loading", false);
	for (const ScoreData& score : scores)
	{
		lua::LuaTable row(getState());
		row.setString("playerID", score.playerID);
		row.setString("alias", score.alias);
		row.setNumber("rank", static_cast<float>(score.rank));
		row.setNumber("score", static_cast<float>(score.value));
		row.setString("formattedValue", score.formattedValue);
		row.setString("category", score.category);
		entry.setTable(score.rank, row);
	}
	if (isTable("gameCenter"))
	{
		lua::LuaTable gc = getTable("gameCenter");
		if (gc.isBoolean("safeToRefresh") && gc.getBoolean("safeToRefresh"))
			callScript("setIndicatorPositions");
	}
}

void GameLua::setAchievementMetaData(std::vector<AchievementData> list)
{
	lua::LuaTable achievements(getState());
	if (!serviceTable(*this, "achievements", achievements))
		return;
	lua::LuaTable scriptList(getState());
	const bool haveList = isTable("achievements");
	if (haveList)
		scriptList = getTable("achievements");
	for (const AchievementData& a : list)
	{
		lua::LuaTable entry(getState());
		entry.setString("title", a.title);
		entry.setString("achievedText", a.achievedDescription);
		entry.setBoolean("completed", false);
		if (haveList)
		{
			for (int i = 1; i <= scriptList.size(); ++i)
			{
				if (!scriptList.isTable(i))
					continue;
				lua::LuaTable item = scriptList.getTable(i);
				if (item.isString("id") && item.getString("id") == a.id && item.isString("icon"))
					entry.setString("icon", item.getString("icon"));
			}
		}
		achievements.setTable(a.id, entry);
	}
	if (m_gameCenter)
		m_gameCenter->loadAchievements();
}

void GameLua::setAchievements(std::vector<AchievementData> list)
{
	lua::LuaTable achievements(getState());
	if (!serviceTable(*this, "achievements", achievements))
		return;
	for (const AchievementData& a : list)
	{
		if (!achievements.isTable(a.id))
			continue;
		lua::LuaTable entry = achievements.getTable(a.id);
		entry.setBoolean("completed", a.completed);
		entry.setBoolean("hidden", a.hidden);
		entry.setNumber("percentComplete", a.percentComplete);
	}
	achievements.setBoolean("loading", false);
	callScript("gameCenterAchievementsLoaded");
}

void GameLua::setAchievementsLoading(bool loading)
{
	lua::LuaTable achievements(getState());
	if (serviceTable(*this, "achievements", achievements))
		achievements.setBoolean("loading", loading);
}

void GameLua::achievementRegistered(std::string id)
{
	lua::LuaTable achievements(getState());
	if (serviceTable(*this, "achievements", achievements) && achievements.isTable(id))
		achievements.getTable(id).setBoolean("completed", true);
	callScript("achievementRegisteredCallback", id);
}

void GameLua::highScoresPosted(std::string category)
{
	lua::LuaTable boards(getState());
	if (serviceTable(*this, "leaderboards", boards) && boards.isTable(category))
		boards.getTable(category).setBoolean("posted", true);
	if (!isTable("leaderboards"))
		return;
	lua::LuaTable list = getTable("leaderboards");
	for (int i = 1; i <= list.size(); ++i)
	{
		if (list.isString(i) && list.getString(i) == category)
			getLeaderboardScoresForRangeLua(category, 1.f, 1.f);
	}
}

void GameLua::stopMainMenuAnimation(std::string which)
{
	if (which == "leaderboard")
		callScript("hideLoadingLeaderboards");
	else if (which == "achievement")
		callScript("hideLoadingAchievements");
}
