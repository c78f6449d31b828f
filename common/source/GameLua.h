#ifndef GAMELUA_H
#define GAMELUA_H

#include "standins/Analytics.h"
#include "standins/Services.h"
#include <game/Resources.h>
#include <lua/LuaObject.h>
#include <lua/LuaTable.h>
#include <memory>
#include <ctime>
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

	/** "createStartUpAssets", then the clip limits of the tracks of the audio output it made. */
	void createAssets();
	/** "gameResumed" or "gamePaused", once the main script has been compiled. */
	void activate(bool active);
	/** Publishes the screen size and calls "update"(dt, dt). */
	void update(float dt);
	void draw();
	/** Asks the host to end the program (exit code 0) after the current frame. */
	void requestExit();
	bool safeToQuit() const { return m_safeToQuit; }
	void resetTimer() {}
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

	// Script utilities.
	void print(const std::string& text);
	int GetDate();
	void throwException(const std::string& unused);
	void printGlobals();
	int setGameParameters(lua::LuaState* state);
	float performBitwiseAnd(float x, float y);
	float performBitwiseOr(float x, float y);
	lua::LuaTable getCurrentTime();
	int getTimeDifference(lua::LuaState* state);
	int getTimeDifferenceInSeconds(lua::LuaState* state);

	const std::vector<std::string>& failedFiles() const { return m_failedFiles; }
	void clearFailedFiles() { m_failedFiles.clear(); }
	bool compileDone() const { return m_compileDone; }
	bool contactProcessingOff() const { return m_contactsOff; }
	bool deterministicPhysics() const { return m_deterministicPhysics; }
	Particles& particles() { return *m_particles; }
	float gravityForceMultiplier() const { return m_gravityForceMultiplier; }
	int simulationIterations() const { return m_simulationIterations; }
	float simulationTimeStepMultiplier() const { return m_simulationTimeStepMultiplier; }
	int simulationStorePointsSampler() const { return m_simulationStorePointsSampler; }
	const AimStream& aimStream() const { return m_aimStream; }
	pf::LocalNotifications& localNotifications() { return m_localNotifications; }
	void setDeterministicPhysics(bool on) { m_deterministicPhysics = on; }
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

	std::unique_ptr<Particles> m_particles;
	AimStream m_aimStream;
	pf::AppSettings m_appSettings;
	pf::LocalNotifications m_localNotifications;

	// One registration per topic, in the catalogue's order; each lives beside the members it binds.
	void registerJoints();
	void registerSensors();
	void registerQueries();
	void registerAim();
	void registerTrails();
	void registerScene();
	void registerDrawing();
	void registerFiles();
	void registerPurchases();
	void registerLeaderboards();
	void registerWorkers();
	void registerPlatform();
	void registerUtilities();
	/** Deciphers and opens a shipped file; hands entry 0 to use. */
	template <class F> void readShippedFile(const std::string& name, F use);
	void clearLevel();
	void applyWorldAttributes();
	lua::LuaTable buildLevelTable(bool forReload);
	void writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted);
	void logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters);
};

/** A date table ("year", "month", "day", and "hour", "minutes", "seconds" when numbers) as a calendar record. */
void getTimeAsStruct(const lua::LuaTable& date, tm& out);

#endif
