#include <gr/gl/GL_Context.h>
#include <gr/Image.h>
#include <gr/Texture.h>
#include <gr/gl/GL_Capture.h>
#include <img/ImageReader.h>
#include <img/ImageWriter.h>
#include <io/BundleInputStream.h>
#include <io/FileFormat.h>
#include <lang/Debug.h>
#include <vector>

namespace gr
{
namespace GR_GL_NS
{
namespace
{
/** Reads every level of the reader into a texture or image through its own blt; returns the bytes of levels 1 and up. */
template <class T> int readLevels(img::ImageReader& reader, T* target)
{
	const SurfaceFormat format = target->format();
	int extraBytes = 0;
	std::vector<uint8_t> buffer;
	for (int level = 0; level < reader.mipLevels(); ++level)
	{
		const int w = reader.surfaceWidth();
		const int h = reader.surfaceHeight();
		const int bytes = format.getMemoryUsage(w, h);
		buffer.assign(size_t(bytes), 0);
		const int pitch = format.getMemoryUsage(w, 1);
		reader.readSurface(buffer.data(), pitch, w, h, format, nullptr, SurfaceFormat());
		target->blt(0, 0, buffer.data(), pitch, level, w, h, format);
		if (level > 0)
			extraBytes += bytes;
	}
	return extraBytes;
}
}

void GL_Context::capture(io::OutputStream& out, io::FileFormat format)
{
	m_batcher.flush();
	const int w = m_renderTarget ? m_renderTarget->width() : width();
	const int h = m_renderTarget ? m_renderTarget->height() : height();
	const std::vector<uint8_t> pixels = GL_capturePixels(targetLeft() + m_viewport.left(), targetFlip() - m_viewport.bottom(), w, h);
	const SurfaceFormat rgba(SurfaceFormat::SURFACE_A8B8G8R8);
	img::ImageWriter::write(out, format, pixels.data(), w, h, rgba, rgba);
}

Texture* GL_Context::createTexture(const std::string& fileName)
{
	lang::Ptr<io::InputStream> in = new io::BundleInputStream(fileName);
	img::ImageReader reader(in, io::guessFileFormat(fileName));
	Texture* texture = createTexture(reader.surfaceWidth(), reader.surfaceHeight(), reader.mipLevels() - 1,
		reader.format(), USAGE_FROMFILE);
	try
	{
		texture->setName(fileName);
		lang::Debug::printf("Loading texture %s: %dx%d %s (as %s) mips: %d\n", fileName.c_str(), reader.surfaceWidth(),
			reader.surfaceHeight(), reader.format().toString(), texture->format().toString(), reader.mipLevels() - 1);
		statistics().textureBytes += readLevels(reader, texture);
	}
	catch (...)
	{
		delete texture;
		throw;
	}
	return texture;
}

Image* GL_Context::createImage(io::InputStream& in, const std::string& name)
{
	// The caller owns the stream: the reader gets a forwarding stream that does not.
	img::ImageReader reader(new io::InputStream(in), io::guessFileFormat(name));
	Image* image = createImage(reader.surfaceWidth(), reader.surfaceHeight(), reader.mipLevels() - 1,
		reader.format(), USAGE_FROMFILE);
	try
	{
		Texture* texture = image->getTexture();
		if (texture)
			texture->setName(name);
		lang::Debug::printf("Loading image %s: %dx%d %s (as %dx%d %s) mips: %d\n", name.c_str(), reader.surfaceWidth(),
			reader.surfaceHeight(), reader.format().toString(), texture ? texture->width() : image->width(),
			texture ? texture->height() : image->height(), image->format().toString(), reader.mipLevels() - 1);
		statistics().imageBytes += readLevels(reader, image);
	}
	catch (...)
	{
		delete image;
		throw;
	}
	return image;
}
}
}
