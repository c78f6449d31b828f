#include <img/ImageReader.h>
#include "JpegState.h"
#include "PngGlue.h"
#include <gr/GraphicsException.h>
#include <io/IOException.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <algorithm>
#include <climits>
#include <string>
#include <cstring>

namespace img
{
using SF = gr::SurfaceFormat;

ImageReader::ImageReader(lang::Ptr<io::InputStream> in, io::FileFormat format)
	: m_in(in),
	  m_width(0),
	  m_height(0),
	  m_bitsPerPixel(0),
	  m_pitch(0),
	  m_mipLevels(1),
	  m_surfaceCount(0),
	  m_surfaceIndex(0),
	  m_fileFormat(format),
	  m_bottomUp(false),
	  m_rle(false),
	  m_cubeMap(false),
	  m_rlePos(0),
	  m_rleEnd(0)
{
	// Cleared so palette entries a file leaves unset read as black, not as old memory.
	std::memset(m_palette, 0, sizeof(m_palette));

	switch (format)
	{
	case io::FILEFORMAT_BMP:
		readHeader_bmp();
		break;
	case io::FILEFORMAT_TGA:
		readHeader_tga();
		break;
	case io::FILEFORMAT_JPG:
		readHeader_jpg();
		break;
	case io::FILEFORMAT_PNG:
		readHeader_png();
		break;
	case io::FILEFORMAT_PVR:
		readHeader_pvr();
		break;
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported image file format while reading {0}", m_in->toString())));
	}
}

ImageReader::~ImageReader()
{
	finishJpeg();
}

void ImageReader::readSurface(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
	const void* dstPalette, gr::SurfaceFormat dstPaletteFormat)
{
	LANG_ASSERT(w == surfaceWidth());
	LANG_ASSERT(h == surfaceHeight());

	switch (m_fileFormat)
	{
	case io::FILEFORMAT_JPG:
		readSurface_jpg(dst, pitch, w, h, dstFormat, dstPalette, dstPaletteFormat);
		break;
	case io::FILEFORMAT_PNG:
		readSurface_png(dst, pitch, w, h, dstFormat, dstPalette, dstPaletteFormat);
		break;
	case io::FILEFORMAT_BMP:
	case io::FILEFORMAT_TGA:
		readScanlines(dst, pitch, w, h, dstFormat, dstPalette, dstPaletteFormat);
		break;
	default:
		readSurfaceFromSurfaceBuffer(dst, pitch, w, h, dstFormat, dstPalette, dstPaletteFormat);
		break;
	}
}

void ImageReader::readScanlines(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
	const void* dstPalette, gr::SurfaceFormat dstPaletteFormat)
{
	LANG_ASSERT(w == m_width);
	LANG_ASSERT(h == m_height);

	m_scanline.resize(static_cast<size_t>(m_pitch) * 2);
	uint8_t* const line = m_scanline.data();
	const bool sameFormat = dstFormat.type() == m_fmt.type();
	const size_t rowBytes = (static_cast<size_t>(w) * m_fmt.bitsPerPixel() + 7) / 8;

	for (int y = 0; y < h; ++y)
	{
		if (m_fileFormat == io::FILEFORMAT_JPG)
			readScanline_jpg(line);
		else if (m_rle)
			readScanline_tgaRLE(line);
		else
			readFully(m_in, line, m_pitch);

		const int row = m_bottomUp ? h - 1 - y : y;
		uint8_t* const out = static_cast<uint8_t*>(dst) + static_cast<ptrdiff_t>(row) * pitch;
		if (sameFormat)
			std::memcpy(out, line, rowBytes);
		else
			dstFormat.copyPixels(out, dstPaletteFormat, dstPalette, m_fmt, line, m_paletteFormat, m_palette, w);
	}
}

void ImageReader::readSurfaceFromSurfaceBuffer(void* dst, int pitch, int w, int h, gr::SurfaceFormat dstFormat,
	const void* dstPalette, gr::SurfaceFormat dstPaletteFormat)
{
	LANG_ASSERT(m_surfaceIndex >= 0 && m_surfaceIndex < (int)m_surfaceBuffer.size());
	const Surface& s = m_surfaceBuffer[m_surfaceIndex];
	LANG_ASSERT(s.width == w);
	LANG_ASSERT(s.height == h);

	const SF::SurfaceFormatType type = m_fmt.type();
	if (m_fmt.compressed() && dstFormat.type() == type)
	{
		std::memcpy(dst, s.data.data(), s.data.size());
	}
	else
	{
		// Block formats are read a row of 4 x 4 blocks at a time.
		int srcPitch;
		if (type == SF::SURFACE_DXT1)
			srcPitch = 8 * ((s.width + 3) / 4);
		else if (type == SF::SURFACE_DXT3 || type == SF::SURFACE_DXT5)
			srcPitch = 16 * ((s.width + 3) / 4);
		else
			srcPitch = m_fmt.bitsPerPixel() * s.width / 8;
		dstFormat.copyPixels(dst, pitch, dstPaletteFormat, dstPalette, m_fmt, s.data.data(), srcPitch,
			m_paletteFormat, m_palette, w, h);
	}

	++m_surfaceIndex;
	if (m_surfaceIndex < (int)m_surfaceBuffer.size())
	{
		m_width = m_surfaceBuffer[m_surfaceIndex].width;
		m_height = m_surfaceBuffer[m_surfaceIndex].height;
	}
}

void ImageReader::checkSurfaceSize() const
{
	// Callers size their buffers with getMemoryUsage, usually for 32-bit pixels; a size it
	// refuses, or one beyond what any texture holds, is refused here, where the file can be named.
	bool fits = m_width <= MAX_IMAGE_SIDE && m_height <= MAX_IMAGE_SIDE &&
		static_cast<long long>(m_width) * m_height <= MAX_IMAGE_PIXELS;
	if (fits)
	{
		try
		{
			m_fmt.getMemoryUsage(m_width, m_height);
			SF(SF::SURFACE_A8B8G8R8).getMemoryUsage(m_width, m_height);
		}
		catch (const gr::GraphicsException&)
		{
			fits = false;
		}
	}
	if (!fits)
		lang::throwError(io::IOException(lang::Format("Image {0} is too large: {1}x{2} pixels", m_in->toString(), std::to_string(m_width), std::to_string(m_height))));
}

void ImageReader::requireAvailable(int64_t n) const
{
	const int avail = m_in->available();
	if (avail >= 0 && avail < n)
		lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", std::to_string(n), m_in->toString())));
}

void ImageReader::readFully(const lang::Ptr<io::InputStream>& in, void* buf, int n)
{
	if (in->read(buf, n) != n)
		lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", std::to_string(n), in->toString())));
}

void ImageReader::skipFully(const lang::Ptr<io::InputStream>& in, int64_t n)
{
	LANG_ASSERT(n >= 0);
	if (n == 0)
		return;
	// Streams may stop on a skip past their end, so check what is left first.
	const int avail = in->available();
	if (avail >= 0 && avail < n)
		lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", std::to_string(n), in->toString())));
	while (n > 0)
	{
		const int step = n > INT_MAX ? INT_MAX : static_cast<int>(n);
		if (in->skip(step) != step)
			lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", std::to_string(step), in->toString())));
		n -= step;
	}
}

void ImageReader::readColorMap(const lang::Ptr<io::InputStream>& in, int entryBits, int count, uint8_t* dst)
{
	const int entryBytes = (entryBits + 7) / 8;
	LANG_ASSERT(entryBytes >= 2 && entryBytes <= 4);
	std::vector<uint8_t> raw(static_cast<size_t>(entryBytes) * count);
	if (count > 0)
		readFully(in, raw.data(), static_cast<int>(raw.size()));

	// Entries become R, G, B, A (alpha 0 when the file has none).
	for (int i = 0; i < count; ++i)
	{
		const uint8_t* e = raw.data() + static_cast<size_t>(i) * entryBytes;
		uint8_t* d = dst + 4 * i;
		if (entryBytes == 2)
		{
			// 15 and 16 bits: x1r5g5b5, little-endian.
			const uint32_t v = getUInt16LE(e, 0);
			const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
			d[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
			d[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
			d[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
			d[3] = 0;
		}
		else
		{
			d[0] = e[2];
			d[1] = e[1];
			d[2] = e[0];
			d[3] = entryBytes == 4 ? e[3] : 0;
		}
	}
}

uint32_t ImageReader::getUInt16LE(const void* p, int offset)
{
	const uint8_t* b = static_cast<const uint8_t*>(p) + offset;
	return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8);
}

uint32_t ImageReader::getUInt32LE(const void* p, int offset)
{
	const uint8_t* b = static_cast<const uint8_t*>(p) + offset;
	return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
		(static_cast<uint32_t>(b[3]) << 24);
}

void ImageReader::readHeader_bmp()
{
	const std::string name = m_in->toString();
	uint8_t fileHeader[14];
	readFully(m_in, fileHeader, sizeof(fileHeader));
	if (getUInt16LE(fileHeader, 0) != 0x4D42)
		lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, id invalid", name)));
	const int64_t dataOffset = getUInt32LE(fileHeader, 10);

	uint8_t info[64];
	readFully(m_in, info, 4);
	const uint32_t headerLength = getUInt32LE(info, 0);
	if (headerLength < 12 || headerLength > 64)
		lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, header wrong size", name)));
	readFully(m_in, info + 4, static_cast<int>(headerLength) - 4);

	int width, height, bitCount;
	int paletteEntryBytes = 0;
	uint32_t colorsUsed = 0;
	if (headerLength == 12)
	{
		width = static_cast<int>(getUInt16LE(info, 4));
		height = static_cast<int>(getUInt16LE(info, 6));
		bitCount = static_cast<int>(getUInt16LE(info, 10));
		if (bitCount == 8)
			paletteEntryBytes = 3;
		else if (bitCount != 24)
			lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid bits per pixel ({1})", name, bitCount)));
	}
	else if (headerLength == 40 || headerLength == 64)
	{
		width = static_cast<int>(getUInt32LE(info, 4) & 0xFFFF);
		height = static_cast<int>(getUInt32LE(info, 8) & 0xFFFF);
		// A negative height marks rows stored top-down, which this reader does not take.
		const int32_t signedHeight = static_cast<int32_t>(getUInt32LE(info, 8));
		if (signedHeight < 0)
			lang::throwError(io::IOException(lang::Format("BMP {0} is stored top-down (height {1}), which is not supported", name,
				std::to_string(signedHeight))));
		const int planes = static_cast<int>(getUInt16LE(info, 12));
		bitCount = static_cast<int>(getUInt16LE(info, 14));
		const uint32_t compression = getUInt32LE(info, 16);
		colorsUsed = getUInt32LE(info, 32);
		if (bitCount == 4 || bitCount == 8)
			paletteEntryBytes = 4;
		else if (bitCount != 16 && bitCount != 24 && bitCount != 32)
			lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid bits per pixel ({1})", name, bitCount)));
		if (planes != 1)
			lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid planes ({1})", name, planes)));
		if (compression != 0)
			lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid compression ({1})", name, std::to_string(compression))));
	}
	else
	{
		lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, header wrong size", name)));
	}

	int64_t skip = dataOffset - 14 - headerLength;
	if (paletteEntryBytes > 0)
	{
		const uint32_t count = colorsUsed > 0 ? colorsUsed : (1u << bitCount);
		if (count > 256)
			lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid no of used colors ({1})", name, std::to_string(count))));
		std::memset(m_palette, 0, sizeof(m_palette));
		readColorMap(m_in, paletteEntryBytes * 8, static_cast<int>(count), m_palette);
		skip -= static_cast<int64_t>(count) * paletteEntryBytes;
	}
	if (width == 0 || height == 0)
		lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid size ({1}x{2})", name, width, height)));
	if (skip < 0)
		lang::throwError(io::IOException(lang::Format("BMP {0} header corrupted, invalid pixel data offset ({1})", name, std::to_string(dataOffset))));
	skipFully(m_in, skip);

	m_surfaceCount = 1;
	m_width = width;
	m_height = height;
	m_bitsPerPixel = bitCount;
	m_pitch = ((bitCount * width + 7) / 8 + 3) & ~3;
	m_bottomUp = true;
	switch (bitCount)
	{
	case 4: m_fmt = SF(SF::SURFACE_P4); break;
	case 8: m_fmt = SF(SF::SURFACE_P8); break;
	case 16: m_fmt = SF(SF::SURFACE_R5G5B5); break;
	case 24: m_fmt = SF(SF::SURFACE_R8G8B8); break;
	default: m_fmt = SF(SF::SURFACE_X8R8G8B8); break;
	}
	m_paletteFormat = paletteEntryBytes > 0 ? SF(SF::SURFACE_X8B8G8R8) : SF();

	// A size the file cannot hold is refused now, before the caller allocates for it.
	requireAvailable(static_cast<int64_t>(m_pitch) * m_height);
	checkSurfaceSize();
}

void ImageReader::readHeader_tga()
{
	const std::string name = m_in->toString();
	uint8_t header[18];
	readFully(m_in, header, sizeof(header));
	const int idLength = header[0];
	const int colorMapType = header[1];
	const int imageType = header[2];
	const int colorMapFirst = static_cast<int>(getUInt16LE(header, 3));
	const int colorMapLength = static_cast<int>(getUInt16LE(header, 5));
	const int colorMapEntryBits = header[7];
	const int width = static_cast<int>(getUInt16LE(header, 12));
	const int height = static_cast<int>(getUInt16LE(header, 14));
	const int depth = header[16];
	const int descriptor = header[17];

	if (colorMapType > 1 || (depth & 7) != 0 || (descriptor & 0xC0) != 0)
		lang::throwError(io::IOException(lang::Format("Invalid bits per pixel in {0}", name)));
	if (imageType >= 9 && depth < 8)
		lang::throwError(io::IOException(lang::Format("RLE Targa ({0}) not supported with 4-bit images", name)));
	// Other depths have no pixel format here (and run-length pixels are at most 4 bytes).
	if (depth != 8 && depth != 16 && depth != 24 && depth != 32)
		lang::throwError(io::IOException(lang::Format("Invalid bits per pixel in {0}", name)));

	skipFully(m_in, idLength);

	if (colorMapLength > 0)
	{
		if (colorMapLength > 256 || colorMapFirst != 0)
			lang::throwError(io::IOException(lang::Format("Invalid color map length in {0}", name)));
		if (colorMapEntryBits != 15 && colorMapEntryBits != 16 && colorMapEntryBits != 24 && colorMapEntryBits != 32)
			lang::throwError(io::IOException(lang::Format("Invalid color map entry size ({1}) in {0}", name, colorMapEntryBits)));
		readColorMap(m_in, colorMapEntryBits, colorMapLength, m_palette);
	}
	else if (colorMapType != 0)
	{
		lang::throwError(io::IOException(lang::Format("Invalid color map type in {0}", name)));
	}
	else if (depth == 8)
	{
		// 8 bits without a colour map are grey levels.
		for (int i = 0; i < 256; ++i)
		{
			m_palette[4 * i] = m_palette[4 * i + 1] = m_palette[4 * i + 2] = static_cast<uint8_t>(i);
			m_palette[4 * i + 3] = 0;
		}
	}

	if (width == 0 || height == 0)
		lang::throwError(io::IOException(lang::Format("Invalid image size {1}x{2} in {0}", name, width, height)));

	m_surfaceCount = 1;
	m_width = width;
	m_height = height;
	m_bitsPerPixel = depth;
	m_pitch = width * ((depth + 7) / 8);
	m_bottomUp = (descriptor & 0x20) == 0;
	m_rle = imageType >= 9;
	switch (depth)
	{
	case 8: m_fmt = SF(SF::SURFACE_P8); break;
	case 16: m_fmt = SF(SF::SURFACE_R5G5B5); break;
	case 24: m_fmt = SF(SF::SURFACE_R8G8B8); break;
	default: m_fmt = SF(SF::SURFACE_A8R8G8B8); break;
	}
	m_paletteFormat = depth == 8 ? SF(SF::SURFACE_X8B8G8R8) : SF();

	// Run-length rows take at least one packet of a header and a pixel per 128 pixels.
	const int bytesPerPixel = depth / 8;
	if (m_rle)
		requireAvailable(static_cast<int64_t>(height) * ((width + 127) / 128) * (1 + bytesPerPixel));
	else
		requireAvailable(static_cast<int64_t>(m_pitch) * height);
	checkSurfaceSize();
}

void ImageReader::readScanline_tgaRLE(uint8_t* row)
{
	const int b = m_bitsPerPixel / 8;
	const int width = m_width;
	int x = 0;
	while (x < width)
	{
		const uint8_t p = *requireRLE(1);
		const int n = (p & 0x7F) + 1;
		const int count = std::min(n, width - x);
		uint8_t* out = row + static_cast<size_t>(x) * b;
		if (p >= 128)
		{
			const uint8_t* pixel = requireRLE(b);
			if (b == 4)
			{
				for (int i = 0; i < count; ++i, out += 4)
					std::memcpy(out, pixel, 4);
			}
			else
			{
				for (int i = 0; i < count; ++i, out += b)
					for (int k = 0; k < b; ++k)
						out[k] = pixel[k];
			}
		}
		else
		{
			// A packet never continues into the next row: pixels past the end are dropped.
			const uint8_t* pixels = requireRLE(n * b);
			std::memcpy(out, pixels, static_cast<size_t>(count) * b);
		}
		x += count;
	}
}

// Packets are a few bytes each, so the stream is read in blocks rather than
// packet by packet. Returns n bytes in the block and moves past them.
const uint8_t* ImageReader::requireRLE(int n)
{
	const int BLOCK = 4096;
	if (m_rleEnd - m_rlePos < n)
	{
		if (m_rleInput.size() < static_cast<size_t>(BLOCK))
			m_rleInput.resize(BLOCK);
		const int left = m_rleEnd - m_rlePos;
		std::memmove(m_rleInput.data(), m_rleInput.data() + m_rlePos, static_cast<size_t>(left));
		m_rlePos = 0;
		m_rleEnd = left;
		while (m_rleEnd < n)
		{
			const int got = m_in->read(m_rleInput.data() + m_rleEnd, BLOCK - m_rleEnd);
			if (got <= 0)
				lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", std::to_string(n), m_in->toString())));
			m_rleEnd += got;
		}
	}
	const uint8_t* p = m_rleInput.data() + m_rlePos;
	m_rlePos += n;
	return p;
}
}
