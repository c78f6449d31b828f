#ifndef PHYSICSCHECKS_H
#define PHYSICSCHECKS_H

#include <box2d/box2d.h>
#include <string>

// Checks that keep script input away from Box2D's asserts.
namespace physics
{
/** A script number as an int: truncated, saturated, NaN gives 0. */
int toInt(float v);
/** Throws lang::Exception "message (name)". */
[[noreturn]] void scriptError(const char* message, const std::string& name);
/** v, or a script error naming what and the object when v is NaN or infinite. */
float finite(float v, const char* what, const std::string& name);
/** True when b2PolygonShape::Set takes the points: 3 to 8 finite points whose hull has area. */
bool polygonAccepted(const b2Vec2* vertices, int count);
}

#endif
