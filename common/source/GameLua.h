#ifndef GAMELUA_H
#define GAMELUA_H

#include <analytics/Analytics.h>
#include "Particles.h"
#include "AimStream.h"
#include "AimingStep.h"
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
 * operations.
 */
class GameLua : public lua::LuaObject, public b2ContactListener, public b2ContactFilter, public b2DestructionListener,
	public pf::CommerceListener, public pf::LocalNotificationsListener, public pf::VideoPlayerObserver
{
public:
	/** A body pose: position and angle in radians. */
	struct Pose
	{
		float x, y, angle;
	};

	/** Decoration sprites drawn around an object. */
	struct Decoration
	{
		lang::Ptr<game::Sprite> sprite;
		float angleIncrement = 0.f;
		int amount = 0;
		float scale = 0.f;
	};

	/** The game's own state of one named object; every fixture's user data is its record. */
	struct RenderObjectData
	{
		// Read by the update passes for every object every frame: kept together, ahead of the rest.
		b2Body* body = nullptr;
		lua::LuaTable table;
		/** Where the script table lives, as a hint for prefetching only. */
		const void* tableAddress = nullptr;
		Pose poses[2] = {};
		Pose renderPose = {};
		/** The body rotation rotAngle was last worked out from, and that angle. */
		b2Rot angleRot = b2Rot(0.f);
		float rotAngle = 0.f;
		/** Seconds of slow motion, for the game's own sleep rule, and the sleep pass that last grew it. */
		float slowTime = 0.f;
		unsigned slowStep = 0;
		unsigned islandSearch = 0;
		int kind = 0;
		int material = 0;
		bool awake = false;
		bool projectile = false;
		bool jointed = false;
		bool recordVelocity = false;
		bool parameter9Flag = false;
		bool selectsAnimation = false;
		bool wobbling = false;
		bool removalTimerEnabled = false;
		bool pendingVelocitySet = false;
		b2Vec2 pendingVelocity = b2Vec2(0.f, 0.f);
		std::vector<RenderObjectData*> gravityFields;
		std::vector<lang::Ptr<game::Sprite>> pieceSprites;
		std::vector<lang::Ptr<game::CompoSprite>> pieceCompoSprites;
		std::vector<b2Vec2> pieceOffsets;
		std::vector<float> pieceAngles;
		std::vector<std::string> pieceNames;
		std::string name;
		std::string spriteName;
		std::string textureName;
		lang::Ptr<game::CompoSprite> compoSprite;
		/** The image of the texture's sheet; set by setTexture. */
		lang::Ptr<gr::Image> textureImage;
		lang::Ptr<game::Sprite> sprite;
		float radius = 0.f;
		float width = 0.f;
		float height = 0.f;
		float firstAngle = 0.f;
		float spriteAngle = 0.f;
		b2Vec2 pivotOffset = b2Vec2(0.f, 0.f);
		b2Vec2 scale = b2Vec2(0.f, 0.f);
		float textureScale = 0.f;
		b2Vec2 baseScale = b2Vec2(0.f, 0.f);
		b2Fixture* impactFixture = nullptr;
		float zOrder = 0.f;
		float removalTimer = 0.f;
		float drawingValue = 0.f;
		float wobbleTime = 0.f;
		float wobbleAmplitude = 0.f;
		float wobbleStartAmplitude = 0.f;
		float wobbleFrequency = 0.f;
		float wobbleStrength = 0.f;
		std::unique_ptr<Decoration> decoration;
		int sensorGravityMask = 0;
		int parameter24 = 0;
		float sensorMinForce = 0.f;
		float sensorMaxForce = 0.f;
		float sensorRadius = 0.f;
		float parameter28 = 0.f;
		float sensorLength = 0.f;
		float parameter29 = 0.f;
		int gravityCategory = 0;
		float flightTime = 0.f;
		bool killingVolume = false;
		bool revertGravity = false;
		bool revertGravityLimited = false;
		float revertMultiplier = 0.f;
		float revertSpeedLimit = 0.f;
		bool compound = false;
		bool mirrored = false;
		bool fixedDrawAngle = false;
		bool noWobble = false;
		bool ignoresImmovable = false;
		bool collisionEnabled = false;
		bool decorated = false;
		bool ignoresKillingVolume = false;
		bool parameter22Flag = false;
		bool rollingSound = false;
		bool animated = false;
		bool stopsInKillingVolume = false;
		bool tracksImpacts = false;
		bool hardImpact = false;
		bool angleCaptured = false;
		bool visible = false;
		/** The sprite-sheet key of its z-order entry. */
		const void* sheetKey = nullptr;
	};

	/** One script-made joint or timer link (made by the joint operations). */
	struct JointData
	{
		std::string name;
		b2Joint* joint = nullptr;
		int type = 0;
		RenderObjectData* end1 = nullptr;
		RenderObjectData* end2 = nullptr;
		/** The anchor convention used at creation (0, 1 or 2). */
		int coordType = 0;
	};

	typedef std::map<std::string, std::unique_ptr<RenderObjectData>> RenderObjects;
	/** z level -> sprite-sheet key -> object names in insertion order. */
	typedef std::map<int, std::map<const void*, std::vector<std::string>>> ZOrderTable;

	GameLua(framework::App* app, game::Resources* resources, lua::LuaState* state, gr::Context* context);
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

	// Physics world and objects (GameLua_Physics.cpp).
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
	enum { ROLLING_SOUND_COUNT = 3 };
	/** The last frame's rolling volume of material 1 (wood), 2 (rock) or 3 (light). */
	float rollingVolume(int material) const { return m_rollingVolumes[material - 1]; }
	int rollingSoundHandle(int material) const { return m_rollingSoundHandles[material - 1]; }
	void setPhysicsSimulationScale(float s);
	void setLevelLimits(float left, float top, float right, float bottom);

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
	void removeObject(const std::string& name);

	b2World* world() const { return m_world.get(); }
	/** The body of that name, null when there is none (never inserts). */
	b2Body* getBody(const std::string& name) const;
	/** The record of that name, null when there is none (never inserts). */
	RenderObjectData* findObject(const std::string& name) const;
	const RenderObjects& renderObjects() const { return m_renderObjects; }
	const ZOrderTable& zOrderTable() const { return m_zOrder; }
	size_t projectileCount() const { return m_projectiles.size(); }
	size_t animatedCount() const { return m_animated.size(); }
	const std::vector<RenderObjectData*>& parameter32List() const { return m_parameter32; }
	int poseSlot() const { return m_poseSlot; }
	float accumulator() const { return m_accumulator; }
	/** Anything that may wake a body or change what the per-object passes write calls this. */
	void touchWorld() { m_worldQuiet = false; }
	/** Every body asleep and nothing touched since: the frame's per-object passes are skipped. */
	bool worldQuiet() const { return m_worldQuiet && !m_orderDirty; }
	const int* levelLimits() const { return m_levelLimits; }
	float physicsSimulationScale() const { return m_simulationScale; }

	// Box2D listeners: the contact rules, joints and sensors fill the hooks.
	void BeginContact(b2Contact* contact) override;
	void EndContact(b2Contact* contact) override;
	void PreSolve(b2Contact*, const b2Manifold*) override {}
	void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;
	bool ShouldCollide(b2Fixture* a, b2Fixture* b) override;
	void SayGoodbye(b2Fixture*) override {}
	void SayGoodbye(b2Joint* joint) override;

	// Contact rules and damage (GameLua_Contacts.cpp).
	/** While set, contact starts raise sensor events but no impact or damage; setting it also drops the particle definitions, so edited ones are read again. */
	void setEditing(bool flag)
	{
		m_editing = flag;
		m_particles->clearParticleCache();
	}
	bool isEditing() const { return m_editing; }

	// Joints (GameLua_Joints.cpp).
	int createJointLua(lua::LuaState* state);
	int createJointsLua(lua::LuaState* state);
	void destroyJoint(const std::string& name);
	int setJointParametersLua(lua::LuaState* state);
	void removeJointsFromObject(const std::string& name);
	void setRevoluteJointSpeed(const std::string& name, float speed);
	/** Queues the breakable joints at that object weaker than force; allowed inside the step. */
	void removeBreakableJointsFromObject(const std::string& name, float force);
	void checkJointLimits(const std::string& name);
	size_t jointCount() const { return m_joints.size(); }
	size_t queuedJointCount() const { return m_jointRemovalQueue.size(); }
	/** The Box2D joint of the first joint of that name, null when none. */
	b2Joint* findJoint(const std::string& name) const;

	// Sensors and gravity fields (GameLua_Sensors.cpp).
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

	// World queries (GameLua_Queries.cpp).
	float getAngle(const std::string& name);
	int getIntersectingObjects(lua::LuaState* state);
	int getRayCastedObjects(lua::LuaState* state);
	int getWorldPoint(lua::LuaState* state);
	int getLocalPoint(lua::LuaState* state);
	bool safeToQuit() const { return m_safeToQuit; }
	/** Starts the span logAnalyticsTimerEvent measures. */
	void resetTimer();
	void setUseTestAds(bool) {}
	void prepareAnalytics(analytics::Analytics* analytics) { m_analytics = analytics; }

	// Scene: themes, camera and view, the scene passes (GameLua_Scene.cpp, GameLua_Themes.cpp, GameLua_SceneDraw.cpp).
	/** One sprite or animation placed in a theme layer. */
	struct ThemeSpriteData
	{
		lang::Ptr<game::Sprite> sprite;
		std::vector<std::string> animation;
		bool animated = false;
		float frameDelay = 0.f;
		float frameTimer = 0.f;
		int frame = 0;
		bool loop = false;
		float originX = 0.f, originY = 0.f;
		float x = 0.f, y = 0.f;
		float scaleX = 1.f, scaleY = 1.f;
		float angle = 0.f;
		float angularSpeed = 0.f;
		bool mirrored = false;
		std::string name;
		std::string spriteName;
		float velX = 0.f, velY = 0.f;
		float scaleSpeed = 0.f;
		float startX = 0.f, startY = 0.f;
	};
	/** One background or foreground layer of the current theme. */
	struct ThemeLayerData
	{
		std::string secondaryName;
		std::string spriteName;
		int16_t spriteHeight = 0, spriteWidth = 0;
		int16_t pivotX = 0, pivotY = 0;
		float parallaxSpeed = 1.f;
		float zDistance = 0.f;
		float scrollStep = 0.f;
		float scale = 1.f;
		float scrollOffset = 0.f;
		bool bgLayer = false, verticalRepetition = false, horizontalRepetition = false;
		float velX = 0.f, velY = 0.f, posX = 0.f, posY = 0.f, offsetX = 0.f, offsetY = 0.f;
		float scaleSpeed = 1.f;
		float angle = 0.f;
		float angleMult = 0.f, xMult = 1.f, yMult = 1.f;
		bool emptySprite = false;
		bool bLoop = true;
		std::vector<ThemeSpriteData> sprites;
	};
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
	const std::vector<ThemeLayerData>& backgroundLayers() const { return m_bgLayers; }
	const std::vector<ThemeLayerData>& foregroundLayers() const { return m_fgLayers; }
	void setTopLeft(float x, float y);
	void setWorldScale(float s);
	float worldScale() const { return m_worldScale; }
	void setMaxWorldScale(float s);
	void resetMouseWheelScale(float s);
	void setStartingCameraValue(bool flag);
	void setCameraLimits(float limit) { m_cameraLimit = limit; }
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
	/** How many times the foreground pass ran (for tests of the object pass). */
	int foregroundPasses() const { return m_foregroundPasses; }

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
	bool deterministicPhysics() const { return m_deterministicPhysics; }
	Particles& particles() { return *m_particles; }
	float gravityForceMultiplier() const { return m_gravityForceMultiplier; }
	int simulationIterations() const { return m_simulationIterations; }
	float simulationTimeStepMultiplier() const { return m_simulationTimeStepMultiplier; }
	int simulationStorePointsSampler() const { return m_simulationStorePointsSampler; }
	const AimStream& aimStream() const { return m_aimStream; }
	bool aimingAidEnabled() const { return m_aimingAid; }
	const std::vector<math::float2>& simulationPoints() const { return m_simulationPoints; }
	/** The level-load step that takes the simulation and stream settings from the script table "worldAttributes". */
	void applyWorldAttributes();
	// Aiming: prediction of the flight and the stream along it.
	void updateProjectileTrajectoryTable();
	void ClearSimulationTrajectory() { m_simulationPoints.clear(); }

	// Immediate drawing for scripts (GameLua_Drawing*.cpp); all in screen pixels under the 2-D render state.
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

	// Scene passes filled in by their own topic files.
	/** Shot trails in world space; the object pass runs it once, at the first projectile or animated object. */
	void drawTrajectories();
	/** The aiming stream and the predicted path, after the last z level. */
	void drawSimulationTrajectory();
	/** In-game particles behind (background) or in front of the objects; nothing while they are off. */
	void drawGameParticles(bool background);
	// Particle operations (GameLua_Particles.cpp).
	void drawParticlesNative() { drawGameParticles(false); }
	void drawMenuParticlesNative();
	void updateMenuParticlesNative(float dt);
	void setMenuParticlesScale(float scale);
	void clearParticlesNative() { m_particles->clearAll(); }
	void enableInGameParticlesNative(bool flag) { m_inGameParticles = flag; }
	bool inGameParticlesEnabled() const { return m_inGameParticles; }
	/** Camera top-left in world pixels, shared by every world pass. */
	float cameraX() const { return m_cameraX; }
	float cameraY() const { return m_cameraY; }
	/** Hands a textured object to its texture batch; false when it is to be drawn as a plain object. */
	bool addToTextureBatch(RenderObjectData& object);
	/** Draws every texture batch filled since the last call, in texture-name order. */
	void renderTextureBatches();
	/** The texture batch of a texture name, made on first use. */
	MaskedImage& maskedImage(const std::string& textureName);
	typedef std::map<std::string, lang::Ptr<MaskedImage>> MaskedImages;
	const MaskedImages& maskedImages() const { return m_maskedImages; }
	void populateAimingAid() { m_aimStream.populateStream(); }
	void setSelectedProjectileDuringSimulation(const std::string& name);
	void enableAimingAid(bool flag) { m_aimingAid = flag; }
	float getAimingTime();
	void clearAimingAid(float fraction);
	void setAimingAidSprite(const std::string& name);

	/** The path of one shot, as the scripts recorded it. */
	struct TrajectoryData
	{
		std::vector<math::float2> points;
		bool puff = false;
		float puffX = 0.f;
		float puffY = 0.f;
		std::string normalSprite;
		std::string specialSprite;
	};
	enum { NumTrajectories = 2 };
	void startNewTrajectory();
	void addToTrajectory(float, float x, float y) { currentTrajectory().points.push_back(math::float2(x, y)); }
	void addPuffToTrajectory(float, float x, float y);
	void setNormalTrailSprite(const std::string& name) { currentTrajectory().normalSprite = name; }
	void setSpecialTrailSprite(const std::string& name) { currentTrajectory().specialSprite = name; }
	void clearTrajectories();
	const std::vector<TrajectoryData>& trajectories() const { return m_trajectories; }
	int currentTrajectoryIndex() const { return m_currentTrajectoryIndex; }
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
	/** Waits for the workers to finish their transfers (tests). */
	void joinWorkers();
	/** Exit: transfers in flight give up and the workers are waited for, about a second at most. */
	void stopWorkers();

	/** The script type of a global, without conversions (a numeric string stays a string). */
	int typeOf(const char* key) const;

private:
	MaskedImages m_maskedImages;
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
	TrajectoryData& currentTrajectory() { return m_trajectories[m_currentTrajectoryIndex]; }
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

	GameCenter* service() const;

	// Hooks this platform has no counterpart for.
	void ignoreCall() {}

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
	/** Starts proc(arg) on a worker thread; finished workers are joined first. */
	void startWorker(void (GameLua::*proc)(const std::string&, uint64_t), const std::string& arg, uint64_t ticket = 0);
	/** Joins the workers whose procedures have returned. */
	void reapWorkers();
	void registerPlatform();
	void registerUtilities();

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
	/** The layer a theme-sprite operation addresses: background first, then foreground; null when none. */
	ThemeLayerData* themeLayer(float index);
	/** Screen position and factors of the first pass after the starting camera was cleared. */
	void captureReference();
	void drawThemeSprites(ThemeLayerData& layer, bool loop, float drawScale, float e, float dx, float dy);
	/** Resolves the object's sprite or composite and files it in the z-order table under its sheet. */
	void resolveObjectSprite(RenderObjectData& record);
	void drawObject(RenderObjectData& object, bool& trailsDrawn, bool& batched);

	// Contact rules (GameLua_Contacts.cpp).
	bool m_editing = false;
	void beginContact(b2Contact* contact);
	void endContact(b2Contact* contact);
	void postSolve(b2Contact* contact, const b2ContactImpulse* impulse);
	bool shouldCollide(b2Fixture* a, b2Fixture* b) const;
	// Joints (GameLua_Joints.cpp).
	/** worldPoints: null, or x1, y1, x2, y2 given beside the table for coordType 1. */
	void createJoint(const lua::LuaTable& description, const float* worldPoints);
	/** Drops the joints and links with that object at an end; destroys the Box2D joints when asked. */
	void dropJointsAt(RenderObjectData* record, bool destroyJoints);
	// World queries (GameLua_Queries.cpp).
	/** Name, x, y at stack positions 1 to 3: pushes the world point of the local one, or the reverse. */
	int pushPoint(lua::LuaState* state, bool toWorld);

	// Physics helpers (GameLua_Physics.cpp).
	RenderObjectData& objectOrThrow(const std::string& name, const char* message);
	void checkUnlocked(const std::string& name) const;
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
	/** Puts to sleep islands that moved slowly for half a second, at the game's own tolerance. */
	void sleepSlowIslands(float h);
	/** registerMethod for operations that change the world: each call ends a quiet spell. */
	template <auto Method> void registerWorldMethod(const char* name);
	template <auto Method> static int worldDispatch(lua_State* lua);
	// Frame update (GameLua_Update.cpp).
	void stepPhysics(float scaledDt, int64_t& physicsMicros);
	void interpolatePoses(float scaledDt);
	void exportObjects(float scaledDt);
	/** Starts a stopped output again while the game is audio-active and its settings enable audio. */
	void restartAudio();
	/** Plays, re-volumes or stops the three rolling sounds from this frame's volumes. */
	void playRollingSounds();
	void publishTouches();
	/** Deciphers and opens a shipped file; hands entry 0 to use. */
	template <class F> void readShippedFile(const std::string& name, F use);
	void clearLevel();
	lua::LuaTable buildLevelTable(bool forReload);
	void writeTable(const std::string& name, const lua::LuaTable& table, bool encrypted);
	void logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters);
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
	registerClosure(name, &lf, &worldDispatch<Method>);
}

/** A date table ("year", "month", "day", and "hour", "minutes", "seconds" when numbers) as a calendar record. */
void getTimeAsStruct(const lua::LuaTable& date, tm& out);

#endif
