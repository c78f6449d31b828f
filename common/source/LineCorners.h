#ifndef LINECORNERS_H
#define LINECORNERS_H

#include <math/float2.h>

namespace gr
{
class Context;
}

/**
 * The four corners (top-left, top-right, bottom-left, bottom-right) of the
 * quad of a line from (x0, y0) to (x1, y1), in screen pixels after the
 * context's 2-D render state; the quad's x axis runs along the line. False,
 * with the corners untouched, for a line without length.
 */
bool getLineCorners(gr::Context* context, math::float2* corners, float x0, float y0, float x1, float y1, float width);

#endif
