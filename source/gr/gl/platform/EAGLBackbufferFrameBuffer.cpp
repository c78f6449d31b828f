#include <gr/gl/EAGLBackbufferFrameBuffer.h>

uint32_t EAGLBackbufferFrameBuffer = 0;
