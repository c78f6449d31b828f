// The physics world: its Box2D calls and listeners, gravity, time scale, the enable switch and level limits.
#include "GameLua.h"
#include "PhysicsChecks.h"
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>

using physics::finite;
using physics::scriptError;
using physics::toInt;

void GameLua::registerWorld()
{
	registerMethod<&GameLua::setDeltaTimeMultiplier>("setDeltaTimeMultiplier", this);
	registerMethod<&GameLua::getDeltaTimeMultiplier>("getDeltaTimeMultiplier", this);
	registerWorldMethod<&GameLua::setWorldGravity>("setWorldGravity");
	registerWorldMethod<&GameLua::setPhysicsSimulationScale>("setPhysicsSimulationScale");
	registerLuaMethod("setPhysicsEnabled", this, &GameLua::setPhysicsEnabledLua, "enabled (boolean) [, key (string)]");
	registerMethod<&GameLua::isPhysicsEnabled>("isPhysicsEnabled", this);
	registerMethod<&GameLua::setLevelLimits>("setLevelLimits", this);
}

// --- Box2D calls and listeners -------------------------------------------------

template <class F> void GameLua::listener(F hook)
{
	touchWorld();
	// One exception per Box2D call: the rest of that call's reports are skipped.
	if (m_listenerError)
		return;
	try
	{
		hook();
	}
	catch (...)
	{
		m_listenerError = std::current_exception();
	}
}

void GameLua::rethrowListenerError()
{
	if (m_listenerError)
	{
		std::exception_ptr error = m_listenerError;
		m_listenerError = nullptr;
		std::rethrow_exception(error);
	}
}

void GameLua::BeginContact(b2Contact* contact)
{
	listener([&] { beginContact(contact); });
}

void GameLua::EndContact(b2Contact* contact)
{
	listener([&] { endContact(contact); });
}

void GameLua::PostSolve(b2Contact* contact, const b2ContactImpulse* impulse)
{
	listener([&] { postSolve(contact, impulse); });
}

bool GameLua::ShouldCollide(b2Fixture* a, b2Fixture* b)
{
	return shouldCollide(a, b);
}

void GameLua::SayGoodbye(b2Joint* joint)
{
	// Box2D frees the joint with its body: no record may keep it.
	listener([&] {
		for (auto& queued : m_jointRemovalQueue)
		{
			if (queued->joint == joint)
				queued->joint = nullptr;
		}
		for (auto& entry : m_joints)
		{
			if (entry->joint == joint)
				entry->joint = nullptr;
		}
	});
}

void GameLua::destroyBody(b2Body* body)
{
	touchWorld();
	++m_insideBox2D;
	m_world->DestroyBody(body);
	--m_insideBox2D;
}

void GameLua::setBodyEnabled(b2Body* body, bool enabled)
{
	touchWorld();
	++m_insideBox2D;
	body->SetEnabled(enabled);
	--m_insideBox2D;
}

void GameLua::setBodyType(b2Body* body, b2BodyType type)
{
	touchWorld();
	++m_insideBox2D;
	body->SetType(type);
	--m_insideBox2D;
	fixMass(body);
}

void GameLua::fixMass(b2Body* body)
{
	if (body->GetType() != b2_dynamicBody || body->GetMass() > 0.f)
		return;
	if (m_world->IsLocked())
	{
		if (std::find(m_massFixups.begin(), m_massFixups.end(), body) == m_massFixups.end())
			m_massFixups.push_back(body);
		return;
	}
	b2MassData mass;
	mass.mass = 1.f;
	mass.center.SetZero();
	mass.I = 0.f;
	body->SetMassData(&mass);
}

void GameLua::applyMassFixups()
{
	for (size_t i = 0; i < m_massFixups.size(); ++i)
		fixMass(m_massFixups[i]);
	m_massFixups.clear();
}

void GameLua::checkUnlocked(const std::string& name) const
{
	if (m_world->IsLocked() || m_insideBox2D > 0)
		scriptError("The physics world is locked", name);
}

// --- World -------------------------------------------------------------------

void GameLua::removeAllObjects()
{
	// Bodies take their joints along; queued joints are then gone too.
	m_jointRemovalQueue.clear();
	m_joints.clear();
	m_massFixups.clear();
	m_projectiles.clear();
	m_animated.clear();
	m_parameter32.clear();
	m_zOrder.clear();
	RenderObjects objects;
	objects.swap(m_renderObjects);
	m_order.clear();
	m_orderDirty = true;
	for (auto& entry : objects)
	{
		b2Body* body = entry.second->body;
		entry.second->body = nullptr;
		if (body)
			destroyBody(body);
	}
	objects.clear();
	rethrowListenerError();
}

void GameLua::resetPhysicsWorld(const b2Vec2& gravity, bool allowSleep)
{
	touchWorld();
	if (m_world)
	{
		checkUnlocked("world");
		removeAllObjects();
	}
	m_world.reset();
	m_world.reset(new b2World(gravity));
	m_world->SetAllowSleeping(allowSleep);
	m_world->SetAutoClearForces(false);
	m_world->SetContactListener(this);
	m_world->SetContactFilter(this);
	m_world->SetDestructionListener(this);
}

void GameLua::setWorldGravity(float x, float y)
{
	m_world->SetGravity(b2Vec2(finite(x, "gravity x", "world"), finite(y, "gravity y", "world")));
}

void GameLua::setDeltaTimeMultiplier(float m)
{
	if (!std::isfinite(m) || m < 0.f)
		scriptError("The delta-time multiplier must be finite and >= 0", "setDeltaTimeMultiplier");
	m_deltaTimeMultiplier = m;
}

void GameLua::setGravityForceMultiplier(float m)
{
	if (!std::isfinite(m) || m < 0.f)
		scriptError("The gravity-force multiplier must be finite and >= 0", "setGravityForceMultiplier");
	m_gravityForceMultiplier = m;
}

int GameLua::setPhysicsEnabledLua(lua::LuaState* state)
{
	touchWorld();
	const bool enabled = state->toBoolean(1);
	const std::string key = state->top() >= 2 && !state->isNil(2) ? std::string(state->toString(2)) : std::string();
	setPhysicsEnabled(enabled, key);
	return 0;
}

void GameLua::setPhysicsEnabled(bool enabled, const std::string& key)
{
	auto found = m_physicsDisable.find(key);
	const int entry = found == m_physicsDisable.end() ? 0 : found->second;
	if (key.empty())
	{
		if (!enabled && entry == 0)
		{
			++m_physicsDisableCount;
			m_physicsDisable[key] = 1;
		}
		else if (enabled && entry == 1)
		{
			m_physicsDisableCount = std::max(0, m_physicsDisableCount - 1);
			m_physicsDisable[key] = 0;
		}
		else
			m_physicsDisable[key] = entry;
		return;
	}
	if (!enabled)
	{
		++m_physicsDisableCount;
		m_physicsDisable[key] = entry + 1;
		return;
	}
	if (entry < 1)
		scriptError("count >= 1", key);
	m_physicsDisable[key] = entry - 1;
	m_physicsDisableCount = std::max(0, m_physicsDisableCount - 1);
}

void GameLua::setPhysicsSimulationScale(float s)
{
	m_simulationScale = s;
}

void GameLua::setLevelLimits(float left, float top, float right, float bottom)
{
	m_levelLimits[0] = toInt(left);
	m_levelLimits[1] = toInt(right);
	m_levelLimits[2] = toInt(top);
	m_levelLimits[3] = toInt(bottom);
}
