#ifndef IMG_IMAGEREADER_H
#define IMG_IMAGEREADER_H

#include <gr/SurfaceFormat.h>
#include <io/FileFormat.h>
#include <io/InputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace img
{
/**
 * Decodes a BMP, TGA, JPEG, PNG or PVR image from a stream into surfaces
 * of a pixel format the caller chooses. The decoder is picked by the file
 * format passed in, never by the file's contents.
 *
 * The header (for PNG and PVR the whole image) is read in the constructor;
 * then call readSurface once per surface, sizing each by surfaceWidth() and
 * surfaceHeight() (they change from mip level to mip level).
 */
class ImageReader : public lang::Object
{
public:
	struct Surface
	{
		std::vector<uint8_t> data;
		int width = 0;
		int height = 0;
	};

	/** The largest image read: no texture holds a longer side (the pixel count follows). */
	static const int MAX_IMAGE_SIDE = 16384;
	static const long long MAX_IMAGE_PIXELS = 1LL << 28;

	/**
	 * Throws io::IOException on unsupported formats, bad or short data, and images beyond
	 * MAX_IMAGE_SIDE or MAX_IMAGE_PIXELS (refused before any pixel buffer is allocated).
	 */
	ImageReader(lang::Ptr<io::InputStream> in, io::FileFormat format);
	~ImageReader() override;

	ImageReader(const ImageReader&) = delete;
	ImageReader& operator=(const ImageReader&) = delete;

	/**
	 * Writes the next surface to dst (rows pitch bytes apart) in dstFormat.
	 * w and h must be surfaceWidth() and surfaceHeight().
	 */
	void readSurface(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
		const void* dstPalette, gr::SurfaceFormat dstPaletteFormat);

	int surfaceWidth() const { return m_width; }
	int surfaceHeight() const { return m_height; }
	int mipLevels() const { return m_mipLevels; }
	gr::SurfaceFormat format() const { return m_fmt; }

private:
	struct JpegState;
	struct PngState;

	lang::Ptr<io::InputStream> m_in;
	int m_width;
	int m_height;
	int m_bitsPerPixel;
	int m_pitch;
	int m_mipLevels;
	int m_surfaceCount;
	int m_surfaceIndex;
	uint8_t m_palette[256 * 4];
	gr::SurfaceFormat m_fmt;
	gr::SurfaceFormat m_paletteFormat;
	io::FileFormat m_fileFormat;
	bool m_bottomUp;
	bool m_rle;
	bool m_cubeMap;
	std::unique_ptr<JpegState> m_jpeg;
	/** libpng's records from the header to the surface, which is decoded into its destination. */
	std::unique_ptr<PngState> m_png;
	std::vector<Surface> m_surfaceBuffer;
	std::vector<uint8_t> m_scanline;
	std::vector<uint8_t> m_rleInput;  // run-length packets read ahead in blocks
	int m_rlePos;
	int m_rleEnd;

	void readHeader_bmp();
	void readHeader_tga();
	void readHeader_jpg();
	void readHeader_png();
	void readHeader_pvr();
	void readHeader_pvr2(uint32_t headerLength);
	void readHeader_pvr3();
	void readPvrSurface(int index, int level);

	void readScanlines(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
		const void* dstPalette, gr::SurfaceFormat dstPaletteFormat);
	void readSurfaceFromSurfaceBuffer(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
		const void* dstPalette, gr::SurfaceFormat dstPaletteFormat);
	void readSurface_jpg(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
		const void* dstPalette, gr::SurfaceFormat dstPaletteFormat);
	void readScanline_jpg(void* row);
	void readSurface_png(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
		const void* dstPalette, gr::SurfaceFormat dstPaletteFormat);
	void readScanline_tgaRLE(uint8_t* row);
	const uint8_t* requireRLE(int n);
	void finishJpeg();
	/**
	 * Throws io::IOException naming the stream when the current surface is beyond the image
	 * limits or too large for gr::SurfaceFormat in the file's format or in 32-bit pixels.
	 */
	void checkSurfaceSize() const;
	/** Throws when the stream is known to hold fewer than n more bytes. */
	void requireAvailable(int64_t n) const;

	static void readFully(const lang::Ptr<io::InputStream>& in, void* buf, int n);
	static void skipFully(const lang::Ptr<io::InputStream>& in, int64_t n);
	static void readColorMap(const lang::Ptr<io::InputStream>& in, int entryBits, int count, uint8_t* dst);
	static uint32_t getUInt16LE(const void* p, int offset);
	static uint32_t getUInt32LE(const void* p, int offset);
};
}

#endif
