#include "GameApp.h"
#include "GameRatingPrompt.h"
#include <audio/AudioOutput.h>
#include <gr/Context.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/Thread.h>
#include <lang/throwError.h>
#include <lua/LuaStackRestore.h>
#include <pf/Launcher.h>
#include <algorithm>

namespace
{
struct DataFolders
{
	std::string data, images, fonts, audio, localization, levels, scripts, commonScripts, device, shaders;
};

DataFolders s_folders;
}

const char* const GameApp::s_analyticsKeys[2] = {"ENG14DEMO0APPKEY0001", "ENG14DEMO0APPKEY0002"};

namespace framework
{
void configure(App::Configuration& config, OSInterface&)
{
	config.autoOrientations.push_back(gr::Context::ORIENTATION_LANDSCAPE_RIGHT);
	config.autoOrientations.push_back(gr::Context::ORIENTATION_LANDSCAPE_LEFT);
	config.renderer.push_back(gr::Context::PLATFORM_GLES2);
	s_folders = {"data_iphone", "images", "fonts", "audio", "localization", "levels", "scripts", "scripts_common", "iphone", "shaders"};
}

App* init(OSInterface* os, gr::Context* context)
{
	return new GameApp(context, os);
}
}

GameApp::GameApp(StandIn, framework::OSInterface& os) :
	framework::App(&os)
{
}

GameApp::GameApp(gr::Context* context, framework::OSInterface* os) :
	framework::App(os),
	m_luaState(new lua::LuaState()),
	m_context(context)
{
	if (s_folders.data.empty())
		s_folders = {"data_iphone", "images", "fonts", "audio", "localization", "levels", "scripts", "scripts_common", "iphone", "shaders"};
	m_luaResources = new game::LuaResources(m_luaState, context);
	m_luaResources->setURLOpener([](const std::string& url) { return pf::Launcher().openURL(url); });

	setDataPath(s_folders.data);
	context->setShaderPath(path(s_folders.shaders) + "/");
	m_luaResources->setPath(path(""));

	std::string device = s_folders.device;
	if (context->width() >= 960 && context->height() == 640)
		device = "iphone4";

	m_gameLua = new GameLua(this, m_luaResources->getResources(), m_luaState, context);
	m_gameLua->resetTimer();

	// The scripts' data paths and device flags.
	m_gameLua->setString("deviceModel", device);
	m_gameLua->setString("scriptPath", s_folders.scripts);
	m_gameLua->setString("commonScriptPath", s_folders.commonScripts);
	m_gameLua->setString("levelPath", s_folders.levels);
	m_gameLua->setString("imagePath", s_folders.images);
	m_gameLua->setString("fontPath", s_folders.fonts);
	m_gameLua->setString("audioPath", s_folders.audio);
	m_gameLua->setString("localizationPath", s_folders.localization);
	m_gameLua->setString("shaderPath", s_folders.shaders);

	m_gameLua->loadPurchases();

	m_gameLua->loadLuaFile(s_folders.scripts + "/starLimits.lua", "starTable", false, false);
	m_gameLua->loadLuaFile(s_folders.scripts + "/gamecenter/iphone/leaderboards.lua", "leaderboards", false, false);
	m_gameLua->loadLuaFile(s_folders.scripts + "/gamecenter/iphone/achievements.lua", "", false, false);

	m_gameLua->compile(s_folders.commonScripts + "/gamelogic.lua");
	// Without the main script every callback would call nil: stop here, with the cause.
	if (!m_gameLua->compileDone())
		lang::throwError(lang::Exception(lang::Format("cannot load the main script {0}: {1}",
			path(s_folders.commonScripts + "/gamelogic.lua"), m_gameLua->compileError())));

	for (const std::string& name : m_gameLua->failedFiles())
		m_gameLua->onLoadLuaFileFail(name);
	m_gameLua->setUseTestAds(false);
	m_gameLua->clearFailedFiles();

	if (context->platform() == gr::Context::PLATFORM_GLES2 || context->platform() == gr::Context::PLATFORM_3)
	{
		for (const char* shader : {"/2d-sprite-alpha-masked", "/2d-sprite", "/2d-sprite-alpha", "/2d-vertexcolor-alpha", "/2d-vertexcolor"})
			context->createShader(path(s_folders.shaders) + shader, 0);
	}

	lua::LuaTable pressed = m_gameLua->getTable("keyPressed");
	lua::LuaTable released = m_gameLua->getTable("keyReleased");
	lua::LuaTable hold = m_gameLua->getTable("keyHold");
	for (int code = 0; code < KEY_COUNT; ++code)
	{
		const char* name = toString(static_cast<KeyType>(code));
		pressed.setBoolean(name, false);
		released.setBoolean(name, false);
		hold.setBoolean(name, false);
	}

	m_analytics.reset(new analytics::Analytics());
	// Before the start: the start-of-session report carries the screen size.
	m_analytics->setScreenSize(context->width(), context->height());
	m_gameLua->prepareAnalytics(m_analytics.get());
	m_analytics->startSession(s_analyticsKeys[0]);

	if (m_gameLua->typeOf("customerString") == lua::LuaState::TYPE_STRING)
	{
		const std::string customer = m_gameLua->getString("customerString");
		lang::Debug::printf("Customer string: %s", customer.c_str());
		m_analytics->logEvent("Customer String", {{"ID", customer}});
	}

	m_gameLua->setString("g_iOSVersion", pf::DeviceInfo().getOSVersion());
	m_gameLua->createAssets();

	m_gameCenter.reset(new GameCenter(this, m_gameLua, context));
	if (GameCenter::isGameCenterAvailable())
	{
		m_gameLua->setBoolean("gameCenterSupported", true);
		m_gameCenter->firstInit();
	}
	else
	{
		lang::Debug::printf("GameCenter support not available.\n");
		m_gameLua->setBoolean("gameCenterSupported", false);
	}

	game::Resources* resources = m_luaResources->getResources();
	resources->loadLocale("TEXTS_BASIC", "en_EN");
	resources->useLocale("en_EN");

	float volume = 1.f;
	if (m_gameLua->isTable("settings"))
	{
		lua::LuaTable settings = m_gameLua->getTable("settings");
		lua::LuaStackRestore restore(m_luaState);
		settings.pushMember("volume");
		if (m_luaState->type(-1) == lua::LuaState::TYPE_NUMBER)
			volume = settings.getNumber("volume");
	}
	resources->setMasterVolume(volume);

	GameRatingPrompt::appStarted();
	m_zoomEaseTime = -1.f;
	m_zoomEaseDuration = -1.f;
	m_smoothZooming = true;
}

GameApp::~GameApp()
{
	// A stand-in made no game and no services.
	if (!m_gameLua)
		return;
	// A normal exit closes the analytics session; after a crash the next start reports it.
	if (!m_crashed)
		m_analytics->willTerminate();
	m_analytics->endSession();
	m_gameLua->prepareAnalytics(nullptr);
	m_analytics.reset();
	m_gameLua->stopWorkers();
	GameRatingPrompt::appEnded();
	m_gameCenter.reset();
	m_luaResources = nullptr;
	m_gameLua = nullptr;
	m_luaState = nullptr;
}

void GameApp::update(float dt, gr::Context* context, int)
{
	easeZoom(dt);
	pinch();
	publishKeys();
	volumeKey("VOLUME_UP", 0.1f);
	volumeKey("VOLUME_DOWN", -0.1f);
	{
		gr::Context::RenderScene scene(context);
		if (m_wheelEvent)
			m_wheelSeen = true;
		try
		{
			m_gameCenter->runCompletions();
			m_gameLua->update(dt);
		}
		catch (lang::Exception& e)
		{
			m_crashed = true;
			m_analytics->logEvent("Game crashed", {{"exception", e.getMessage().format()}});
			lang::Thread::sleep(3000);
			throw;
		}
		// Opaque: the context takes alpha from the top byte, and a capture keeps it.
		context->clear(0xFF000000u | m_gameLua->getBGColor(), true, true, true);
		m_gameLua->draw();
	}
	context->present();
	context->statistics().reset();
	if (m_wheelEvent && m_wheelSeen)
	{
		m_gameLua->getTable("cursor").setBoolean("wheelTriggered", false);
		m_wheelEvent = false;
		m_wheelSeen = false;
	}
}

void GameApp::resolutionChanged()
{
	if (!m_gameLua)
		return;
	m_gameLua->setNumber("screenWidth", static_cast<float>(m_context->width()));
	m_gameLua->setNumber("screenHeight", static_cast<float>(m_context->height()));
	if (m_analytics)
		m_analytics->setScreenSize(m_context->width(), m_context->height());
	m_gameLua->callScript("resolutionChanged");
}

void GameApp::activate(bool active)
{
	framework::App::activate(active);
	if (m_gameLua)
		m_gameLua->activate(active);
	if (m_analytics)
	{
		if (active)
			m_analytics->didBecomeActive();
		else
			m_analytics->willResignActive();
	}
	if (!active)
		GameRatingPrompt::appResignedActive();
}

bool GameApp::activateAudio(bool active)
{
	m_audioActive = active;
	bool enabled = true;
	if (m_gameLua->isTable("settings"))
	{
		lua::LuaTable settings = m_gameLua->getTable("settings");
		if (settings.isTable("root"))
		{
			lua::LuaTable root = settings.getTable("root");
			if (root.isBoolean("audioEnabled"))
				enabled = root.getBoolean("audioEnabled");
		}
	}
	game::Resources* resources = m_luaResources->getResources();
	if (!active)
	{
		resources->stopAudioInput();
		resources->stopAudioOutput();
		return true;
	}
	bool started = true;
	if (enabled && resources->getAudioOutput())
		started = resources->getAudioOutput()->startOutput();
	if (resources->getAudioInput())
		resources->startAudioInput();
	return started;
}

bool GameApp::safeToQuit()
{
	return m_gameLua->safeToQuit();
}

void GameApp::setMouseAvailable(bool available)
{
	if (m_gameLua)
		m_gameLua->setBoolean("g_mouseAvailable", available);
}
