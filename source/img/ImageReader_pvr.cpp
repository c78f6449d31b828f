#include <img/ImageReader.h>
#include <io/IOException.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include <climits>
#include <string>
#include <cstring>

namespace img
{
using SF = gr::SurfaceFormat;

namespace
{
const uint32_t PVR3_VERSION = 0x03525650;
const int PVR2_HEADER_SIZE = 52;

bool isPvrtc(SF::SurfaceFormatType t)
{
	return t == SF::SURFACE_RGB_PVRTC_GL_2BPP || t == SF::SURFACE_RGBA_PVRTC_GL_2BPP ||
		t == SF::SURFACE_RGB_PVRTC_GL_4BPP || t == SF::SURFACE_RGBA_PVRTC_GL_4BPP;
}

bool isPowerOfTwo(uint32_t v)
{
	return v != 0 && (v & (v - 1)) == 0;
}

SF::SurfaceFormatType pvr3Compressed(uint32_t code)
{
	switch (code)
	{
	case 0: return SF::SURFACE_RGB_PVRTC_GL_2BPP;
	case 1: return SF::SURFACE_RGBA_PVRTC_GL_2BPP;
	case 2: return SF::SURFACE_RGB_PVRTC_GL_4BPP;
	case 3: return SF::SURFACE_RGBA_PVRTC_GL_4BPP;
	case 6: return SF::SURFACE_ETC1_RGB_4BPP;
	case 7: return SF::SURFACE_DXT1;
	case 9: return SF::SURFACE_DXT3;
	case 11: return SF::SURFACE_DXT5;
	default: return SF::SURFACE_UNKNOWN;
	}
}

SF::SurfaceFormatType pvr3Channels(uint32_t lower, uint32_t upper)
{
	switch (upper)
	{
	case 0x00000008:
		if (lower == 0x00000061) return SF::SURFACE_A8;
		if (lower == 0x0000006C) return SF::SURFACE_L8;
		break;
	case 0x00000808:
		if (lower == 0x0000616C) return SF::SURFACE_A8L8;
		break;
	case 0x00050605:
		if (lower == 0x00626772) return SF::SURFACE_R5G6B5;
		break;
	case 0x00080808:
		if (lower == 0x00626772) return SF::SURFACE_B8G8R8;
		break;
	case 0x01050505:
		if (lower == 0x61626772) return SF::SURFACE_R5G5B5A1;
		break;
	case 0x04040404:
		if (lower == 0x61626772) return SF::SURFACE_R4G4B4A4;
		break;
	case 0x08080808:
		if (lower == 0x61726762) return SF::SURFACE_A8R8G8B8;
		if (lower == 0x61626772) return SF::SURFACE_A8B8G8R8;
		break;
	default:
		break;
	}
	return SF::SURFACE_UNKNOWN;
}

SF::SurfaceFormatType pvr2Type(uint32_t flags)
{
	const bool alpha = (flags & 0x8000) != 0;
	switch (flags & 0xFF)
	{
	case 0x10: return SF::SURFACE_R4G4B4A4;
	case 0x11: return SF::SURFACE_R5G5B5A1;
	case 0x12: return SF::SURFACE_A8B8G8R8;
	case 0x13: return SF::SURFACE_R5G6B5;
	case 0x15: return SF::SURFACE_B8G8R8;
	case 0x16: return SF::SURFACE_L8;
	case 0x17: return SF::SURFACE_A8L8;
	case 0x18: return alpha ? SF::SURFACE_RGBA_PVRTC_GL_2BPP : SF::SURFACE_RGB_PVRTC_GL_2BPP;
	case 0x19: return alpha ? SF::SURFACE_RGBA_PVRTC_GL_4BPP : SF::SURFACE_RGB_PVRTC_GL_4BPP;
	case 0x1A: return SF::SURFACE_A8R8G8B8;
	case 0x20: return SF::SURFACE_DXT1;
	case 0x22: return SF::SURFACE_DXT3;
	case 0x24: return SF::SURFACE_DXT5;
	case 0x36: return SF::SURFACE_ETC1_RGB_4BPP;
	default: return SF::SURFACE_UNKNOWN;
	}
}

int levelsAllowed(uint32_t width, uint32_t height)
{
	uint32_t size = width > height ? width : height;
	int levels = 1;
	while (size > 1)
	{
		size >>= 1;
		++levels;
	}
	return levels;
}

// Whether the surface's size in bits stays within the int arithmetic of the pixel formats.
bool sizeFits(SF fmt, uint32_t width, uint32_t height)
{
	const uint64_t bits = fmt.bitsPerPixel() > 0 ? fmt.bitsPerPixel() : 8;
	const uint64_t w = width < 16 ? 16 : width;
	const uint64_t h = height < 8 ? 8 : height;
	return width <= 65536 && height <= 65536 && w * h * bits <= static_cast<uint64_t>(INT_MAX);
}

// Checks shared by both versions; every message names the stream.
void checkLayout(SF fmt, uint32_t width, uint32_t height, uint64_t mipLevels, const std::string& name)
{
	if (width == 0 || height == 0 || !sizeFits(fmt, width, height))
		lang::throwError(io::IOException(lang::Format("Invalid PVR texture size {0}x{1}: {2}",
			std::to_string(width), std::to_string(height), name)));
	if (mipLevels > static_cast<uint64_t>(levelsAllowed(width, height)))
		lang::throwError(io::IOException(lang::Format("Too many mip levels ({0}) for PVR texture {1}x{2}: {3}",
			std::to_string(mipLevels), std::to_string(width), std::to_string(height), name)));
	if (isPvrtc(fmt.type()) && (!isPowerOfTwo(width) || !isPowerOfTwo(height)))
		lang::throwError(io::IOException(lang::Format("PVRTC texture size {0}x{1} is not a power of two: {2}",
			std::to_string(width), std::to_string(height), name)));
}
}

void ImageReader::readHeader_pvr()
{
	uint8_t word[4];
	readFully(m_in, word, 4);
	const uint32_t first = getUInt32LE(word, 0);
	if (first == PVR3_VERSION)
		readHeader_pvr3();
	else
		readHeader_pvr2(first);
}

void ImageReader::readHeader_pvr3()
{
	const std::string name = m_in->toString();
	uint8_t h[52];
	readFully(m_in, h + 4, 48);
	const uint32_t lower = getUInt32LE(h, 8);
	const uint32_t upper = getUInt32LE(h, 12);
	const uint32_t height = getUInt32LE(h, 24);
	const uint32_t width = getUInt32LE(h, 28);
	const uint32_t depth = getUInt32LE(h, 32);
	const uint32_t members = getUInt32LE(h, 36);
	const uint32_t faces = getUInt32LE(h, 40);
	const uint32_t mipCount = getUInt32LE(h, 44);
	const uint32_t metadataSize = getUInt32LE(h, 48);

	SF::SurfaceFormatType type;
	if (upper == 0)
	{
		type = pvr3Compressed(lower);
		if (type == SF::SURFACE_UNKNOWN)
			lang::throwError(lang::Exception(lang::Format("Unsupported surface format {0} while reading PVR texture: {1}", upper, name)));
	}
	else
	{
		type = pvr3Channels(lower, upper);
		if (type == SF::SURFACE_UNKNOWN)
			lang::throwError(lang::Exception(lang::Format("Unsupported surface format {0,X}{1,X} while reading PVR texture: {2}", upper, lower, name)));
	}
	m_fmt = SF(type);
	m_paletteFormat = SF();
	m_bitsPerPixel = m_fmt.bitsPerPixel();
	m_cubeMap = faces == 6;

	// No levels means no surfaces; otherwise every loop count must be at least one.
	if (mipCount > 0)
	{
		checkLayout(m_fmt, width, height, mipCount, name);
		if (faces == 0 || faces > 6 || depth == 0 || members == 0)
			lang::throwError(io::IOException(lang::Format("Invalid PVR texture layout ({0} faces, {1} surfaces, depth {2}): {3}",
				std::to_string(faces), std::to_string(members), std::to_string(depth), name)));
	}
	m_width = static_cast<int>(width);
	m_height = static_cast<int>(height);
	m_mipLevels = static_cast<int>(mipCount);
	m_surfaceCount = mipCount > 0 ? static_cast<int>(faces * mipCount) : 0;
	if (m_surfaceCount > 0)
		checkSurfaceSize();

	skipFully(m_in, metadataSize);

	m_surfaceBuffer.resize(static_cast<size_t>(m_surfaceCount));
	for (int level = 0; level < m_mipLevels; ++level)
		for (uint32_t member = 0; member < members; ++member)
			for (uint32_t face = 0; face < faces; ++face)
				for (uint32_t slice = 0; slice < depth; ++slice)
					readPvrSurface(static_cast<int>(face) * m_mipLevels + level, level);
}

void ImageReader::readHeader_pvr2(uint32_t headerLength)
{
	const std::string name = m_in->toString();
	if (headerLength < static_cast<uint32_t>(PVR2_HEADER_SIZE))
		lang::throwError(io::IOException(lang::Format("Invalid PVR header length ({0}): {1}", std::to_string(headerLength), name)));
	uint8_t h[PVR2_HEADER_SIZE];
	readFully(m_in, h + 4, PVR2_HEADER_SIZE - 4);
	// Fields added after ours are skipped.
	skipFully(m_in, static_cast<int64_t>(headerLength) - PVR2_HEADER_SIZE);

	const uint32_t height = getUInt32LE(h, 4);
	const uint32_t width = getUInt32LE(h, 8);
	const uint32_t mipCount = getUInt32LE(h, 12);
	const uint32_t flags = getUInt32LE(h, 16);
	const uint32_t bitCount = getUInt32LE(h, 24);
	const uint32_t surfaces = getUInt32LE(h, 48);

	const SF::SurfaceFormatType type = pvr2Type(flags);
	if (type == SF::SURFACE_UNKNOWN)
		lang::throwError(lang::Exception(lang::Format("Unsupported surface format {0} while reading PVR texture: {1}", flags & 0xFF, name)));
	m_fmt = SF(type);
	m_paletteFormat = SF();
	m_cubeMap = (flags & 0x1000) != 0;

	const uint64_t levels = static_cast<uint64_t>(mipCount) + 1;
	checkLayout(m_fmt, width, height, levels, name);
	if (surfaces == 0 || surfaces > 6 || (m_cubeMap && surfaces != 6))
		lang::throwError(io::IOException(lang::Format("Invalid PVR texture layout ({0} faces): {1}", std::to_string(surfaces), name)));

	m_width = static_cast<int>(width);
	m_height = static_cast<int>(height);
	m_mipLevels = static_cast<int>(levels);
	m_bitsPerPixel = static_cast<int>(bitCount);
	m_surfaceCount = static_cast<int>(surfaces) * m_mipLevels;
	checkSurfaceSize();

	m_surfaceBuffer.resize(static_cast<size_t>(m_surfaceCount));
	for (uint32_t face = 0; face < surfaces; ++face)
		for (int level = 0; level < m_mipLevels; ++level)
			readPvrSurface(static_cast<int>(face) * m_mipLevels + level, level);
}

void ImageReader::readPvrSurface(int index, int level)
{
	Surface& s = m_surfaceBuffer[static_cast<size_t>(index)];
	s.width = m_width >> level > 1 ? m_width >> level : 1;
	s.height = m_height >> level > 1 ? m_height >> level : 1;
	const int bytes = m_fmt.getMemoryUsage(s.width, s.height);
	requireAvailable(bytes);
	s.data.resize(static_cast<size_t>(bytes));
	readFully(m_in, s.data.data(), bytes);
}
}
