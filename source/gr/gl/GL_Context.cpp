#include <gr/gl/GL_Context.h>
#include <gr/gl/EAGLBackbufferFrameBuffer.h>
#include <gr/gl/GL_Capture.h>
#include <gr/gl/GL_createContext.h>
#include <gr/gl/GL_Texture.h>
#include <gr/GraphicsException.h>
#include <gr/Image.h>
#include <gr/Primitive.h>
#include <gr/Texture.h>
#include <gr/VertexFormat.h>
#include <io/ByteArrayOutputStream.h>
#include <io/FileOutputStream.h>
#include <io/PathName.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL_Context")

#if GR_GL_VERSION == 1
void createShadersTemplates(GL_Context* context);
#endif

Context* GL_createContext(int width, int height, Context::OrientationType orientation, void (*presentCallback)())
{
	if (orientation == Context::ORIENTATION_LANDSCAPE_RIGHT || orientation == Context::ORIENTATION_LANDSCAPE_LEFT)
		std::swap(width, height);
	if (!gl.loaded())
		gl.load();
	GL_Context* context = new GL_Context(width, height, orientation, presentCallback);
#if GR_GL_VERSION == 1
	try
	{
		createShadersTemplates(context);
	}
	catch (...)
	{
		delete context;
		throw;
	}
#endif
	return context;
}

GL_Context::GL_Context(int width, int height, OrientationType orientation, PresentCallback present) :
	m_batcher(this),
	m_projection(1.f),
	m_modelView(1.f),
	m_customModelTransform(1.f),
	m_viewport(-32000, -32000, 32000, 32000),
	m_width(width),
	m_height(height),
	m_frontFace(GL_CW),
	m_customModelTransformEnabled(false),
	m_orientation(orientation),
	m_renderTarget(nullptr),
	m_time(0.f),
	m_fovScaleBias(1.f, 0.f),
#if GR_GL_VERSION == 1
	m_world(1.f),
	m_view(1.f),
	m_modelViewDirty(false),
#endif
	m_present(present),
	m_dxtUploads(-1)
{
	// A new GL context holds GL's defaults, whatever the cache remembers of an earlier one.
	GL_State::reset();
	GL_State::frontFace(m_frontFace);
	GL_State::enable(GL_DEPTH_TEST);
	GL_State().begin(true);
	setViewport(Rect(0, 0, this->width(), this->height()));
}

GL_Context::~GL_Context()
{
	m_batcher.reset();
	m_plainShader = nullptr;
	m_plainAlphaShader = nullptr;
	m_spriteShader = nullptr;
	m_spriteAlphaShader = nullptr;
	m_dynamicPrimitives.clear();
	m_shaders.clear();
	m_cachedStates.clear();
	m_shadowedTextures.clear();
	m_renderTarget = nullptr;
	detachResources();
}

Context::PlatformType GL_Context::platform() const
{
	return GR_GL_VERSION == 1 ? PLATFORM_GLES1 : PLATFORM_GLES2;
}

Shader* GL_Context::createShader(const std::string& name, int flags)
{
	const io::PathName path(name);
	const std::string key = path.basename();
	auto it = m_shaders.find(key);
#if GR_GL_VERSION == 1
	(void)flags;
	if (it == m_shaders.end())
		lang::throwError(GraphicsException(lang::Format("Shader template {0} not found", name)));
	return it->second->clone();
#else
	if (it != m_shaders.end())
		return it->second->clone();
	const io::PathName effect(path.parent().toString(), key + ".fx");
	Shader* shader = newEffectShader(key, flags, effect.toString());
	m_shaders[key] = shader;
	return shader;
#endif
}

BaseTexture* GL_Context::createCubeTexture(const std::string&)
{
	lang::throwError(GraphicsException(lang::Format("Cube textures not supported")));
}

Primitive* GL_Context::createPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices, UsageFlags usage)
{
	return newPrimitive(type, format, vertices, indices, usage);
}

Primitive* GL_Context::getDynamicPrimitive(Primitive::PrimType type, const VertexFormat& format, int vertices, int indices)
{
	for (const lang::Ptr<Primitive>& p : m_dynamicPrimitives)
		if (p->vertexFormat() == format && p->type() == type && p->vertices() >= vertices && p->indices() >= indices)
			return p;
	lang::Ptr<Primitive> p = newPrimitive(type, format, (vertices + 31) & ~31, (indices + 31) & ~31, USAGE_DYNAMIC);
	m_dynamicPrimitives.push_back(p);
	return p;
}

Shader* GL_Context::plainShader(lang::Ptr<Shader>& slot, const char* shortName)
{
	if (!slot)
		slot = createShader(io::PathName(shaderPath(), shortName).toString(), 0);
	return slot;
}

Shader* GL_Context::getPlainShader()
{
	return plainShader(m_plainShader, GR_GL_VERSION == 1 ? "sprite-plain" : "2d-vertexcolor");
}

Shader* GL_Context::getPlainAlphaShader()
{
	return plainShader(m_plainAlphaShader, GR_GL_VERSION == 1 ? "sprite-alphaplain" : "2d-vertexcolor-alpha");
}

void GL_Context::removeTexture(GL_Texture* texture)
{
	// A target going away while bound: what was drawn into it goes there first, then
	// drawing returns to the screen, so nothing refers to the freed texture.
	if (m_renderTarget && m_renderTarget == static_cast<Texture*>(texture))
		setRenderTarget(nullptr);
	for (size_t i = m_shadowedTextures.size(); i-- > 0;)
		if (m_shadowedTextures[i] == texture)
			m_shadowedTextures.erase(m_shadowedTextures.begin() + i);
}

bool GL_Context::isExtensionSupported(const char* name) const
{
	return GL_isExtensionSupported(name);
}

SurfaceFormat GL_Context::convertToCompatibleSurfaceFormat(const SurfaceFormat& format) const
{
	switch (format.type())
	{
	case SurfaceFormat::SURFACE_R8G8B8:
		return SurfaceFormat::SURFACE_B8G8R8;
	case SurfaceFormat::SURFACE_A8R8G8B8:
	case SurfaceFormat::SURFACE_P4:
	case SurfaceFormat::SURFACE_P8:
		return SurfaceFormat::SURFACE_A8B8G8R8;
	// Colour layouts OpenGL ES has no pixel type for (16- and 32-bit BMP and TGA files give
	// some of them) are converted when read into the nearest one it has.
	case SurfaceFormat::SURFACE_X8R8G8B8:
	case SurfaceFormat::SURFACE_X8B8G8R8:
	case SurfaceFormat::SURFACE_R6G6B6:
		return SurfaceFormat::SURFACE_B8G8R8;
	case SurfaceFormat::SURFACE_R5G5B5:
	case SurfaceFormat::SURFACE_X4R4G4B4:
	case SurfaceFormat::SURFACE_R3G3B2:
	case SurfaceFormat::SURFACE_R3G2B3:
		return SurfaceFormat::SURFACE_R5G6B5;
	case SurfaceFormat::SURFACE_A1R5G5B5:
	case SurfaceFormat::SURFACE_A1B5G5R5:
		return SurfaceFormat::SURFACE_R5G5B5A1;
	case SurfaceFormat::SURFACE_A4R4G4B4:
	case SurfaceFormat::SURFACE_A4B4G4R4:
		return SurfaceFormat::SURFACE_R4G4B4A4;
	case SurfaceFormat::SURFACE_A8R3G3B2:
	case SurfaceFormat::SURFACE_A8R3G2B3:
		return SurfaceFormat::SURFACE_A8B8G8R8;
	case SurfaceFormat::SURFACE_ETC1_RGB_4BPP:
		// Without the extension the blocks are decoded when the file is read.
		return isExtensionSupported("GL_OES_compressed_ETC1_RGB8_texture") ? format : SurfaceFormat::SURFACE_A8B8G8R8;
	case SurfaceFormat::SURFACE_RGB_PVRTC_GL_2BPP:
	case SurfaceFormat::SURFACE_RGBA_PVRTC_GL_2BPP:
	case SurfaceFormat::SURFACE_RGB_PVRTC_GL_4BPP:
	case SurfaceFormat::SURFACE_RGBA_PVRTC_GL_4BPP:
		return isExtensionSupported("GL_IMG_texture_compression_pvrtc") ? format : SurfaceFormat::SURFACE_A8B8G8R8;
	case SurfaceFormat::SURFACE_DXT1:
	case SurfaceFormat::SURFACE_DXT3:
	case SurfaceFormat::SURFACE_DXT5:
		return acceptsDXT() ? format : SurfaceFormat::SURFACE_A8B8G8R8;
	default:
		return format;
	}
}

bool GL_Context::acceptsDXT() const
{
	if (!isExtensionSupported("GL_EXT_texture_compression_s3tc"))
		return false;
	if (m_dxtUploads < 0)
	{
		// Some drivers list S3TC and still refuse the upload: try one block.
		const unsigned char block[16] = {};
		GLuint name = 0;
		gl.GenTextures(1, &name);
		gl.BindTexture(GL_TEXTURE_2D, name);
		while (gl.GetError() != GL_NO_ERROR)
		{
		}
		gl.CompressedTexImage2D(GL_TEXTURE_2D, 0, 0x83F3 /* DXT5 */, 4, 4, 0, sizeof(block), block);
		m_dxtUploads = gl.GetError() == GL_NO_ERROR ? 1 : 0;
		gl.BindTexture(GL_TEXTURE_2D, GL_State::sm_current.m_bindedTexture[GL_State::sm_current.m_activeTexture - GL_TEXTURE0]);
		gl.DeleteTextures(1, &name);
		CHECK("convertToCompatibleSurfaceFormat");
	}
	return m_dxtUploads == 1;
}

int GL_Context::targetHeight() const
{
	return m_renderTarget ? m_renderTarget->height() : height();
}

int GL_Context::targetLeft() const
{
	return m_renderTarget || m_framebufferHeight <= 0 ? 0 : m_screenLeft;
}

int GL_Context::targetFlip() const
{
	// GL counts rows from the bottom of the frame buffer; the surface's rows from its own top.
	if (m_renderTarget || m_framebufferHeight <= 0)
		return targetHeight();
	return m_framebufferHeight - m_screenTop;
}

void GL_Context::setViewport(const Rect& rect)
{
	m_batcher.flush();
	m_viewport = rect;
	GL_State::viewport(targetLeft() + rect.left(), targetFlip() - rect.bottom(), rect.right() - rect.left(),
		rect.bottom() - rect.top());
	CHECK("setViewport");
}

void GL_Context::setClipRect(const Rect& rect)
{
	m_batcher.flush();
	GL_State::enable(GL_SCISSOR_TEST);
	Rect r = rect;
	if (!m_renderTarget && m_framebufferHeight > 0)
	{
		// Letterboxed: nothing reaches the bars.
		r = Rect(std::max(r.left(), 0), std::max(r.top(), 0), std::min(r.right(), m_width), std::min(r.bottom(), m_height));
	}
	GL_State::scissor(targetLeft() + r.left(), targetFlip() - r.bottom(), std::max(0, r.right() - r.left()),
		std::max(0, r.bottom() - r.top()));
	CHECK("setClipRect");
}

void GL_Context::setScreenPlacement(int left, int top, int framebufferWidth, int framebufferHeight)
{
	m_batcher.flush();
	m_screenLeft = left;
	m_screenTop = top;
	m_framebufferWidth = framebufferWidth;
	m_framebufferHeight = framebufferHeight;
	if (!m_renderTarget)
		setViewport(m_viewport);
}

void GL_Context::beginScene()
{
	if (m_renderTarget || m_framebufferHeight <= 0 ||
		(m_screenLeft == 0 && m_screenTop == 0 && m_framebufferWidth == m_width && m_framebufferHeight == m_height))
		return;
	// The letterbox's bars: the game's own clears reach its surface only.
	m_batcher.flush();
	GL_State::disable(GL_SCISSOR_TEST);
	GL_State::clearColor(0.f, 0.f, 0.f, 1.f);
	gl.Clear(GL_COLOR_BUFFER_BIT);
	CHECK("beginScene");
	setClipRect(m_renderState.clipRect);
}

void GL_Context::setRenderTarget(Texture* texture)
{
	m_batcher.flush();
	m_renderTarget = texture;
	gl.BindFramebuffer(GL_FRAMEBUFFER, texture ? frameBufferOf(texture) : EAGLBackbufferFrameBuffer);
	CHECK("setRenderTarget");
	if (texture)
		setViewport(Rect(0, 0, texture->width(), texture->height()));
	else
		setViewport(Rect(0, 0, width(), height()));
}

void GL_Context::setPerspectiveProjection(float fovy, float front, float back, float aspect)
{
	math::float4x4 m;
	m.setPerspectiveProjection(fovy, front, back, aspect);
	setProjection(m);
}

void GL_Context::setOrthographicProjection()
{
	setProjection(math::float4x4(1.f));
}

void GL_Context::setProjection(const math::float4x4& projection)
{
	m_projection = projection;
#if GR_GL_VERSION == 1
	GL_State::setMatrixMode(GL_PROJECTION);
	GL_State::loadMatrixf(projection);
#endif
}

void GL_Context::reset(int width, int height)
{
	if (m_orientation == ORIENTATION_LANDSCAPE_RIGHT || m_orientation == ORIENTATION_LANDSCAPE_LEFT)
		std::swap(width, height);
	if (width == m_width && height == m_height)
		return;
	m_width = width;
	m_height = height;
	setViewport(Rect(0, 0, m_width, m_height));
}

void GL_Context::present()
{
	m_batcher.flush();
	if (m_present)
		m_present();
}

void GL_Context::clear(unsigned int argb, bool colour, bool depth, bool stencil)
{
	setClipRect(m_renderState.clipRect);
	GLbitfield mask = 0;
	if (colour)
	{
		GL_State::clearColor(float((argb >> 16) & 0xFF) / 255.f, float((argb >> 8) & 0xFF) / 255.f,
			float(argb & 0xFF) / 255.f, float(argb >> 24) / 255.f);
		mask |= GL_COLOR_BUFFER_BIT;
	}
	if (depth)
	{
		if (!GL_State::sm_current.m_depthMask)
			GL_State::depthMask(true);
		mask |= GL_DEPTH_BUFFER_BIT;
	}
	if (stencil)
		mask |= GL_STENCIL_BUFFER_BIT;
	if (mask)
	{
		gl.Clear(mask);
		CHECK("clear");
	}
	if (depth)
		GL_State::depthMask(false);
}

void GL_Context::capture(const std::string& fileName)
{
	io::FileOutputStream out(fileName);
	capture(out, io::guessFileFormat(fileName));
}

Image* GL_Context::capture(Image* target)
{
	m_batcher.flush();
	const int w = m_renderTarget ? m_renderTarget->width() : width();
	const int h = m_renderTarget ? m_renderTarget->height() : height();
	Image* made = target ? nullptr : createImage(w, h, 0, surfaceFormat(), USAGE_NONE);
	Image* image = target ? target : made;
	try
	{
		io::ByteArrayOutputStream bytes;
		capture(bytes, io::FILEFORMAT_RAW);
		const SurfaceFormat rgba(SurfaceFormat::SURFACE_A8B8G8R8);
		const SurfaceFormat format = image->format();
		const int cw = std::min(w, image->width());
		const int ch = std::min(h, image->height());
		const int srcPitch = rgba.getMemoryUsage(w, 1);
		if (cw > 0 && ch > 0)
		{
			if (format == rgba)
			{
				image->blt(0, 0, bytes.data().data(), srcPitch, 0, cw, ch, format);
			}
			else
			{
				// The image keeps its own format: convert the read-back pixels into it.
				const int pitch = format.getMemoryUsage(cw, 1);
				std::vector<uint8_t> converted(size_t(pitch) * size_t(ch));
				format.copyPixels(converted.data(), pitch, SurfaceFormat(), nullptr, rgba, bytes.data().data(), srcPitch,
					SurfaceFormat(), nullptr, cw, ch);
				image->blt(0, 0, converted.data(), pitch, 0, cw, ch, format);
			}
		}
	}
	catch (...)
	{
		delete made;
		throw;
	}
	return image;
}

void GL_Context::flipWindingOrder()
{
	m_batcher.flush();
	m_frontFace = m_frontFace == GL_CCW ? GL_CW : GL_CCW;
	GL_State::frontFace(m_frontFace);
}

void GL_Context::flush()
{
	m_batcher.flush();
}

void GL_Context::saveCachedState(const std::string& name)
{
	m_cachedStates[name] = GL_State::sm_current;
}

void GL_Context::restoreCachedState(const std::string& name)
{
	auto it = m_cachedStates.find(name);
	if (it != m_cachedStates.end())
		GL_State::sm_current = it->second;
}

void GL_Context::resetCachedState()
{
	GL_State::reset();
}

namespace
{
/** A point given by an origin and a local offset, through the 2-D state, in device coordinates. */
math::float3 toDevice(const RenderState2D& s, int width, int height, float ox, float oy, float lx, float ly)
{
	const float px = s.pivot.x, py = s.pivot.y;
	const float X = ox + px + s.translation.x + s.rotation[0] * (lx - px) + s.rotation[2] * (ly - py);
	const float Y = oy + py + s.translation.y + s.rotation[1] * (lx - px) + s.rotation[3] * (ly - py);
	return math::float3(2.f * s.scale.x * X / float(width) - 1.f, 1.f - 2.f * s.scale.y * Y / float(height), 0.001f);
}

bool touchesScreen(const math::float3* p, int count)
{
	float minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
	for (int i = 1; i < count; ++i)
	{
		minX = std::min(minX, p[i].x);
		maxX = std::max(maxX, p[i].x);
		minY = std::min(minY, p[i].y);
		maxY = std::max(maxY, p[i].y);
	}
	return maxX >= -1.f && maxY >= -1.f && minX < 1.f && minY < 1.f;
}
}

void GL_Context::render2D(int type, const math::float3* positions, int count, unsigned int argb, int lineWidth)
{
	// Components 0..255, as the batcher wants them.
	const math::float4 c(float((argb >> 16) & 0xFF), float((argb >> 8) & 0xFF), float(argb & 0xFF), float(argb >> 24));
	const math::float4 colours[4] = {c, c, c, c};
	Shader* shader = (argb >> 24) == 0xFF && m_renderState.alphaFactor == 1.f ? getPlainShader() : getPlainAlphaShader();
	m_batcher.render(GL_RenderBatcher::Type(type), shader, positions, nullptr, colours, nullptr, lineWidth);
	(void)count;
}

void GL_Context::drawLine2D(unsigned int argb, int x0, int y0, int x1, int y1, int width)
{
	if (x0 == x1 && y0 == y1)
		return;
	const RenderState2D& s = m_renderState;
	const float lx = float(x1 - x0), ly = float(y1 - y0);
	const math::float3 p[2] = {
		toDevice(s, m_width, m_height, float(x0), float(y0), 0.f, 0.f),
		toDevice(s, m_width, m_height, float(x0), float(y0), lx, ly)};
	if (!touchesScreen(p, 2))
		return;
	const float len = std::sqrt(lx * lx + ly * ly);
	const float dx = lx / len, dy = ly / len;
	int lineWidth = int(float(width) * s.scale.x * dx * dx + float(width) * s.scale.y * dy * dy);
	if (lineWidth < 2)
		lineWidth = 1;
	render2D(GL_RenderBatcher::TYPE_LINES, p, 2, argb, lineWidth);
}

void GL_Context::fillRect2D(unsigned int argb, int x, int y, int width, int height)
{
	const RenderState2D& s = m_renderState;
	const float ox = float(x), oy = float(y), w = float(width), h = float(height);
	const math::float3 p[4] = {
		toDevice(s, m_width, m_height, ox, oy, 0.f, 0.f),
		toDevice(s, m_width, m_height, ox, oy, w, 0.f),
		toDevice(s, m_width, m_height, ox, oy, 0.f, h),
		toDevice(s, m_width, m_height, ox, oy, w, h)};
	if (!touchesScreen(p, 4))
		return;
	render2D(GL_RenderBatcher::TYPE_QUADS, p, 4, argb, 1);
}

void GL_Context::texturizeRect2D(Image* image, const math::float4& uvRect, int x, int y, int width, int height)
{
	if (!image || width == 0 || height == 0)
		return;
	// Image fractions to texture fractions: the texture may be padded beyond the image.
	float su = 1.f, sv = 1.f;
	if (const Texture* texture = image->getTexture())
	{
		su = float(image->width()) / float(texture->width());
		sv = float(image->height()) / float(texture->height());
	}
	const float u0 = uvRect.x * su, v0 = uvRect.y * sv, u1 = uvRect.z * su, v1 = uvRect.w * sv;
	const math::float2 uv[4] = {math::float2(u0, v0), math::float2(u1, v0), math::float2(u0, v1), math::float2(u1, v1)};
	image->draw(this, float(x), float(y), float(width), float(height), uv);
}

void GL_Context::fillCircle2D(unsigned int argb, int x, int y, int radius)
{
	const RenderState2D& s = m_renderState;
	const math::float3 centre = toDevice(s, m_width, m_height, float(x), float(y), 0.f, 0.f);
	const float rx = 2.f * s.scale.x * float(radius) / float(m_width);
	const float ry = -2.f * s.scale.y * float(radius) / float(m_height);
	const float step = 2.f * (float(M_PI) * 0.0625f);
	math::float3 p[64];
	for (int k = 0; k < 16; ++k)
	{
		const float a = float(k) * step;
		const float angles[3] = {a, a + step * 0.5f, a + step};
		math::float3* seg = p + k * 4;
		seg[0] = math::float3(centre.x + rx * std::cos(angles[0]), centre.y + ry * std::sin(angles[0]), centre.z);
		seg[1] = centre;
		seg[2] = math::float3(centre.x + rx * std::cos(angles[1]), centre.y + ry * std::sin(angles[1]), centre.z);
		seg[3] = math::float3(centre.x + rx * std::cos(angles[2]), centre.y + ry * std::sin(angles[2]), centre.z);
	}
	if (!touchesScreen(p, 64))
		return;
	for (int k = 0; k < 16; ++k)
		render2D(GL_RenderBatcher::TYPE_QUADS, p + k * 4, 4, argb, 1);
}

#if GR_GL_VERSION == 1
void GL_Context::addShaderTemplate(Shader* shader)
{
	m_shaders[shader->name()] = shader;
}

void GL_Context::setWorldMatrix(const math::float4x4& m)
{
	m_world = m;
	m_modelViewDirty = true;
}

void GL_Context::setViewMatrix(const math::float4x4& m)
{
	m_view = m;
	m_modelViewDirty = true;
}

void GL_Context::applyViewMatrix()
{
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(m_view);
}

void GL_Context::applyModelViewMatrix(const math::float4& scaleBias)
{
	if (m_modelViewDirty)
	{
		m_modelView = m_view * m_world;
		m_modelViewDirty = false;
	}
	math::float4x4 m = m_modelView;
	// m x T(y, z, w) x S(x): the offset goes through the linear part before the scale does.
	for (int r = 0; r < 4; ++r)
		m(r, 3) += m(r, 0) * scaleBias.y + m(r, 1) * scaleBias.z + m(r, 2) * scaleBias.w;
	if (scaleBias.x != 1.f)
		for (int r = 0; r < 4; ++r)
			for (int c = 0; c < 3; ++c)
				m(r, c) *= scaleBias.x;
	GL_State::setMatrixMode(GL_MODELVIEW);
	GL_State::loadMatrixf(m);
}
#endif
}
}
