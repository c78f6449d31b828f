#include "GameLua.h"

// The game's particle layers: the in-game ones in world space, the menu ones in screen space.
void GameLua::registerParticles()
{
	registerMethod<&GameLua::drawParticlesNative>("drawParticlesNative", this);
	registerMethod<&GameLua::drawMenuParticlesNative>("drawMenuParticlesNative", this);
	registerMethod<&GameLua::updateMenuParticlesNative>("updateMenuParticlesNative", this);
	registerMethod<&GameLua::setMenuParticlesScale>("setMenuParticlesScale", this);
	registerMethod<&GameLua::clearParticlesNative>("clearParticlesNative", this);
	registerMethod<&GameLua::enableInGameParticlesNative>("enableInGameParticlesNative", this);
}

void GameLua::drawGameParticles(bool background)
{
	if (m_inGameParticles)
		m_particles->draw(m_context, true, background);
}

void GameLua::drawMenuParticlesNative()
{
	m_particles->draw(m_context, false, false);
}

void GameLua::updateMenuParticlesNative(float dt)
{
	m_particles->update(dt, false, m_context);
}

void GameLua::setMenuParticlesScale(float scale)
{
	m_particles->setMenuScale(scale);
}
