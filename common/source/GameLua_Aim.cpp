#include "GameLua.h"
#include "PhysicsChecks.h"

#include <lang/Debug.h>

#include <cmath>

namespace
{
const char* const SIMULATION_OBJECT = "ProjectileSimulation";
}

// The aiming aid and its trajectory simulation.
void GameLua::registerAim()
{
	registerMethod<&GameLua::ClearSimulationTrajectory>("ClearSimulationTrajectory", this);
	registerWorldMethod<&GameLua::updateProjectileTrajectoryTable>("updateProjectileTrajectoryTable");
	registerWorldMethod<&GameLua::populateAimingAid>("populateAimingAid");
	registerWorldMethod<&GameLua::setSelectedProjectileDuringSimulation>("setSelectedProjectileDuringSimulation");
	registerMethod<&GameLua::enableAimingAid>("enableAimingAid", this);
	registerMethod<&GameLua::getAimingTime>("getAimingTime", this);
	registerMethod<&GameLua::clearAimingAid>("clearAimingAid", this);
	registerMethod<&GameLua::setAimingAidSprite>("setAimingAidSprite", this);
}

float GameLua::getAimingTime()
{
	// No world loaded yet: nothing to simulate.
	if (!m_worldAttributes.hasTable())
		return 0.f;
	const float step = isNumber("currentTimeStep") ? getNumber("currentTimeStep") : 1.f / 35.f;
	return step * static_cast<float>(lua::detail::numberToInt(m_worldAttributes.getNumber("simulationIterations")));
}

void GameLua::setSelectedProjectileDuringSimulation(const std::string& name)
{
	RenderObjectData* o = findObject(name);
	m_selectedSimulationBody = o ? o->body : nullptr;
}

void GameLua::clearAimingAid(float fraction)
{
	m_aimStream.clearParticlesFromStream(fraction);
	m_aimStream.setSpawningEnabled(false);
}

void GameLua::setAimingAidSprite(const std::string& name)
{
	if (name.empty())
		physics::scriptError("setAimingAidSprite needs a sprite name", name);
	m_aimStream.setStreamSprite(name);
}

void GameLua::updateProjectileTrajectoryTable()
{
	// A paused game keeps its last prediction: the simulation body must not move while the world stands still.
	if (m_physicsDisableCount != 0)
		return;
	if (m_simulationStorePointsSampler < 1)
		physics::scriptError("updateProjectileTrajectoryTable: simulationStorePointsSampler must be at least 1, not",
			std::to_string(m_simulationStorePointsSampler));
	RenderObjectData* simulation = findObject(SIMULATION_OBJECT);
	if (!simulation || !simulation->body)
		physics::scriptError("updateProjectileTrajectoryTable: no object", SIMULATION_OBJECT);
	b2Body* body = simulation->body;
	if (!body->IsAwake())
		body->SetAwake(true);

	const float step = (isNumber("currentTimeStep") ? getNumber("currentTimeStep") : 1.f / 35.f) *
		m_simulationTimeStepMultiplier;
	ClearBodyForces(m_aimingForces);
	for (int i = 0; i < m_simulationIterations; ++i)
	{
		for (RenderObjectData* field : m_parameter32)
		{
			if (!field->body || !FirstFixturesOverlap(field->body, body))
				continue;
			const b2Vec2 force = applySensorForceToObject(*field, *simulation);
			m_aimingForces.force += force;
			// The sensor call also feeds Box2D's own accumulator; the real step must not see it.
			body->ApplyForce(-force, body->GetPosition(), false);
		}
		StepForAiming(*m_world, step, 10, 10, body, m_aimingForces);
		if (i % m_simulationStorePointsSampler == 0)
		{
			const b2Vec2 p = body->GetPosition();
			m_simulationPoints.push_back(math::float2(p.x, p.y));
		}
		ClearBodyForces(m_aimingForces);
	}
	m_aimStream.setStream(m_simulationPoints, AimStream::STREAM_SPRITES);
	m_selectedSimulationBody = nullptr;
}
