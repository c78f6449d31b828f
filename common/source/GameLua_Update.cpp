// The frame update: fixed physics steps, pose interpolation and the export of object state to the scripts.
#include "GameApp.h"
#include "GameLua.h"
#include <framework/App.h>
#include <gr/Context.h>
#include <lang/System.h>
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
const float STEP = 1.f / 30.f;
const float POSE_WINDOW = 2.f / 30.f;
const float SLOW_SPEED_SQ = 0.5f * 0.5f;
const float SLOW_TURN_SQ = (2.f / 180.f * b2_pi) * (2.f / 180.f * b2_pi);

/** Raw writes into one script table, kept on the stack while the writer lives. */
class TableWriter
{
public:
	TableWriter(lua::LuaState* state, const lua::LuaTable& table) : m_lua(state->getLua())
	{
		state->pushTable(table);
	}
	~TableWriter() { lua_pop(m_lua, 1); }
	void number(const char* key, float v)
	{
		lua_pushstring(m_lua, key);
		lua_pushnumber(m_lua, v);
		lua_rawset(m_lua, -3);
	}
	void boolean(const char* key, bool v)
	{
		lua_pushstring(m_lua, key);
		lua_pushboolean(m_lua, v ? 1 : 0);
		lua_rawset(m_lua, -3);
	}

private:
	lua_State* m_lua;
};

GameLua::RenderObjectData* recordOf(b2Body* body)
{
	return reinterpret_cast<GameLua::RenderObjectData*>(body->GetUserData().pointer);
}
}

void GameLua::update(float dt)
{
	// Audio restart, worker replies, purchase and notification polling come with their services.
	m_safeToQuit = isBoolean("g_safeToQuit") && getBoolean("g_safeToQuit");
	setNumber("screenWidth", static_cast<float>(m_context->width()));
	setNumber("screenHeight", static_cast<float>(m_context->height()));
	GameApp* app = static_cast<GameApp*>(m_app);
	if (app->zoom() != app->lastZoom())
	{
		setNumber("zoomLevel", getNumber("zoomLevel") + (app->zoom() - app->lastZoom()) * 0.5f);
		app->setLastZoom(app->zoom());
	}
	publishTouches();

	const float scaledDt = dt * m_deltaTimeMultiplier;
	const bool running = m_physicsDisableCount == 0;
	int64_t physicsMicros = 0;
	if (running)
	{
		// Theme layers move here once scene drawing lands.
		m_accumulator += scaledDt;
		stepPhysics(scaledDt, physicsMicros);
		m_world->ClearForces();
		call("clearLuaForceFunctions");
		interpolatePoses(scaledDt);
	}
	setNumber("g_physicsUpdateMillis", static_cast<float>(static_cast<double>(physicsMicros) * 0.001));
	if (running)
		exportObjects(scaledDt);
	// Rolling sounds, the installed-games reply and the menu advertisement come with their services.

	call("update", scaledDt, dt);
	if (running)
		m_particles.update(scaledDt);

	while (!m_jointRemovalQueue.empty())
	{
		b2Joint* joint = m_jointRemovalQueue.back()->joint;
		m_jointRemovalQueue.pop_back();
		if (joint)
			m_world->DestroyJoint(joint);
	}
	// The compositor and the aiming stream advance here once they exist.
}

void GameLua::publishTouches()
{
	lua::LuaTable touches(getState());
	const std::vector<framework::TouchEvent>& list = m_app->touches();
	const int count = static_cast<int>(list.size() < 2 ? list.size() : 2);
	for (int i = 0; i < count; ++i)
	{
		lua::LuaTable touch(getState());
		touch.setNumber("x", static_cast<float>(list[i].x));
		touch.setNumber("y", static_cast<float>(list[i].y));
		char key[16];
		std::snprintf(key, sizeof(key), "%d", list[i].id);
		touches.setTable(key, touch);
	}
	setTable("touches", touches);
	setNumber("touchcount", static_cast<float>(count));
}

void GameLua::stepPhysics(float, int64_t& physicsMicros)
{
	while (m_accumulator >= STEP)
	{
		call("applyForcesAtPhysicsStep");
		for (auto& entry : m_renderObjects)
		{
			RenderObjectData& o = *entry.second;
			if (o.body && o.body->IsAwake() && o.kind != 5 && o.kind != 7)
			{
				for (size_t i = o.gravityFields.size(); i-- > 0;)
				{
					if (!o.gravityFields[i]->body)
						o.gravityFields.erase(o.gravityFields.begin() + static_cast<std::ptrdiff_t>(i));
					else
						applySensorForceToObject(*o.gravityFields[i], o);
				}
			}
			if (o.projectile && o.flightTime >= 0.f)
				o.flightTime += STEP;
		}

		const int64_t t0 = lang::System::currentTimeMicros();
		m_world->Step(STEP, 10, 10);
		const int64_t t1 = lang::System::currentTimeMicros();
		physicsMicros += t1 - t0;
		applyMassFixups();
		if (m_world->GetAllowSleeping())
			sleepSlowIslands(STEP);
		m_accumulator -= STEP;
		m_world->ClearForces();
		rethrowListenerError();

		call("removeBlocks");
		for (auto& entry : m_renderObjects)
		{
			RenderObjectData& o = *entry.second;
			if (!o.pendingVelocitySet)
				continue;
			if (o.body && o.body->GetType() != b2_staticBody)
			{
				if (o.pendingVelocity.LengthSquared() > 0.f)
					o.body->SetAwake(true);
				o.body->SetLinearVelocity(o.pendingVelocity);
			}
			o.pendingVelocitySet = false;
		}

		if (m_accumulator <= POSE_WINDOW)
		{
			m_poseSlot = 1 - m_poseSlot;
			for (auto& entry : m_renderObjects)
			{
				RenderObjectData& o = *entry.second;
				if (!o.body || !o.body->IsAwake())
					continue;
				const b2Transform& xf = o.body->GetTransform();
				o.poses[m_poseSlot] = Pose{xf.p.x, xf.p.y, std::atan2(xf.q.s, xf.q.c)};
				if (o.projectile && o.body->GetMass() != 0.f)
					o.body->SetBullet(true);
			}
		}
	}
}

void GameLua::sleepSlowIslands(float h)
{
	for (b2Body* b = m_world->GetBodyList(); b; b = b->GetNext())
	{
		RenderObjectData* o = recordOf(b);
		if (!o || b->GetType() == b2_staticBody)
			continue;
		const b2Vec2 v = b->GetLinearVelocity();
		const float w = b->GetAngularVelocity();
		if (!b->IsAwake() || !b->IsSleepingAllowed() || v.LengthSquared() > SLOW_SPEED_SQ || w * w > SLOW_TURN_SQ)
			o->slowTime = 0.f;
		else
			o->slowTime += h;
	}

	// Islands as Box2D builds them: touching non-sensor contacts and joints, never through a static body.
	if (++m_islandMark == 0)
	{
		for (auto& entry : m_renderObjects)
			entry.second->islandMark = 0;
		m_islandMark = 1;
	}
	for (b2Body* seed = m_world->GetBodyList(); seed; seed = seed->GetNext())
	{
		RenderObjectData* so = recordOf(seed);
		if (!so || so->islandMark == m_islandMark || seed->GetType() == b2_staticBody || !seed->IsAwake() ||
			!seed->IsEnabled())
			continue;
		m_island.clear();
		m_islandStack.clear();
		m_islandStack.push_back(seed);
		so->islandMark = m_islandMark;
		float minTime = b2_maxFloat;
		while (!m_islandStack.empty())
		{
			b2Body* b = m_islandStack.back();
			m_islandStack.pop_back();
			m_island.push_back(b);
			minTime = std::min(minTime, recordOf(b)->slowTime);
			auto visit = [&](b2Body* other) {
				if (other->GetType() == b2_staticBody || !other->IsEnabled())
					return;
				RenderObjectData* oo = recordOf(other);
				if (!oo)
				{
					minTime = 0.f;
					return;
				}
				if (oo->islandMark == m_islandMark)
					return;
				oo->islandMark = m_islandMark;
				m_islandStack.push_back(other);
			};
			for (b2ContactEdge* ce = b->GetContactList(); ce; ce = ce->next)
			{
				b2Contact* c = ce->contact;
				if (!c->IsEnabled() || !c->IsTouching() || c->GetFixtureA()->IsSensor() || c->GetFixtureB()->IsSensor())
					continue;
				visit(ce->other);
			}
			for (b2JointEdge* je = b->GetJointList(); je; je = je->next)
				visit(je->other);
		}
		if (minTime >= b2_timeToSleep)
		{
			for (b2Body* b : m_island)
				b->SetAwake(false);
		}
	}
}

void GameLua::interpolatePoses(float scaledDt)
{
	const float alpha = m_accumulator / STEP;
	const int current = m_poseSlot;
	lua::LuaTable world;
	for (auto& entry : m_renderObjects)
	{
		RenderObjectData& o = *entry.second;
		if (o.body && o.body->IsAwake())
		{
			const Pose& c = o.poses[current];
			const Pose& p = o.poses[1 - current];
			o.renderPose.x = c.x * alpha + p.x * (1.f - alpha);
			o.renderPose.y = c.y * alpha + p.y * (1.f - alpha);
			float previous = p.angle;
			if (std::fabs(c.angle - previous) >= b2_pi)
				previous += c.angle <= previous ? -2.f * b2_pi : 2.f * b2_pi;
			o.renderPose.angle = c.angle * alpha + previous * (1.f - alpha);
		}
		if (o.removalTimerEnabled)
		{
			o.removalTimer -= scaledDt;
			if (o.removalTimer <= 0.f)
			{
				if (!world.hasTable())
					world = worldTable();
				if (world.isTable(o.name))
					world.getTable(o.name).setNumber("strength", 0.f);
				if (m_deadBlocks.hasTable())
					m_deadBlocks.setTable(o.name, o.table);
				o.removalTimerEnabled = false;
			}
		}
	}
}

void GameLua::exportObjects(float scaledDt)
{
	bool moving = false, zeroTolerance = false, awakeSeen = false;
	const float left = static_cast<float>(m_levelLimits[0]);
	const float right = static_cast<float>(m_levelLimits[1]);
	const float top = static_cast<float>(m_levelLimits[2]);
	const float bottom = static_cast<float>(m_levelLimits[3]);
	const size_t projectiles = m_projectiles.size();
	lua::LuaState* state = getState();
	int k = 0;
	for (auto it = m_renderObjects.begin(); it != m_renderObjects.end();)
	{
		++k;
		RenderObjectData* o = it->second.get();
		b2Body* body = o->body;
		float speed2 = 0.f, direction = 0.f;
		if (body && (o->awake || body->IsAwake()) && body->GetMass() > 0.f)
		{
			const float x = o->renderPose.x, y = o->renderPose.y;
			const b2Vec2 v = body->GetLinearVelocity();
			const float w = body->GetAngularVelocity();
			speed2 = v.x * v.x + v.y * v.y;
			direction = std::atan2(v.y, v.x) * 57.29578f;
			TableWriter t(state, o->table);
			t.number("x", x);
			t.number("y", y);
			if (y > bottom || x < left || x > right || y < top)
				t.boolean("frozen", true);
			if ((o->kind == 5 || o->kind == 7) &&
				(y > 0.95f * bottom || x < 0.95f * left || x > 0.95f * right || y < 0.95f * top))
				o->removalTimerEnabled = true;
			if (speed2 > 0.f && !o->projectile && !o->jointed)
				zeroTolerance = true;
			if (speed2 > 9.f || std::fabs(w) > 0.1f)
			{
				if (!o->jointed)
					moving = true;
				if (o->parameter9Flag && std::fabs(v.x) > 3.f)
					o->mirrored = v.x >= 0.f;
			}
			t.number("velocity", std::sqrt(speed2));
			if (o->projectile || o->material == 4 || o->recordVelocity)
			{
				t.number("xVel", v.x);
				t.number("yVel", v.y);
			}
			// Rolling volumes are gathered here once audio lands.
			awakeSeen = true;
		}
		if (o->selectsAnimation)
		{
			const std::string name = o->name;
			call("selectObjectAnimation", name, std::sqrt(speed2), direction, scaledDt);
			// The script may have removed this object or others.
			it = m_renderObjects.find(name);
			if (it == m_renderObjects.end() || it->second.get() != o)
			{
				it = m_renderObjects.upper_bound(name);
				continue;
			}
			body = o->body;
		}
		if (body)
		{
			o->awake = body->IsAwake();
			const b2Rot& q = body->GetTransform().q;
			TableWriter t(state, o->table);
			t.number("angle", std::atan2(q.s, q.c));
			t.boolean("sleeping", !o->awake);
		}
		if (o->wobbling)
		{
			o->wobbleTime += scaledDt;
			const float a = std::min(4.f, (o->wobbleStartAmplitude - o->wobbleStartAmplitude * o->wobbleTime) * o->wobbleStrength);
			o->wobbleAmplitude = a;
			if (a > 0.01f)
			{
				const int q = k / static_cast<int>(projectiles > 1 ? projectiles : 1);
				const float phase = (o->wobbleFrequency * 5.f + a * 100.f) * o->wobbleTime + static_cast<float>(q) * b2_pi * 0.5f;
				o->scale.x = o->baseScale.x + std::sin(phase) * a;
				o->scale.y = o->baseScale.y + std::sin(phase + b2_pi) * a;
			}
			else
			{
				o->wobbling = false;
				o->wobbleTime = o->wobbleAmplitude = o->wobbleStartAmplitude = 0.f;
			}
		}
		++it;
	}
	setBoolean("hasMovingObjects", moving);
	setBoolean("hasAwakeObjects", awakeSeen);
	setBoolean("hasMovingObjectsZeroTolerance", zeroTolerance);

	if (!m_joints.empty())
	{
		lua::LuaTable joints = jointsTable();
		for (auto& joint : m_joints)
		{
			if (joint->type == 5 || !joint->joint || !joints.isTable(joint->name))
				continue;
			const b2Vec2 a = joint->joint->GetAnchorA();
			const b2Vec2 b = joint->joint->GetAnchorB();
			TableWriter t(state, joints.getTable(joint->name));
			t.number("x1", a.x);
			t.number("y1", a.y);
			t.number("x2", b.x);
			t.number("y2", b.y);
		}
	}
}
