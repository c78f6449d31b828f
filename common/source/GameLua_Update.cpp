// The frame update: fixed physics steps, pose interpolation and the export of object state to the scripts.
#include "GameApp.h"
#include "GameLua.h"
#include <audio/AudioOutput.h>
#include <gr/Context.h>
#include <lang/System.h>
#include <lua/LuaStackRestore.h>
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
const float STEP = 1.f / 30.f;
const float POSE_WINDOW = 2.f / 30.f;
const float SLOW_SPEED_SQ = 0.5f * 0.5f;
const float SLOW_TURN_SQ = (2.f / 180.f * b2_pi) * (2.f / 180.f * b2_pi);

/** Asleep bodies carry no force (Box2D zeroes it when a body sleeps, and a script force that wakes
 * one touches the world), so a quiet world skips the pass over every body. */
inline void clearForces(b2World& world, bool quiet)
{
	if (!quiet)
		world.ClearForces();
}

/** The export's keys, interned once per frame and kept on the stack. */
enum ExportKey { KEY_X, KEY_Y, KEY_FROZEN, KEY_VELOCITY, KEY_XVEL, KEY_YVEL, KEY_ANGLE, KEY_SLEEPING, KEY_COUNT };
const char* const EXPORT_KEYS[KEY_COUNT] = {"x", "y", "frozen", "velocity", "xVel", "yVel", "angle", "sleeping"};

/** table[key] = v for the table on top of the stack, the key taken from the interned ones. */
inline void setField(lua_State* L, int keys, ExportKey key, float v)
{
	lua_pushvalue(L, keys + key);
	lua_pushnumber(L, v);
	lua_rawset(L, -3);
}

inline void setField(lua_State* L, int keys, ExportKey key, bool v)
{
	lua_pushvalue(L, keys + key);
	lua_pushboolean(L, v ? 1 : 0);
	lua_rawset(L, -3);
}

/** The body's angle for its rotation; atan2 runs only when the rotation changed, bit for bit, since the last call. */
inline float angleOf(GameLua::RenderObjectData& o, const b2Rot& q)
{
	if (std::memcmp(&q, &o.angleRot, sizeof q) != 0)
	{
		o.angleRot = q;
		o.rotAngle = std::atan2(q.s, q.c);
	}
	return o.rotAngle;
}

GameLua::RenderObjectData* recordOf(b2Body* body)
{
	return reinterpret_cast<GameLua::RenderObjectData*>(body->GetUserData().pointer);
}
}

void GameLua::update(float dt)
{
	restartAudio();
	checkURLCallbacks();
	m_commerce.checkForCallback();
	m_localNotifications.checkForNotifications();
	// After the replies, so a reply callback's change is seen this frame.
	m_safeToQuit = isBoolean("g_safeToQuit") && getBoolean("g_safeToQuit");
	setNumber("screenWidth", static_cast<float>(m_context->width()));
	setNumber("screenHeight", static_cast<float>(m_context->height()));
	if (m_app->zoom() != m_app->lastZoom())
	{
		setNumber("zoomLevel", getNumber("zoomLevel") + (m_app->zoom() - m_app->lastZoom()) * 0.5f);
		m_app->setLastZoom(m_app->zoom());
	}
	publishTouches();

	const float scaledDt = dt * m_deltaTimeMultiplier;
	const bool running = m_physicsDisableCount == 0;
	int64_t physicsMicros = 0;
	if (running)
	{
		moveLayerSprites(scaledDt);
		m_accumulator += scaledDt;
		stepPhysics(scaledDt, physicsMicros);
		clearForces(*m_world, worldQuiet());
		callScript("clearLuaForceFunctions");
		interpolatePoses(scaledDt);
	}
	setNumber("g_physicsUpdateMillis", static_cast<float>(static_cast<double>(physicsMicros) * 0.001));
	std::fill(m_rollingVolumes, m_rollingVolumes + ROLLING_SOUND_COUNT, 0.f);
	if (running)
		exportObjects(scaledDt);
	playRollingSounds();
	deliverWorkerResults();

	callScript("update", scaledDt, dt);
	if (running)
		m_particles->update(scaledDt, true, m_context);

	while (!m_jointRemovalQueue.empty())
	{
		b2Joint* joint = m_jointRemovalQueue.back()->joint;
		m_jointRemovalQueue.pop_back();
		touchWorld();
		if (joint)
			m_world->DestroyJoint(joint);
	}
	if (running)
		m_aimStream.update(scaledDt);
}

void GameLua::restartAudio()
{
	// Cheap tests first: this runs every frame and the output is nearly always started.
	audio::AudioOutput* output = m_resources->getAudioOutput();
	if (!output || output->isStarted() || !m_app->audioActive() || !isTable("settings"))
		return;
	lua::LuaTable settings = getTable("settings");
	if (!settings.isTable("root"))
		return;
	lua::LuaTable root = settings.getTable("root");
	if (root.isBoolean("audioEnabled") && root.getBoolean("audioEnabled"))
		m_resources->startAudioOutput();
}

void GameLua::playRollingSounds()
{
	// Without an output there is nothing to play or stop, and the registry would throw every frame.
	audio::AudioOutput* output = m_resources->getAudioOutput();
	if (!output)
		return;
	static const std::string ids[ROLLING_SOUND_COUNT] = {"wood_rolling", "rock_rolling", "light_rolling"};
	for (int i = 0; i < ROLLING_SOUND_COUNT; ++i)
	{
		const float volume = m_rollingVolumes[i];
		int& handle = m_rollingSoundHandles[i];
		if (volume > 0.f)
		{
			if (!m_resources->isAudioPlaying(ids[i]))
				handle = m_resources->playAudio(ids[i], volume, true, 2);
			else
				output->setClipVolume(handle, volume);
		}
		else
		{
			m_resources->stopAudio(ids[i]);
		}
	}
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
		callScript("applyForcesAtPhysicsStep");
		for (RenderObjectData* op : worldQuiet() ? m_noObjects : objectOrder())
		{
			RenderObjectData& o = *op;
			if (!o.gravityFields.empty() && o.body && o.body->IsAwake() && o.kind != 5 && o.kind != 7)
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

		// The real clock: a simulated frame clock would make the step cost nothing.
		const int64_t t0 = lang::System::realTimeMicros();
		m_world->Step(STEP, 10, 10);
		const int64_t t1 = lang::System::realTimeMicros();
		physicsMicros += t1 - t0;
		applyMassFixups();
		if (m_world->GetAllowSleeping())
			sleepSlowIslands(STEP);
		m_accumulator -= STEP;
		clearForces(*m_world, worldQuiet());
		rethrowListenerError();

		callScript("removeBlocks");
		// Pending velocities first, then (in the pose window) the newest pose; per object, as neither reads the other.
		const bool sample = m_accumulator <= POSE_WINDOW;
		if (sample)
			m_poseSlot = 1 - m_poseSlot;
		for (RenderObjectData* op : worldQuiet() ? m_noObjects : objectOrder())
		{
			RenderObjectData& o = *op;
			if (o.pendingVelocitySet)
			{
				if (o.body && o.body->GetType() != b2_staticBody)
				{
					if (o.pendingVelocity.LengthSquared() > 0.f)
						o.body->SetAwake(true);
					o.body->SetLinearVelocity(o.pendingVelocity);
				}
				o.pendingVelocitySet = false;
			}
			if (sample && o.body && o.body->IsAwake())
			{
				const b2Transform& xf = o.body->GetTransform();
				o.poses[m_poseSlot] = Pose{xf.p.x, xf.p.y, angleOf(o, xf.q)};
				if (o.projectile && o.body->GetMass() != 0.f)
					o.body->SetBullet(true);
			}
		}
	}
}

void GameLua::sleepSlowIslands(float h)
{
	// A timer not grown in the last step belongs to a body that slept since: it starts again.
	const unsigned step = ++m_sleepStep;
	if (worldQuiet())
		return;
	auto grow = [&](b2Body* b, RenderObjectData* o) {
		const b2Vec2 v = b->GetLinearVelocity();
		const float w = b->GetAngularVelocity();
		if (o->slowStep != step - 1 || !b->IsSleepingAllowed() || v.LengthSquared() > SLOW_SPEED_SQ || w * w > SLOW_TURN_SQ)
			o->slowTime = 0.f;
		if (v.LengthSquared() <= SLOW_SPEED_SQ && w * w <= SLOW_TURN_SQ && b->IsSleepingAllowed())
			o->slowTime += h;
		o->slowStep = step;
		return o->slowTime;
	};

	// Every moving body's timer first. An island sleeps only when each of its bodies has been slow
	// long enough, so the island search starts only from such bodies and stops at the first that is not.
	m_sleepCandidates.clear();
	for (b2Body* b = m_world->GetBodyList(); b; b = b->GetNext())
	{
		if (b->GetType() == b2_staticBody || !b->IsAwake() || !b->IsEnabled())
			continue;
		RenderObjectData* o = recordOf(b);
		if (o && grow(b, o) >= b2_timeToSleep)
			m_sleepCandidates.push_back(b);
	}

	// Islands as Box2D builds them: touching non-sensor contacts and joints, never through a static body.
	// Each search has its own mark; reaching a body marked by an earlier search of this pass means
	// reaching an island that search already found awake.
	const unsigned firstSearch = m_islandSearch + 1;
	for (b2Body* seed : m_sleepCandidates)
	{
		RenderObjectData* so = recordOf(seed);
		if (so->islandSearch >= firstSearch || !seed->IsAwake())
			continue;
		const unsigned search = ++m_islandSearch;
		so->islandSearch = search;
		m_island.clear();
		m_islandStack.clear();
		m_islandStack.push_back(seed);
		bool sleeps = true;
		// Adds a body to the search; false when the island cannot sleep.
		auto reach = [&](b2Body* other) {
			if (other->GetType() == b2_staticBody || !other->IsEnabled())
				return true;
			RenderObjectData* oo = recordOf(other);
			if (!oo || (oo->islandSearch >= firstSearch && oo->islandSearch != search))
				return false;
			if (oo->islandSearch == search)
				return true;
			oo->islandSearch = search;
			// A body the first pass did not grow (not awake) grows here, as one of the island.
			const float t = oo->slowStep == step ? oo->slowTime : grow(other, oo);
			if (t < b2_timeToSleep)
				return false;
			m_islandStack.push_back(other);
			return true;
		};
		while (sleeps && !m_islandStack.empty())
		{
			b2Body* b = m_islandStack.back();
			m_islandStack.pop_back();
			m_island.push_back(b);
			for (b2ContactEdge* ce = b->GetContactList(); ce && sleeps; ce = ce->next)
			{
				b2Contact* c = ce->contact;
				if (!c->IsEnabled() || !c->IsTouching() || c->GetFixtureA()->IsSensor() || c->GetFixtureB()->IsSensor())
					continue;
				sleeps = reach(ce->other);
			}
			for (b2JointEdge* je = b->GetJointList(); je && sleeps; je = je->next)
				sleeps = reach(je->other);
		}
		if (sleeps)
		{
			for (b2Body* b : m_island)
				b->SetAwake(false);
		}
	}
}

void GameLua::interpolatePoses(float scaledDt)
{
	if (worldQuiet())
		return;
	const float alpha = m_accumulator / STEP;
	const int current = m_poseSlot;
	lua::LuaTable world;
	for (RenderObjectData* op : objectOrder())
	{
		RenderObjectData& o = *op;
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
	if (worldQuiet())
	{
		// Every table already holds what this pass would write.
		setBoolean("hasMovingObjects", false);
		setBoolean("hasAwakeObjects", false);
		setBoolean("hasMovingObjectsZeroTolerance", false);
		return;
	}
	bool moving = false, zeroTolerance = false, awakeSeen = false, busy = false;
	const float left = static_cast<float>(m_levelLimits[0]);
	const float right = static_cast<float>(m_levelLimits[1]);
	const float top = static_cast<float>(m_levelLimits[2]);
	const float bottom = static_cast<float>(m_levelLimits[3]);
	const size_t projectiles = m_projectiles.size();
	lua::LuaState* state = getState();
	lua::LuaStackRestore restore(state);
	lua_State* L = state->getLua();
	const int keys = lua_gettop(L) + 1;
	for (const char* key : EXPORT_KEYS)
		lua_pushstring(L, key);
	int k = 0;
	for (size_t index = 0; index < objectOrder().size(); ++index)
	{
		++k;
		RenderObjectData* o = m_order[index];
		// The loop is bound by memory: ask for the records, bodies and script tables a few objects ahead.
		if (index + 4 < m_order.size())
		{
			const RenderObjectData* ahead = m_order[index + 4];
			__builtin_prefetch(ahead);
			__builtin_prefetch(reinterpret_cast<const char*>(ahead) + 64);
		}
		if (index + 2 < m_order.size())
		{
			const RenderObjectData* ahead = m_order[index + 2];
			if (ahead->body)
				__builtin_prefetch(ahead->body);
			if (ahead->tableAddress)
				__builtin_prefetch(ahead->tableAddress);
		}
		b2Body* body = o->body;
		b2Vec2 v(0.f, 0.f);
		float speed2 = 0.f;
		bool exported = false;
		if (body)
		{
			state->pushTable(o->table);
			o->tableAddress = lua_topointer(L, -1);
		}
		if (body && (o->awake || body->IsAwake()) && body->GetMass() > 0.f)
		{
			exported = true;
			const float x = o->renderPose.x, y = o->renderPose.y;
			v = body->GetLinearVelocity();
			const float w = body->GetAngularVelocity();
			speed2 = v.x * v.x + v.y * v.y;
			setField(L, keys, KEY_X, x);
			setField(L, keys, KEY_Y, y);
			if (y > bottom || x < left || x > right || y < top)
				setField(L, keys, KEY_FROZEN, true);
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
			setField(L, keys, KEY_VELOCITY, std::sqrt(speed2));
			if (o->projectile || o->material == 4 || o->recordVelocity)
			{
				setField(L, keys, KEY_XVEL, v.x);
				setField(L, keys, KEY_YVEL, v.y);
			}
			if (o->rollingSound && !o->projectile && o->material >= 1 && o->material <= ROLLING_SOUND_COUNT)
			{
				const float volume = std::min(1.f, std::fabs(w) * o->radius / 400.f * body->GetMass());
				float& loudest = m_rollingVolumes[o->material - 1];
				loudest = std::max(loudest, volume);
			}
			awakeSeen = true;
		}
		if (o->selectsAnimation)
		{
			if (body)
				lua_pop(L, 1);
			const std::string name = o->name;
			const float direction = exported ? std::atan2(v.y, v.x) * 57.29578f : 0.f;
			callScript("selectObjectAnimation", name, std::sqrt(speed2), direction, scaledDt);
			if (m_orderDirty)
			{
				// The script removed or made objects: go on after this name.
				const std::vector<RenderObjectData*>& order = objectOrder();
				auto next = std::upper_bound(order.begin(), order.end(), name,
					[](const std::string& n, const RenderObjectData* r) { return n < r->name; });
				const size_t at = static_cast<size_t>(next - order.begin());
				index = at - 1;
				if (at == 0 || order[at - 1] != o)
					continue;
			}
			body = o->body;
			if (body)
				state->pushTable(o->table);
		}
		if (body)
		{
			o->awake = body->IsAwake();
			setField(L, keys, KEY_ANGLE, angleOf(*o, body->GetTransform().q));
			setField(L, keys, KEY_SLEEPING, !o->awake);
			lua_pop(L, 1);
		}
		busy = busy || o->selectsAnimation || o->removalTimerEnabled || o->pendingVelocitySet ||
			(o->projectile && o->flightTime >= 0.f);
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
			busy = busy || o->wobbling;
		}
	}
	setBoolean("hasMovingObjects", moving);
	setBoolean("hasAwakeObjects", awakeSeen);
	setBoolean("hasMovingObjectsZeroTolerance", zeroTolerance);

	if (!busy && !awakeSeen)
	{
		busy = !m_jointRemovalQueue.empty();
		for (b2Body* b = m_world->GetBodyList(); b && !busy; b = b->GetNext())
			busy = b->IsAwake();
		m_worldQuiet = !busy;
	}
	if (!m_joints.empty())
	{
		lua::LuaTable joints = jointsTable();
		for (auto& joint : m_joints)
		{
			if (joint->type == 5 || !joint->joint || !joints.isTable(joint->name))
				continue;
			const b2Vec2 a = joint->joint->GetAnchorA();
			const b2Vec2 b = joint->joint->GetAnchorB();
			lua::LuaTable table = joints.getTable(joint->name);
			table.setNumber("x1", a.x);
			table.setNumber("y1", a.y);
			table.setNumber("x2", b.x);
			table.setNumber("y2", b.y);
		}
	}
}
