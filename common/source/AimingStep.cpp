#include "AimingStep.h"

#include <cmath>

void StepForAiming(b2World& world, float dt, int, int, b2Body* body, const AimingForces& forces)
{
	if (!body || !(dt > 0.f))
		return;
	b2Vec2 v = body->GetLinearVelocity();
	float w = body->GetAngularVelocity();
	if (body->GetType() == b2_dynamicBody)
	{
		const float mass = body->GetMass();
		const float invMass = mass > 0.f ? 1.f / mass : 0.f;
		const b2Vec2 lc = body->GetLocalCenter();
		const float centralInertia = body->GetInertia() - mass * b2Dot(lc, lc);
		const float invI = centralInertia > 0.f ? 1.f / centralInertia : 0.f;
		v += dt * (body->GetGravityScale() * world.GetGravity() + invMass * forces.force);
		w += dt * invI * forces.torque;
		// The installed solver's damping, so the preview follows the real flight.
		v *= 1.f / (1.f + dt * body->GetLinearDamping());
		w *= 1.f / (1.f + dt * body->GetAngularDamping());
	}
	const b2Vec2 translation = dt * v;
	if (b2Dot(translation, translation) > b2_maxTranslationSquared)
		v *= b2_maxTranslation / translation.Length();
	const float rotation = dt * w;
	if (rotation * rotation > b2_maxRotationSquared)
		w *= b2_maxRotation / std::fabs(rotation);

	const b2Vec2 center = body->GetWorldCenter() + dt * v;
	const float angle = body->GetAngle() + dt * w;
	const b2Rot q(angle);
	body->SetTransform(center - b2Mul(q, body->GetLocalCenter()), angle);
	body->SetLinearVelocity(v);
	body->SetAngularVelocity(w);
}

void ClearBodyForces(AimingForces& forces)
{
	forces.force.SetZero();
	forces.torque = 0.f;
}

bool FirstFixturesOverlap(const b2Body* a, const b2Body* b)
{
	if (!a || !b)
		return false;
	const b2Fixture* fa = a->GetFixtureList();
	const b2Fixture* fb = b->GetFixtureList();
	if (!fa || !fb)
		return false;
	return b2TestOverlap(fa->GetShape(), 0, fb->GetShape(), 0, a->GetTransform(), b->GetTransform());
}
