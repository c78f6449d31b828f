#include "GameLua.h"
#include "RegistrySprite.h"

#include <gr/Context.h>

// Drawing of the shot trails and of the aiming preview.
void GameLua::drawTrajectories()
{
	// The points are world pixels: drawn unturned, from the camera, at the world scale.
	gr::RenderState2D& rs = m_context->getRenderState2D();
	const gr::RenderState2D saved = rs;
	rs.rotation[0] = 1.f;
	rs.rotation[1] = 0.f;
	rs.rotation[2] = 0.f;
	rs.rotation[3] = 1.f;
	rs.angle = 0.f;
	rs.pivot = math::float2(0.f, 0.f);
	rs.translation = math::float2(-m_cameraX, -m_cameraY);
	rs.scale = math::float2(m_worldScale, m_worldScale);
	const game::Anchor anchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT);
	for (const TrajectoryData& trail : m_trajectories)
	{
		const RegistrySprite normal(*m_resources, trail.normalSprite);
		if (normal)
			for (const math::float2& p : trail.points)
				normal.draw(m_context, p.x, p.y, anchor);
		if (trail.puff)
			RegistrySprite(*m_resources, trail.specialSprite).draw(m_context, trail.puffX, trail.puffY, anchor);
	}
	rs = saved;
}

void GameLua::drawSimulationTrajectory()
{
	if (!m_aimStream.isStreamReady())
		return;
	m_aimStream.draw(m_context, *m_resources, math::float2(m_cameraX, m_cameraY), m_worldScale, m_simulationScale);
	m_aimStream.setSpawningEnabled(m_aimingAid);
}
