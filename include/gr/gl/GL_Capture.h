#ifndef GR_GL_CAPTURE_H
#define GR_GL_CAPTURE_H

#include <gr/gl/GL_Functions.h>
#include <cstdint>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
/**
 * Reads w x h RGBA pixels of the bound frame buffer from (x, y) (GL window coordinates,
 * bottom row first) and returns them top row first, 4 bytes a pixel, as image files want.
 */
std::vector<uint8_t> GL_capturePixels(int x, int y, int w, int h);
}
}

#endif
