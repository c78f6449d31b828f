// Body operations on named objects: motion, pose, damping, flags and the object parameters.
#include "GameLua.h"
#include "PhysicsChecks.h"
#include <lang/Debug.h>
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>

using physics::finite;
using physics::scriptError;
using physics::toInt;

namespace
{
const float TWO_PI = 2.f * b2_pi;

bool isFlag(float value)
{
	return toInt(value) == 1;
}
}

void GameLua::registerBodies()
{
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
	registerLuaMethod("getLinearVelocity", this, &GameLua::getLinearVelocity, "name -> vx, vy");
	registerWorldMethod<&GameLua::setFixedRotation>("setFixedRotation");
	registerWorldMethod<&GameLua::setAngularDamping>("setAngularDamping");
	registerWorldMethod<&GameLua::setLinearDamping>("setLinearDamping");
	registerWorldMethod<&GameLua::setAsSensor>("setAsSensor");
	registerWorldMethod<&GameLua::multiplyVelocity>("multiplyVelocity");
	registerWorldMethod<&GameLua::setSleeping>("setSleeping");
	registerWorldMethod<&GameLua::setActive>("setActive");
	registerWorldMethod<&GameLua::setObjectParameter>("setObjectParameter");
	registerWorldMethod<&GameLua::setCollisionEnabled>("setCollisionEnabled");
	registerWorldMethod<&GameLua::setRecordVelocity>("setRecordVelocity");
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

