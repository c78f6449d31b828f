#ifndef GR_TEXTURE_H
#define GR_TEXTURE_H

#include <gr/BaseTexture.h>
#include <gr/Rect.h>
#include <string>

namespace gr
{
/** A 2-D texture. */
class Texture : public BaseTexture
{
public:
	/**
	 * Copies width x height pixels with pitch bytes per row into level
	 * mipLevel at (x, y); format must be the texture's own.
	 */
	virtual void blt(int x, int y, const void* pixels, int pitch, int mipLevel, int width, int height, const SurfaceFormat& format) = 0;
	virtual void clear() = 0;
	virtual Rect rect() const = 0;
	/** The pixel data and pitch where the back end keeps them. */
	virtual void getData(void** data, int* pitch) const = 0;
	virtual std::string getName() const = 0;
	virtual void setName(const std::string& name) = 0;

protected:
	Texture() : BaseTexture(CLASSID_TEXTURE) {}
};
}

#endif
