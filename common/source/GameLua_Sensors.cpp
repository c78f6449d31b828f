// Sensors and gravity fields: entry and exit bookkeeping, the per-step field force and the settings.
#include "GameLua.h"
#include "PhysicsChecks.h"
#include <algorithm>
#include <cmath>

using physics::finite;

namespace
{
const float FORCE_SCALE = 0.1f;
const float REVERT_FACTOR = -0.1f;
const float FLIGHT_DECAY = 1.3f;
const float KILLING_DAMPING = 100.f;

GameLua::RenderObjectData* recordOf(b2Fixture* fixture)
{
	return reinterpret_cast<GameLua::RenderObjectData*>(fixture->GetUserData().pointer);
}
}

void GameLua::registerSensors()
{
	registerWorldMethod<&GameLua::setGravityForceMultiplier>("setGravityForceMultiplier");
	registerMethod<&GameLua::getGravityForceMultiplier>("getGravityForceMultiplier", this);
	registerWorldMethod<&GameLua::setSensorMinimumAndMaximumForces>("setSensorMinimumAndMaximumForces");
	registerWorldMethod<&GameLua::setSensorGravityMask>("setSensorGravityMask");
	registerWorldMethod<&GameLua::setObjectGravityCategory>("setObjectGravityCategory");
	registerWorldMethod<&GameLua::linkSensor>("linkSensor");
	registerWorldMethod<&GameLua::setRevertGravity>("setRevertGravity");
	registerWorldMethod<&GameLua::setRevertGravityWithMultiplier>("setRevertGravityWithMultiplier");
}

void GameLua::setSensorMinimumAndMaximumForces(const std::string& name, float min, float max)
{
	RenderObjectData& o = objectOrThrow(name, "Object not found");
	o.sensorMinForce = finite(min, "minimum force", name);
	o.sensorMaxForce = finite(max, "maximum force", name);
}

void GameLua::setSensorGravityMask(const std::string& name, int mask)
{
	objectOrThrow(name, "Object not found").sensorGravityMask = mask;
}

void GameLua::setObjectGravityCategory(const std::string& name, int category)
{
	objectOrThrow(name, "Object not found").gravityCategory = category;
}

void GameLua::setRevertGravity(const std::string& name, bool flag)
{
	objectOrThrow(name, "Object not found").revertGravity = flag;
}

void GameLua::setRevertGravityWithMultiplier(const std::string& name, bool flag, float multiplier, float speedLimit)
{
	RenderObjectData& o = objectOrThrow(name, "Object not found");
	finite(multiplier, "multiplier", name);
	finite(speedLimit, "speed limit", name);
	o.revertGravityLimited = flag;
	o.revertMultiplier = -multiplier;
	o.revertSpeedLimit = speedLimit;
}

bool GameLua::checkSensorContact(b2Fixture* sensor, b2Fixture* other)
{
	if (!sensor->IsSensor())
		return false;
	RenderObjectData* s = recordOf(sensor);
	RenderObjectData* o = recordOf(other);
	if (!s || !o)
		return false;
	const bool damaging = (s->kind == 5 || s->kind == 6 || s->kind == 7) && !o->ignoresKillingVolume;
	if (s->kind == 3 || s->kind == 2)
	{
		other->GetBody()->SetAwake(true);
		o->gravityFields.push_back(s);
		if (s->kind == 2 && o->table.hasTable())
			o->table.setBoolean("insideGravity", true);
	}
	else if (s->kind == 4 && !other->IsSensor())
		s->removalTimerEnabled = true;
	return damaging;
}

void GameLua::sensorEndContact(b2Fixture* sensor, b2Fixture* other)
{
	if (!sensor->IsSensor())
		return;
	RenderObjectData* s = recordOf(sensor);
	RenderObjectData* o = recordOf(other);
	if (!s || !o)
		return;
	auto found = std::find(o->gravityFields.begin(), o->gravityFields.end(), s);
	if (found != o->gravityFields.end())
	{
		o->gravityFields.erase(found);
		if (o->gravityFields.empty() && o->table.hasTable())
			o->table.setBoolean("insideGravity", false);
	}
	if (!s->killingVolume || o->killingVolume)
		return;
	if (o->projectile)
	{
		if (o->table.hasTable())
			o->table.setBoolean("killingVolumeRemovalTimerEnabled", true);
	}
	else if (o->stopsInKillingVolume)
	{
		other->GetBody()->SetLinearDamping(KILLING_DAMPING);
		o->removalTimerEnabled = true;
	}
	else if (o->animated)
	{
		// During removal the record has already left the map: its body is not touched then.
		b2Body* body = getBody(o->name);
		if (body && body == other->GetBody())
		{
			if (body->GetType() != b2_staticBody)
				body->SetLinearVelocity(b2Vec2(0.f, 0.f));
			body->SetLinearDamping(KILLING_DAMPING);
		}
	}
}

b2Vec2 GameLua::applySensorForceToObject(RenderObjectData& field, RenderObjectData& object)
{
	const b2Vec2 none(0.f, 0.f);
	if (field.sensorGravityMask >= 0 && object.gravityCategory >= 0 &&
		(field.sensorGravityMask & object.gravityCategory) == 0)
		return none;
	b2Body* body = object.body;
	if (field.kind != 2 || !field.body || !body || body->GetType() != b2_dynamicBody)
		return none;

	const b2Vec2 fieldPosition = field.body->GetPosition();
	const b2Vec2 position = body->GetPosition();
	float t;
	b2Vec2 direction;
	if (field.sensorRadius > -1.f)
	{
		// A field without extent has no distance ratio.
		if (!(field.sensorRadius > 0.f))
			return none;
		direction = fieldPosition - position;
		t = direction.Length() / field.sensorRadius;
	}
	else
	{
		if (!(field.sensorLength > 0.f))
			return none;
		const float a = field.body->GetAngle();
		direction.Set(-std::sin(a), std::cos(a));
		const b2Vec2 far = fieldPosition + (0.5f * field.sensorLength) * direction;
		t = (far - position).Length() / field.sensorLength;
	}
	float magnitude = (field.sensorMaxForce - t * (field.sensorMaxForce - field.sensorMinForce)) * body->GetMass() * FORCE_SCALE;
	if (direction.Length() >= b2_epsilon)
		direction.Normalize();

	if (object.projectile)
	{
		const float g = m_gravityForceMultiplier;
		if (object.flightTime < 0.f)
			magnitude *= g;
		else
		{
			const float k = g - FLIGHT_DECAY * object.flightTime;
			if (k > 1.f)
				magnitude *= k;
		}
	}
	else if (object.revertGravity)
		magnitude *= REVERT_FACTOR;
	else if (object.revertGravityLimited)
	{
		if (body->GetLinearVelocity().Length() >= object.revertSpeedLimit)
			return none;
		magnitude *= object.revertMultiplier;
	}

	const b2Vec2 force = magnitude * direction;
	if (!std::isfinite(force.x) || !std::isfinite(force.y))
		return none;
	body->ApplyForce(force, body->GetPosition(), true);
	return force;
}
