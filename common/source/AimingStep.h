#pragma once
#include <box2d/box2d.h>

// Forces gathered for the prediction body. Box2D 2.4 keeps a body's own force
// private, so the prediction adds its sensor forces here instead.
struct AimingForces
{
	b2Vec2 force{0.f, 0.f};
	float torque = 0.f;
};

// Advances one body alone by dt with the world's gravity, the given forces and
// the body's damping, as the island solver would with no contacts or joints.
// The iteration counts are accepted for the caller's symmetry and not used.
void StepForAiming(b2World& world, float dt, int velocityIterations, int positionIterations,
	b2Body* body, const AimingForces& forces);

void ClearBodyForces(AimingForces& forces);

// True when the first fixtures of the two bodies overlap at their transforms.
bool FirstFixturesOverlap(const b2Body* a, const b2Body* b);
