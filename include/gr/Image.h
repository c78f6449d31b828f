#ifndef GR_IMAGE_H
#define GR_IMAGE_H

#include <gr/ContextObject.h>
#include <gr/SurfaceFormat.h>
#include <math/float2.h>
#include <math/float3.h>
#include <math/float4.h>

namespace gr
{
class Context;
class Shader;
class Texture;

/** A drawable picture backed by a texture. */
class Image : public ContextObject
{
public:
	/** Draws the source rectangle (in texels) as a width x height quad at (x, y). */
	virtual void draw(Context* context, float x, float y, int srcX, int srcY, int srcWidth, int srcHeight, float width, float height) = 0;
	/** Draws the image stretched to width x height at (x, y) with four corner texture coordinates. */
	virtual void draw(Context* context, float x, float y, float width, float height, const math::float2* uv) = 0;
	/** Draws onto four corner points. */
	virtual void draw(Context* context, const math::float3* corners, const math::float2* uv, Shader* shader) = 0;
	/** Draws onto four corner points with one colour per corner. */
	virtual void draw(Context* context, const math::float3* corners, const math::float2* uv, const math::float4* colours, Shader* shader) = 0;
	virtual void blt(int x, int y, const void* pixels, int pitch, int mipLevel, int width, int height, const SurfaceFormat& format) = 0;
	virtual void clear() = 0;
	virtual int width() const = 0;
	virtual int height() const = 0;
	virtual SurfaceFormat format() const = 0;
	virtual void getData(void** data, int* pitch) const = 0;
	/** The texture behind the image; null unless the back end has one. */
	virtual Texture* getTexture() const;

protected:
	Image() : ContextObject(CLASSID_IMAGE) {}
};
}

#endif
