#ifndef GR_GL_EAGLBACKBUFFERFRAMEBUFFER_H
#define GR_GL_EAGLBACKBUFFERFRAMEBUFFER_H

#include <cstdint>

/**
 * OpenGL name of the frame buffer that shows on screen: written by the platform's GL view
 * when it makes its frame buffer (0 for a window's own, the headless view's frame buffer
 * object otherwise), read by the contexts whenever the render target goes back to the screen.
 */
extern uint32_t EAGLBackbufferFrameBuffer;

#endif
