#ifndef GR_GL_CONFIG_H
#define GR_GL_CONFIG_H

// The OpenGL ES sources are compiled once per back end. GR_GL_VERSION picks the
// API headers and the namespace: 1 = OpenGL ES 1.1 (gr::gles1), 2 = OpenGL ES 2.0 (gr::gles2).
// Nothing here links against the GLES libraries: every entry point goes through GL_Functions.
#if !defined(GR_GL_VERSION)
#error "GR_GL_VERSION must be 1 or 2"
#elif GR_GL_VERSION == 1
#define GR_GL_NS gles1
#include <GLES/gl.h>
#include <GLES/glext.h>
// The 1.1 back end reaches frame buffer objects through GL_OES_framebuffer_object:
// shared code uses the core names.
#define GL_FRAMEBUFFER GL_FRAMEBUFFER_OES
#define GL_RENDERBUFFER GL_RENDERBUFFER_OES
#define GL_FRAMEBUFFER_BINDING GL_FRAMEBUFFER_BINDING_OES
#define GL_RENDERBUFFER_BINDING GL_RENDERBUFFER_BINDING_OES
#define GL_COLOR_ATTACHMENT0 GL_COLOR_ATTACHMENT0_OES
#define GL_DEPTH_ATTACHMENT GL_DEPTH_ATTACHMENT_OES
#define GL_STENCIL_ATTACHMENT GL_STENCIL_ATTACHMENT_OES
#define GL_FRAMEBUFFER_COMPLETE GL_FRAMEBUFFER_COMPLETE_OES
#define GL_DEPTH_COMPONENT16 GL_DEPTH_COMPONENT16_OES
#define GL_RGBA8 GL_RGBA8_OES
#define GL_DEPTH24_STENCIL8 GL_DEPTH24_STENCIL8_OES
#elif GR_GL_VERSION == 2
#define GR_GL_NS gles2
#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>
#ifndef GL_RGBA8
#define GL_RGBA8 GL_RGBA8_OES
#endif
#ifndef GL_DEPTH24_STENCIL8
#define GL_DEPTH24_STENCIL8 GL_DEPTH24_STENCIL8_OES
#endif
#else
#error "GR_GL_VERSION must be 1 or 2"
#endif

#endif
