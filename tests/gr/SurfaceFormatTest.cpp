#include <gr/GraphicsException.h>
#include <gr/Context.h>
#include <gr/SurfaceFormat.h>
#include <gr/VertexFormat.h>
#include <io/FileFormat.h>
#include <io/InputStream.h>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

using gr::SurfaceFormat;
typedef SurfaceFormat SF;

namespace
{
uint32_t le32(const uint8_t* p)
{
	return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// Converts one pixel given as a little-endian value of the source's size.
uint32_t convert1(SF::SurfaceFormatType from, uint32_t value, SF::SurfaceFormatType to)
{
	uint8_t src[4], dst[4] = {};
	for (int i = 0; i < 4; ++i)
		src[i] = uint8_t(value >> (8 * i));
	SurfaceFormat(to).copyPixels(dst, SurfaceFormat(), nullptr, SurfaceFormat(from), src, SurfaceFormat(), nullptr, 1);
	const int bytes = SurfaceFormat(to).bitsPerPixel() / 8;
	uint32_t out = 0;
	for (int i = 0; i < bytes; ++i)
		out |= uint32_t(dst[i]) << (8 * i);
	return out;
}
}

TEST(SurfaceFormat, MemoryUsage)
{
	struct Case
	{
		SF::SurfaceFormatType type;
		int w, h, bytes;
	} cases[] = {
		{SF::SURFACE_DXT1, 1, 1, 8},
		{SF::SURFACE_DXT5, 1, 1, 16},
		{SF::SURFACE_DXT1, 5, 5, 32},
		{SF::SURFACE_RGB_PVRTC_GL_2BPP, 1, 1, 32},
		{SF::SURFACE_RGB_PVRTC_GL_4BPP, 1, 1, 32},
		{SF::SURFACE_RGBA_PVRTC_GL_4BPP, 32, 16, 256},
		{SF::SURFACE_ETC1_RGB_4BPP, 1, 1, 8},
		// Partial blocks count whole.
		{SF::SURFACE_ETC1_RGB_4BPP, 5, 6, 32},
		{SF::SURFACE_A8R8G8B8, 1, 1, 4},
		{SF::SURFACE_R8G8B8, 3, 2, 18},
		// An odd 4-bit count keeps its last pixel.
		{SF::SURFACE_P4, 5, 1, 3},
		// Every 4-bit row starts on a byte: three rows of five pixels take three bytes each.
		{SF::SURFACE_P4, 5, 3, 9},
		{SF::SURFACE_P4, 4, 3, 6},
		{SF::SURFACE_A32B32G32R32F, 2, 2, 64},
		{SF::SURFACE_A8R8G8B8, 0, 0, 0},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.bytes, SurfaceFormat(c.type).getMemoryUsage(c.w, c.h)) << SurfaceFormat(c.type).toString() << " " << c.w << "x" << c.h;
}

TEST(SurfaceFormat, OversizedOrNegativeSurfacesThrow)
{
	const SurfaceFormat argb(SF::SURFACE_A8R8G8B8);
	// 4 x 65536 x 65536 wraps to 0 in 32 bits.
	EXPECT_THROW(argb.getMemoryUsage(65536, 65536), gr::GraphicsException);
	EXPECT_THROW(argb.getMemoryUsage(20000, 20000), gr::GraphicsException);
	EXPECT_THROW(argb.getMemoryUsage(-1, 4), gr::GraphicsException);
	EXPECT_THROW(SurfaceFormat(SF::SURFACE_DXT1).getMemoryUsage(std::numeric_limits<int>::max(), 16), gr::GraphicsException);
	EXPECT_EQ(1 << 30, argb.getMemoryUsage(1 << 14, 1 << 14));
	EXPECT_THROW(SurfaceFormat(SF::SurfaceFormatType(44)), gr::GraphicsException);
	EXPECT_THROW(SurfaceFormat(SF::SurfaceFormatType(-1)), gr::GraphicsException);
}

TEST(SurfaceFormat, Description)
{
	struct Case
	{
		SF::SurfaceFormatType type;
		const char* name;
		int bits;
		bool alpha;
		bool compressed;
	} cases[] = {
		{SF::SURFACE_UNKNOWN, "UNKNOWN", 0, false, false},
		{SF::SURFACE_R8G8B8, "R8G8B8", 24, false, false},
		{SF::SURFACE_A8R8G8B8, "A8R8G8B8", 32, true, false},
		{SF::SURFACE_R6G6B6, "R6G6B6", 32, false, false},
		{SF::SURFACE_P4, "P4", 4, false, false},
		{SF::SURFACE_R5G5B5A1, "R5G5B5A1", 16, true, false},
		{SF::SURFACE_A8, "A8", 8, true, false},
		{SF::SURFACE_DXT1, "DXT1", 0, true, true},
		{SF::SURFACE_RGBA_PVRTC_GL_2BPP, "RGBA_PVRTC_GL_2BPP", 2, true, true},
		{SF::SURFACE_RGB_PVRTC_GL_4BPP, "RGB_PVRTC_GL_4BPP", 4, false, true},
		{SF::SURFACE_ETC1_RGB_4BPP, "ETC1_RGB_4BPP", 4, false, true},
		{SF::SURFACE_A16B16G16R16F, "A16B16G16R16F", 64, false, false},
		{SF::SURFACE_D24S8, "D24S8", 32, false, false},
	};
	for (const Case& c : cases)
	{
		const SurfaceFormat f(c.type);
		EXPECT_STREQ(c.name, f.toString());
		EXPECT_EQ(c.bits, f.bitsPerPixel()) << c.name;
		EXPECT_EQ(c.alpha, f.hasAlpha()) << c.name;
		EXPECT_EQ(c.compressed, f.compressed()) << c.name;
	}
	EXPECT_EQ(SF::SURFACE_UNKNOWN, SurfaceFormat().type());
}

TEST(SurfaceFormat, IntegerPixelConversions)
{
	struct Case
	{
		SF::SurfaceFormatType from;
		uint32_t in;
		SF::SurfaceFormatType to;
		uint32_t out;
	} cases[] = {
		{SF::SURFACE_R5G6B5, 0xFFFF, SF::SURFACE_A8R8G8B8, 0xFFFFFFFF},
		{SF::SURFACE_R5G6B5, 0x8410, SF::SURFACE_A8R8G8B8, 0xFF848284},
		// Bytes 0x10 0x20 0x30: red is the high byte.
		{SF::SURFACE_R8G8B8, 0x302010, SF::SURFACE_A8R8G8B8, 0xFF302010},
		{SF::SURFACE_B8G8R8, 0x302010, SF::SURFACE_A8R8G8B8, 0xFF102030},
		// A set 1-bit alpha is opaque.
		{SF::SURFACE_A1R5G5B5, 0x8000, SF::SURFACE_A8R8G8B8, 0xFF000000},
		{SF::SURFACE_A1R5G5B5, 0x7C00, SF::SURFACE_A8R8G8B8, 0x00FF0000},
		// Channels of fewer than 4 bits reach full intensity.
		{SF::SURFACE_R3G3B2, 0xE3, SF::SURFACE_A8R8G8B8, 0xFFFF00FF},
		{SF::SURFACE_R3G3B2, 0x49, SF::SURFACE_A8R8G8B8, 0xFF494955},
		{SF::SURFACE_A8R8G8B8, 0x80FF0000, SF::SURFACE_X8R8G8B8, 0xFFFF0000},
		{SF::SURFACE_A8R8G8B8, 0x80FF8040, SF::SURFACE_A8B8G8R8, 0x804080FF},
		{SF::SURFACE_A8R8G8B8, 0x80FF8040, SF::SURFACE_R5G6B5, 0xFC08},
		{SF::SURFACE_A8R8G8B8, 0x80FF8040, SF::SURFACE_R4G4B4A4, 0xF848},
		{SF::SURFACE_A8R8G8B8, 0x80FF8040, SF::SURFACE_R5G5B5A1, 0xFC11},
		{SF::SURFACE_A8R8G8B8, 0x7FFF8040, SF::SURFACE_R5G5B5A1, 0xFC10},
		{SF::SURFACE_A8R8G8B8, 0x80FF8040, SF::SURFACE_R8G8B8, 0xFF8040},
		// An alpha-only source gives white; an opaque one full alpha.
		{SF::SURFACE_A8, 0x40, SF::SURFACE_A8R8G8B8, 0x40FFFFFF},
		{SF::SURFACE_L8, 0x7F, SF::SURFACE_A8R8G8B8, 0xFF7F7F7F},
		{SF::SURFACE_A8L8, 0x8011, SF::SURFACE_A8R8G8B8, 0x80111111},
		{SF::SURFACE_A4R4G4B4, 0x8F00, SF::SURFACE_A8R8G8B8, 0x88FF0000},
		{SF::SURFACE_R6G6B6, 0x3F000, SF::SURFACE_A8R8G8B8, 0xFFFF0000},
		{SF::SURFACE_A8R8G8B8, 0x00FF0000, SF::SURFACE_R6G6B6, 0xFFFFF000},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.out, convert1(c.from, c.in, c.to))
			<< SurfaceFormat(c.from).toString() << " 0x" << std::hex << c.in << " -> " << SurfaceFormat(c.to).toString();
}

TEST(SurfaceFormat, FloatPixelConversions)
{
	const float rgba[4] = {2.0f, -1.0f, 0.5f, std::nanf("")};
	uint8_t dst[4];
	SurfaceFormat(SF::SURFACE_A8R8G8B8).copyPixels(dst, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_A32B32G32R32F), rgba,
		SurfaceFormat(), nullptr, 1);
	EXPECT_EQ(0x00FF007Fu, le32(dst));

	const float quarter = 0.25f;
	SurfaceFormat(SF::SURFACE_A8R8G8B8).copyPixels(dst, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_R32F), &quarter,
		SurfaceFormat(), nullptr, 1);
	EXPECT_EQ(0xFF3F0000u, le32(dst));

	// Bytes to halves: 0xFF -> 1.0 (0x3C00), 0 -> 0.
	const uint32_t argb = 0xFF00FF00;
	uint16_t half[4];
	SurfaceFormat(SF::SURFACE_A16B16G16R16F).copyPixels(half, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_A8R8G8B8), &argb,
		SurfaceFormat(), nullptr, 1);
	EXPECT_EQ(0x0000, half[0]);
	EXPECT_EQ(0x3C00, half[1]);
	EXPECT_EQ(0x0000, half[2]);
	EXPECT_EQ(0x3C00, half[3]);

	// A source without alpha stays opaque.
	const uint8_t rgb[3] = {0x00, 0x00, 0xFF};
	float f[4];
	SurfaceFormat(SF::SURFACE_A32B32G32R32F).copyPixels(f, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_R8G8B8), rgb,
		SurfaceFormat(), nullptr, 1);
	EXPECT_FLOAT_EQ(1.0f, f[0]);
	EXPECT_FLOAT_EQ(0.0f, f[1]);
	EXPECT_FLOAT_EQ(0.0f, f[2]);
	EXPECT_FLOAT_EQ(1.0f, f[3]);

	// Half to float and back is exact.
	const uint16_t halves[2] = {0x3555, 0xC000};
	float g[2];
	SurfaceFormat(SF::SURFACE_G32R32F).copyPixels(g, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_G16R16F), halves,
		SurfaceFormat(), nullptr, 1);
	EXPECT_FLOAT_EQ(-2.0f, g[1]);
	uint16_t back[2];
	SurfaceFormat(SF::SURFACE_G16R16F).copyPixels(back, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_G32R32F), g,
		SurfaceFormat(), nullptr, 1);
	EXPECT_EQ(halves[0], back[0]);
	EXPECT_EQ(halves[1], back[1]);
}

TEST(SurfaceFormat, PaletteConversions)
{
	uint32_t palette[16];
	for (int i = 0; i < 16; ++i)
		palette[i] = 0xFF000000 | (i * 0x111111);
	const SurfaceFormat argb(SF::SURFACE_A8R8G8B8), p4(SF::SURFACE_P4), p8(SF::SURFACE_P8);

	// The high half of a 4-bit byte is the first pixel.
	const uint8_t indices[2] = {0x12, 0xF0};
	uint32_t out[3];
	argb.copyPixels(out, SurfaceFormat(), nullptr, p4, indices, argb, palette, 3);
	EXPECT_EQ(palette[1], out[0]);
	EXPECT_EQ(palette[2], out[1]);
	EXPECT_EQ(palette[15], out[2]);

	// Writing picks the nearest entry and a round trip keeps odd counts.
	const uint32_t pixels[5] = {0xFF111111, 0xFF222222, 0xFF343434, 0xFFFFFFFF, 0xFF000000};
	uint8_t packed[3] = {0xAA, 0xAA, 0xAA};
	p4.copyPixels(packed, argb, palette, argb, pixels, SurfaceFormat(), nullptr, 5);
	EXPECT_EQ(0x12, packed[0]);
	EXPECT_EQ(0x3F, packed[1]);
	EXPECT_EQ(0x0A, packed[2]); // the unused half is kept
	uint32_t back[5];
	argb.copyPixels(back, SurfaceFormat(), nullptr, p4, packed, argb, palette, 5);
	EXPECT_EQ(pixels[0], back[0]);
	EXPECT_EQ(pixels[1], back[1]);
	EXPECT_EQ(0xFF333333u, back[2]);
	EXPECT_EQ(pixels[3], back[3]);
	EXPECT_EQ(pixels[4], back[4]);

	// A same-format copy moves indices whatever the palettes.
	const uint8_t src8[3] = {7, 200, 3};
	uint8_t dst8[3] = {};
	p8.copyPixels(dst8, argb, nullptr, p8, src8, SurfaceFormat(SF::SURFACE_R5G6B5), nullptr, 3);
	EXPECT_EQ(0, std::memcmp(src8, dst8, 3));

	// A 16-bit palette.
	const uint16_t pal565[2] = {0xF800, 0x07E0};
	const uint8_t idx8[2] = {1, 0};
	argb.copyPixels(out, SurfaceFormat(), nullptr, p8, idx8, SurfaceFormat(SF::SURFACE_R5G6B5), pal565, 2);
	EXPECT_EQ(0xFF00FF00u, out[0]);
	EXPECT_EQ(0xFFFF0000u, out[1]);
}

TEST(SurfaceFormat, BadConversionsThrow)
{
	const SurfaceFormat argb(SF::SURFACE_A8R8G8B8), none;
	uint32_t buf[16] = {};
	uint32_t pal[16] = {};
	EXPECT_THROW(SurfaceFormat(SF::SURFACE_DXT1).copyPixels(buf, none, nullptr, argb, buf, none, nullptr, 1), gr::GraphicsException);
	EXPECT_THROW(argb.copyPixels(buf, none, nullptr, none, buf, none, nullptr, 1), gr::GraphicsException);
	EXPECT_THROW(argb.copyPixels(buf, none, nullptr, SurfaceFormat(SF::SURFACE_DXT5), buf, none, nullptr, 1), gr::GraphicsException);
	EXPECT_THROW(argb.copyPixels(buf, none, nullptr, SurfaceFormat(SF::SURFACE_P8), buf, SurfaceFormat(SF::SURFACE_P4), pal, 1),
		gr::GraphicsException);
	EXPECT_THROW(argb.copyPixels(buf, none, nullptr, SurfaceFormat(SF::SURFACE_P8), buf, argb, nullptr, 1), gr::GraphicsException);
	EXPECT_THROW(SurfaceFormat(SF::SURFACE_P4).copyPixels(buf, 8, argb, pal, SurfaceFormat(SF::SURFACE_DXT1), buf, 8, none, nullptr, 4, 4),
		gr::GraphicsException);
	EXPECT_THROW(argb.copyPixels(buf, 16, none, nullptr, argb, buf, 16, none, nullptr, -1, 4), gr::GraphicsException);
}

TEST(SurfaceFormat, RectangleConversionKeepsPitchPadding)
{
	// 3 x 2 R8G8B8 with 12-byte rows into A8R8G8B8 rows of 16 bytes.
	const uint8_t src[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
	uint32_t dst[8];
	std::fill(dst, dst + 8, 0xDEADBEEF);
	SurfaceFormat(SF::SURFACE_A8R8G8B8).copyPixels(dst, 16, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_R8G8B8), src, 12,
		SurfaceFormat(), nullptr, 3, 2);
	const uint32_t expected[8] = {0xFF030201, 0xFF060504, 0xFF090807, 0xDEADBEEF, 0xFF0C0B0A, 0xFF0F0E0D, 0xFF121110, 0xDEADBEEF};
	for (int i = 0; i < 8; ++i)
		EXPECT_EQ(expected[i], dst[i]) << i;
}

TEST(SurfaceFormat, NegativePitchWalksRowsUpwards)
{
	// Rows stored bottom-up: start at the last row and step back.
	const uint16_t src[4] = {0xF800, 0xF800, 0x001F, 0x001F};
	uint32_t dst[4];
	SurfaceFormat(SF::SURFACE_A8R8G8B8).copyPixels(dst, 8, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_R5G6B5), src + 2, -4,
		SurfaceFormat(), nullptr, 2, 2);
	EXPECT_EQ(0xFF0000FFu, dst[0]);
	EXPECT_EQ(0xFFFF0000u, dst[3]);
}

// Numbers read from files and scripts are cast to these and then range-checked: with a
// fixed type every int is a value of the enumeration, so the check itself is defined.
TEST(Enumerations, CheckedEnumerationsHoldAnyInt)
{
	static_assert(std::is_same<std::underlying_type<gr::SurfaceFormat::SurfaceFormatType>::type, int>::value, "");
	static_assert(std::is_same<std::underlying_type<gr::VertexFormat::DataFormat>::type, int>::value, "");
	static_assert(std::is_same<std::underlying_type<io::InputStream::SeekMode>::type, int>::value, "");
	static_assert(std::is_same<std::underlying_type<io::FileFormat>::type, int>::value, "");
	static_assert(std::is_same<std::underlying_type<gr::Context::UsageFlags>::type, int>::value, "");
}
