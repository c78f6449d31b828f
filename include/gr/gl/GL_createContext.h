#ifndef GR_GL_CREATECONTEXT_H
#define GR_GL_CREATECONTEXT_H

#include <gr/Context.h>

namespace gr
{
namespace gles1
{
/**
 * A new OpenGL ES 1.1 context on the current EGL context (count 0: hold it in a lang::Ptr).
 * Width and height are swapped for the landscape orientations; presentCallback is called
 * at the end of present() to show the frame.
 */
Context* GL_createContext(int width, int height, Context::OrientationType orientation, void (*presentCallback)());
}

namespace gles2
{
/** A new OpenGL ES 2.0 context; as gles1::GL_createContext. */
Context* GL_createContext(int width, int height, Context::OrientationType orientation, void (*presentCallback)());
}
}

#endif
