#ifndef GR_GL_GL_PROCADDRESS_H
#define GR_GL_GL_PROCADDRESS_H

namespace gr
{
namespace gl
{
/** A GL entry point of the current context's API, or null; the platform layer answers it (EGL here). */
using GL_Proc = void (*)();
GL_Proc GL_procAddress(const char* name);
} // namespace gl
} // namespace gr

#endif
