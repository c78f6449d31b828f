#ifndef GR_BASETEXTURE_H
#define GR_BASETEXTURE_H

#include <gr/ContextObject.h>
#include <gr/SurfaceFormat.h>

namespace gr
{
/** A texture: its size and pixel format. */
class BaseTexture : public ContextObject
{
public:
	virtual int width() const = 0;
	virtual int height() const = 0;
	virtual SurfaceFormat format() const = 0;

protected:
	explicit BaseTexture(ClassId classId) : ContextObject(classId) {}
};
}

#endif
