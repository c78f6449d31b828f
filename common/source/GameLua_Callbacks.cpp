// The script functions the engine calls by name, and what happens when the script lacks one.
#include "GameLua.h"
#include <lang/Debug.h>
#include <lang/throwError.h>
#include <lua/LuaException.h>
#include <lua/LuaStackRestore.h>

namespace
{
std::string missingText(const char* name, const char* when)
{
	return std::string("the game's script has no function ") + name + ", called " + when;
}
}

const std::vector<GameLua::ScriptCallback>& GameLua::scriptCallbacks()
{
	// Required: called in every run of every game, so a game without one cannot start. The others
	// come with features a game may not use; without them the engine goes on.
	static const std::vector<ScriptCallback> callbacks = {
		{"updateValues", "()", "once, right after the main script has run", true},
		{"onLoadLuaFileFail", "(fileName)", "at start, once for each script or data file that failed to load", false},
		{"createStartUpAssets", "()", "once at start, after updateValues, to load sprites, fonts and sounds", true},
		{"gameResumed", "()", "when the game becomes active: at start and after every pause", true},
		{"gamePaused", "()", "when the game goes inactive: on a pause and before it ends", true},
		{"update", "(scaledDt, dt)", "every frame", true},
		{"draw", "()", "every frame, after update, to draw it", true},
		{"applyForcesAtPhysicsStep", "()", "before every physics step, while physics runs", true},
		{"removeBlocks", "()", "after every physics step, while physics runs", true},
		{"clearLuaForceFunctions", "()", "every frame after its physics steps, while physics runs", true},
		{"selectObjectAnimation", "(name, speed, direction, scaledDt)",
			"every frame for each object that chooses its own animation", false},
		{"enterCollision", "(nameA, nameB)", "inside a physics step, when an object starts touching a sensor", false},
		{"exitCollision", "(nameA, nameB)", "inside a physics step, when an object stops touching a sensor", false},
		{"projectileCollision", "(projectile, target, impact, damage)",
			"inside a physics step, when a projectile hits an object", false},
		{"blockCollision", "(nameA, nameB, impact, notBlocked, false, damage)",
			"inside a physics step, when two objects that are not projectiles hit each other", false},
		{"resolutionChanged", "()", "when the screen size changes", false},
		{"inAppPurchasingBecameAvailable", "()", "when the store becomes available", false},
		{"enableGameCenter", "()", "when the player is signed in to the leaderboards", false},
		{"disableGameCenter", "()", "when the leaderboards become unavailable", false},
		{"hideLoadingInitGameCenter", "()", "when signing in to the leaderboards failed", false},
		{"gameCenterAchievementsLoaded", "()", "when the achievements' descriptions have been read", false},
		{"achievementRegisteredCallback", "(id)", "when an achievement has been unlocked", false},
		{"setIndicatorPositions", "()", "when leaderboard scores arrived and gameCenter.safeToRefresh is true", false},
		{"hideLoadingLeaderboards", "()", "when the leaderboard view closes", false},
		{"hideLoadingAchievements", "()", "when the achievement view closes", false},
		{"nativecallback_urlResponse", "(url, reply)", "when a URL check started by native_startURLThread answers", false},
		{"setInstalledApps", "(list, code, reply)", "when the installed-games check online answers", false},
		{"setInstalledAppsOffline", "(list)", "when checkInstalledAppsOffline has read its list", false},
	};
	return callbacks;
}

std::string GameLua::missingRequiredCallbacks() const
{
	std::string text;
	lua::LuaStackRestore restore(getState());
	for (const ScriptCallback& c : scriptCallbacks())
	{
		if (!c.required)
			continue;
		pushMember(c.name);
		const bool defined = getState()->type(-1) == lua::LuaState::TYPE_FUNCTION;
		getState()->pop(1);
		if (!defined)
			text += (text.empty() ? "" : "\n") + missingText(c.name, c.when);
	}
	return text;
}

void GameLua::missingCallback(const char* name, const char* when)
{
	// A function the script named itself is always wanted: a purchase, for one, must not be
	// finished unheard. A required one was there at start: the script has removed it since.
	// Said once already: an optional one, skipped again without a search (some come every frame).
	if (!when && m_skippedCallbacks.count(name))
		return;
	bool required = when != nullptr;
	if (!when)
	{
		when = "by the engine";
		for (const ScriptCallback& c : scriptCallbacks())
		{
			if (std::string(c.name) == name)
			{
				when = c.when;
				required = c.required;
				break;
			}
		}
	}
	const std::string text = missingText(name, when);
	if (required)
		lang::throwError(lua::LuaException(lang::Format("{0}", text)));
	if (m_skippedCallbacks.insert(name).second)
		lang::Debug::printf("%s; the engine goes on without it\n", text.c_str());
}
