// Keys, wheel and pinch zoom of the game application.
#include "GameApp.h"
#include <cfloat>
#include <cmath>

namespace
{
float clampZoom(float z)
{
	return std::min(100.f, std::max(0.01f, z));
}
}

void GameApp::keyDown(KeyType key)
{
	m_keyPressed[key] = true;
}

void GameApp::keyUp(KeyType key)
{
	m_keyReleased[key] = true;
}

void GameApp::mouseMove(int x, int y)
{
	if (!m_gameLua)
		return;
	lua::LuaTable cursor = m_gameLua->getTable("cursor");
	cursor.setNumber("x", static_cast<float>(x));
	cursor.setNumber("y", static_cast<float>(y));
}

void GameApp::easeZoom(float dt)
{
	if (!m_smoothZooming || !(m_zoomEaseTime > -1.f))
		return;
	m_zoomEaseTime += dt;
	const float t = m_zoomEaseTime / m_zoomEaseDuration - 1.f;
	m_zoom = (t * t * t + 1.f) * (m_zoomEaseTarget - m_zoomEaseStart) + m_zoomEaseStart;
	if (m_zoomEaseTime > m_zoomEaseDuration)
	{
		m_zoomEaseTime = -1.f;
		m_zoom = m_zoomEaseTarget;
	}
	m_zoom = clampZoom(m_zoom);
}

void GameApp::pinch()
{
	const std::vector<framework::TouchEvent>& t = touches();
	if (t.size() == 2)
	{
		const float dx = static_cast<float>(t[0].x) - static_cast<float>(t[1].x);
		const float dy = static_cast<float>(t[0].y) - static_cast<float>(t[1].y);
		const float distance = std::sqrt(dx * dx + dy * dy);
		if (!m_zooming)
		{
			m_zooming = true;
			m_pinchStartDistance = distance;
			m_pinchStartZoom = m_worldScale;
			m_zoom = m_worldScale;
		}
		if (m_pinchStartDistance > FLT_MIN && m_pinchStartDistance < FLT_MAX)
		{
			m_lastZoom = m_zoom;
			m_zoom = m_pinchStartZoom * (distance / m_pinchStartDistance);
		}
	}
	else if (m_zooming)
	{
		m_zooming = false;
		m_lastZoom = m_zoom;
	}
}

void GameApp::publishKeys()
{
	static const KeyType keys[] = {KEY_LBUTTON, KEY_BACK, KEY_MENU, KEY_VOLUME_UP, KEY_VOLUME_DOWN};
	lua::LuaTable pressed = m_gameLua->getTable("keyPressed");
	lua::LuaTable released = m_gameLua->getTable("keyReleased");
	lua::LuaTable hold = m_gameLua->getTable("keyHold");
	for (KeyType k : keys)
	{
		const char* name = toString(k);
		pressed.setBoolean(name, m_keyPressed[k]);
		released.setBoolean(name, m_keyReleased[k]);
		hold.setBoolean(name, isKeyDown(k));
		m_keyPressed[k] = false;
		m_keyReleased[k] = false;
	}
}

void GameApp::volumeKey(const char* name, float step)
{
	if (!m_gameLua->getTable("keyPressed").getBoolean(name))
		return;
	float v = m_luaResources->getMasterVolume() + step;
	v = v >= 0.f ? std::min(1.f, v) : 0.f;
	m_luaResources->setMasterVolume(v);
	if (m_gameLua->isTable("settings"))
		m_gameLua->getTable("settings").setNumber("volume", v);
}

void GameApp::mouseWheel(int delta)
{
	m_wheelEvent = true;
	m_wheelSeen = false;
	if (m_gameLua->isBoolean("g_usingGestureControls") && m_gameLua->getBoolean("g_usingGestureControls"))
		return;
	float step = m_zoom >= 1.f ? 0.2f : 0.1f;
	if (isKeyDown(KEY_SHIFT))
		step *= 0.05f;
	if (m_smoothZooming)
	{
		m_lastZoom = m_zoom;
		if (m_zoomEaseTime > -1.f && m_zoom > 0.6f && m_zoom < m_maxWheelZoom)
		{
			m_zoomEaseTarget = clampZoom(m_zoomEaseTarget + step * 0.5f * static_cast<float>(delta));
			m_zoomEaseStart = m_zoom;
			m_zoomEaseDuration = 1.f - m_zoomEaseTime;
			m_zoomEaseTime = 0.f;
		}
		else
		{
			m_zoomEaseTarget = clampZoom(m_zoom + step * static_cast<float>(delta));
			m_zoomEaseStart = m_zoom;
			m_zoomEaseTime = 0.f;
			m_zoomEaseDuration = 0.5f;
		}
	}
	else if (!isKeyDown(KEY_CONTROL))
	{
		m_lastZoom = m_zoom;
		m_zoom += step * static_cast<float>(delta);
	}
	lua::LuaTable cursor = m_gameLua->getTable("cursor");
	cursor.setNumber("wheel", static_cast<float>(delta));
	cursor.setBoolean("wheelTriggered", true);
}
