// Contact rules: which fixtures touch, and the sensor events, impacts, damage and score when they do.
// Everything here runs inside b2World::Step: script data are read without throwing, and nothing is
// created or destroyed (removals wait for the scripts' "removeBlocks", broken joints for the queue).
#include "GameLua.h"
#include <lua/LuaState.h>
#include <algorithm>
#include <cmath>

namespace
{
const float IMPACT_DIVISOR = 10.f;
const float HARD_IMPACT = 40.f;
const float HOMING_FIRST_HIT = 0.2f;
const float LEGACY_SLOWDOWN = -1.75f;

GameLua::RenderObjectData* recordOf(b2Fixture* fixture)
{
	return reinterpret_cast<GameLua::RenderObjectData*>(fixture->GetUserData().pointer);
}

/** The two fixtures of a contact and their records; false when either has none. */
bool recordsOf(b2Contact* contact, b2Fixture*& fa, b2Fixture*& fb, GameLua::RenderObjectData*& a,
	GameLua::RenderObjectData*& b)
{
	fa = contact->GetFixtureA();
	fb = contact->GetFixtureB();
	a = recordOf(fa);
	b = recordOf(fb);
	return a && b;
}

bool damagingKind(int kind)
{
	return kind == 5 || kind == 7;
}

/** t[key] when it is a table, else an empty handle. */
lua::LuaTable subTable(const lua::LuaTable& t, const std::string& key)
{
	if (t.hasTable() && !key.empty() && t.isTable(key))
		return t.getTable(key);
	return lua::LuaTable();
}

lua::LuaTable subTable(const lua::LuaTable& t, const char* key)
{
	if (t.hasTable() && t.isTable(key))
		return t.getTable(key);
	return lua::LuaTable();
}

/** A script field that must be a string; anything else reads as "". */
std::string stringField(const lua::LuaTable& t, const char* key)
{
	if (!t.hasTable())
		return std::string();
	lua::LuaStackRestore guard(t.getState());
	t.pushMember(key);
	if (t.getState()->type(-1) != lua::LuaState::TYPE_STRING)
		return std::string();
	return t.getState()->toString(-1);
}

bool numberField(const lua::LuaTable& t, const char* key, float& out)
{
	if (!t.hasTable())
		return false;
	lua::LuaStackRestore guard(t.getState());
	t.pushMember(key);
	if (t.getState()->type(-1) != lua::LuaState::TYPE_NUMBER)
		return false;
	out = t.getState()->toNumber(-1);
	return true;
}

bool booleanField(const lua::LuaTable& t, const char* key)
{
	if (!t.hasTable())
		return false;
	lua::LuaStackRestore guard(t.getState());
	t.pushMember(key);
	return t.getState()->type(-1) == lua::LuaState::TYPE_BOOLEAN && t.getState()->toBoolean(-1);
}

/** damageFactors[set][which][material] when a number, else 1. */
float damageFactor(const lua::LuaTable& factors, const std::string& set, const char* which, const std::string& material)
{
	const lua::LuaTable multipliers = subTable(subTable(factors, set), which);
	float value = 1.f;
	if (!material.empty() && numberField(multipliers, material.c_str(), value))
		return value;
	return 1.f;
}

void startWobble(GameLua::RenderObjectData& o, float amp)
{
	o.wobbling = true;
	o.wobbleStartAmplitude = amp;
}

float wobbleAmplitude(float impact)
{
	return std::min(0.1f, impact * 0.02f);
}
}

bool GameLua::shouldCollide(b2Fixture* fa, b2Fixture* fb) const
{
	RenderObjectData* a = recordOf(fa);
	RenderObjectData* b = recordOf(fb);
	if (!a || !b)
		return true;
	// A killing volume is judged as fixture B whatever Box2D's order (it follows proxy ids).
	if (a->killingVolume && !b->killingVolume)
		std::swap(a, b);
	if ((a->killingVolume || b->killingVolume) && (damagingKind(a->kind) || damagingKind(b->kind)))
		return true;
	if (!a->collisionEnabled || !b->collisionEnabled)
		return false;
	if ((a->kind == 7 && b->projectile) || (b->kind == 7 && a->projectile))
		return false;
	if (a->killingVolume)
		return false;
	if (b->killingVolume && (a->ignoresKillingVolume || b->ignoresKillingVolume))
		return false;
	if (damagingKind(a->kind) && damagingKind(b->kind))
		return false;
	if ((a->kind == 6 || b->kind == 6) && (a->projectile || b->projectile))
		return false;
	if ((a->ignoresImmovable && b->material == 5) || (b->ignoresImmovable && a->material == 5))
		return false;
	if (!a->projectile && !b->projectile && a->kind != 6 && b->kind != 6 && ((a->kind == 5) != (b->kind == 5)))
		return false;
	return true;
}

void GameLua::beginContact(b2Contact* contact)
{
	b2Fixture *fa, *fb;
	RenderObjectData *a, *b;
	if (m_contactsOff || !recordsOf(contact, fa, fb, a, b))
		return;

	const lua::LuaTable world = subTable(m_objects, "world");
	const lua::LuaTable blocks = subTable(m_blockTable, "blocks");
	const lua::LuaTable factors = subTable(m_blockTable, "damageFactors");

	bool sensorContact = false;
	float sensorDamage = 0.f;
	bool damagingSensor5or7 = false;
	if (fa->IsSensor() || fb->IsSensor())
	{
		sensorContact = true;
		// Copies: the script may remove either object.
		const std::string nameA = a->name, nameB = b->name;
		callScript("enterCollision", nameA, nameB);
		bool damaging = false;
		const std::pair<b2Fixture*, b2Fixture*> pairs[2] = {{fa, fb}, {fb, fa}};
		for (const auto& pair : pairs)
		{
			if (!checkSensorContact(pair.first, pair.second))
				continue;
			damaging = true;
			RenderObjectData* s = recordOf(pair.first);
			const std::string definition = stringField(subTable(world, s->name), "definition");
			sensorDamage = 0.f;
			numberField(subTable(blocks, definition), "damage", sensorDamage);
			if (damagingKind(s->kind))
				damagingSensor5or7 = true;
		}
		if (!damaging)
			return;
	}
	if (m_editing)
		return;

	b2Body* bodyA = fa->GetBody();
	b2Body* bodyB = fb->GetBody();
	if (a->projectile && b->projectile)
	{
		const float speedA = bodyA->GetLinearVelocity().Length();
		const float speedB = bodyB->GetLinearVelocity().Length();
		const float impact = speedA > speedB ? bodyA->GetMass() * speedA / IMPACT_DIVISOR
											 : bodyB->GetMass() * speedB / IMPACT_DIVISOR;
		const float amp = wobbleAmplitude(impact);
		for (RenderObjectData* o : {a, b})
		{
			if (!o->noWobble && o->wobbleAmplitude < amp)
				startWobble(*o, amp);
		}
		callScript("projectileCollision", a->name, b->name, impact, 0.f);
		return;
	}

	if (a->projectile || b->projectile)
	{
		RenderObjectData& p = a->projectile ? *a : *b;
		RenderObjectData& t = a->projectile ? *b : *a;
		b2Body* bodyP = a->projectile ? bodyA : bodyB;
		b2Body* bodyT = a->projectile ? bodyB : bodyA;
		const std::string pName = p.name, tName = t.name;
		const lua::LuaTable pEntry = subTable(world, pName);
		lua::LuaTable tEntry = subTable(world, tName);
		const std::string set = stringField(pEntry, "damageFactors");
		const std::string material = stringField(tEntry, "material");
		const float dmg = damageFactor(factors, set, "damageMultiplier", material);
		const float vel = damageFactor(factors, set, "velocityMultiplier", material);
		const bool legacy = booleanField(pEntry, "useLegacyCollisionPath");
		const float mP = bodyP->GetMass();
		const b2Vec2 vP = bodyP->GetLinearVelocity();
		const float impact = (mP * dmg * vP - bodyT->GetMass() * bodyT->GetLinearVelocity()).Length() / IMPACT_DIVISOR;

		removeBreakableJointsFromObject(tName, impact);

		float reported = 0.f;
		float strength = 0.f;
		if (numberField(tEntry, "strength", strength))
		{
			float defence = 0.f;
			numberField(tEntry, "defence", defence);
			float damage = impact - defence;
			const std::string definition = stringField(pEntry, "definition");
			if (stringField(subTable(blocks, definition), "specialty") == "HOMING" &&
				!booleanField(pEntry, "hasCollided"))
				damage *= HOMING_FIRST_HIT;
			reported = damage;
			if (damage > 0.f)
			{
				const float newStrength = strength - damage;
				tEntry.setNumber("strength", newStrength);
				if (newStrength <= 0.f)
				{
					if (m_deadBlocks.hasTable())
						m_deadBlocks.setTable(tName, tEntry);
					// Without an impact or a mass the factor has no meaning: the velocity is kept.
					if (impact > 0.f && mP > 0.f)
					{
						if (legacy)
						{
							const float f = std::min(1.f, LEGACY_SLOWDOWN * newStrength / mP / impact * IMPACT_DIVISOR);
							const b2Vec2 v = f * vP;
							if (v.LengthSquared() > 0.f)
								bodyP->SetAwake(true);
							bodyP->SetLinearVelocity(v);
						}
						else
						{
							const float f = std::min(1.f, (impact - strength) / impact * vel);
							p.pendingVelocity = f * vP;
							p.pendingVelocitySet = true;
						}
					}
					contact->SetEnabled(false);
					reported = strength;
				}
			}
		}
		const float amp = wobbleAmplitude(impact);
		if (p.wobbleAmplitude < amp)
			startWobble(p, amp);
		if (t.wobbleStrength > 0.f && t.wobbleAmplitude < amp)
			startWobble(t, amp);
		callScript("projectileCollision", pName, tName, impact, std::floor(reported));
		// The script may have removed the projectile.
		if (findObject(pName) == &p && p.flightTime < 0.f)
			p.flightTime = 0.f;
		return;
	}

	if (damagingSensor5or7)
		return;

	const std::string nameA = a->name, nameB = b->name;
	lua::LuaTable entryA = subTable(world, nameA);
	lua::LuaTable entryB = subTable(world, nameB);
	const float multA =
		damageFactor(factors, stringField(entryB, "damageFactors"), "damageMultiplier", stringField(entryA, "material"));
	const float multB =
		damageFactor(factors, stringField(entryA, "damageFactors"), "damageMultiplier", stringField(entryB, "material"));
	const float impact = sensorContact
		? sensorDamage
		: (bodyA->GetMass() * bodyA->GetLinearVelocity() - bodyB->GetMass() * bodyB->GetLinearVelocity()).Length() /
			IMPACT_DIVISOR;
	lua::LuaTable blockScore = subTable(subTable(*this, "scoreTable"), "blocks");
	float score = 0.f;
	numberField(blockScore, "score", score);

	float total = 0.f;
	struct Side
	{
		lua::LuaTable& entry;
		const std::string& name;
		float mult;
		bool hasStrength, blocked, damaged;
		float d;
	} sides[2] = {{entryA, nameA, multA, false, false, false, 0.f}, {entryB, nameB, multB, false, false, false, 0.f}};
	for (Side& x : sides)
	{
		float strength = 0.f;
		if (!numberField(x.entry, "strength", strength))
			continue;
		x.hasStrength = true;
		float defence = 0.f;
		numberField(x.entry, "defence", defence);
		if (x.mult * impact < defence)
		{
			x.blocked = true;
			continue;
		}
		x.d = x.mult * impact - defence;
		x.damaged = true;
		const float newStrength = strength - std::floor(x.d);
		x.entry.setNumber("strength", newStrength);
		if (newStrength > 0.f)
			total += impact - defence;
		else
		{
			if (m_deadBlocks.hasTable())
				m_deadBlocks.setTable(x.name, x.entry);
			total += strength;
		}
	}
	const bool notBlocked = !(sides[0].hasStrength && sides[1].hasStrength && sides[0].blocked && sides[1].blocked);
	const float amp = wobbleAmplitude(impact);
	for (RenderObjectData* o : {b, a})
	{
		if (o->wobbleStrength > 0.f && o->wobbleAmplitude < amp)
			startWobble(*o, amp);
	}
	const float reported = sides[1].damaged ? sides[1].d : sides[0].damaged ? sides[0].d : 0.f;
	callScript("blockCollision", nameA, nameB, impact, notBlocked, false, std::floor(reported));
	if (total > 0.f && blockScore.hasTable())
	{
		float multiplier = 0.f;
		numberField(m_worldAttributes, "scoreDamageMultiplier", multiplier);
		blockScore.setNumber("score", score + std::floor(total) * std::trunc(multiplier));
	}
}

void GameLua::endContact(b2Contact* contact)
{
	b2Fixture *fa, *fb;
	RenderObjectData *a, *b;
	if (!recordsOf(contact, fa, fb, a, b))
		return;
	a->slowTime = b->slowTime = 0.f;
	fa->GetBody()->SetAwake(true);
	fb->GetBody()->SetAwake(true);
	if (fa->IsSensor() || fb->IsSensor())
	{
		callScript("exitCollision", a->name, b->name);
		sensorEndContact(fa, fb);
		sensorEndContact(fb, fa);
	}
}

void GameLua::postSolve(b2Contact* contact, const b2ContactImpulse* impulse)
{
	b2Fixture* fixtures[2] = {contact->GetFixtureA(), contact->GetFixtureB()};
	for (b2Fixture* f : fixtures)
	{
		RenderObjectData* o = recordOf(f);
		if (!o || !o->tracksImpacts || o->pieceOffsets.size() <= 1)
			continue;
		float m = 0.f;
		for (int i = 0; i < impulse->count; ++i)
			m = std::max(m, impulse->normalImpulses[i]);
		if (m > HARD_IMPACT)
			o->hardImpact = true;
		o->impactFixture = f;
	}
}
