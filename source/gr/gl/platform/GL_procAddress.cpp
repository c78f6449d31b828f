#include <gr/gl/GL_procAddress.h>
#include <EGL/egl.h>

namespace gr
{
namespace gl
{
GL_Proc GL_procAddress(const char* name)
{
	return reinterpret_cast<GL_Proc>(eglGetProcAddress(name));
}
} // namespace gl
} // namespace gr
