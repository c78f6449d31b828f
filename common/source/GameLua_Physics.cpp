// Physics world and named objects: creation, motion, parameters, removal.
#include "GameLua.h"
#include "ConvexDecomposition/b2Polygon.h"
#include "PhysicsChecks.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>

using physics::finite;
using physics::scriptError;

namespace
{
const float TWO_PI = 2.f * b2_pi;

uintptr_t userData(GameLua::RenderObjectData* record)
{
	return reinterpret_cast<uintptr_t>(record);
}

/** A script number as an int: truncated, saturated, NaN gives 0. */
int toInt(float v)
{
	return lua::detail::numberToInt(v);
}

bool isFlag(float value)
{
	return toInt(value) == 1;
}

/** Finite vertices from a script list of {x, y} (or {1, 2}) tables; stops at the first non-table. */
std::vector<b2Vec2> readPoints(const lua::LuaTable& list, const std::string& name)
{
	std::vector<b2Vec2> points;
	for (int i = 1; list.isTable(i); ++i)
	{
		lua::LuaTable p = list.getTable(i);
		const bool named = p.isNumber("x");
		const float x = named ? p.getNumber("x") : p.getNumber(1);
		const float y = named ? p.getNumber("y") : p.getNumber(2);
		points.push_back(b2Vec2(finite(x, "vertex x", name), finite(y, "vertex y", name)));
	}
	return points;
}
}

namespace physics
{
void scriptError(const char* message, const std::string& name)
{
	lang::throwError(lang::Exception(lang::Format("{0} ({1})", std::string(message), name)));
}

float finite(float v, const char* what, const std::string& name)
{
	if (!std::isfinite(v))
		lang::throwError(lang::Exception(lang::Format("{0} is not a finite number ({1})", std::string(what), name)));
	return v;
}

bool polygonAccepted(const b2Vec2* vertices, int count)
{
	if (count < 3 || count > b2_maxPolygonVertices)
		return false;
	// Box2D welds points closer than half the linear slop, then takes the hull.
	b2Vec2 ps[b2_maxPolygonVertices];
	int n = 0;
	const float weld = (0.5f * b2_linearSlop) * (0.5f * b2_linearSlop);
	for (int i = 0; i < count; ++i)
	{
		const b2Vec2 v = vertices[i];
		if (!std::isfinite(v.x) || !std::isfinite(v.y))
			return false;
		bool unique = true;
		for (int j = 0; j < n; ++j)
		{
			if (b2DistanceSquared(v, ps[j]) < weld)
			{
				unique = false;
				break;
			}
		}
		if (unique)
			ps[n++] = v;
	}
	if (n < 3)
		return false;

	int i0 = 0;
	for (int i = 1; i < n; ++i)
	{
		if (ps[i].x > ps[i0].x || (ps[i].x == ps[i0].x && ps[i].y < ps[i0].y))
			i0 = i;
	}
	int hull[b2_maxPolygonVertices];
	int m = 0;
	int ih = i0;
	for (;;)
	{
		if (m >= b2_maxPolygonVertices)
			return false;
		hull[m] = ih;
		int ie = 0;
		for (int j = 1; j < n; ++j)
		{
			if (ie == ih)
			{
				ie = j;
				continue;
			}
			const b2Vec2 r = ps[ie] - ps[hull[m]];
			const b2Vec2 v = ps[j] - ps[hull[m]];
			const float c = b2Cross(r, v);
			if (c < 0.f || (c == 0.f && v.LengthSquared() > r.LengthSquared()))
				ie = j;
		}
		++m;
		ih = ie;
		if (ie == i0)
			break;
	}
	if (m < 3)
		return false;

	// Edges and area with a margin over the library's own asserts.
	const float eps = 4.f * b2_epsilon;
	float area = 0.f;
	const b2Vec2 s = ps[hull[0]];
	for (int i = 0; i < m; ++i)
	{
		const b2Vec2 a = ps[hull[i]];
		const b2Vec2 b = ps[hull[(i + 1) % m]];
		if ((b - a).LengthSquared() <= eps * eps)
			return false;
		area += 0.5f * b2Cross(a - s, b - s);
	}
	return area > eps;
}
}

void GameLua::registerPhysicsOperations()
{
	registerMethod<&GameLua::setDeltaTimeMultiplier>("setDeltaTimeMultiplier", this);
	registerMethod<&GameLua::getDeltaTimeMultiplier>("getDeltaTimeMultiplier", this);
	registerMethod<&GameLua::clearShapesArray>("clearShapesArray", this);
	registerMethod<&GameLua::addBoxToCompoundList>("addBoxToCompoundList", this);
	registerMethod<&GameLua::addPolygonToCompoundList>("addPolygonToCompoundList", this);
	registerMethod<&GameLua::addLineToCompoundList>("addLineToCompoundList", this);
	registerMethod<&GameLua::addCircleToCompoundList>("addCircleToCompoundList", this);
	registerWorldMethod<&GameLua::setCompoundShapeLinearDamping>("setCompoundShapeLinearDamping");
	registerWorldMethod<&GameLua::setCompoundShapeParameter>("setCompoundShapeParameter");
	registerWorldMethod<&GameLua::finalizeCompoundObject>("finalizeCompoundObject");
	registerLuaMethod("createCompoundBodyFromTable", this, &GameLua::createCompoundBodyFromTable);
	registerWorldMethod<&GameLua::setWorldGravity>("setWorldGravity");
	registerWorldMethod<&GameLua::createBox>("createBox");
	registerWorldMethod<&GameLua::createCircle>("createCircle");
	registerWorldMethod<&GameLua::createPolygon>("createPolygon");
	registerWorldMethod<&GameLua::createLineShape>("createLineShape");
	registerMethod<&GameLua::clearVertices>("clearVertices", this);
	registerMethod<&GameLua::addVertex>("addVertex", this);
	registerWorldMethod<&GameLua::applyImpulse>("applyImpulse");
	registerWorldMethod<&GameLua::applyForce>("applyForceNative");
	registerWorldMethod<&GameLua::setPosition>("setPosition");
	registerWorldMethod<&GameLua::setRotation>("setRotation");
	registerWorldMethod<&GameLua::setPivotOffset>("setPivotOffset");
	registerWorldMethod<&GameLua::setScale>("setScale");
	registerWorldMethod<&GameLua::setVelocity>("setVelocity");
	registerWorldMethod<&GameLua::setAngularVelocity>("setAngularVelocity");
	registerMethod<&GameLua::getAngularVelocity>("getAngularVelocity", this);
	registerMethod<&GameLua::getVelocity>("getVelocity", this);
	registerLuaMethod("getLinearVelocity", this, &GameLua::getLinearVelocity);
	registerWorldMethod<&GameLua::setFixedRotation>("setFixedRotation");
	registerWorldMethod<&GameLua::setAngularDamping>("setAngularDamping");
	registerWorldMethod<&GameLua::setLinearDamping>("setLinearDamping");
	registerWorldMethod<&GameLua::setAsSensor>("setAsSensor");
	registerWorldMethod<&GameLua::multiplyVelocity>("multiplyVelocity");
	registerWorldMethod<&GameLua::setPhysicsSimulationScale>("setPhysicsSimulationScale");
	registerLuaMethod("setPhysicsEnabled", this, &GameLua::setPhysicsEnabledLua);
	registerMethod<&GameLua::isPhysicsEnabled>("isPhysicsEnabled", this);
	registerWorldMethod<&GameLua::removeObject>("removeObject");
	registerWorldMethod<&GameLua::setSleeping>("setSleeping");
	registerWorldMethod<&GameLua::setActive>("setActive");
	registerWorldMethod<&GameLua::setObjectParameter>("setObjectParameter");
	registerWorldMethod<&GameLua::setCollisionEnabled>("setCollisionEnabled");
	registerMethod<&GameLua::setLevelLimits>("setLevelLimits", this);
	registerWorldMethod<&GameLua::setRecordVelocity>("setRecordVelocity");
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

// --- Lookups ------------------------------------------------------------------

const std::vector<GameLua::RenderObjectData*>& GameLua::objectOrder()
{
	if (m_orderDirty)
	{
		m_order.clear();
		for (auto& entry : m_renderObjects)
			m_order.push_back(entry.second.get());
		m_orderDirty = false;
	}
	return m_order;
}

GameLua::RenderObjectData* GameLua::findObject(const std::string& name) const
{
	auto found = m_renderObjects.find(name);
	return found == m_renderObjects.end() ? nullptr : found->second.get();
}

b2Body* GameLua::getBody(const std::string& name) const
{
	RenderObjectData* record = findObject(name);
	return record ? record->body : nullptr;
}

GameLua::RenderObjectData& GameLua::objectOrThrow(const std::string& name, const char* message)
{
	RenderObjectData* record = findObject(name);
	if (!record || !record->body)
		scriptError(message, name);
	return *record;
}

lua::LuaTable GameLua::worldTable()
{
	if (!m_objects.isTable("world"))
		m_objects.setTable("world", lua::LuaTable(getState()));
	return m_objects.getTable("world");
}

lua::LuaTable GameLua::jointsTable()
{
	if (!m_objects.isTable("joints"))
		m_objects.setTable("joints", lua::LuaTable(getState()));
	return m_objects.getTable("joints");
}

// --- Creation -----------------------------------------------------------------

void GameLua::checkNewName(const std::string& name) const
{
	checkUnlocked(name);
	if (m_renderObjects.count(name))
		scriptError("An object of that name exists", name);
}

std::unique_ptr<GameLua::RenderObjectData> GameLua::newRecord(const std::string& name, const std::string& sprite,
	float x, float y, float zOrder, bool collisionEnabled, bool projectile)
{
	std::unique_ptr<RenderObjectData> record(new RenderObjectData());
	record->kind = -1;
	record->sensorGravityMask = -1;
	record->parameter24 = -1;
	record->gravityCategory = -1;
	record->sensorRadius = -1.f;
	record->parameter28 = -1.f;
	record->flightTime = -1.f;
	record->visible = true;
	record->name = name;
	record->spriteName = sprite;
	record->scale = b2Vec2(1.f, 1.f);
	record->baseScale = b2Vec2(1.f, 1.f);
	record->textureScale = 1.f;
	record->radius = -1.f;
	record->poses[0] = record->poses[1] = record->renderPose = Pose{x, y, 0.f};
	record->zOrder = zOrder;
	record->collisionEnabled = collisionEnabled;
	record->projectile = projectile;
	return record;
}

b2Body* GameLua::createBody(float x, float y, float angle, bool dynamic)
{
	b2BodyDef def;
	def.type = dynamic ? b2_dynamicBody : b2_staticBody;
	def.position.Set(x, y);
	def.angle = angle;
	def.linearDamping = 0.f;
	def.angularDamping = 1.f;
	def.allowSleep = true;
	def.awake = true;
	def.fixedRotation = false;
	def.bullet = false;
	def.enabled = true;
	def.gravityScale = 1.f;
	touchWorld();
	return m_world->CreateBody(&def);
}

void GameLua::finishObject(std::unique_ptr<RenderObjectData> owned, const char* type, float density, float friction,
	float restitution)
{
	RenderObjectData& record = *owned;
	b2Body* body = record.body;
	// Our sleep rule and the listeners reach the record from any body.
	body->GetUserData().pointer = userData(&record);
	fixMass(body);

	lua::LuaTable table(getState());
	table.setString("name", record.name);
	table.setString("sprite", record.spriteName);
	table.setString("type", type);
	table.setNumber("x", record.renderPose.x);
	table.setNumber("y", record.renderPose.y);
	if (record.radius >= 0.f)
		table.setNumber("radius", record.radius);
	else
	{
		table.setNumber("width", record.width);
		table.setNumber("height", record.height);
	}
	table.setNumber("angle", 0.f);
	table.setNumber("density", density);
	table.setNumber("friction", friction);
	table.setNumber("restitution", restitution);
	table.setNumber("mass", body->GetMass());
	table.setNumber("xVel", 0.f);
	table.setNumber("yVel", 0.f);
	table.setNumber("z_order", record.zOrder);
	table.setNumber("animTimer", 0.f);
	table.setNumber("animFrame", 1.f);
	table.setNumber("animThresholdTimer", 0.f);
	table.setNumber("collisionEnabled", record.collisionEnabled ? 1.f : 0.f);
	lua::LuaTable world = worldTable();
	world.setTable(record.name, table);
	record.table = world.getTable(record.name);

	if (record.projectile)
	{
		body->SetAngularDamping(2.f);
		m_projectiles[record.name] = &record;
		setBodyEnabled(body, false);
	}
	m_renderObjects[record.name] = std::move(owned);
	m_orderDirty = true;
	addToZOrder(record);
}

void GameLua::addToZOrder(RenderObjectData& record)
{
	resolveObjectSprite(record);
	if (record.name == "ground")
		return;
	m_zOrder[toInt(record.zOrder)][record.sheetKey].push_back(record.name);
}

namespace
{
struct Material
{
	float density, friction, restitution;
};

Material checkMaterial(float density, float friction, float restitution, const std::string& name)
{
	finite(density, "density", name);
	finite(friction, "friction", name);
	finite(restitution, "restitution", name);
	if (density < 0.f)
		scriptError("The density must be >= 0", name);
	return Material{density, friction, restitution};
}

/** The finite position, z order and material every creation needs. */
Material checkPlacement(const std::string& name, float x, float y, float zOrder, float density, float friction,
	float restitution)
{
	finite(x, "x", name);
	finite(y, "y", name);
	finite(zOrder, "z order", name);
	return checkMaterial(density, friction, restitution, name);
}

void checkSizes(float width, float height, const std::string& name)
{
	finite(width, "width", name);
	finite(height, "height", name);
}

b2FixtureDef fixtureDef(const Material& m, GameLua::RenderObjectData* record)
{
	b2FixtureDef def;
	def.density = m.density;
	def.friction = m.friction;
	def.restitution = m.restitution;
	def.isSensor = false;
	def.filter.categoryBits = 1;
	def.filter.maskBits = 0xFFFF;
	def.filter.groupIndex = 0;
	def.userData.pointer = userData(record);
	return def;
}

void boxCorners(float hx, float hy, const b2Vec2& centre, float angle, b2Vec2* out)
{
	const b2Rot q(angle);
	const b2Vec2 corners[4] = {b2Vec2(-hx, -hy), b2Vec2(hx, -hy), b2Vec2(hx, hy), b2Vec2(-hx, hy)};
	for (int i = 0; i < 4; ++i)
		out[i] = b2Mul(q, corners[i]) + centre;
}

void checkBox(float width, float height, const b2Vec2& centre, float angle, const std::string& name)
{
	if (!(width > 0.f) || !(height > 0.f))
		scriptError("Box sides must be > 0", name);
	b2Vec2 corners[4];
	boxCorners(width * 0.5f, height * 0.5f, centre, angle, corners);
	if (!physics::polygonAccepted(corners, 4))
		scriptError("The box is too small for the physics world", name);
}

bool spriteExists(game::Resources* resources, const std::string& sprite)
{
	return resources && (resources->getSprite(sprite) || resources->getCompoSprite(sprite));
}

void checkPieceSprite(game::Resources* resources, const std::string& sprite, const std::string& name)
{
	if (!sprite.empty() && !spriteExists(resources, sprite))
	{
		lang::Debug::printf("Sprite not found: %s\n", sprite.c_str());
		scriptError("Sprite not found", name + ": " + sprite);
	}
}

void addEdges(b2Body* body, const std::vector<b2Vec2>& points, b2FixtureDef def)
{
	b2EdgeShape edge;
	def.shape = &edge;
	for (size_t i = 1; i < points.size(); ++i)
	{
		// A zero-length edge gives no usable normal.
		if (points[i - 1] == points[i])
			continue;
		edge.SetTwoSided(points[i - 1], points[i]);
		edge.m_radius = 0.01f;
		body->CreateFixture(&def);
	}
}
}

void GameLua::createBox(const std::string& name, const std::string& sprite, float x, float y, float width,
	float height, float density, float friction, float restitution, bool collisionEnabled, bool projectile,
	float zOrder)
{
	checkNewName(name);
	checkSizes(width, height, name);
	const Material material = checkPlacement(name, x, y, zOrder, density, friction, restitution);
	checkBox(width, height, b2Vec2(0.f, 0.f), 0.f, name);

	std::unique_ptr<RenderObjectData> record = newRecord(name, sprite, x, y, zOrder, collisionEnabled, projectile);
	record->width = width;
	record->height = height;
	record->body = createBody(x, y, 0.f, density != 0.f && density != 100.f);
	b2PolygonShape shape;
	shape.SetAsBox(width * 0.5f, height * 0.5f);
	b2FixtureDef def = fixtureDef(material, record.get());
	def.shape = &shape;
	record->body->CreateFixture(&def);
	finishObject(std::move(record), "box", density, friction, restitution);
}

void GameLua::createCircle(const std::string& name, const std::string& sprite, float x, float y, float radius,
	float density, float friction, float restitution, bool collisionEnabled, bool projectile, float zOrder)
{
	checkNewName(name);
	finite(radius, "radius", name);
	const Material material = checkPlacement(name, x, y, zOrder, density, friction, restitution);
	if (!(radius > 0.f))
		scriptError("The radius must be > 0", name);

	std::unique_ptr<RenderObjectData> record = newRecord(name, sprite, x, y, zOrder, collisionEnabled, projectile);
	record->radius = radius;
	record->body = createBody(x, y, 0.f, density != 0.f);
	b2CircleShape shape;
	shape.m_radius = radius;
	b2FixtureDef def = fixtureDef(material, record.get());
	def.shape = &shape;
	record->body->CreateFixture(&def);
	finishObject(std::move(record), "circle", density, friction, restitution);
}

void GameLua::createPolygon(const std::string& name, const std::string& sprite, float x, float y, float width,
	float height, float density, float friction, float restitution, bool collisionEnabled, bool projectile,
	float zOrder)
{
	checkNewName(name);
	checkSizes(width, height, name);
	const Material material = checkPlacement(name, x, y, zOrder, density, friction, restitution);
	if (!physics::polygonAccepted(m_vertices.data(), static_cast<int>(m_vertices.size())))
		scriptError("The vertex list is no polygon the physics world takes (3 to 8 distinct points, not in a line)",
			name);
	checkPieceSprite(m_resources, sprite, name);

	std::unique_ptr<RenderObjectData> record = newRecord(name, sprite, x, y, zOrder, collisionEnabled, projectile);
	record->width = width;
	record->height = height;
	record->body = createBody(x, y, 0.f, density != 0.f);
	b2PolygonShape shape;
	shape.Set(m_vertices.data(), static_cast<int>(m_vertices.size()));
	b2FixtureDef def = fixtureDef(material, record.get());
	def.shape = &shape;
	record->body->CreateFixture(&def);
	finishObject(std::move(record), "polygon", density, friction, restitution);
}

void GameLua::createLineShape(const std::string& name, const std::string& sprite, float x, float y, float width,
	float height, float density, float friction, float restitution, bool collisionEnabled, bool projectile,
	float zOrder)
{
	checkNewName(name);
	checkSizes(width, height, name);
	const Material material = checkPlacement(name, x, y, zOrder, density, friction, restitution);
	checkPieceSprite(m_resources, sprite, name);

	std::unique_ptr<RenderObjectData> record = newRecord(name, sprite, x, y, zOrder, collisionEnabled, projectile);
	record->width = width;
	record->height = height;
	record->body = createBody(x, y, 0.f, density != 0.f);
	addEdges(record->body, m_vertices, fixtureDef(material, record.get()));
	finishObject(std::move(record), "line", density, friction, restitution);
}

void GameLua::clearVertices()
{
	m_vertices.clear();
}

void GameLua::addVertex(float x, float y)
{
	m_vertices.push_back(b2Vec2(finite(x, "vertex x", "addVertex"), finite(y, "vertex y", "addVertex")));
}

void GameLua::clearShapesArray()
{
	m_compoundNames.clear();
	m_compoundShapes.clear();
}

void GameLua::addBoxToCompoundList(const std::string& name, float x, float y, float angle, float width, float height)
{
	m_compoundNames.push_back(name);
	m_compoundShapes.push_back({0.f, x, y, angle, width, height});
}

void GameLua::addPolygonToCompoundList(const std::string& name, float a, float b, float c, float d, float e)
{
	m_compoundNames.push_back(name);
	m_compoundShapes.push_back({1.f, a, b, c, d, e});
}

void GameLua::addLineToCompoundList(const std::string& name, float a, float b, float c, float d, float e)
{
	m_compoundNames.push_back(name);
	m_compoundShapes.push_back({2.f, a, b, c, d, e});
}

void GameLua::addCircleToCompoundList(const std::string& name, float x, float y, float angle, float radius)
{
	m_compoundNames.push_back(name);
	m_compoundShapes.push_back({3.f, x, y, angle, radius});
}

int GameLua::createCompoundBodyFromTable(lua::LuaState* state)
{
	touchWorld();
	if (state->top() < 1 || !state->isTable(-1))
		scriptError("createCompoundBodyFromTable takes a table", "createCompoundBodyFromTable");
	const lua::LuaTable t = state->toTable(-1);
	if (!t.isString("name"))
		scriptError("The compound table has no name", "createCompoundBodyFromTable");
	const std::string name = t.getString("name");
	checkNewName(name);
	const float x = finite(t.getNumber("x"), "x", name);
	const float y = finite(t.getNumber("y"), "y", name);
	const float angle = finite(t.getNumber("angle"), "angle", name);
	if (!t.isTable("material"))
		scriptError("The compound table has no material", name);
	const lua::LuaTable materialTable = t.getTable("material");
	const Material material = checkMaterial(materialTable.getNumber("density"), materialTable.getNumber("friction"),
		materialTable.getNumber("restitution"), name);

	// Every child is read and checked before anything is made.
	struct Child
	{
		std::string sprite, type;
		float x, y, angle, width, height, radius;
		std::vector<b2Vec2> points;
	};
	std::vector<Child> children;
	const lua::LuaTable list = t.isTable("children") ? t.getTable("children") : lua::LuaTable(getState());
	for (int i = 1; list.isTable(i); ++i)
	{
		const lua::LuaTable entry = list.getTable(i);
		const lua::LuaTable block = entry.isTable("blockData") ? entry.getTable("blockData") : lua::LuaTable(getState());
		Child c;
		c.sprite = block.isString("sprite") ? block.getString("sprite") : std::string();
		c.type = block.getString("type");
		c.x = finite(entry.getNumber("x"), "child x", name);
		c.y = finite(entry.getNumber("y"), "child y", name);
		c.angle = finite(entry.getNumber("angle"), "child angle", name);
		c.width = c.height = c.radius = 0.f;
		checkPieceSprite(m_resources, c.sprite, name);
		if (c.type == "polygon")
		{
			if (block.isTable("worldVertices"))
				c.points = readPoints(block.getTable("worldVertices"), name);
		}
		else if (c.type == "line")
		{
			if (block.isTable("vertices"))
				c.points = readPoints(block.getTable("vertices"), name);
		}
		else if (c.type == "box")
		{
			c.width = finite(block.getNumber("width"), "child width", name);
			c.height = finite(block.getNumber("height"), "child height", name);
			checkBox(c.width, c.height, b2Vec2(c.x, c.y), c.angle, name);
		}
		else if (c.type == "circle")
		{
			c.radius = finite(block.getNumber("radius"), "child radius", name);
			if (!(c.radius > 0.f))
				scriptError("The radius must be > 0", name);
		}
		children.push_back(c);
	}

	std::unique_ptr<RenderObjectData> owned(new RenderObjectData());
	RenderObjectData& record = *owned;
	record.name = name;
	record.tracksImpacts = true;
	record.angleCaptured = true;
	record.firstAngle = angle;
	record.visible = true;
	record.collisionEnabled = true;
	record.radius = -1.f;
	record.poses[0] = record.poses[1] = record.renderPose = Pose{x, y, angle};
	record.scale = record.baseScale = b2Vec2(1.f, 1.f);
	record.zOrder = 0.f;
	record.body = createBody(x, y, angle, material.density != 0.f);
	b2Body* body = record.body;
	body->GetUserData().pointer = userData(&record);
	const b2FixtureDef def = fixtureDef(material, &record);
	for (const Child& c : children)
	{
		game::CompoSprite* pieceCompo = c.sprite.empty() ? nullptr : m_resources->getCompoSprite(c.sprite);
		record.pieceCompoSprites.push_back(pieceCompo);
		record.pieceSprites.push_back(pieceCompo || c.sprite.empty() ? nullptr : m_resources->getSprite(c.sprite));
		record.pieceOffsets.push_back(b2Vec2(c.x, c.y));
		record.pieceAngles.push_back(c.angle);
		record.pieceNames.push_back(c.sprite);
		if (c.type == "polygon")
		{
			if (c.points.size() >= 3)
			{
				b2Polygon polygon(c.points.data(), static_cast<int>(c.points.size()));
				DecomposeConvexAndAddTo(&polygon, body, &def);
			}
		}
		else if (c.type == "line")
			addEdges(body, c.points, def);
		else if (c.type == "box")
		{
			b2PolygonShape shape;
			shape.SetAsBox(c.width * 0.5f, c.height * 0.5f, b2Vec2(c.x, c.y), c.angle);
			b2FixtureDef boxDef = def;
			boxDef.shape = &shape;
			body->CreateFixture(&boxDef);
		}
		else if (c.type == "circle")
		{
			b2CircleShape shape;
			shape.m_radius = c.radius;
			shape.m_p.Set(c.x, c.y);
			b2FixtureDef circleDef = def;
			circleDef.shape = &shape;
			body->CreateFixture(&circleDef);
		}
	}
	fixMass(body);

	lua::LuaTable table(getState());
	table.setString("name", name);
	table.setString("type", "compound");
	table.setNumber("x", x);
	table.setNumber("y", y);
	table.setNumber("angle", angle);
	table.setNumber("density", material.density);
	table.setNumber("friction", material.friction);
	table.setNumber("restitution", material.restitution);
	table.setNumber("mass", body->GetMass());
	table.setNumber("xVel", 0.f);
	table.setNumber("yVel", 0.f);
	table.setNumber("z_order", 0.f);
	table.setNumber("animTimer", 0.f);
	table.setNumber("animFrame", 1.f);
	table.setNumber("animThresholdTimer", 0.f);
	table.setNumber("collisionEnabled", 1.f);
	lua::LuaTable world = worldTable();
	world.setTable(name, table);
	record.table = world.getTable(name);

	m_renderObjects[name] = std::move(owned);
	m_orderDirty = true;
	record.sheetKey = nullptr;
	m_zOrder[0][nullptr].push_back(name);
	return 0;
}

// --- Motion and pose ------------------------------------------------------------

void GameLua::applyImpulse(const std::string& name, float ix, float iy, float px, float py)
{
	const b2Vec2 impulse(finite(ix, "impulse x", name), finite(iy, "impulse y", name));
	const b2Vec2 point(finite(px, "point x", name), finite(py, "point y", name));
	b2Body* body = getBody(name);
	if (body && body->GetType() == b2_dynamicBody)
		body->ApplyLinearImpulse(impulse, point, true);
}

void GameLua::applyForce(const std::string& name, float fx, float fy, float px, float py)
{
	const b2Vec2 force(finite(fx, "force x", name), finite(fy, "force y", name));
	const b2Vec2 point(finite(px, "point x", name), finite(py, "point y", name));
	b2Body* body = getBody(name);
	if (body && body->GetType() == b2_dynamicBody)
		body->ApplyForce(force, point, true);
}

void GameLua::setVelocity(const std::string& name, float vx, float vy)
{
	const b2Vec2 v(finite(vx, "velocity x", name), finite(vy, "velocity y", name));
	b2Body* body = getBody(name);
	if (!body || body->GetType() == b2_staticBody)
		return;
	if (v.LengthSquared() > 0.f)
		body->SetAwake(true);
	body->SetLinearVelocity(v);
}

void GameLua::setAngularVelocity(const std::string& name, float w)
{
	finite(w, "angular velocity", name);
	b2Body* body = getBody(name);
	if (!body || body->GetType() == b2_staticBody)
		return;
	if (w * w > 0.f)
		body->SetAwake(true);
	body->SetAngularVelocity(w);
}

void GameLua::multiplyVelocity(const std::string& name, float m)
{
	finite(m, "multiplier", name);
	b2Body* body = getBody(name);
	if (!body || body->GetType() == b2_staticBody)
		return;
	const b2Vec2 v = m * body->GetLinearVelocity();
	if (!std::isfinite(v.x) || !std::isfinite(v.y))
		scriptError("The velocity would not be finite", name);
	body->SetLinearVelocity(v);
	if (v.LengthSquared() > 0.f)
		body->SetAwake(true);
}

float GameLua::getVelocity(const std::string& name)
{
	b2Body* body = getBody(name);
	return body ? body->GetLinearVelocity().Length() : 0.f;
}

float GameLua::getAngularVelocity(const std::string& name)
{
	b2Body* body = getBody(name);
	return body ? body->GetAngularVelocity() : 0.f;
}

int GameLua::getLinearVelocity(lua::LuaState* state)
{
	const std::string name = state->toString(1);
	const b2Vec2 v = objectOrThrow(name, "Body not found!").body->GetLinearVelocity();
	state->pushNumber(v.x);
	state->pushNumber(v.y);
	return 2;
}

void GameLua::setPosition(const std::string& name, float x, float y)
{
	finite(x, "x", name);
	finite(y, "y", name);
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	checkUnlocked(name);
	record.body->SetTransform(b2Vec2(x, y), record.body->GetAngle());
	record.table.setNumber("x", x);
	record.table.setNumber("y", y);
	record.renderPose.x = record.poses[0].x = record.poses[1].x = x;
	record.renderPose.y = record.poses[0].y = record.poses[1].y = y;
}

void GameLua::setRotation(const std::string& name, float angle)
{
	finite(angle, "angle", name);
	RenderObjectData* record = findObject(name);
	if (!record || !record->body)
		return;
	checkUnlocked(name);
	float a = std::fmod(angle, TWO_PI);
	if (a < 0.f)
		a += TWO_PI;
	record->body->SetTransform(record->body->GetPosition(), a);
	record->table.setNumber("angle", a);
	record->renderPose.angle = record->poses[0].angle = record->poses[1].angle = a;
	if (!record->angleCaptured)
	{
		record->firstAngle = a;
		record->angleCaptured = true;
	}
}

void GameLua::setPivotOffset(const std::string& name, float x, float y)
{
	RenderObjectData* record = findObject(name);
	if (!record)
		return;
	record->table.setNumber("pivotOffsetX", x);
	record->table.setNumber("pivotOffsetY", y);
	record->pivotOffset.Set(x, y);
}

void GameLua::setScale(const std::string& name, float sx, float sy)
{
	RenderObjectData* record = findObject(name);
	if (!record)
		return;
	record->table.setNumber("scaleX", sx);
	record->table.setNumber("scaleY", sy);
	record->scale.Set(sx, sy);
}

namespace
{
/** The named object's body; a missing one is logged and is a script error. */
b2Body* loggedBody(const GameLua& game, const std::string& name)
{
	b2Body* body = game.getBody(name);
	if (!body)
	{
		lang::Debug::printf("Body name : %s", name.c_str());
		scriptError("Body not found!", name);
	}
	return body;
}
}

void GameLua::setFixedRotation(const std::string& name, bool flag)
{
	b2Body* body = loggedBody(*this, name);
	body->SetFixedRotation(flag);
	fixMass(body);
}

void GameLua::setAngularDamping(const std::string& name, float d)
{
	finite(d, "angular damping", name);
	b2Body* body = loggedBody(*this, name);
	// The game was made where a negative damping was clamped harmless.
	body->SetAngularDamping(std::max(0.f, d));
}

void GameLua::setLinearDamping(const std::string& name, float d)
{
	finite(d, "linear damping", name);
	b2Body* body = loggedBody(*this, name);
	body->SetLinearDamping(std::max(0.f, d));
}

void GameLua::setSleeping(const std::string& name, bool flag)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	record.body->SetAwake(!flag);
}

void GameLua::setActive(const std::string& name, bool flag)
{
	RenderObjectData& record = objectOrThrow(name, "Body not found!");
	checkUnlocked(name);
	setBodyEnabled(record.body, flag);
	rethrowListenerError();
}

void GameLua::setAsSensor(const std::string& name, bool flag)
{
	b2Body* body = getBody(name);
	if (!body)
		return;
	for (b2Fixture* f = body->GetFixtureList(); f; f = f->GetNext())
		f->SetSensor(flag);
}

void GameLua::setCollisionEnabled(const std::string& name, bool flag)
{
	RenderObjectData* record = findObject(name);
	if (!record || !record->body)
		return;
	checkUnlocked(name);
	// Rebuilds the contacts; a body that is off (a projectile before launch) stays off.
	if (record->body->IsEnabled())
	{
		setBodyEnabled(record->body, false);
		setBodyEnabled(record->body, true);
	}
	record->collisionEnabled = flag;
	record->table.setNumber("collisionEnabled", flag ? 1.f : 0.f);
	rethrowListenerError();
}

void GameLua::setRecordVelocity(const std::string& name, bool flag)
{
	RenderObjectData* record = findObject(name);
	if (record)
		record->recordVelocity = flag;
}

void GameLua::setObjectParameter(const std::string& name, float idValue, float value)
{
	RenderObjectData* found = findObject(name);
	if (!found)
		scriptError("m_renderObjects[name] != 0", name);
	finite(idValue, "parameter id", name);
	finite(value, "parameter value", name);
	RenderObjectData& record = *found;
	const int id = toInt(idValue);
	const bool flag = isFlag(value);
	switch (id)
	{
	case 1:
		record.animated = flag;
		if (flag)
		{
			m_animated[name] = &record;
			record.wobbleTime = record.wobbleAmplitude = record.wobbleStartAmplitude = 0.f;
		}
		break;
	case 2:
		if (record.body)
		{
			checkUnlocked(name);
			setBodyType(record.body, value == 0.f ? b2_staticBody : b2_dynamicBody);
			rethrowListenerError();
		}
		break;
	case 5: record.scale.Set(value, value); record.baseScale.Set(value, value); break;
	case 6: record.wobbleStrength = value; break;
	case 7: record.wobbleFrequency = value; break;
	case 8: record.mirrored = flag; break;
	case 9: record.parameter9Flag = flag; break;
	case 10: record.fixedDrawAngle = flag; break;
	case 11: record.noWobble = flag; break;
	case 12: record.jointed = flag; break;
	case 13: record.selectsAnimation = flag; break;
	case 15: record.ignoresImmovable = flag; break;
	case 16:
		if (record.body)
			record.body->SetGravityScale(flag ? 0.f : 1.f);
		break;
	case 17: record.scale.x = record.baseScale.x = value; break;
	case 18: record.scale.y = record.baseScale.y = value; break;
	case 19: record.killingVolume = flag; break;
	case 20: record.ignoresKillingVolume = flag; break;
	case 21:
		record.kind = toInt(value);
		if ((record.kind == 5 || record.kind == 7) && record.body)
		{
			record.body->SetFixedRotation(true);
			fixMass(record.body);
			record.body->SetBullet(true);
		}
		break;
	case 22: record.parameter22Flag = flag; break;
	case 24: record.parameter24 = toInt(value); break;
	case 25: record.sensorMinForce = value; break;
	case 26: record.sensorMaxForce = value; break;
	case 27: record.sensorRadius = value; break;
	case 28: record.parameter28 = value; break;
	case 29: record.parameter29 = value; break;
	case 31: record.flightTime = value; break;
	case 32:
		if (flag && record.body)
			m_parameter32.push_back(&record);
		break;
	case 33: record.visible = flag; break;
	case 34: record.stopsInKillingVolume = flag; break;
	case 35: record.sensorLength = value; break;
	default: break;
	}
}

// --- Removal --------------------------------------------------------------------

void GameLua::removeObject(const std::string& name)
{
	auto found = m_renderObjects.find(name);
	if (found == m_renderObjects.end())
		return;
	checkUnlocked(name);
	// The record leaves the map first, so nothing reached from Box2D finds it half gone.
	std::unique_ptr<RenderObjectData> owned = std::move(found->second);
	m_renderObjects.erase(found);
	m_orderDirty = true;
	RenderObjectData* record = owned.get();
	const int z = toInt(record->zOrder);

	auto dropFrom = [&](std::map<std::string, RenderObjectData*>& map) {
		auto it = map.find(name);
		if (it != map.end() && it->second == record)
			map.erase(it);
	};
	dropFrom(m_animated);
	dropFrom(m_projectiles);
	m_parameter32.erase(std::remove(m_parameter32.begin(), m_parameter32.end(), record), m_parameter32.end());
	for (auto& other : m_renderObjects)
	{
		std::vector<RenderObjectData*>& fields = other.second->gravityFields;
		fields.erase(std::remove(fields.begin(), fields.end(), record), fields.end());
	}

	lua::LuaTable world = worldTable();
	if (world.isTable(name))
	{
		const lua::LuaTable entry = world.getTable(name);
		const std::string definition = entry.getString("definition");
		bool bubble = false;
		if (m_blockTable.isTable("blocks"))
		{
			const lua::LuaTable blocks = m_blockTable.getTable("blocks");
			if (!definition.empty() && blocks.isTable(definition))
				bubble = blocks.getTable(definition).getString("material") == "bubble";
		}
		if (bubble && entry.isTable("linkedTargets"))
		{
			const lua::LuaTable targets = entry.getTable("linkedTargets");
			for (int i = 1; !targets.isNil(i); ++i)
			{
				const std::string target = targets.getString(i);
				if (world.isTable(target))
					world.getTable(target).setString("linkedBubble", "");
			}
		}
	}

	b2Body* body = record->body;
	record->body = nullptr;
	if (body)
	{
		m_massFixups.erase(std::remove(m_massFixups.begin(), m_massFixups.end(), body), m_massFixups.end());
		destroyBody(body);
	}

	auto& sheets = m_zOrder[z];
	auto names = sheets.find(record->sheetKey);
	if (names != sheets.end())
	{
		auto it = std::find(names->second.begin(), names->second.end(), name);
		if (it != names->second.end())
			names->second.erase(it);
	}

	// Links and joints with this object at an end go; a timer link starts the other end's removal timer.
	// Box2D has already destroyed the joints with the body.
	dropJointsAt(record, false);
	owned.reset();
	rethrowListenerError();
}
