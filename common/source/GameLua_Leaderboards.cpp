#include "GameLua.h"
#include "StandIn.h"

// Leaderboards, achievements and analytics.
void GameLua::registerLeaderboards()
{
	standin::bind<void()>(this, "resetTimer");
	standin::bind<void(std::string)>(this, "logAnalyticsTimerEvent");
	standin::bind<void()>(this, "initGameCenter");
	standin::bind<void()>(this, "getLeaderboardScoresForPlayers");
	standin::bind<void(std::string, float, float)>(this, "getLeaderboardScoresForRange");
	standin::bind<void()>(this, "showLeaderboards");
	standin::bind<void()>(this, "showAchievements");
	standin::bind<void(std::string, float)>(this, "postHighscore");
	standin::bind<void(std::string, std::string)>(this, "unlockAchievement");
	standin::bind<void(std::string, int)>(this, "setStat");
	standin::bind<void(std::string, float)>(this, "setStatFloat");
	standin::bind<void(std::string)>(this, "logAnalyticsEvent");
	standin::bind<void(std::string, std::string, std::string)>(this, "logAnalyticsEventWithParam");
	standin::bind<void(std::string, std::string)>(this, "logAnalyticsEventWithParams");
}
