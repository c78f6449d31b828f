#ifndef GR_RENDERSTATE2D_H
#define GR_RENDERSTATE2D_H

#include <gr/Rect.h>
#include <math/float2.h>
#include <math/float4x4.h>

namespace gr
{
/**
 * The 2-D drawing state of a context, copied whole by callers: save it,
 * change fields, draw, write it back.
 */
class RenderState2D
{
public:
	/** Clip rectangle of 2-D drawing; a batch is flushed when it changes. */
	Rect clipRect;
	/** 2 x 2 rotation (cos a, sin a, -sin a, cos a). */
	float rotation[4];
	math::float2 translation;
	math::float2 scale;
	/** Point about which images are rotated. */
	math::float2 pivot;
	/** Carried with the record; no drawing reads it. */
	math::float2 userOffset;
	/** Overall alpha multiplier; below 1 images draw blended. */
	float alphaFactor;
	float colorSaturation;
	/** Rotation angle in radians matching rotation; non-zero selects rotated drawing. */
	float angle;
	/** Leave the placement of texture-coordinate drawing to worldTransform. */
	bool useTransform;
	/** World matrix of 2-D batches. */
	math::float4x4 worldTransform;
	/** Carried with the record; no drawing reads them. */
	bool userFlag;
	int userValue0;
	int userValue1;

	/** The unlimited clip rectangle. */
	static Rect unlimitedClipRect() { return Rect(-32000, -32000, 32000, 32000); }

	RenderState2D() { reset(); }

	/** Back to the defaults of a new context. */
	void reset()
	{
		clipRect = unlimitedClipRect();
		rotation[0] = 1.f;
		rotation[1] = 0.f;
		rotation[2] = 0.f;
		rotation[3] = 1.f;
		translation = math::float2(0.f, 0.f);
		scale = math::float2(1.f, 1.f);
		pivot = math::float2(0.f, 0.f);
		userOffset = math::float2(0.f, 0.f);
		alphaFactor = 1.f;
		colorSaturation = 1.f;
		angle = 0.f;
		useTransform = false;
		worldTransform = math::float4x4(1.f);
		userFlag = true;
		userValue0 = 1;
		userValue1 = 5;
	}
};
}

#endif
