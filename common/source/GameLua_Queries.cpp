// World queries: objects in a box or along a ray, and points between an object's frame and the world.
#include "GameLua.h"
#include "PhysicsChecks.h"
#include <lua/LuaState.h>
#include <cmath>

using physics::finite;
using physics::scriptError;

namespace
{
/** Collects the body of every fixture whose box overlaps the query box. */
class QueryCallback : public b2QueryCallback
{
public:
	QueryCallback(const b2Vec2& point, std::vector<b2Fixture*>* fixtures, bool includeStatic) :
		m_point(point), m_fixtures(fixtures), m_includeStatic(includeStatic)
	{
	}

	bool ReportFixture(b2Fixture* fixture) override
	{
		if (m_includeStatic || fixture->GetBody()->GetType() != b2_staticBody)
			m_fixtures->push_back(fixture);
		return true;
	}

private:
	b2Vec2 m_point;
	std::vector<b2Fixture*>* m_fixtures;
	bool m_includeStatic;
};

/** Collects every non-sensor hit along the whole segment, in Box2D's order. */
class RayCastCallback : public b2RayCastCallback
{
public:
	RayCastCallback(std::vector<b2Fixture*>* fixtures, std::vector<b2Vec2>* points, std::vector<b2Vec2>* normals,
		std::vector<float>* fractions) :
		m_fixtures(fixtures), m_points(points), m_normals(normals), m_fractions(fractions)
	{
	}

	float ReportFixture(b2Fixture* fixture, const b2Vec2& point, const b2Vec2& normal, float fraction) override
	{
		if (fixture->IsSensor())
			return 1.f;
		m_fixtures->push_back(fixture);
		m_points->push_back(point);
		m_normals->push_back(normal);
		m_fractions->push_back(fraction);
		return 1.f;
	}

private:
	std::vector<b2Fixture*>* m_fixtures;
	std::vector<b2Vec2>* m_points;
	std::vector<b2Vec2>* m_normals;
	std::vector<float>* m_fractions;
};

/** The object name of a fixture: its record names its body; "" without one. */
std::string objectName(b2Fixture* fixture)
{
	const GameLua::RenderObjectData* record =
		reinterpret_cast<const GameLua::RenderObjectData*>(fixture->GetUserData().pointer);
	return record ? record->name : std::string();
}

float tableNumber(const lua::LuaTable& t, const char* key, const char* operation)
{
	return finite(t.getNumber(key), key, operation);
}

lua::LuaTable queryArgument(lua::LuaState* state, const char* operation)
{
	const int top = state->top();
	if (top < 1 || !state->isTable(top))
		scriptError("A table is expected", operation);
	return state->toTable(top);
}

/** Name, x and y at stack positions 1 to 3 of a raw call. */
void pointArguments(lua::LuaState* state, std::string& name, b2Vec2& p)
{
	name = state->toString(1);
	p.Set(finite(state->toNumber(2), "x", name), finite(state->toNumber(3), "y", name));
}
}

void GameLua::registerQueries()
{
	registerMethod<&GameLua::getAngle>("getAngle", this);
	registerLuaMethod("getIntersectingObjects", this, &GameLua::getIntersectingObjects,
		"table {x, y, left, right, down, up} -> {names}");
	registerLuaMethod("getRayCastedObjects", this, &GameLua::getRayCastedObjects,
		"table {x1, y1, x2, y2} -> {name, x, y, normalX, normalY, fraction, ...} (6 entries per hit)");
	registerLuaMethod("getWorldPoint", this, &GameLua::getWorldPoint,
		"name, x, y (in the object) -> x, y (in the world)");
	registerLuaMethod("getLocalPoint", this, &GameLua::getLocalPoint,
		"name, x, y (in the world) -> x, y (in the object)");
}

float GameLua::getAngle(const std::string& name)
{
	RenderObjectData* record = findObject(name);
	if (!record)
		scriptError("m_renderObjects.count(name) != 0", name);
	return record->renderPose.angle;
}

int GameLua::getIntersectingObjects(lua::LuaState* state)
{
	const lua::LuaTable t = queryArgument(state, "getIntersectingObjects");
	const char* op = "getIntersectingObjects";
	const float x = tableNumber(t, "x", op), y = tableNumber(t, "y", op);
	b2AABB box;
	box.lowerBound.Set(x + tableNumber(t, "left", op), y + tableNumber(t, "down", op));
	box.upperBound.Set(x + tableNumber(t, "right", op), y + tableNumber(t, "up", op));
	std::vector<b2Fixture*> found;
	QueryCallback callback(b2Vec2(x, y), &found, true);
	m_world->QueryAABB(&callback, box);

	lua::LuaTable result(state);
	for (size_t i = 0; i < found.size(); ++i)
		result.setString(static_cast<int>(i) + 1, objectName(found[i]));
	state->pushTable(result);
	return 1;
}

int GameLua::getRayCastedObjects(lua::LuaState* state)
{
	const lua::LuaTable t = queryArgument(state, "getRayCastedObjects");
	const char* op = "getRayCastedObjects";
	const b2Vec2 p1(tableNumber(t, "x1", op), tableNumber(t, "y1", op));
	const b2Vec2 p2(tableNumber(t, "x2", op), tableNumber(t, "y2", op));
	std::vector<b2Fixture*> fixtures;
	std::vector<b2Vec2> points, normals;
	std::vector<float> fractions;
	// Box2D refuses a ray without length; it meets nothing.
	if ((p2 - p1).LengthSquared() > 0.f)
	{
		RayCastCallback callback(&fixtures, &points, &normals, &fractions);
		m_world->RayCast(&callback, p1, p2);
	}

	lua::LuaTable result(state);
	for (size_t k = 0; k < fixtures.size(); ++k)
	{
		const int base = static_cast<int>(6 * k);
		result.setString(base + 1, objectName(fixtures[k]));
		result.setNumber(base + 2, points[k].x);
		result.setNumber(base + 3, points[k].y);
		result.setNumber(base + 4, normals[k].x);
		result.setNumber(base + 5, normals[k].y);
		result.setNumber(base + 6, fractions[k]);
	}
	state->pushTable(result);
	return 1;
}

int GameLua::getWorldPoint(lua::LuaState* state)
{
	return pushPoint(state, true);
}

int GameLua::getLocalPoint(lua::LuaState* state)
{
	return pushPoint(state, false);
}

int GameLua::pushPoint(lua::LuaState* state, bool toWorld)
{
	std::string name;
	b2Vec2 p;
	pointArguments(state, name, p);
	const b2Body* body = objectOrThrow(name, "Object not found").body;
	const b2Vec2 q = toWorld ? body->GetWorldPoint(p) : body->GetLocalPoint(p);
	state->pushNumber(q.x);
	state->pushNumber(q.y);
	return 2;
}
