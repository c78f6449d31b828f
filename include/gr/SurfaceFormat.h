#ifndef GR_SURFACEFORMAT_H
#define GR_SURFACEFORMAT_H

#include <string>

namespace gr
{
/**
 * Pixel format of images, textures and image files: its size, channel
 * masks, the memory a surface needs, and conversion between any two
 * formats (compressed sources are decoded).
 *
 * Bad formats and sizes throw gr::GraphicsException.
 */
class SurfaceFormat
{
public:
	enum SurfaceFormatType : int
	{
		SURFACE_UNKNOWN,
		SURFACE_R8G8B8,
		SURFACE_B8G8R8,
		SURFACE_A8R8G8B8,
		SURFACE_X8R8G8B8,
		SURFACE_X8B8G8R8,
		SURFACE_A8B8G8R8,
		SURFACE_R5G6B5,
		SURFACE_R5G5B5,
		SURFACE_R6G6B6,
		SURFACE_P4,
		SURFACE_P8,
		SURFACE_L8,
		SURFACE_A8L8,
		SURFACE_A1R5G5B5,
		SURFACE_X4R4G4B4,
		SURFACE_A4R4G4B4,
		SURFACE_A4B4G4R4,
		SURFACE_R4G4B4A4,
		SURFACE_A1B5G5R5,
		SURFACE_R5G5B5A1,
		SURFACE_R3G3B2,
		SURFACE_R3G2B3,
		SURFACE_A8,
		SURFACE_A8R3G3B2,
		SURFACE_A8R3G2B3,
		SURFACE_DXT1,
		SURFACE_DXT3,
		SURFACE_DXT5,
		SURFACE_RGB_PVRTC_GL_2BPP,
		SURFACE_RGBA_PVRTC_GL_2BPP,
		SURFACE_RGB_PVRTC_GL_4BPP,
		SURFACE_RGBA_PVRTC_GL_4BPP,
		SURFACE_ETC1_RGB_4BPP,
		SURFACE_R16F,
		SURFACE_G16R16F,
		SURFACE_A16B16G16R16F,
		SURFACE_R32F,
		SURFACE_G32R32F,
		SURFACE_A32B32G32R32F,
		SURFACE_D32,
		SURFACE_D24,
		SURFACE_D16,
		SURFACE_D24S8,
		SURFACE_LAST
	};

	/** The largest surface, in bytes, that getMemoryUsage accepts. */
	static const long long MAX_SURFACE_BYTES = 1LL << 30;

	SurfaceFormat() : m_type(SURFACE_UNKNOWN) {}
	/** Throws GraphicsException for a value outside the enumeration. */
	SurfaceFormat(SurfaceFormatType type);

	SurfaceFormatType type() const { return m_type; }

	/** Bits per pixel (0 for DXT, 2 or 4 for PVRTC, 4 for ETC1). */
	int bitsPerPixel() const;
	bool hasAlpha() const;
	/** DXT, PVRTC or ETC1. */
	bool compressed() const;
	/** P4 or P8: pixels are indices into a palette of another format. */
	bool palettized() const;
	/** The format's name, such as "A8R8G8B8". */
	const char* toString() const;

	/**
	 * Bytes of a width x height surface. Uncompressed surfaces are height rows of
	 * getMemoryUsage(width, 1) bytes each (a 4-bit row of odd width ends in a
	 * spare half byte). Throws GraphicsException for a negative size or one above
	 * MAX_SURFACE_BYTES.
	 */
	int getMemoryUsage(int width, int height) const;

	/** Converts count pixels of one row from srcFormat into this format. */
	void copyPixels(void* dst, const SurfaceFormat& dstPalFormat, const void* dstPal,
		const SurfaceFormat& srcFormat, const void* src, const SurfaceFormat& srcPalFormat, const void* srcPal,
		int count) const;

	/**
	 * Converts a rectangle. Pitches are bytes per row; for block-compressed
	 * sources, bytes per row of 4 x 4 blocks.
	 */
	void copyPixels(void* dst, int dstPitch, const SurfaceFormat& dstPalFormat, const void* dstPal,
		const SurfaceFormat& srcFormat, const void* src, int srcPitch, const SurfaceFormat& srcPalFormat, const void* srcPal,
		int width, int height) const;

	bool operator==(const SurfaceFormat& o) const { return m_type == o.m_type; }
	bool operator!=(const SurfaceFormat& o) const { return m_type != o.m_type; }

private:
	SurfaceFormatType m_type;
};
}

#endif
