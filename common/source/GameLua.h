#ifndef GAMELUA_H
#define GAMELUA_H

#include "standins/Analytics.h"
#include "standins/Resources.h"
#include "standins/Services.h"
#include <game/SpriteSheet.h>
#include <io/FileFormat.h>
#include <lang/Mutex.h>
#include <lang/Ptr.h>
#include <lang/Thread.h>
#include <lua/LuaObject.h>
#include <lua/LuaTable.h>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace framework
{
class App;
}

namespace gr
{
class Context;
}

class GameCenter;

/**
 * The bridge between the game scripts and the engine. Its table is the
 * scripts' global environment; its members are registered there as script
 * operations.
 */
class GameLua : public lua::LuaObject
{
public:
	GameLua(framework::App* app, game::Resources* resources, lua::LuaState* state, gr::Context* context);
	/** Saves the save files, each on its own; a failure is logged and the next still runs. */
	~GameLua() override;

	/** "createStartUpAssets"; no audio output exists, so no clip limits are set. */
	void createAssets();
	/** "gameResumed" or "gamePaused", once the main script has been compiled. */
	void activate(bool active);
	/** Publishes the screen size and calls "update"(dt, dt). */
	void update(float dt);
	void draw();
	/** Asks the host to end the program (exit code 0) after the current frame. */
	void requestExit();
	bool safeToQuit() const { return m_safeToQuit; }
	/** Starts the span logAnalyticsTimerEvent measures. */
	void resetTimer();
	void setUseTestAds(bool) {}
	void prepareAnalytics(analytics::Analytics* analytics) { m_analytics = analytics; }

	/** The background colour, 0xRRGGBB. */
	unsigned getBGColor() const { return m_bgColor; }
	void setBGColor(float r, float g, float b);
	int getBGColorLua(lua::LuaState* state);

	// Script, level and save files.
	void compile(const std::string& name);
	void loadLuaFile(const std::string& name, const std::string& key, bool intoBlockTable, bool asBlockGroups);
	int loadLuaFileToObject(lua::LuaState* state);
	void loadLuaFileToObjectEditor(const std::string& name, const std::string& key);
	void loadBlocksForEditing();
	void addToBlocksTable(const lua::LuaTable& groups);
	bool checkForLuaFile(const std::string& name);
	void loadLevel(const std::string& name);
	void loadPreviousLevel(const std::string& unused);
	void saveLevel(const std::string& name);
	void saveLevelForReload(const std::string& unused);
	/**
	 * The save file as a table: the deciphered text, else the raw bytes as
	 * plain table text. A file that gives no table is renamed to
	 * name.bad (.bad.1, ... when taken) so nothing written later replaces it.
	 */
	lua::LuaTable loadPersistentFile(const std::string& name);
	void savePersistentLuaFile(const std::string& name, const std::string& key);
	void saveLuaFile(const std::string& name, const std::string& key, bool encrypted);
	void loadPurchases();
	void onLoadLuaFileFail(const std::string& name);
	void importJSONToLuaTable(const std::string& json, const std::string& key);
	std::string exportLuaTableAsJSON(const std::string& key);
	std::string getJSONHash(const std::string& json);
	std::string GetJSONDiff(const std::string& keyA, const std::string& keyB);
	std::string decodeBase64(const std::string& text);
	void storePersistentData() {}
	void createDirectory(const std::string&) {}
	bool checkDirectory(const std::string&) { return false; }

	const std::vector<std::string>& failedFiles() const { return m_failedFiles; }
	void clearFailedFiles() { m_failedFiles.clear(); }
	bool compileDone() const { return m_compileDone; }
	bool contactProcessingOff() const { return m_contactsOff; }
	float gravityForceMultiplier() const { return m_gravityForceMultiplier; }
	int simulationIterations() const { return m_simulationIterations; }
	float simulationTimeStepMultiplier() const { return m_simulationTimeStepMultiplier; }
	int simulationStorePointsSampler() const { return m_simulationStorePointsSampler; }
	const AimStream& aimStream() const { return m_aimStream; }
	pf::LocalNotifications& localNotifications() { return m_localNotifications; }
	void setDeterministicPhysics(bool on) { m_deterministicPhysics = on; }
	// Leaderboards, achievements and analytics (GameLua_Leaderboards.cpp).
	struct ScoreData
	{
		std::string playerID;
		std::string alias;
		int rank;
		int value;
		std::string formattedValue;
		std::string category;
	};
	struct AchievementData
	{
		std::string id;
		std::string title;
		std::string achievedDescription;
		bool completed;
		bool hidden;
		float percentComplete;
	};
	void initGameCenter();
	void getLeaderboardScoresForPlayers() {}
	void getLeaderboardScoresForRangeLua(const std::string& id, float start, float length);
	void showLeaderboards();
	void showAchievements();
	void postHighscore(const std::string& id, float value);
	void unlockAchievement(const std::string& id, const std::string& unused);
	void setStat(const std::string& name, int value);
	void setStatFloat(const std::string& name, float value);
	void logAnalyticsEvent(const std::string& name);
	void logAnalyticsEventWithParam(const std::string& name, const std::string& param, const std::string& value);
	void logAnalyticsEventWithParams(const std::string& name, const std::string& key);
	void logAnalyticsTimerEvent(const std::string& name);
	void prepareGameCenter(GameCenter* service, std::string playerID, std::string alias);
	void removeGameCenter();
	void removeSupport();
	void hideLoadingInitGameCenter();
	void getLeaderboardCategories();
	void getAchievements();
	void setLeaderboardCategories(std::map<std::string, std::string>& categories);
	void setLeaderboardScores(std::vector<ScoreData> scores, std::string category, int range, int localRank, int localScore);
	void setAchievementMetaData(std::vector<AchievementData> achievements);
	void setAchievements(std::vector<AchievementData> achievements);
	void setAchievementsLoading(bool loading);
	void achievementRegistered(std::string id);
	void highScoresPosted(std::string category);
	void stopMainMenuAnimation(std::string which);

	// Worker threads (GameLua_Workers.cpp).
	void startURLThread(const std::string& url);
	void checkMainMenuAd(const std::string& url);
	void checkForURLProc(const std::string& url);
	void checkMainMenuAdProc(const std::string& url);
	void loadMainMenuAd(std::string imageUrl);
	/** Frame update: hands URL replies to the scripts. */
	void checkURLCallbacks();
	void checkInstalledApps(const std::string& url);
	void checkInstalledAppsOffline(const std::string& json);
	void getPossibleInstalledAppsProc();
	/** The names of the candidates the device can open, comma-separated; "" when the list is malformed. */
	std::string determineInstalledApps(std::string json);
	bool mainMenuAdReady() const { return m_adReady.load(std::memory_order_acquire); }
	/** Frame update, once the advertisement is ready: turns it into a sprite sheet. */
	void createMainMenuAdImage();
	/** The advertisement's sheet with its one sprite "MAIN_MENU_AD_IMAGE"; null until made. */
	game::SpriteSheet* mainMenuAdSheet() const { return m_adSheet; }
	/** Frame update: hands over what the workers finished. */
	void updateServices();
	/** Waits for the workers; the destructor calls it first. */
	void joinWorkers();

	/** The script type of a global, without conversions (a numeric string stays a string). */
	int typeOf(const char* key) const;

private:
	framework::App* m_app;
	game::Resources* m_resources;
	gr::Context* m_context;
	analytics::Analytics* m_analytics;

	lua::LuaTable m_keyPressed;
	lua::LuaTable m_keyReleased;
	lua::LuaTable m_keyHold;
	lua::LuaTable m_cursor;
	/** Resets the world when a level loads. */
	bool m_deterministicPhysics;
	lua::LuaTable m_multitouchSweep;
	lua::LuaTable m_multitouchZoom;
	lua::LuaTable m_objects;
	lua::LuaTable m_clippedText;
	lua::LuaTable m_blockTable;
	lua::LuaTable m_blockEditorTable;
	lua::LuaTable m_worldAttributes;
	lua::LuaTable m_deadBlocks;

	std::vector<std::string> m_failedFiles;
	bool m_compileDone;
	bool m_contactsOff;
	std::string m_levelName;
	bool m_startingCameraSet;
	bool m_jointFlag;
	int m_levelIndex[3];
	float m_accumulator;
	float m_gravityForceMultiplier;
	bool m_levelGaveGravity;
	int m_simulationIterations;
	float m_simulationTimeStepMultiplier;
	int m_simulationStorePointsSampler;
	float m_simulationAimSpawnTime;
	float m_simulationAimSpeed;
	unsigned m_bgColor;
	bool m_safeToQuit;

	Particles m_particles;
	AimStream m_aimStream;
	pf::AppSettings m_appSettings;
	pf::LocalNotifications m_localNotifications;

	GameCenter* m_gameCenter;
	int64_t m_timerStart;

	lang::Ptr<lang::Thread> m_workerThread;
	lang::Mutex m_mutex;
	std::map<std::string, std::string> m_urlReplies;
	std::vector<char> m_adImage;
	io::FileFormat m_adFormat;
	std::string m_adLink;
	std::string m_adTimeStamp;
	std::atomic<bool> m_adReady;
	lang::Ptr<game::SpriteSheet> m_adSheet;
	lang::Ptr<lang::Thread> m_appsThread;
	std::string m_appsUrl;
	std::string m_appsReply;
	std::atomic<bool> m_appsReady;
	int m_appsTtl;

	void registerOperations();
	void registerServiceOperations();
	GameCenter* service() const;
	/** Deciphers and opens a shipped file; hands entry 0 to use. */
	template <class F> void readShippedFile(const std::string& name, F use);
	void clearLevel();
	void applyWorldAttributes();
	lua::LuaTable buildLevelTable(bool forReload);
	void writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted);
	void logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters);
};

#endif
