#include "../game/Sweep.h"
#include "GameFixture.h"
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace
{
// Physics objects and world.
const char* const kPhysicsNames[] = {
	"setDeltaTimeMultiplier", "getDeltaTimeMultiplier", "clearShapesArray", "addBoxToCompoundList",
	"addPolygonToCompoundList", "addLineToCompoundList", "addCircleToCompoundList",
	"setCompoundShapeLinearDamping", "setCompoundShapeParameter", "finalizeCompoundObject",
	"createCompoundBodyFromTable", "setWorldGravity", "createBox", "createCircle", "createPolygon",
	"createLineShape", "clearVertices", "addVertex", "applyImpulse", "applyForceNative", "setPosition",
	"setRotation", "setPivotOffset", "setScale", "setVelocity", "setAngularVelocity", "getAngularVelocity",
	"getVelocity", "getLinearVelocity", "setFixedRotation", "setAngularDamping", "setLinearDamping",
	"setAsSensor", "multiplyVelocity", "setPhysicsSimulationScale", "setPhysicsEnabled", "isPhysicsEnabled",
	"removeObject", "setSleeping", "setActive", "setObjectParameter", "setCollisionEnabled", "setLevelLimits",
	"setRecordVelocity",
};

// Everything after the physics group, in the catalogue's order.
const char* const kGameNames[] = {
	"createJoint", "createJoints", "destroyJoint", "setJointParameters", "removeJointsFromObject",
	"setRevoluteJointSpeed", "removeBreakableJointsFromObject", "checkJointLimits", "setGravityForceMultiplier",
	"getGravityForceMultiplier", "setSensorMinimumAndMaximumForces", "setSensorGravityMask",
	"setObjectGravityCategory", "linkSensor", "setRevertGravity", "setRevertGravityWithMultiplier", "getAngle",
	"getIntersectingObjects", "getRayCastedObjects", "getWorldPoint", "getLocalPoint",
	"ClearSimulationTrajectory", "updateProjectileTrajectoryTable", "populateAimingAid",
	"setSelectedProjectileDuringSimulation", "enableAimingAid", "getAimingTime", "clearAimingAid",
	"setAimingAidSprite", "startNewTrajectory", "addToTrajectory", "addPuffToTrajectory", "setNormalTrailSprite",
	"setSpecialTrailSprite", "setBGColor", "getBGColor", "createThemeSprite", "removeThemeSprite",
	"modifyThemeSprite", "rotateThemeSprites", "setThemeSprite", "setThemeOffsetY", "setSpriteRotation",
	"setDecorationObjects", "setTopLeft", "setMaxWorldScale", "setEditing", "setWorldScale",
	"resetMouseWheelScale", "drawGameNative", "drawBackgroundNative", "drawLayer", "drawParticlesNative",
	"drawMenuParticlesNative", "updateMenuParticlesNative", "setMenuParticlesScale", "clearParticlesNative",
	"enableInGameParticlesNative", "setSprite", "setVisible", "setMaterial", "setTexture", "setTextureScale",
	"setTheme", "drawForegroundNative", "setStartingCameraValue", "setCameraLimits", "createThemeAnimation",
	"drawRubberband", "drawUITextNative", "renderGravityVisualsNative", "drawString3D",
	"drawSelectedTexturizedObject", "drawRect", "drawTexturedRect", "setRenderState", "drawTexturedLine2D",
	"drawLine2D", "drawRectLines", "drawCompoSprite", "drawForeground", "clipText", "drawBoxNative",
	"renderMaskedImageNative", "loadBlocksForEditing", "loadLevel", "loadPreviousLevel", "saveLevel",
	"saveLevelForReload", "saveLuaFile", "savePersistentLuaFile", "storePersistentData", "createDirectory",
	"checkDirectory", "checkForLuaFile", "onLoadLuaFileFail", "importJSONToLuaTable", "exportLuaTableAsJSON",
	"getJSONHash", "GetJSONDiff", "decodeBase64", "loadLuaFileToObject", "loadLuaFile", "iapBuyItem",
	"iapInitItemPurchase", "iapGetItemCount", "iapGetItemAt", "iapSetItemDescription", "iapRestoreItems",
	"iapIsAllowed", "resetTimer", "logAnalyticsTimerEvent", "initGameCenter", "getLeaderboardScoresForPlayers",
	"getLeaderboardScoresForRange", "showLeaderboards", "showAchievements", "postHighscore", "unlockAchievement",
	"setStat", "setStatFloat", "logAnalyticsEvent", "logAnalyticsEventWithParam", "logAnalyticsEventWithParams",
	"checkMainMenuAd", "native_startURLThread", "checkInstalledAppsOnline", "checkInstalledAppsOffline",
	"openPartnerShop", "requestExit", "checkForUpdates", "callVersionUpdater", "captureMouse", "isMouseCaptured",
	"setFullScreenMode", "setResolution", "isInFullScreenMode", "getClipboardText",
	"setIsMultitouchMouseWheelSimulationEnabled", "doesMouseClickSetsTouchCount", "enableSmoothZooming",
	"addNotificationAfter", "removeNotification", "removeAllNotifications", "setNotificationCallback",
	"goToTaskSwitcherLua", "setGameOn", "activateGameOverlayToStore", "showBannerAd", "hideBannerAd",
	"requestBannerAd", "showInterstitialAd", "requestInterstitialAd", "requestAndShowInterstitialAd", "stopAds",
	"showExpandableAd", "requestExpandableAd", "hideExpandableAd", "enableiAds", "disableiAds",
	"requestInterstitial", "showInterstitial", "playVideo", "setChannelCountLimit", "print", "GetDate",
	"throwException", "printGlobals", "setGameParameters", "performBitwiseAnd", "performBitwiseOr",
	"getCurrentTime", "getTimeDifference", "getTimeDifferenceInSeconds",
};

const char* const kParticleNames[] = {
	"addParticles", "addParticlesWithScale", "addParticlesWithProperties", "addGravitySensor",
};

std::string list(const char* const* names, size_t count)
{
	std::string s = "{";
	for (size_t i = 0; i < count; ++i)
		s += std::string("'") + names[i] + "',";
	return s + "}";
}

#define LIST(a) list(a, sizeof a / sizeof *a)

/** The names less the operations that start HTTP requests: the sweep stays inside the process. */
std::string insideProcess(const char* const* names, size_t count)
{
	static const std::set<std::string> outside = {"checkMainMenuAd", "native_startURLThread", "checkInstalledAppsOnline"};
	std::vector<const char*> kept;
	for (size_t i = 0; i < count; ++i)
		if (!outside.count(names[i]))
			kept.push_back(names[i]);
	return list(kept.data(), kept.size());
}

/** Runs the test with TZ fixed, then puts the old one back. */
class FixedZone
{
public:
	explicit FixedZone(const char* zone)
	{
		const char* old = getenv("TZ");
		m_had = old != nullptr;
		if (old)
			m_old = old;
		setenv("TZ", zone, 1);
		tzset();
	}
	~FixedZone()
	{
		if (m_had)
			setenv("TZ", m_old.c_str(), 1);
		else
			unsetenv("TZ");
		tzset();
	}

private:
	bool m_had;
	std::string m_old;
};
}

typedef GameTest Catalogue;

TEST_F(Catalogue, EveryNameIsAFunctionAfterConstruction)
{
	start();
	EXPECT_EQ(174u + 44u, sizeof kGameNames / sizeof *kGameNames + sizeof kPhysicsNames / sizeof *kPhysicsNames);
	EXPECT_EQ(4u, sizeof kParticleNames / sizeof *kParticleNames);
	run("missing = {}\n"
		"for _, n in _G.ipairs(" + LIST(kPhysicsNames) + ") do\n"
		"  if _G.type(this[n]) ~= 'function' then missing[#missing + 1] = n end\n"
		"end\n"
		"for _, n in _G.ipairs(" + LIST(kGameNames) + ") do\n"
		"  if _G.type(this[n]) ~= 'function' then missing[#missing + 1] = n end\n"
		"end\n"
		"for _, n in _G.ipairs(" + LIST(kParticleNames) + ") do\n"
		"  if _G.type(_G.particles[n]) ~= 'function' then missing[#missing + 1] = n end\n"
		"end");
	EXPECT_EQ("0", eval("#missing")) << eval("missing[1]");
	EXPECT_EQ("string", eval("_G.type(uniqueDeviceId)"));
}

TEST_F(Catalogue, BadArgumentsRaiseErrorsNamingTheOperation)
{
	start();
	const struct
	{
		const char* call;
		const char* message;
	} cases[] = {
		{"setThemeOffsetY('s', 'x')", "setThemeOffsetY: Excepted type NUMBER at stack position 2 but found STRING"},
		{"drawRect(1, 2, 3, 4, 5, 6, 7, 8)", "drawRect: Excepted type BOOLEAN at stack position 9 but found NIL"},
		{"_G.particles.addParticles('p', 'x', 2, 3, 4, 5, 6)", "addParticles: Excepted type NUMBER at stack position 2 but found STRING"},
		{"iapGetItemAt({})", "iapGetItemAt: Excepted type NUMBER at stack position 1 but found TABLE"},
		{"loadLevel(5)", "loadLevel: Excepted type STRING at stack position 1 but found NUMBER"},
		{"throwException('why')", "throwException: "},
	};
	for (const auto& c : cases)
	{
		run(std::string("ok, msg = _G.pcall(function() ") + c.call + " end)");
		EXPECT_EQ("false", eval("ok")) << c.call;
		const std::string msg = eval("msg");
		EXPECT_EQ(c.message, msg.substr(0, msg.find('\n'))) << c.call;
	}
}

TEST_F(Catalogue, SweepRaisesOnlyNamedErrors)
{
	start();
	run(sweepScript());
	run("bad = sweep(this, " + LIST(kPhysicsNames) + ")\n"
		"for _, b in _G.ipairs(sweep(this, " + insideProcess(kGameNames, sizeof kGameNames / sizeof *kGameNames) + ")) do bad[#bad + 1] = b end\n"
		"for _, b in _G.ipairs(sweep(_G.particles, " + LIST(kParticleNames) + ")) do bad[#bad + 1] = b end");
	EXPECT_EQ("0", eval("#bad")) << eval("bad[1]");
}

TEST_F(Catalogue, Utilities)
{
	FixedZone zone("UTC");
	start();
	const struct
	{
		const char* expression;
		const char* value;
	} cases[] = {
		{"performBitwiseAnd(6.9, 3.2)", "2"},
		{"performBitwiseOr(-1.5, 4)", "-1"},
		{"performBitwiseAnd(0/0, 7)", "0"},
		{"performBitwiseOr(1e300, 0)", "2147483648"}, // INT_MAX as a float
		{"performBitwiseAnd(-1e300, -1)", "-2147483648"},
		{"getTimeDifference(late, early).days", "1"},
		{"getTimeDifference(early, late).days", "1"},
		{"getTimeDifference(early, late).hours", "0"},
		{"getTimeDifference(late, early).minutes", "0"},
		{"getTimeDifference(early, late).seconds", "10"},
		{"getTimeDifferenceInSeconds(late, early)", "86410"},
		{"getTimeDifferenceInSeconds(early, late)", "-86410"},
		{"getTimeDifferenceInSeconds({year = 2012, month = 1, day = 1, hour = 'x'}, early)", "0"},
	};
	run("early = {year = 2012, month = 1, day = 1, hour = 0, minutes = 0, seconds = 0}\n"
		"late = {year = 2012, month = 1, day = 2, hour = 0, minutes = 0, seconds = 10}");
	for (const auto& c : cases)
		EXPECT_EQ(c.value, eval(c.expression)) << c.expression;

	const time_t now = time(nullptr);
	tm utc;
	gmtime_r(&now, &utc);
	run("now = getCurrentTime(); hours = GetDate()");
	EXPECT_EQ(std::to_string(utc.tm_year + 1900), eval("now.year"));
	EXPECT_EQ(std::to_string(utc.tm_mon + 1), eval("now.month"));
	EXPECT_NEAR(double(now / 3600), std::stod(eval("hours")), 1.0);

	testing::internal::CaptureStdout();
	run("print('100%s %d done')");
	EXPECT_EQ("100%s %d done", testing::internal::GetCapturedStdout());

	lua()->setDeterministicPhysics(true);
	for (const char* call : {"setGameParameters(5)", "setGameParameters({deterministicPhysics = 1})", "setGameParameters()"})
	{
		run(call);
		EXPECT_TRUE(lua()->deterministicPhysics()) << call;
	}
	run("setGameParameters({deterministicPhysics = false})");
	EXPECT_FALSE(lua()->deterministicPhysics());

	testing::internal::CaptureStdout();
	run("scoreProbe = 1; this[2] = 'two'");
	lua()->printGlobals();
	const std::string listed = testing::internal::GetCapturedStdout();
	EXPECT_NE(std::string::npos, listed.find("Name: scoreProbe\n")) << listed;
	EXPECT_NE(std::string::npos, listed.find("Number: 2.000000\n")) << listed;
	EXPECT_EQ(std::string::npos, listed.find("Name: print\n")) << listed;
}
