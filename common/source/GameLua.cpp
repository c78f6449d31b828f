#include "GameLua.h"
#include "GameApp.h"
#include "WebViewLuaInterface.h"
#include <audio/AudioOutput.h>
#include <gr/Context.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaException.h>
#include <lua/LuaState.h>
#include <lua/OperationCatalogue.h>
#include <utility>

namespace
{
GameApp* checkedApp(GameApp* app)
{
	if (!app)
		lang::throwError(lang::Exception(lang::Format("GameLua needs its application")));
	return app;
}
}

GameLua::GameLua(GameApp* app, game::Resources* resources, lua::LuaState* state, gr::Context* context) :
	lua::LuaObject(state),
	m_app(checkedApp(app)),
	m_resources(resources),
	m_context(context),
	m_analytics(nullptr),
	m_keyPressed(state),
	m_keyReleased(state),
	m_keyHold(state),
	m_cursor(state),
	m_deterministicPhysics(false),
	m_multitouchSweep(state),
	m_multitouchZoom(state),
	m_objects(state),
	m_clippedText(state),
	m_blockTable(state),
	m_blockEditorTable(state),
	m_compileDone(false),
	m_contactsOff(false),
	m_startingCameraSet(false),
	m_accumulator(0.f),
	m_gravityForceMultiplier(4.f),
	m_levelGaveGravity(false),
	m_simulationIterations(0),
	m_simulationTimeStepMultiplier(0.f),
	m_simulationStorePointsSampler(0),
	m_simulationAimSpawnTime(0.f),
	m_simulationAimSpeed(0.f),
	m_bgColor(0),
	m_safeToQuit(false),
	m_poseSlot(0),
	m_rollingSoundHandles{-1, -1, -1},
	m_rollingVolumes{0.f, 0.f, 0.f},
	m_orderDirty(true),
	m_physicsDisableCount(1),
	m_deltaTimeMultiplier(1.f),
	m_simulationScale(1.f),
	m_levelLimits{0, 0, 0, 0},
	m_insideBox2D(0),
	m_sleepStep(0),
	m_aimStream(this),
	m_commerce(10, sm_purchaseItemIds, this),
	m_multitouchMouseWheelSimulation(false),
	m_gameCenter(nullptr),
	m_timerStart(0),
	m_stopWorkers(false),
	m_adFormat(io::FILEFORMAT_UNKNOWN),
	m_adReady(false),
	m_appsReady(false),
	m_appsTtl(0)
{
	m_localNotifications.addListener(this);
	nameOperationsInErrors();
	// By topic; the names label the reference of the operations (engine --list-operations).
	static const std::pair<const char*, void (GameLua::*)()> topics[] = {{"world", &GameLua::registerWorld},
		{"objects", &GameLua::registerObjects}, {"bodies", &GameLua::registerBodies}, {"joints", &GameLua::registerJoints},
		{"sensors", &GameLua::registerSensors}, {"queries", &GameLua::registerQueries}, {"aim", &GameLua::registerAim},
		{"trails", &GameLua::registerTrails}, {"scene", &GameLua::registerScene}, {"particles", &GameLua::registerParticles},
		{"drawing", &GameLua::registerDrawing}, {"files", &GameLua::registerFiles},
		{"purchases", &GameLua::registerPurchases}, {"leaderboards", &GameLua::registerLeaderboards},
		{"workers", &GameLua::registerWorkers}, {"platform", &GameLua::registerPlatform},
		{"utilities", &GameLua::registerUtilities}};
	for (const auto& topic : topics)
	{
		lua::OperationCatalogue::section("", topic.first);
		(this->*topic.second)();
	}

	setNumber("screenWidth", static_cast<float>(context->width()));
	setNumber("screenHeight", static_cast<float>(context->height()));
	setTable("keyPressed", m_keyPressed);
	setTable("keyReleased", m_keyReleased);
	setTable("keyHold", m_keyHold);
	setTable("cursor", m_cursor);
	setTable("multitouchSweep", m_multitouchSweep);
	setTable("multitouchZoom", m_multitouchZoom);
	m_multitouchZoom.setNumber("zoomCoolingTime", -1.f);
	setTable("clippedText", m_clippedText);
	setTable("objects", m_objects);

	resetPhysicsWorld(b2Vec2(0.f, 0.f), true);
	m_physicsDisable[""] = 1;

	setTable("highscores", loadPersistentFile("highscores.lua"));
	setTable("settings", loadPersistentFile("settings.lua"));
	setTable("bi_data", loadPersistentFile("bi_data.lua"));

	setTable("blockTable", m_blockTable);
	m_blockTable.setTable("blocks", lua::LuaTable(state));

	m_particles.reset(new Particles(state, this, resources, "particles"));

	setBoolean("g_iapEnabled", true);

	m_webViews.reset(new lua::WebViewLuaInterface(app, state));
}

GameLua::~GameLua()
{
	// The workers write into this object: they end before anything else goes.
	stopWorkers();
	static const char* const saves[][2] = {
		{"bi_data.lua", "bi_data"}, {"settings.lua", "settings"}, {"highscores.lua", "highscores"}};
	for (const auto& save : saves)
		savePersistentLuaFile(save[0], save[1]);

	if (isString("deviceModel"))
	{
		const std::string model = getString("deviceModel");
		if (model != "osx" && model != "windows")
		{
			static const char* const purchases[][2] = {
				{"gamepurchases.lua", "g_gamePurchasesTable"},
				{"zorrelpurchases.lua", "g_zorrelPurchasesTable"},
				{"episodepurchases.lua", "g_episodePurchasesTable"}};
			for (const auto& save : purchases)
				saveLuaFile(save[0], save[1], true);
		}
	}
}

void GameLua::createAssets()
{
	callScript("createStartUpAssets");
	// Without an output the script made none: there is nothing to limit.
	if (audio::AudioOutput* output = m_resources->getAudioOutput())
	{
		static const int limits[][2] = {{1, 4}, {2, 6}, {3, 3}, {4, 5}, {5, 5}};
		for (const auto& limit : limits)
			output->setClipCountLimit(limit[0], limit[1]);
	}
}

void GameLua::activate(bool active)
{
	if (!m_compileDone)
		return;
	if (m_appSettings.isBoolean("notifications") && !m_appSettings.getBoolean("notifications"))
		m_localNotifications.removeAllNotifications();
	callScript(active ? "gameResumed" : "gamePaused");
}

void GameLua::draw()
{
	callScript("draw");
}

void GameLua::requestExit()
{
	m_app->quit(0);
}

void GameLua::logEvent(const std::string& name, const analytics::Analytics::Parameters& parameters)
{
	if (m_analytics)
		m_analytics->logEvent(name, parameters);
}

int GameLua::typeOf(const char* key) const
{
	lua::LuaStackRestore restore(getState());
	pushMember(key);
	return getState()->type(-1);
}
