#ifndef IMG_IMAGEWRITER_H
#define IMG_IMAGEWRITER_H

#include <gr/SurfaceFormat.h>
#include <io/FileFormat.h>
#include <io/OutputStream.h>

namespace img
{
/**
 * Encodes pixels held in memory as PNG, JPEG or raw bytes. Pixels are h rows
 * of w pixels in the given format, top row first, rows packed without gaps.
 */
class ImageWriter
{
public:
	/**
	 * JPG: quality 100; PNG: 8-bit RGB, or RGBA when the format has alpha;
	 * RAW: the bytes unchanged. Other formats throw io::IOException. The
	 * last argument is not used.
	 */
	static void write(io::OutputStream& out, io::FileFormat fileFormat, const void* data, int w, int h,
		gr::SurfaceFormat format, gr::SurfaceFormat paletteFormat = gr::SurfaceFormat());

	/** Throws io::IOException naming the stream when libpng fails. */
	static void writePNG(io::OutputStream& out, const void* data, int w, int h, gr::SurfaceFormat format);
	/** Baseline RGB JPEG; throws io::IOException naming the stream when libjpeg fails. */
	static void writeJPG(io::OutputStream& out, const void* data, int w, int h, gr::SurfaceFormat format, int quality);
};
}

#endif
