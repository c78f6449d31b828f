#ifndef GAMELUARECORDS_H
#define GAMELUARECORDS_H

// The records GameLua keeps for objects, joints, themes, trails and the leaderboard service.
// GameLua names each of them as a member type too (GameLua::RenderObjectData, ...).
#include <box2d/box2d.h>
#include <game/CompoSprite.h>
#include <game/Sprite.h>
#include <gr/Image.h>
#include <lang/Ptr.h>
#include <lua/LuaTable.h>
#include <math/float2.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

/** One leaderboard entry as the leaderboard service reports it. */
struct ScoreData
{
	std::string playerID;
	std::string alias;
	int rank;
	int value;
	std::string formattedValue;
	std::string category;
};

/** One achievement as the leaderboard service reports it. */
struct AchievementData
{
	std::string id;
	std::string title;
	std::string achievedDescription;
	bool completed;
	bool hidden;
	float percentComplete;
};

#endif
