// Named objects: lookup, creation (single shapes and compounds) and removal.
#include "GameLua.h"
#include "ConvexDecomposition/b2Polygon.h"
#include "PhysicsChecks.h"
#include <lang/Debug.h>
#include <lua/LuaState.h>
#include <algorithm>

using physics::finite;
using physics::scriptError;
using physics::toInt;

namespace
{
uintptr_t userData(GameLua::RenderObjectData* record)
{
	return reinterpret_cast<uintptr_t>(record);
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

void GameLua::registerObjects()
{
	registerMethod<&GameLua::clearShapesArray>("clearShapesArray", this);
	registerMethod<&GameLua::addBoxToCompoundList>("addBoxToCompoundList", this);
	registerMethod<&GameLua::addPolygonToCompoundList>("addPolygonToCompoundList", this);
	registerMethod<&GameLua::addLineToCompoundList>("addLineToCompoundList", this);
	registerMethod<&GameLua::addCircleToCompoundList>("addCircleToCompoundList", this);
	registerWorldMethod<&GameLua::setCompoundShapeLinearDamping>("setCompoundShapeLinearDamping");
	registerWorldMethod<&GameLua::setCompoundShapeParameter>("setCompoundShapeParameter");
	registerWorldMethod<&GameLua::finalizeCompoundObject>("finalizeCompoundObject");
	registerLuaMethod("createCompoundBodyFromTable", this, &GameLua::createCompoundBodyFromTable,
		"table {name, x, y, angle, material = {density, friction, restitution}, children = {{x, y, "
		"angle, blockData = {type (\"box\", \"circle\", \"polygon\" or \"line\"), sprite, width, "
		"height, radius, worldVertices, vertices}}, ...}}");
	registerWorldMethod<&GameLua::createBox>("createBox");
	registerWorldMethod<&GameLua::createCircle>("createCircle");
	registerWorldMethod<&GameLua::createPolygon>("createPolygon");
	registerWorldMethod<&GameLua::createLineShape>("createLineShape");
	registerMethod<&GameLua::clearVertices>("clearVertices", this);
	registerMethod<&GameLua::addVertex>("addVertex", this);
	registerWorldMethod<&GameLua::removeObject>("removeObject");
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
