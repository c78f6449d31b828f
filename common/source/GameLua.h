#ifndef GAMELUA_H
#define GAMELUA_H

#include "standins/Analytics.h"
#include "standins/Resources.h"
#include "standins/Services.h"
#include <lua/LuaObject.h>
#include <pf/AppSettings.h>
#include <pf/Commerce.h>
#include <pf/CommerceListener.h>
#include <pf/DeviceID.h>
#include <pf/DeviceInfo.h>
#include <pf/LocalNotifications.h>
#include <pf/VideoPlayer.h>
#include <lua/LuaTable.h>
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

/**
 * The bridge between the game scripts and the engine. Its table is the
 * scripts' global environment; its members are registered there as script
 * operations.
 */
class GameLua : public lua::LuaObject, public pf::CommerceListener, public pf::LocalNotificationsListener, public pf::VideoPlayerObserver
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

	// Purchases (GameLua_Purchases.cpp).
	bool buyItem(const std::string& id, const std::string& callback);
	bool initItemPurchase(const std::string& callback);
	int getAvailableItemCount();
	lua::LuaTable getItemAt(float index);
	void setItemDescription(float index, const std::string& description);
	bool restoreItems(const std::string& callback);
	bool isIapAllowed();
	void paymentFinished(const std::string& productId, pf::CommerceListener::PaymentStatus status, pf::Commerce::CommerceError error) override;
	void initFinished(pf::CommerceListener::PaymentProviderStatus status) override;
	void getPurchaseHistoryFinished(const std::string& history) override;
	static const char* sm_purchaseItemIds[10];

	// Other platform operations (GameLua_Platform.cpp).
	bool addNotificationAfter(const std::string& eventName, float seconds, const std::string& text);
	bool removeNotification(const std::string& eventName);
	void removeAllNotifications();
	void setNotificationCallback(const std::string& name);
	bool playVideo(const std::string& file);
	bool captureMouse(bool capture);
	bool isMouseCaptured();
	void setFullScreenMode(bool fullscreen);
	bool isInFullScreenMode();
	void setResolution(float width, float height);
	void setGameOn(bool on);
	void setIsMultitouchMouseWheelSimulationEnabled(bool enabled);
	void enableSmoothZooming(bool enabled);
	bool doesMouseClickSetsTouchCount();
	std::string getClipboardText();
	void setChannelCountLimit(int channel, int limit);
	void requestBannerAd();
	void notificationReceived(const std::string& eventName) override;
	void videoPlayEnded() override;
	pf::Commerce& commerce() { return m_commerce; }
	bool multitouchMouseWheelSimulation() const { return m_multitouchMouseWheelSimulation; }

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
	pf::Commerce m_commerce;
	std::string m_purchaseCallback;
	std::string m_notificationCallback;
	pf::VideoPlayer m_videoPlayer;
	bool m_multitouchMouseWheelSimulation;

	void registerOperations();
	void registerPurchaseOperations();
	void ignoreCall() {}
	void registerPlatformOperations();
	/** Deciphers and opens a shipped file; hands entry 0 to use. */
	template <class F> void readShippedFile(const std::string& name, F use);
	void clearLevel();
	void applyWorldAttributes();
	lua::LuaTable buildLevelTable(bool forReload);
	void writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted);
	void logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters);
};

#endif
