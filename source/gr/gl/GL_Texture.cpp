#include <gr/gl/GL_Texture.h>
#include <gr/gl/GL_Context.h>
#include <gr/gl/GL_State.h>
#include <gr/GraphicsException.h>
#include <lang/assert.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cstring>

namespace gr
{
namespace GR_GL_NS
{
#define CHECK(OPERATION) GR_GL_CHECK(OPERATION, "source/gr/gl/GL_Texture")

namespace
{
#if GR_GL_VERSION == 1
const GLenum MAX_UNITS_QUERY = GL_MAX_TEXTURE_UNITS;
const float NEW_TARGET_ALPHA = 1.f;
#else
const GLenum MAX_UNITS_QUERY = GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS;
const float NEW_TARGET_ALPHA = 0.f;
#endif

bool isPow2(int x)
{
	return x > 0 && (x & (x - 1)) == 0;
}

int fullMipCount(int width, int height)
{
	int n = 0;
	for (int side = std::max(width, height); side >= 2; side >>= 1)
		++n;
	return n;
}

GLint getInteger(GLenum pname)
{
	GLint v[4] = {};
	gl.GetIntegerv(pname, v);
	return v[0];
}

/** Unbinds whatever texture the active unit holds. */
void unbindActiveUnit()
{
	const int unit = int(GL_State::sm_current.m_activeTexture - GL_TEXTURE0);
	if (GL_State::sm_current.m_bindedTexture[unit] != 0)
		GL_State::bindTexture(0);
}
}

ShadowingSurfaceData::ShadowingSurfaceData(int x, int y, const void* data, int pitch, int mipLevel, int width, int height, const gr::SurfaceFormat& format) :
	x(x),
	y(y),
	bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + format.getMemoryUsage(width, height)),
	pitch(pitch),
	mipLevel(mipLevel),
	width(width),
	height(height),
	format(format)
{
}

void getGLFormat(gr::SurfaceFormat format, unsigned* type, unsigned* glFormat)
{
	unsigned t = 0, f = 0;
	switch (format.type())
	{
	case SurfaceFormat::SURFACE_R8G8B8:
	case SurfaceFormat::SURFACE_B8G8R8: t = GL_UNSIGNED_BYTE; f = GL_RGB; break;
	case SurfaceFormat::SURFACE_A8R8G8B8:
	case SurfaceFormat::SURFACE_A8B8G8R8: t = GL_UNSIGNED_BYTE; f = GL_RGBA; break;
	case SurfaceFormat::SURFACE_R5G6B5: t = GL_UNSIGNED_SHORT_5_6_5; f = GL_RGB; break;
	case SurfaceFormat::SURFACE_L8: t = GL_UNSIGNED_BYTE; f = GL_LUMINANCE; break;
	case SurfaceFormat::SURFACE_A8L8: t = GL_UNSIGNED_BYTE; f = GL_LUMINANCE_ALPHA; break;
	case SurfaceFormat::SURFACE_R4G4B4A4: t = GL_UNSIGNED_SHORT_4_4_4_4; f = GL_RGBA; break;
	case SurfaceFormat::SURFACE_R5G5B5A1: t = GL_UNSIGNED_SHORT_5_5_5_1; f = GL_RGBA; break;
	case SurfaceFormat::SURFACE_A8: t = GL_UNSIGNED_BYTE; f = GL_ALPHA; break;
	case SurfaceFormat::SURFACE_RGB_PVRTC_GL_2BPP: f = 0x8C01; break;
	case SurfaceFormat::SURFACE_RGBA_PVRTC_GL_2BPP: f = 0x8C03; break;
	case SurfaceFormat::SURFACE_RGB_PVRTC_GL_4BPP: f = 0x8C00; break;
	case SurfaceFormat::SURFACE_RGBA_PVRTC_GL_4BPP: f = 0x8C02; break;
	// The context keeps ETC1 only when the GL has GL_OES_compressed_ETC1_RGB8_texture.
	case SurfaceFormat::SURFACE_ETC1_RGB_4BPP: f = 0x8D64; break;
	default:
		lang::throwError(gr::GraphicsException(lang::Format("Unsupported texture format: {0}", format.toString())));
	}
	*type = t;
	*glFormat = f;
}

GL_Texture::GL_Texture(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, int usage) :
	GL_Resource(context),
	m_texture(0),
	m_frameBuffer(0),
	m_depthBuffer(0),
	m_width(width),
	m_height(height),
	m_format(format),
	m_lockType(LOCK_NONE),
	m_context(context),
	m_mipLevels(mipLevels),
	m_usage(usage),
	m_restoring(false),
	m_compressedLevels(0)
{
	try
	{
		allocate(context, width, height, mipLevels, format, usage);
	}
	catch (...)
	{
		// The caller gets no texture, so nothing else would ever release what was made.
		deallocate();
		throw;
	}
}

GL_Texture::~GL_Texture()
{
	// Always leave the context's list, also when shadowing was switched off after creation.
	if (m_context)
		m_context->removeTexture(this);
	deallocate();
}

void GL_Texture::detachFromContext()
{
	m_context = nullptr;
	m_texture = 0;
	m_frameBuffer = 0;
	m_depthBuffer = 0;
}

bool GL_Texture::isRenderTarget() const
{
	return (m_usage & (0x08 | 0x10)) != 0;
}

void GL_Texture::allocate(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, int usage)
{
	deallocate();
	m_context = context;
	m_width = width;
	m_height = height;
	m_mipLevels = mipLevels;
	m_format = format;
	m_usage = usage;
	m_compressedLevels = 0;

	const int fullMips = fullMipCount(width, height);
	const int mipcount = mipLevels;
	LANG_ASSERT(mipcount >= 0 && mipcount <= fullMips);

	const int maxSize = getInteger(GL_MAX_TEXTURE_SIZE);
	CHECK("allocate");
	if (width > maxSize || height > maxSize)
		lang::throwError(gr::GraphicsException(lang::Format("Texture is too large: {0}x{1}, maximum supported size: {2}x{3}", width, height, maxSize, maxSize)));

	const bool isRenderTarget = (usage & (0x08 | 0x10)) != 0;
	LANG_ASSERT(!(m_format.compressed() && isRenderTarget));
	LANG_ASSERT(!(mipcount > 1 && isRenderTarget));

	gl.GenTextures(1, &m_texture);
	CHECK("allocate");
	GL_State::activeTexture(GL_TEXTURE0);
	GL_State::bindTexture(m_texture);

	unsigned type = 0, glFormat = 0;
	getGLFormat(m_format, &type, &glFormat);

	gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipLevels == fullMips ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);
	CHECK("allocate");
	gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
	CHECK("allocate");

	const char* const npot = "GL_OES_texture_npot";
	const bool npotSupported = context ? context->isExtensionSupported(npot) : GL_isExtensionSupported(npot);
	if (!(isPow2(width) && isPow2(height)) && !npotSupported)
	{
		if (mipLevels > 0)
			lang::throwError(gr::GraphicsException(lang::Format("Mipmapping is not supported with non power-of-two textures")));
		gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
		CHECK("allocate");
		gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
		CHECK("allocate");
	}

	if (!m_format.compressed())
	{
		for (int k = 0; k <= mipLevels; ++k)
		{
			gl.TexImage2D(GL_TEXTURE_2D, k, GLint(glFormat), std::max(width >> k, 1), std::max(height >> k, 1), 0, glFormat, type, nullptr);
			CHECK("allocate");
		}
	}

	if (!isRenderTarget)
	{
		unbindActiveUnit();
		return;
	}

	// Whatever frame buffer was bound (the screen's, or another target's) is bound again afterwards.
	const GLuint previousFrameBuffer = GLuint(getInteger(GL_FRAMEBUFFER_BINDING));
	CHECK("allocate");
	gl.GenFramebuffers(1, &m_frameBuffer);
	CHECK("allocate");
	gl.BindFramebuffer(GL_FRAMEBUFFER, m_frameBuffer);
	CHECK("allocate");
	gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
	CHECK("allocate");
	gl.GenRenderbuffers(1, &m_depthBuffer);
	CHECK("allocate");
	gl.BindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
	CHECK("allocate");
	gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
	CHECK("allocate");
	gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_depthBuffer);
	CHECK("allocate");
	const GLenum status = gl.CheckFramebufferStatus(GL_FRAMEBUFFER);
	CHECK("allocate");
	LANG_ASSERT(status == GL_FRAMEBUFFER_COMPLETE);

	gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
	CHECK("allocate");
	gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
	CHECK("allocate");

	// A new target starts magenta with the cleared depth; depth writes are left off.
	// The clip rectangle of 2-D drawing must not cut the clear short: the scissor test is off
	// for it and back on afterwards when it was on.
	const bool scissor = GL_State::isEnabled(GL_SCISSOR_TEST);
	GL_State::disable(GL_SCISSOR_TEST);
	GL_State::depthMask(true);
	GL_State::clearColor(1.f, 0.f, 1.f, NEW_TARGET_ALPHA);
	gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
	CHECK("allocate");
	GL_State::depthMask(false);
	if (scissor)
		GL_State::enable(GL_SCISSOR_TEST);

	gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
	CHECK("allocate");
	gl.BindFramebuffer(GL_FRAMEBUFFER, previousFrameBuffer);
	CHECK("allocate");
}

void GL_Texture::deallocate()
{
	if (m_texture != 0)
	{
		const int units = std::min(8, int(getInteger(MAX_UNITS_QUERY)));
		CHECK("deallocate");
		for (int unit = units - 1; unit >= 0; --unit)
		{
			GL_State::activeTexture(GLenum(GL_TEXTURE0 + unit));
			if (GL_State::sm_current.m_bindedTexture[unit] != 0)
				GL_State::bindTexture(0);
		}
		gl.DeleteTextures(1, &m_texture);
		CHECK("deallocate");
		m_texture = 0;
	}
	if (m_depthBuffer != 0)
	{
		gl.DeleteRenderbuffers(1, &m_depthBuffer);
		CHECK("deallocate");
		m_depthBuffer = 0;
	}
	if (m_frameBuffer != 0)
	{
		gl.DeleteFramebuffers(1, &m_frameBuffer);
		CHECK("deallocate");
		m_frameBuffer = 0;
	}
	m_compressedLevels = 0;
	if (!m_context)
		return; // detached: the GL context is gone
	gl.Finish();
	CHECK("deallocate");
}

void GL_Texture::blt(int x, int y, const void* data, int pitch, int mipLevel, int w, int h, const gr::SurfaceFormat& fmt)
{
	LANG_ASSERT(pitch*8 >= w*fmt.bitsPerPixel());
	LANG_ASSERT(x >= 0);
	LANG_ASSERT(y >= 0);
	LANG_ASSERT(w > 0);
	LANG_ASSERT(h > 0);
	LANG_ASSERT(x+w <= width());
	LANG_ASSERT(y+h <= height());
	LANG_ASSERT(fmt == m_format);
	LANG_ASSERT(mipLevel >= 0 && mipLevel <= m_mipLevels);

	// OpenGL ES 2.0 has no unpack row length: rows with gaps are packed first, so they are
	// neither skewed on upload nor in the shadow copy.
	const bool compressed = fmt.compressed();
	if (!compressed)
	{
		const int rowBytes = fmt.getMemoryUsage(w, 1);
		if (pitch > rowBytes)
		{
			m_packed.resize(size_t(rowBytes) * size_t(h));
			for (int row = 0; row < h; ++row)
				std::memcpy(&m_packed[size_t(row) * rowBytes], static_cast<const uint8_t*>(data) + size_t(row) * pitch, rowBytes);
			data = m_packed.data();
			pitch = rowBytes;
		}
	}

	if (m_context && m_context->isTextureShadowingEnabled() && !m_restoring)
		m_shadows.push_back(new ShadowingSurfaceData(x, y, data, pitch, mipLevel, w, h, fmt));

	GL_State::activeTexture(GL_TEXTURE0);
	GL_State::bindTexture(m_texture);
	unsigned type = 0, glFormat = 0;
	getGLFormat(fmt, &type, &glFormat);

	if (compressed)
	{
		const int levelW = std::max(m_width >> mipLevel, 1);
		const int levelH = std::max(m_height >> mipLevel, 1);
		const uint32_t levelBit = 1u << mipLevel;
		if ((x == 0 && y == 0 && w == levelW && h == levelH) || !(m_compressedLevels & levelBit))
		{
			if (x == 0 && y == 0 && w == levelW && h == levelH)
			{
				gl.CompressedTexImage2D(GL_TEXTURE_2D, mipLevel, glFormat, w, h, 0, fmt.getMemoryUsage(w, h), data);
				CHECK("blt");
				m_compressedLevels |= levelBit;
				data = nullptr;
			}
			else
			{
				// A part of a level that has no storage yet: the level is made whole (black) first.
				std::vector<uint8_t> zeros(size_t(fmt.getMemoryUsage(levelW, levelH)));
				gl.CompressedTexImage2D(GL_TEXTURE_2D, mipLevel, glFormat, levelW, levelH, 0, GLsizei(zeros.size()), zeros.data());
				CHECK("blt");
				m_compressedLevels |= levelBit;
			}
		}
		if (data)
		{
			gl.CompressedTexSubImage2D(GL_TEXTURE_2D, mipLevel, x, y, w, h, glFormat, fmt.getMemoryUsage(w, h), data);
			CHECK("blt");
		}
	}
	else
	{
		gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
		CHECK("blt");
		gl.TexSubImage2D(GL_TEXTURE_2D, mipLevel, x, y, w, h, glFormat, type, data);
		CHECK("blt");
	}
	gl.Flush();
	CHECK("blt");
	unbindActiveUnit();
}

void GL_Texture::restore()
{
	allocate(m_context, m_width, m_height, m_mipLevels, m_format, m_usage);
	for (const lang::Ptr<ShadowingSurfaceData>& s : m_shadows)
	{
		m_restoring = true;
		blt(s->x, s->y, s->bytes.data(), s->pitch, s->mipLevel, s->width, s->height, s->format);
		m_restoring = false;
	}
}

void GL_Texture::lock(LockType type)
{
	if (type != LOCK_READ)
		lang::throwError(lang::Exception(lang::Format("Only LOCK_READ is supported when locking texture")));
	m_lockType = type;
}

void GL_Texture::unlock()
{
	std::vector<uint8_t>().swap(m_readBack);
	m_lockType = LOCK_NONE;
}

void GL_Texture::clear()
{
	LANG_ASSERT(!"Not implemented!");
}

void GL_Texture::getData(void**, int*) const
{
	lang::throwError(lang::Exception(lang::Format("Texture readback is not supported by OpenGL ES")));
}
}
}
