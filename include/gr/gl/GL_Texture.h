#ifndef GR_GL_GL_TEXTURE_H
#define GR_GL_GL_TEXTURE_H

#include <gr/gl/GL_config.h>
#include <gr/gl/GL_Resource.h>
#include <gr/gl/ShadowingSurfaceData.h>
#include <gr/Texture.h>
#include <lang/Ptr.h>
#include <cstdint>
#include <string>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
class GL_Context;

/**
 * One GL texture object with its mip levels; a render target also owns a frame buffer
 * object with a 16-bit depth renderbuffer. Made only by the context's factory, which picks
 * a format the device can hold.
 */
class GL_Texture : public gr::Texture, public GL_Resource
{
public:
	/** Throws gr::GraphicsException for a size, format or mip chain the device cannot hold. */
	GL_Texture(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, int usage);
	~GL_Texture() override;

	/** Creates the GL objects; the context calls it again with the creation parameters on resume. */
	void allocate(GL_Context* context, int width, int height, int mipLevels, gr::SurfaceFormat format, int usage);
	/** Releases the GL objects (unbinding the texture from every unit first). */
	void deallocate();

	/** Throws lang::Exception for anything but LOCK_READ. */
	void lock(LockType type) override;
	void unlock() override;
	int width() const override { return m_width; }
	int height() const override { return m_height; }
	gr::SurfaceFormat format() const override { return m_format; }
	/** pixels holds w x h pixels of the texture's own format, rows pitch bytes apart. */
	void blt(int x, int y, const void* pixels, int pitch, int mipLevel, int w, int h, const gr::SurfaceFormat& format) override;
	void clear() override;
	gr::Rect rect() const override { return gr::Rect(m_width, m_height); }
	/** Always throws: OpenGL ES cannot read textures back. */
	void getData(void** data, int* pitch) const override;
	std::string getName() const override { return m_name; }
	void setName(const std::string& name) override { m_name = name; }

	GLuint textureName() const { return m_texture; }
	GLuint frameBuffer() const { return m_frameBuffer; }
	GLuint depthBuffer() const { return m_depthBuffer; }
	int mipLevels() const { return m_mipLevels; }
	int usage() const { return m_usage; }
	bool isRenderTarget() const;

	/** Uploads recorded while the context shadows textures, in call order. */
	const std::vector<lang::Ptr<ShadowingSurfaceData>>& shadowCopies() const { return m_shadows; }
	/** Set by the context while it replays shadow copies, so they are not recorded again. */
	void setRestoring(bool restoring) { m_restoring = restoring; }
	/** Re-creates the GL objects and replays every shadow copy in order. */
	void restore();

private:
	void detachFromContext() override;
	GLuint m_texture;
	GLuint m_frameBuffer;
	GLuint m_depthBuffer;
	int m_width;
	int m_height;
	gr::SurfaceFormat m_format;
	std::string m_name;
	LockType m_lockType;
	std::vector<uint8_t> m_readBack;
	GL_Context* m_context;
	int m_mipLevels;
	int m_usage;
	std::vector<lang::Ptr<ShadowingSurfaceData>> m_shadows;
	bool m_restoring;
	/** Compressed levels that hold storage: bit k for level k. */
	uint32_t m_compressedLevels;
	/** Scratch rows for uploads whose pitch exceeds the row. */
	std::vector<uint8_t> m_packed;

	GL_Texture(const GL_Texture&) = delete;
	GL_Texture& operator=(const GL_Texture&) = delete;
};

/**
 * The GL pixel type and format (also the internal format) of a surface format.
 * Throws gr::GraphicsException "Unsupported texture format: {0}" for a format GL cannot hold.
 */
void getGLFormat(gr::SurfaceFormat format, unsigned* type, unsigned* glFormat);
}
}

#endif
