#ifndef GAMEAPP_H
#define GAMEAPP_H

#include "GameCenter.h"
#include "GameLua.h"
#include <game/LuaResources.h>
#include <framework/App.h>
#include <lang/Ptr.h>
#include <lua/LuaState.h>
#include <memory>

/** The game's application object: owns the interpreter, res and the bridge; one game frame per host frame. */
class GameApp : public framework::App
{
public:
	GameApp(gr::Context* context, framework::OSInterface* os);
	/** Selects the stand-in constructor. */
	struct StandIn
	{
	};
	/**
	 * A stand-in for tests and benchmarks that make a GameLua of their own: the App with the zoom and
	 * audio state, and no interpreter, scripts or services. Nothing runs its frames; the scripts'
	 * platform calls go to os, which must outlive it.
	 */
	GameApp(StandIn, framework::OSInterface& os);
	~GameApp() override;

	void update(float dt, gr::Context* context, int flags) override;
	void keyDown(KeyType key) override;
	void keyUp(KeyType key) override;
	void orientationChanged() override {}
	void resolutionChanged() override;
	void mouseMove(int x, int y) override;
	void mouseWheel(int delta) override;
	void activate(bool active) override;
	bool activateAudio(bool active) override;
	bool safeToQuit() override;
	void setMouseAvailable(bool available) override;

	GameLua* gameLua() const { return m_gameLua; }
	lua::LuaState* luaState() const { return m_luaState; }
	analytics::Analytics* analytics() const { return m_analytics.get(); }
	/** The leaderboard service; null before it is made. */
	GameCenter* gameCenter() const { return m_gameCenter.get(); }
	game::LuaResources* luaResources() const { return m_luaResources; }
	float zoom() const { return m_zoom; }
	/** The zoom the scripts last heard of. */
	float lastZoom() const { return m_lastZoom; }
	void setLastZoom(float zoom) { m_lastZoom = zoom; }
	void setWorldScale(float scale) { m_worldScale = scale; }
	/** The scripts' world scale becomes the zoom and the pinch start; no zoom change is reported for it. */
	void setScriptWorldScale(float scale) { m_worldScale = m_zoom = m_lastZoom = scale; }
	/** Both ends of the wheel zoom's easing. */
	void resetWheelZoom(float scale) { m_zoomEaseStart = m_zoomEaseTarget = scale; }
	void setMaxWheelZoom(float zoom) { m_maxWheelZoom = zoom; }
	void setSmoothZooming(bool smooth) { m_smoothZooming = smooth; }
	bool audioActive() const { return m_audioActive; }

	/** The analytics application key: 20 upper-case letters and digits. */
	static const char* const s_analyticsKeys[2];

private:
	float m_worldScale = 1.f;
	float m_zoom = 1.f;
	float m_maxWheelZoom = 0.f;
	float m_zoomEaseStart = 0.f;
	float m_zoomEaseTarget = 0.f;
	float m_zoomEaseTime = -1.f;
	float m_zoomEaseDuration = -1.f;
	bool m_smoothZooming = true;
	float m_lastZoom = 1.f;
	bool m_audioActive = false;
	/** A game error left the frame: the exit is not a normal one. */
	bool m_crashed = false;
	lang::Ptr<lua::LuaState> m_luaState;
	lang::Ptr<GameLua> m_gameLua;
	std::unique_ptr<GameCenter> m_gameCenter;
	std::unique_ptr<analytics::Analytics> m_analytics;
	gr::Context* m_context = nullptr;
	lang::Ptr<game::LuaResources> m_luaResources;
	bool m_keyPressed[KEY_COUNT] = {};
	bool m_keyReleased[KEY_COUNT] = {};
	bool m_wheelEvent = false;
	bool m_wheelSeen = false;
	// Pinch state; members rather than function statics so each App starts afresh.
	bool m_zooming = false;
	float m_pinchStartDistance = 0.f;
	float m_pinchStartZoom = 1.f;

	void easeZoom(float dt);
	void pinch();
	void publishKeys();
	void volumeKey(const char* name, float step);
};

#endif
