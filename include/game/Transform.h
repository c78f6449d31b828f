#ifndef GAME_TRANSFORM_H
#define GAME_TRANSFORM_H

#include <math/float3x4.h>

namespace game
{
/** A placement of drawn corners: mode 0 is a plain 2-D affine transform, any other mode the full 3 x 4 one. */
struct Transform
{
	math::float3x4 tm;
	int mode;

	Transform() : tm(1.f), mode(0) {}
	Transform(const math::float3x4& m, int mode_) : tm(m), mode(mode_) {}
};
}

#endif
