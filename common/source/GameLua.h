#ifndef GAMELUA_H
#define GAMELUA_H

#include <analytics/Analytics.h>
#include "Particles.h"
#include "AimStream.h"
#include "AimingStep.h"
#include "GameLuaRecords.h"
#include "MaskedImage.h"
#include <atomic>
#include <box2d/box2d.h>
#include <game/Resources.h>
#include <pf/AppSettings.h>
#include <pf/Commerce.h>
#include <pf/CommerceListener.h>
#include <pf/DeviceID.h>
#include <pf/DeviceInfo.h>
#include <pf/LocalNotifications.h>
#include <pf/VideoPlayer.h>
#include <cstdint>
#include <exception>
#include <game/CompoSprite.h>
#include <game/Sprite.h>
#include <game/SpriteSheet.h>
#include <gr/Image.h>
#include <io/FileFormat.h>
#include <lang/Mutex.h>
#include <lang/Ptr.h>
#include <lang/Thread.h>
#include <lua/LuaObject.h>
#include <lua/LuaTable.h>
#include <map>
#include <memory>
#include <set>
#include <ctime>
#include <string>
#include <vector>

class GameApp;

namespace gr
{
class Context;
}

class GameCenter;
namespace lua
{
class WebViewLuaInterface;
}

namespace game
{
class Sprite;
class CompoSprite;
}

class b2Polygon;

/**
 * The bridge between the game scripts and the engine. Its table is the
 * scripts' global environment; its members are registered there as script
 * operations. The members are grouped by topic, in the order of the topic
 * files (GameLua_<topic>.cpp) that define them.
 */
class GameLua : public lua::LuaObject, public b2ContactListener, public b2ContactFilter, public b2DestructionListener,
	public pf::CommerceListener, public pf::LocalNotificationsListener, public pf::VideoPlayerObserver
{
public:
	// --- Records (GameLuaRecords.h) ----------------------------------------------------------------
	using Pose = ::Pose;
	using Decoration = ::Decoration;
	using RenderObjectData = ::RenderObjectData;
	using JointData = ::JointData;
	using ThemeSpriteData = ::ThemeSpriteData;
	using ThemeLayerData = ::ThemeLayerData;
	using TrajectoryData = ::TrajectoryData;
	using ScoreData = ::ScoreData;
	using AchievementData = ::AchievementData;
	typedef std::map<std::string, std::unique_ptr<RenderObjectData>> RenderObjects;
	/** z level -> sprite-sheet key -> object names in insertion order. */
	typedef std::map<int, std::map<const void*, std::vector<std::string>>> ZOrderTable;
	typedef std::map<std::string, lang::Ptr<MaskedImage>> MaskedImages;

	// --- Construction and the frame (GameLua.cpp, GameLua_Update.cpp) ------------------------------
	/** app: the owner, which outlives this; null is refused. */
	GameLua(GameApp* app, game::Resources* resources, lua::LuaState* state, gr::Context* context);
	/** Saves the save files, each on its own; a failure is logged and the next still runs. */
	~GameLua() override;

	/** "createStartUpAssets", then the clip limits of the tracks of the audio output it made. */
	void createAssets();
	/** "gameResumed" or "gamePaused", once the main script has been compiled. */
	void activate(bool active);
	/** One frame: screen, touches, the fixed physics steps, object export, then the script "update". */
	void update(float dt);
	void draw();
	/** Asks the host to end the program (exit code 0) after the current frame. */
	void requestExit();
	bool safeToQuit() const { return m_safeToQuit; }
	/** The script type of a global, without conversions (a numeric string stays a string). */
	int typeOf(const char* key) const;

	// --- Script callbacks: the functions the engine calls by name (GameLua_Callbacks.cpp) ---------
	/** A function the engine calls: its name, its arguments, when it is called, and whether a game must have it. */
	struct ScriptCallback
	{
		const char* name;
		const char* arguments;
		const char* when;
		bool required;
	};
	/** Every function the engine calls by name on the game table, in the order of a game's life. */
	static const std::vector<ScriptCallback>& scriptCallbacks();
	/** "the game's script has no function NAME, called WHEN", one line each, for the required ones the script lacks. */
	std::string missingRequiredCallbacks() const;
	/**
	 * Calls the script function name when the script defines it. A missing required one throws
	 * lua::LuaException naming it and when it is called; a missing optional one is said once in
	 * the log and skipped. callScriptNamed calls a function the script named itself (a purchase
	 * or notification callback), described by when; a missing one throws.
	 */
	template <class... A> void callScript(const char* name, const A&... args);
	template <class... A> void callScriptNamed(const std::string& name, const char* when, const A&... args);
	enum { ROLLING_SOUND_COUNT = 3 };

	// --- World: gravity, time scale, the enable switch, level limits (GameLua_World.cpp) -----------
	/** Removes every object and joint, then replaces the world. */
	void resetPhysicsWorld(const b2Vec2& gravity, bool allowSleep);
	void setWorldGravity(float x, float y);
	void setDeltaTimeMultiplier(float m);
	float getDeltaTimeMultiplier() { return m_deltaTimeMultiplier; }
	void setGravityForceMultiplier(float m);
	float getGravityForceMultiplier() { return m_gravityForceMultiplier; }
	int setPhysicsEnabledLua(lua::LuaState* state);
	void setPhysicsEnabled(bool enabled, const std::string& key);
	bool isPhysicsEnabled() { return m_physicsDisableCount == 0; }
	void setPhysicsSimulationScale(float s);
	void setLevelLimits(float left, float top, float right, float bottom);
	/** Anything that may wake a body or change what the per-object passes write calls this. */
	void touchWorld() { m_worldQuiet = false; }
	/** Every body asleep and nothing touched since: the frame's per-object passes are skipped. */
	bool worldQuiet() const { return m_worldQuiet && !m_orderDirty; }

	// --- Objects: creation, lookup, removal (GameLua_Objects.cpp) ----------------------------------
	void createBox(const std::string& name, const std::string& sprite, float x, float y, float width, float height,
		float density, float friction, float restitution, bool collisionEnabled, bool projectile, float zOrder);
	void createCircle(const std::string& name, const std::string& sprite, float x, float y, float radius,
		float density, float friction, float restitution, bool collisionEnabled, bool projectile, float zOrder);
	void createPolygon(const std::string& name, const std::string& sprite, float x, float y, float width, float height,
		float density, float friction, float restitution, bool collisionEnabled, bool projectile, float zOrder);
	void createLineShape(const std::string& name, const std::string& sprite, float x, float y, float width, float height,
		float density, float friction, float restitution, bool collisionEnabled, bool projectile, float zOrder);
	void clearVertices();
	void addVertex(float x, float y);
	int createCompoundBodyFromTable(lua::LuaState* state);
	void clearShapesArray();
	void addBoxToCompoundList(const std::string& name, float x, float y, float angle, float width, float height);
	void addPolygonToCompoundList(const std::string& name, float a, float b, float c, float d, float e);
	void addLineToCompoundList(const std::string& name, float a, float b, float c, float d, float e);
	void addCircleToCompoundList(const std::string& name, float x, float y, float angle, float radius);
	void setCompoundShapeLinearDamping(const std::string&, float) {}
	void setCompoundShapeParameter(const std::string&, float, float) {}
	void finalizeCompoundObject(const std::string&, float, float, float, float, float, float, bool, bool, float) {}
	void removeObject(const std::string& name);
	/** The body of that name, null when there is none (never inserts). */
	b2Body* getBody(const std::string& name) const;
	/** The record of that name, null when there is none (never inserts). */
	RenderObjectData* findObject(const std::string& name) const;

	// --- Bodies: motion, pose, damping, flags, object parameters (GameLua_Bodies.cpp) --------------
	void applyImpulse(const std::string& name, float ix, float iy, float px, float py);
	void applyForce(const std::string& name, float fx, float fy, float px, float py);
	void setVelocity(const std::string& name, float vx, float vy);
	void setAngularVelocity(const std::string& name, float w);
	void multiplyVelocity(const std::string& name, float m);
	float getVelocity(const std::string& name);
	float getAngularVelocity(const std::string& name);
	int getLinearVelocity(lua::LuaState* state);
	void setPosition(const std::string& name, float x, float y);
	void setRotation(const std::string& name, float angle);
	void setPivotOffset(const std::string& name, float x, float y);
	void setScale(const std::string& name, float sx, float sy);
	void setFixedRotation(const std::string& name, bool flag);
	void setAngularDamping(const std::string& name, float d);
	void setLinearDamping(const std::string& name, float d);
	void setSleeping(const std::string& name, bool flag);
	void setActive(const std::string& name, bool flag);
	void setAsSensor(const std::string& name, bool flag);
	void setCollisionEnabled(const std::string& name, bool flag);
	void setRecordVelocity(const std::string& name, bool flag);
	void setObjectParameter(const std::string& name, float id, float value);

	// --- Joints (GameLua_Joints.cpp) ---------------------------------------------------------------
	int createJointLua(lua::LuaState* state);
	int createJointsLua(lua::LuaState* state);
	void destroyJoint(const std::string& name);
	int setJointParametersLua(lua::LuaState* state);
	void removeJointsFromObject(const std::string& name);
	void setRevoluteJointSpeed(const std::string& name, float speed);
	/** Queues the breakable joints at that object weaker than force; allowed inside the step. */
	void removeBreakableJointsFromObject(const std::string& name, float force);
	void checkJointLimits(const std::string& name);
	/** The Box2D joint of the first joint of that name, null when none. */
	b2Joint* findJoint(const std::string& name) const;

	// --- Sensors and gravity fields (GameLua_Sensors.cpp) ------------------------------------------
	void setSensorMinimumAndMaximumForces(const std::string& name, float min, float max);
	void setSensorGravityMask(const std::string& name, int mask);
	void setObjectGravityCategory(const std::string& name, int category);
	void setRevertGravity(const std::string& name, bool flag);
	void setRevertGravityWithMultiplier(const std::string& name, bool flag, float multiplier, float speedLimit);
	void linkSensor(const std::string&) {}
	/** Sensor entry for (sensor, other); true when the sensor is a damaging one. */
	bool checkSensorContact(b2Fixture* sensor, b2Fixture* other);
	void sensorEndContact(b2Fixture* sensor, b2Fixture* other);
	/** Pushes the object by the field for one step; returns the force applied (zero when none). */
	b2Vec2 applySensorForceToObject(RenderObjectData& field, RenderObjectData& object);

	// --- Contact rules and damage (GameLua_Contacts.cpp) -------------------------------------------
	/**
	 * While set, contact starts raise sensor events but no impact or damage; setting it also drops
	 * the particle definitions, so edited ones are read again.
	 */
	void setEditing(bool flag)
	{
		m_editing = flag;
		m_particles->clearParticleCache();
	}

	// --- World queries (GameLua_Queries.cpp) -------------------------------------------------------
	float getAngle(const std::string& name);
	int getIntersectingObjects(lua::LuaState* state);
	int getRayCastedObjects(lua::LuaState* state);
	int getWorldPoint(lua::LuaState* state);
	int getLocalPoint(lua::LuaState* state);

	// --- Aiming: the predicted flight and the stream along it (GameLua_Aim.cpp) --------------------
	void populateAimingAid() { m_aimStream.populateStream(); }
	void setSelectedProjectileDuringSimulation(const std::string& name);
	void enableAimingAid(bool flag) { m_aimingAid = flag; }
	float getAimingTime();
	void clearAimingAid(float fraction);
	void setAimingAidSprite(const std::string& name);
	void updateProjectileTrajectoryTable();
	void ClearSimulationTrajectory() { m_simulationPoints.clear(); }

	// --- Shot trails (GameLua_Trails.cpp, GameLua_TrailDraw.cpp) -----------------------------------
	enum { NumTrajectories = 2 };
	void startNewTrajectory();
	void addToTrajectory(float, float x, float y) { currentTrajectory().points.push_back(math::float2(x, y)); }
	void addPuffToTrajectory(float, float x, float y);
	void setNormalTrailSprite(const std::string& name) { currentTrajectory().normalSprite = name; }
	void setSpecialTrailSprite(const std::string& name) { currentTrajectory().specialSprite = name; }
	void clearTrajectories();
	/** Shot trails in world space; the object pass runs it once, at the first projectile or animated object. */
	void drawTrajectories();
	/** The aiming stream and the predicted path, after the last z level. */
	void drawSimulationTrajectory();

	// --- Scene: themes, camera and view, objects' looks, the scene passes, texture batches ---------
	// (GameLua_Scene.cpp, GameLua_Themes.cpp, GameLua_SceneDraw.cpp, GameLua_Masked.cpp)
	void setTheme(const std::string& name);
	void setThemeOffsetY(const std::string& theme, float offset);
	/** Layer velocities, theme-sprite motion, animations and the foreground wrap; once per running frame. */
	void moveLayerSprites(float dt);
	void rotateThemeSprites(float dt);
	void createThemeSprite(const std::string& name, const std::string& spriteName, float x, float y, float scaleX,
		float scaleY, float angle, float layer, float scaleSpeed, bool mirrored, float velX, float velY);
	int createThemeAnimation(lua::LuaState* state);
	void removeThemeSprite(const std::string& name, float layer);
	void modifyThemeSprite(const std::string& name, float x, float y, float scaleX, float scaleY, float angle, float layer);
	void setThemeSprite(const std::string& name, const std::string& spriteName, float layer);
	void setTopLeft(float x, float y);
	void setWorldScale(float s);
	float worldScale() const { return m_worldScale; }
	void setMaxWorldScale(float s);
	void resetMouseWheelScale(float s);
	void setStartingCameraValue(bool flag);
	void setCameraLimits(float limit) { m_cameraLimit = limit; }
	/** Camera top-left in world pixels, shared by every world pass. */
	float cameraX() const { return m_cameraX; }
	float cameraY() const { return m_cameraY; }
	/** The background colour, 0xRRGGBB. */
	unsigned getBGColor() const { return m_bgColor; }
	void setBGColor(float r, float g, float b);
	int getBGColorLua(lua::LuaState* state);
	void setSprite(const std::string& name, const std::string& spriteName);
	void setVisible(const std::string& name, bool flag);
	void setMaterial(const std::string& name, const std::string& material);
	void setTexture(const std::string& name, const std::string& textureName);
	void setTextureScale(const std::string& name, float s);
	void setSpriteRotation(const std::string& name, float angle);
	void setDecorationObjects(const std::string& name);
	void drawLayer(float) {}
	void drawBackgroundNative(float layer);
	void drawGameNative(int foregroundZ);
	void drawForegroundNative();
	void drawForeground();
	void drawCompoOrNormalSprite(RenderObjectData& object, bool noScale);
	/** Hands a textured object to its texture batch; false when it is to be drawn as a plain object. */
	bool addToTextureBatch(RenderObjectData& object);
	/** Draws every texture batch filled since the last call, in texture-name order. */
	void renderTextureBatches();
	/** The texture batch of a texture name, made on first use. */
	MaskedImage& maskedImage(const std::string& textureName);

	// --- Particles (GameLua_Particles.cpp) ---------------------------------------------------------
	/** In-game particles behind (background) or in front of the objects; nothing while they are off. */
	void drawGameParticles(bool background);
	void drawParticlesNative() { drawGameParticles(false); }
	void drawMenuParticlesNative();
	void updateMenuParticlesNative(float dt);
	void setMenuParticlesScale(float scale);
	void clearParticlesNative() { m_particles->clearAll(); }
	void enableInGameParticlesNative(bool flag) { m_inGameParticles = flag; }

	// --- Immediate drawing for scripts (GameLua_Drawing.cpp, GameLua_DrawingText.cpp) -------------
	// All in screen pixels under the 2-D render state.
	int setRenderState(lua::LuaState* state);
	void drawLine2D(float x0, float y0, float x1, float y1, float width, float r, float g, float b, float a);
	void drawRectLines(float x0, float y0, float x1, float y1, float width, float r, float g, float b, float a);
	void drawRect(float r, float g, float b, float a, float x0, float y0, float x1, float y1, bool keepState);
	/** (sprite, x0, y0, x1, y1, width); up to four further numbers are accepted and unused. */
	int drawTexturedLine2D(lua::LuaState* state);
	void drawRubberband(float x0, float y0, float x1, float y1, float width, const std::string& sprite);
	/** At (x, y) less the camera, with the default render state; the flag is accepted and unused. */
	void drawTexturedRect(const std::string& sprite, float x, float y, float width, float height, bool);
	/** The sprite's outline filled with the texture's picture, at (x, y) in physics units. */
	void drawSelectedTexturizedObject(const std::string& sprite, const std::string& texture, float x, float y,
		float scaleX, float scaleY);
	void drawCompoSprite(const std::string& name, float x, float y);
	int drawUITextNative(lua::LuaState* state);
	void drawString3D(const std::string& group, const std::string& text, float x, float y, float z, float angle,
		float textX, float textY, float alpha);
	void clipText(const std::string& group, const std::string& key, float maxWidth);
	int drawBoxNative(lua::LuaState* state);
	int renderGravityVisualsNative(lua::LuaState* state);
	/** Registered for the scripts; it draws nothing. */
	void renderMaskedImageNative(const std::string&, int, int, int, int, int, int, int, int, float) {}

	// --- Script, level and save files (GameLua_Files.cpp, GameLua_json.cpp) -------------------------
	void compile(const std::string& name);
	void loadLuaFile(const std::string& name, const std::string& key, bool intoBlockTable, bool asBlockGroups);
	int loadLuaFileToObject(lua::LuaState* state);
	void loadLuaFileToObjectEditor(const std::string& name, const std::string& key);
	void loadBlocksForEditing();
	void addToBlocksTable(const lua::LuaTable& groups);
	bool checkForLuaFile(const std::string& name);
	void loadLevel(const std::string& name);
	void loadPreviousLevel(const std::string& unused);
	/** The level-load step that takes the simulation and stream settings from the script table "worldAttributes". */
	void applyWorldAttributes();
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
	const std::vector<std::string>& failedFiles() const { return m_failedFiles; }
	void clearFailedFiles() { m_failedFiles.clear(); }
	bool compileDone() const { return m_compileDone; }
	/** Why the main script did not load (empty when it did, or before it was tried). */
	const std::string& compileError() const { return m_compileError; }
	void importJSONToLuaTable(const std::string& json, const std::string& key);
	std::string exportLuaTableAsJSON(const std::string& key);
	std::string getJSONHash(const std::string& json);
	std::string GetJSONDiff(const std::string& keyA, const std::string& keyB);
	std::string decodeBase64(const std::string& text);
	void storePersistentData() {}
	void createDirectory(const std::string&) {}
	bool checkDirectory(const std::string&) { return false; }

	// --- Purchases (GameLua_Purchases.cpp) ---------------------------------------------------------
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

	// --- Leaderboards, achievements and analytics (GameLua_Leaderboards.cpp) ----------------------
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
	/** Starts the span logAnalyticsTimerEvent measures. */
	void resetTimer();
	void logAnalyticsTimerEvent(const std::string& name);
	void prepareAnalytics(analytics::Analytics* analytics) { m_analytics = analytics; }
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

	// --- Worker threads: URL checks, the advertisement, installed applications (GameLua_Workers.cpp)
	/** Most bytes a URL check, the advertisement description or the candidate list may answer. */
	static const long long MAX_WORKER_REPLY_BYTES = 64 * 1024;
	/** Most bytes of the advertisement image. */
	static const long long MAX_AD_IMAGE_BYTES = 8 * 1024 * 1024;
	/** Most bytes of a reply written to the log. */
	static const int MAX_LOGGED_REPLY_BYTES = 256;
	void startURLThread(const std::string& url);
	void checkMainMenuAd(const std::string& url);
	/** ticket: the check's place among the URL checks, so the latest one's reply wins. */
	void checkForURLProc(const std::string& url, uint64_t ticket);
	void checkMainMenuAdProc(const std::string& url, uint64_t);
	/** The image bytes with one zero byte after them; false, logged, when they cannot be had. */
	bool loadMainMenuAd(const std::string& imageUrl, std::vector<char>& image);
	/** Frame update: hands URL replies to the scripts. */
	void checkURLCallbacks();
	void checkInstalledApps(const std::string& url);
	void checkInstalledAppsOffline(const std::string& json);
	void getPossibleInstalledAppsProc(const std::string& url, uint64_t);
	/** The names of the candidates the device can open, comma-separated; "" when the list is malformed. */
	std::string determineInstalledApps(std::string json);
	bool mainMenuAdReady() const { return m_adReady.load(std::memory_order_acquire); }
	/** Frame update, once the advertisement is ready: turns it into the sheet "MAIN_MENU_AD_SHEET". */
	void createMainMenuAdImage();
	/** The advertisement's sheet with its one sprite "MAIN_MENU_AD_IMAGE"; null until made. */
	game::SpriteSheet* mainMenuAdSheet() const;
	/** Frame update: the installed-applications reply, then the advertisement, once their workers are done. */
	void deliverWorkerResults();
	/** Exit: transfers in flight give up and the workers are waited for, about a second at most. */
	void stopWorkers();

	// --- Other platform operations (GameLua_Platform.cpp) ------------------------------------------
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
	void setUseTestAds(bool) {}
	void notificationReceived(const std::string& eventName) override;
	/** Once a script named its callback: before that, due notifications wait. */
	bool isListening() const override { return !m_notificationCallback.empty(); }
	void videoPlayEnded() override;

	// --- Script utilities (GameLua_Utilities.cpp) --------------------------------------------------
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

	// --- Box2D listeners (GameLua_World.cpp): the contact rules, joints and sensors fill the hooks -
	void BeginContact(b2Contact* contact) override;
	void EndContact(b2Contact* contact) override;
	void PreSolve(b2Contact*, const b2Manifold*) override {}
	void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;
	bool ShouldCollide(b2Fixture* a, b2Fixture* b) override;
	void SayGoodbye(b2Fixture*) override {}
	void SayGoodbye(b2Joint* joint) override;

	// --- For tests and benchmarks: views of the state the game itself does not read ---------------
	b2World* world() const { return m_world.get(); }
	const RenderObjects& renderObjects() const { return m_renderObjects; }
	const ZOrderTable& zOrderTable() const { return m_zOrder; }
	size_t projectileCount() const { return m_projectiles.size(); }
	size_t animatedCount() const { return m_animated.size(); }
	const std::vector<RenderObjectData*>& parameter32List() const { return m_parameter32; }
	int poseSlot() const { return m_poseSlot; }
	float accumulator() const { return m_accumulator; }
	const int* levelLimits() const { return m_levelLimits; }
	float physicsSimulationScale() const { return m_simulationScale; }
	float gravityForceMultiplier() const { return m_gravityForceMultiplier; }
	bool deterministicPhysics() const { return m_deterministicPhysics; }
	void setDeterministicPhysics(bool on) { m_deterministicPhysics = on; }
	bool contactProcessingOff() const { return m_contactsOff; }
	/** The last frame's rolling volume of material 1 (wood), 2 (rock) or 3 (light). */
	float rollingVolume(int material) const { return m_rollingVolumes[material - 1]; }
	int rollingSoundHandle(int material) const { return m_rollingSoundHandles[material - 1]; }
	size_t jointCount() const { return m_joints.size(); }
	size_t queuedJointCount() const { return m_jointRemovalQueue.size(); }
	bool isEditing() const { return m_editing; }
	int simulationIterations() const { return m_simulationIterations; }
	float simulationTimeStepMultiplier() const { return m_simulationTimeStepMultiplier; }
	int simulationStorePointsSampler() const { return m_simulationStorePointsSampler; }
	const AimStream& aimStream() const { return m_aimStream; }
	bool aimingAidEnabled() const { return m_aimingAid; }
	const std::vector<math::float2>& simulationPoints() const { return m_simulationPoints; }
	const std::vector<TrajectoryData>& trajectories() const { return m_trajectories; }
	int currentTrajectoryIndex() const { return m_currentTrajectoryIndex; }
	const std::vector<ThemeLayerData>& backgroundLayers() const { return m_bgLayers; }
	const std::vector<ThemeLayerData>& foregroundLayers() const { return m_fgLayers; }
	/** How many times the foreground pass ran (for tests of the object pass). */
	int foregroundPasses() const { return m_foregroundPasses; }
	const MaskedImages& maskedImages() const { return m_maskedImages; }
	Particles& particles() { return *m_particles; }
	bool inGameParticlesEnabled() const { return m_inGameParticles; }
	pf::Commerce& commerce() { return m_commerce; }
	pf::LocalNotifications& localNotifications() { return m_localNotifications; }
	bool multitouchMouseWheelSimulation() const { return m_multitouchMouseWheelSimulation; }
	/** Waits for the workers to finish their transfers (tests). */
	void joinWorkers();

private:
	// --- Construction and the frame (GameLua.cpp, GameLua_Update.cpp) ------------------------------
	void logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters);
	void stepPhysics(float scaledDt, int64_t& physicsMicros);
	/** Puts to sleep islands that moved slowly for half a second, at the game's own tolerance. */
	void sleepSlowIslands(float h);
	void interpolatePoses(float scaledDt);
	void exportObjects(float scaledDt);
	/** Starts a stopped output again while the game is audio-active and its settings enable audio. */
	void restartAudio();
	/** Plays, re-volumes or stops the three rolling sounds from this frame's volumes. */
	void playRollingSounds();
	void publishTouches();

	// One registration per topic, in the catalogue's order; each lives beside the members it binds.
	void registerWorld();
	void registerObjects();
	void registerBodies();
	void registerJoints();
	void registerSensors();
	void registerQueries();
	void registerAim();
	void registerTrails();
	void registerScene();
	void registerParticles();
	void registerDrawing();
	void registerFiles();
	void registerPurchases();
	void registerLeaderboards();
	void registerWorkers();
	void registerPlatform();
	void registerUtilities();
	/** registerMethod for operations that change the world: each call ends a quiet spell. */
	template <auto Method> void registerWorldMethod(const char* name);
	template <auto Method> static int worldDispatch(lua_State* lua);
	// Hooks this platform has no counterpart for.
	void ignoreCall() {}
	void missingCallback(const char* name, const char* when);
	/** The optional callbacks already said to be missing. */
	std::set<std::string> m_skippedCallbacks;

	// --- World: Box2D calls and the listeners' errors (GameLua_World.cpp) ---------------------------
	void checkUnlocked(const std::string& name) const;
	/** Gives a dynamic body without fixture mass the mass 1; waits while the world is locked. */
	void fixMass(b2Body* body);
	void applyMassFixups();
	void destroyBody(b2Body* body);
	void setBodyEnabled(b2Body* body, bool enabled);
	void setBodyType(b2Body* body, b2BodyType type);
	/** Rethrows the first exception a listener kept during the last Box2D call. */
	void rethrowListenerError();
	template <class F> void listener(F hook);
	void removeAllObjects();

	// --- Objects (GameLua_Objects.cpp) -------------------------------------------------------------
	RenderObjectData& objectOrThrow(const std::string& name, const char* message);
	void checkNewName(const std::string& name) const;
	const std::vector<RenderObjectData*>& objectOrder();
	lua::LuaTable worldTable();
	lua::LuaTable jointsTable();
	std::unique_ptr<RenderObjectData> newRecord(const std::string& name, const std::string& sprite, float x, float y,
		float zOrder, bool collisionEnabled, bool projectile);
	b2Body* createBody(float x, float y, float angle, bool dynamic);
	void finishObject(std::unique_ptr<RenderObjectData> record, const char* type, float density, float friction,
		float restitution);
	void addToZOrder(RenderObjectData& record);

	// --- Joints (GameLua_Joints.cpp) ---------------------------------------------------------------
	/** worldPoints: null, or x1, y1, x2, y2 given beside the table for coordType 1. */
	void createJoint(const lua::LuaTable& description, const float* worldPoints);
	/** Drops the joints and links with that object at an end; destroys the Box2D joints when asked. */
	void dropJointsAt(RenderObjectData* record, bool destroyJoints);

	// --- Contact rules (GameLua_Contacts.cpp) ------------------------------------------------------
	void beginContact(b2Contact* contact);
	void endContact(b2Contact* contact);
	void postSolve(b2Contact* contact, const b2ContactImpulse* impulse);
	bool shouldCollide(b2Fixture* a, b2Fixture* b) const;

	// --- World queries (GameLua_Queries.cpp) -------------------------------------------------------
	/** Name, x, y at stack positions 1 to 3: pushes the world point of the local one, or the reverse. */
	int pushPoint(lua::LuaState* state, bool toWorld);

	// --- Shot trails (GameLua_Trails.cpp) ----------------------------------------------------------
	TrajectoryData& currentTrajectory() { return m_trajectories[m_currentTrajectoryIndex]; }

	// --- Scene (GameLua_Scene.cpp, GameLua_Themes.cpp, GameLua_SceneDraw.cpp) ----------------------
	/** The layer a theme-sprite operation addresses: background first, then foreground; null when none. */
	ThemeLayerData* themeLayer(float index);
	/** Screen position and factors of the first pass after the starting camera was cleared. */
	void captureReference();
	void drawThemeSprites(ThemeLayerData& layer, bool loop, float drawScale, float e, float dx, float dy);
	/** Resolves the object's sprite or composite and files it in the z-order table under its sheet. */
	void resolveObjectSprite(RenderObjectData& record);
	void drawObject(RenderObjectData& object, bool& trailsDrawn, bool& batched);

	// --- Files (GameLua_Files.cpp) -----------------------------------------------------------------
	/** Deciphers and opens a shipped file; hands entry 0 to use. */
	template <class F> void readShippedFile(const std::string& name, F use);
	void clearLevel();
	lua::LuaTable buildLevelTable(bool forReload);
	void writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted);

	// --- Leaderboards (GameLua_Leaderboards.cpp) ---------------------------------------------------
	GameCenter* service() const;

	// --- Worker threads (GameLua_Workers.cpp) ------------------------------------------------------
	/** Starts proc(arg) on a worker thread; finished workers are joined first. */
	void startWorker(void (GameLua::*proc)(const std::string&, uint64_t), const std::string& arg, uint64_t ticket = 0);
	/** Joins the workers whose procedures have returned. */
	void reapWorkers();

	// --- State, in construction order: the constructor's list and the workers' teardown rely on it
	MaskedImages m_maskedImages;
	GameApp* m_app;
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
	std::string m_compileError;
	bool m_contactsOff;
	std::string m_levelName;
	bool m_startingCameraSet;
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

	// Physics.
	int m_poseSlot;
	/** Play handles and this frame's loudest volumes of "wood_rolling", "rock_rolling", "light_rolling" (materials 1 to 3). */
	int m_rollingSoundHandles[ROLLING_SOUND_COUNT];
	float m_rollingVolumes[ROLLING_SOUND_COUNT];
	std::unique_ptr<b2World> m_world;
	RenderObjects m_renderObjects;
	/** The records in name order, for the frame's loops; rebuilt when an object comes or goes. */
	std::vector<RenderObjectData*> m_order;
	bool m_orderDirty;
	ZOrderTable m_zOrder;
	std::map<std::string, RenderObjectData*> m_projectiles;
	std::map<std::string, RenderObjectData*> m_animated;
	std::vector<RenderObjectData*> m_parameter32;
	std::vector<std::unique_ptr<JointData>> m_joints;
	std::vector<std::unique_ptr<JointData>> m_jointRemovalQueue;
	std::vector<b2Vec2> m_vertices;
	std::vector<std::string> m_compoundNames;
	std::vector<std::vector<float>> m_compoundShapes;
	std::map<std::string, int> m_physicsDisable;
	int m_physicsDisableCount;
	float m_deltaTimeMultiplier;
	float m_simulationScale;
	int m_levelLimits[4];
	/** Depth of our calls into Box2D that may report EndContact. */
	int m_insideBox2D;
	/** The first exception out of a listener during one Box2D call. */
	std::exception_ptr m_listenerError;
	/** Bodies whose mass waits for the world to unlock. */
	std::vector<b2Body*> m_massFixups;
	std::vector<b2Body*> m_islandStack;
	std::vector<b2Body*> m_island;
	std::vector<b2Body*> m_sleepCandidates;
	unsigned m_sleepStep;
	/**
	 * True from a frame's export that found every body asleep and no object with per-frame work
	 * (wobble, removal timer, flying projectile, animation choice), until anything touches the
	 * world. While true the per-object passes have nothing to do and are skipped.
	 */
	bool m_worldQuiet = false;
	const std::vector<RenderObjectData*> m_noObjects;
	/** The last island search of the sleep pass; each search marks the records it reaches. */
	unsigned m_islandSearch = 0;

	std::unique_ptr<Particles> m_particles;
	bool m_inGameParticles = false;
	AimStream m_aimStream;
	bool m_aimingAid = false;
	std::vector<math::float2> m_simulationPoints;
	b2Body* m_selectedSimulationBody = nullptr;
	AimingForces m_aimingForces;
	std::vector<TrajectoryData> m_trajectories{NumTrajectories};
	int m_currentTrajectoryIndex = 0;
	pf::AppSettings m_appSettings;
	pf::LocalNotifications m_localNotifications;
	pf::Commerce m_commerce;
	std::string m_purchaseCallback;
	std::string m_notificationCallback;
	pf::VideoPlayer m_videoPlayer;
	/** The scripts' WebView table; its views go with it. */
	std::unique_ptr<lua::WebViewLuaInterface> m_webViews;
	bool m_multitouchMouseWheelSimulation;

	GameCenter* m_gameCenter;
	int64_t m_timerStart;

	/** Set once at exit: transfers in flight give up. */
	std::atomic<bool> m_stopWorkers;
	/** URL checks started so far (game thread only). */
	uint64_t m_urlTickets = 0;
	/** Guards the URL replies and the advertisement and candidate-list results below. */
	lang::Mutex m_mutex;
	std::map<std::string, std::string> m_urlReplies;
	/** The ticket of the reply last kept for each address. */
	std::map<std::string, uint64_t> m_urlReplyTickets;
	std::vector<char> m_adImage;
	io::FileFormat m_adFormat;
	std::string m_adLink;
	std::string m_adTimeStamp;
	std::atomic<bool> m_adReady;
	std::string m_appsReply;
	std::atomic<bool> m_appsReady;
	/** A worker thread and whether its procedure has returned, so that joining it cannot wait. */
	struct Worker
	{
		lang::Ptr<lang::Thread> thread;
		std::shared_ptr<std::atomic<bool>> done;
	};
	/** After everything the workers touch, so that it goes first. */
	std::vector<Worker> m_workers;
	int m_appsTtl;

	// Scene state.
	float m_cameraX = 0.f, m_cameraY = 0.f;
	float m_worldScale = 1.f;
	float m_cameraLimit = 0.f;
	bool m_referenceFactorsCaptured = false;
	float m_refFactorH = 1.f;
	float m_refScreenX = 0.f, m_refScreenY = 0.f, m_refWorldScale = 1.f;
	float m_skyColor[3] = {0.f, 0.f, 0.f};
	float m_groundColor[3] = {0.f, 0.f, 0.f};
	std::vector<ThemeLayerData> m_bgLayers;
	std::vector<ThemeLayerData> m_fgLayers;
	int m_foregroundPasses = 0;
	// Contact rules (GameLua_Contacts.cpp).
	bool m_editing = false;
};

template <auto Method> int GameLua::worldDispatch(lua_State* lua)
{
	if (GameLua* self = lua::LuaFunctor::fromStored<GameLua>(lua_touserdata(lua, lua_upvalueindex(1))))
		self->touchWorld();
	return lua::LuaMemberDispatcher<GameLua, Method>::dispatch(lua);
}

template <auto Method> void GameLua::registerWorldMethod(const char* name)
{
	lua::LuaFunctor lf(this, Method);
	registerClosure(name, &lf, &worldDispatch<Method>, lua::typedSignature<decltype(Method)>());
}

template <class... A> void GameLua::callScript(const char* name, const A&... args)
{
	if (!callIfFunction(name, args...))
		missingCallback(name, nullptr);
}

template <class... A> void GameLua::callScriptNamed(const std::string& name, const char* when, const A&... args)
{
	if (!callIfFunction(name.c_str(), args...))
		missingCallback(name.c_str(), when);
}

/** A date table ("year", "month", "day", and "hour", "minutes", "seconds" when numbers) as a calendar record. */
void getTimeAsStruct(const lua::LuaTable& date, tm& out);

#endif
