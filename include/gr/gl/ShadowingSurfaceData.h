#ifndef GR_GL_SHADOWINGSURFACEDATA_H
#define GR_GL_SHADOWINGSURFACEDATA_H

#include <gr/gl/GL_config.h>
#include <gr/SurfaceFormat.h>
#include <lang/Object.h>
#include <cstdint>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
/**
 * System-memory copy of one texture upload, replayed when the texture is rebuilt after the
 * context released its GL objects.
 */
class ShadowingSurfaceData : public lang::Object
{
public:
	/** Copies getMemoryUsage(width, height) bytes of tightly packed rows from data. */
	ShadowingSurfaceData(int x, int y, const void* data, int pitch, int mipLevel, int width, int height, const gr::SurfaceFormat& format);

	int x;
	int y;
	std::vector<uint8_t> bytes;
	int pitch;
	int mipLevel;
	int width;
	int height;
	gr::SurfaceFormat format;
};
}
}

#endif
