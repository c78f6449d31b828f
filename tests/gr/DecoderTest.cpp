#include <gr/DXTDecoder.h>
#include <gr/ETCDecoder.h>
#include <gr/GraphicsException.h>
#include <gr/PVRTCDecoder.h>
#include <gr/SurfaceFormat.h>
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using gr::SurfaceFormat;
typedef SurfaceFormat SF;

namespace
{
uint32_t rgba(const uint8_t* p)
{
	return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

void put16(uint8_t* p, unsigned v)
{
	p[0] = uint8_t(v);
	p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v)
{
	for (int i = 0; i < 4; ++i)
		p[i] = uint8_t(v >> (8 * i));
}

// A DXT colour block whose pixel row y uses indices rows[y].
void colourBlock(uint8_t* p, unsigned c0, unsigned c1, const uint8_t rows[4])
{
	put16(p, c0);
	put16(p + 2, c1);
	std::memcpy(p + 4, rows, 4);
}
}

TEST(DXTDecoder, BlockColours)
{
	struct Case
	{
		uint16_t c0, c1;
		uint32_t colours[4];
	} cases[] = {
		{0xF800, 0x001F, {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA}},
		// c0 <= c1: three colours and transparent black.
		{0xFFFF, 0xFFFF, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000}},
		{0x001F, 0xF800, {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000}},
		{0x07E0, 0x0000, {0xFF00FF00, 0xFF000000, 0xFF00AA00, 0xFF005500}},
	};
	for (const Case& c : cases)
	{
		gr::DXTColBlock block = {c.c0, c.c1, {0, 0, 0, 0}};
		unsigned int colours[4];
		gr::getBlockColorsA8R8G8B8(&block, colours);
		for (int i = 0; i < 4; ++i)
			EXPECT_EQ(c.colours[i], colours[i]) << std::hex << c.c0 << "/" << c.c1 << " colour " << i;
	}
}

TEST(DXTDecoder, Dxt1IndicesPickColoursPerPixel)
{
	// Row y uses index y for every pixel, except pixel (3, 0) which uses 3.
	const uint8_t rows[4] = {0xC0, 0x55, 0xAA, 0xFF};
	uint8_t block[8];
	colourBlock(block, 0xF800, 0x001F, rows);
	uint32_t out[16];
	gr::decodeDXTBlock(1, block, out);
	EXPECT_EQ(0xFFFF0000u, out[0]);
	EXPECT_EQ(0xFF5500AAu, out[3]);
	EXPECT_EQ(0xFF0000FFu, out[5]);
	EXPECT_EQ(0xFFAA0055u, out[10]);
	EXPECT_EQ(0xFF5500AAu, out[15]);
}

TEST(DXTDecoder, Dxt3ExplicitAlpha)
{
	uint8_t block[16];
	put16(block, 0x0080); // row 0: pixel 1 has nibble 8
	put16(block + 2, 0xF000); // row 1: pixel 3 has nibble 15
	put16(block + 4, 0);
	put16(block + 6, 0);
	const uint8_t rows[4] = {0, 0, 0, 0};
	colourBlock(block + 8, 0xFFFF, 0xFFFF, rows);
	uint32_t out[16];
	gr::decodeDXTBlock(3, block, out);
	EXPECT_EQ(0x00FFFFFFu, out[0]);
	EXPECT_EQ(0x88FFFFFFu, out[1]); // 8 * 255 / 15 = 136
	EXPECT_EQ(0xFFFFFFFFu, out[7]);
}

TEST(DXTDecoder, Dxt5InterpolatedAlpha)
{
	struct Case
	{
		uint8_t a0, a1;
		int index;
		unsigned alpha;
	} cases[] = {
		{255, 0, 0, 255}, {255, 0, 1, 0}, {255, 0, 2, 219}, {255, 0, 7, 36},
		{0, 255, 2, 51}, {0, 255, 5, 204}, {0, 255, 6, 0}, {0, 255, 7, 255},
	};
	for (const Case& c : cases)
	{
		// Two 4 x 4 blocks side by side; the case's index sits at pixel (1, 3)
		// of the second block, the 14th index (bits 39-41 of the alpha data).
		uint8_t image[32] = {};
		uint8_t* block = image + 16;
		block[0] = c.a0;
		block[1] = c.a1;
		const int bit = 3 * 13;
		uint64_t bits = uint64_t(c.index) << bit;
		for (int i = 0; i < 6; ++i)
			block[2 + i] = uint8_t(bits >> (8 * i));
		const uint8_t rows[4] = {0, 0, 0, 0};
		colourBlock(block + 8, 0xFFFF, 0xFFFF, rows);
		EXPECT_EQ((c.alpha << 24) | 0xFFFFFF, gr::getPixelDXT5(5, 3, image, 32)) << int(c.a0) << "/" << int(c.a1) << " index " << c.index;
	}
}

TEST(DXTDecoder, RectangleIntoOtherFormatsAndPartialBlocks)
{
	// A 5 x 5 DXT1 image: 2 x 2 blocks of solid red, green, blue and white.
	uint8_t image[32];
	const uint8_t zero[4] = {0, 0, 0, 0};
	colourBlock(image, 0xF800, 0, zero);
	colourBlock(image + 8, 0x07E0, 0, zero);
	colourBlock(image + 16, 0x001F, 0, zero);
	colourBlock(image + 24, 0xFFFF, 0, zero);
	uint16_t dst[6 * 5];
	std::fill(dst, dst + 30, 0x1234);
	SurfaceFormat(SF::SURFACE_R5G6B5).copyPixels(dst, 12, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_DXT1), image, 16,
		SurfaceFormat(), nullptr, 5, 5);
	EXPECT_EQ(0xF800, dst[0]);
	EXPECT_EQ(0x07E0, dst[4]);
	EXPECT_EQ(0x1234, dst[5]); // pitch padding untouched
	EXPECT_EQ(0x001F, dst[4 * 6 + 3]);
	EXPECT_EQ(0xFFFF, dst[4 * 6 + 4]);
}

namespace
{
// An ETC1 block from its bytes: colours (3 bytes), code words and flags,
// then the pixel index bits (most significant halves first).
struct EtcBlock
{
	uint8_t b[8];
};

EtcBlock etcBlock(uint8_t r, uint8_t g, uint8_t bl, int cw1, int cw2, bool diff, bool flip, uint16_t msb, uint16_t lsb)
{
	EtcBlock e = {{r, g, bl, uint8_t((cw1 << 5) | (cw2 << 2) | (diff ? 2 : 0) | (flip ? 1 : 0)), uint8_t(msb >> 8), uint8_t(msb),
		uint8_t(lsb >> 8), uint8_t(lsb)}};
	return e;
}

uint32_t pixel(const uint8_t out[64], int x, int y)
{
	return rgba(out + (y * 4 + x) * 4);
}
}

TEST(ETCDecoder, Blocks)
{
	uint8_t out[64];
	// Individual mode: bases 0x8 -> 136 (left) and 0x4 -> 68 (right); every
	// pixel index 1 (+8 with table 0, +183 with table 7).
	gr::decodeETC1Block(etcBlock(0x84, 0x84, 0x84, 0, 7, false, false, 0x0000, 0xFFFF).b, out);
	EXPECT_EQ(0x909090FFu, pixel(out, 0, 0));
	EXPECT_EQ(0x909090FFu, pixel(out, 1, 3));
	EXPECT_EQ(0xFBFBFBFFu, pixel(out, 2, 0));
	EXPECT_EQ(0xFBFBFBFFu, pixel(out, 3, 3));

	// Flipped: the first sub-block is the top two rows.
	gr::decodeETC1Block(etcBlock(0x84, 0x84, 0x84, 0, 7, false, true, 0x0000, 0xFFFF).b, out);
	EXPECT_EQ(0x909090FFu, pixel(out, 3, 1));
	EXPECT_EQ(0xFBFBFBFFu, pixel(out, 0, 2));

	// Index 3 subtracts the large modifier and clamps at 0; pixel bits are column-major.
	gr::decodeETC1Block(etcBlock(0x84, 0x84, 0x84, 0, 7, false, false, 0x0100, 0x0100).b, out);
	EXPECT_EQ(0x000000FFu, pixel(out, 2, 0)); // bit 8 = pixel (2, 0)
	EXPECT_EQ(0x8A8A8AFFu, pixel(out, 0, 0)); // index 0: +2

	// Differential: red 16 -> 132 and 16 - 1 = 15 -> 123; green 8 + 3 -> 66 and 90;
	// blue 31 -> 255 and 31 - 4 = 27 -> 222. Pixel (1, 2) has index 2 (-2).
	gr::decodeETC1Block(etcBlock((16 << 3) | 7, (8 << 3) | 3, (31 << 3) | 4, 0, 0, true, false, 0x0040, 0x0000).b, out);
	EXPECT_EQ(0x8644FFFFu, pixel(out, 0, 0));
	EXPECT_EQ(0x8240FDFFu, pixel(out, 1, 2));
	EXPECT_EQ(0x7D5CE0FFu, pixel(out, 3, 3));
}

TEST(ETCDecoder, ImagesSmallerOrNotMultiplesOfFour)
{
	std::vector<EtcBlock> blocks = {
		etcBlock(0x11, 0x22, 0x33, 0, 0, false, false, 0, 0), etcBlock(0x44, 0x55, 0x66, 0, 0, false, false, 0, 0),
		etcBlock(0x77, 0x88, 0x99, 0, 0, false, false, 0, 0), etcBlock(0xAA, 0xBB, 0xCC, 0, 0, false, false, 0, 0)};
	// 2 x 2: the top-left of one block.
	uint8_t small[16];
	EXPECT_EQ(8, gr::decompressETC(blocks.data(), 2, 2, small, 0));
	EXPECT_EQ(0x132435FFu, rgba(small)); // 0x11 -> 17 + 2
	EXPECT_EQ(0x132435FFu, rgba(small + 12));

	// 6 x 5: four blocks, rows of 24 bytes.
	std::vector<uint8_t> out(6 * 5 * 4 + 4, 0xEE);
	EXPECT_EQ(32, gr::decompressETC(blocks.data(), 6, 5, out.data(), 0));
	EXPECT_EQ(0x465768FFu, rgba(&out[5 * 4]));
	EXPECT_EQ(0x798A9BFFu, rgba(&out[(4 * 6) * 4]));
	EXPECT_EQ(0xACBDCEFFu, rgba(&out[(4 * 6 + 5) * 4]));
	EXPECT_EQ(0xEE, out[6 * 5 * 4]);

	// Through a 16-bit destination the decoded pixels are converted.
	uint16_t dst[6 * 5 + 1];
	dst[30] = 0x5A5A;
	SurfaceFormat(SF::SURFACE_R5G6B5).copyPixels(dst, 12, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_ETC1_RGB_4BPP),
		blocks.data(), 16, SurfaceFormat(), nullptr, 6, 5);
	EXPECT_EQ(((0xAC >> 3) << 11) | ((0xBD >> 2) << 5) | (0xCE >> 3), dst[29]);
	EXPECT_EQ(0x5A5A, dst[30]);
}

namespace
{
// PVRTC colour words: opaque A (R5 G5 B4), opaque B (R5 G5 B5), bit 0 the mode.
const uint32_t A_RED = 0x8000 | (31 << 10);
const uint32_t A_BLACK = 0x8000;
const uint32_t B_BLUE = 0x80000000u | (31u << 16);

std::vector<uint8_t> pvrtcImage(int blocks, uint32_t modulation, uint32_t colour)
{
	std::vector<uint8_t> data(blocks * 8);
	for (int i = 0; i < blocks; ++i)
	{
		put32(&data[i * 8], modulation);
		put32(&data[i * 8 + 4], colour);
	}
	return data;
}

uint32_t px(const std::vector<uint8_t>& img, int width, int x, int y)
{
	return rgba(&img[(y * width + x) * 4]);
}
}

TEST(PVRTCDecoder, FourBitModulation)
{
	struct Case
	{
		uint32_t modulation, colour, pixel;
	} cases[] = {
		{0x00000000, A_RED | B_BLUE, 0xFF0000FF},
		{0xFFFFFFFF, A_RED | B_BLUE, 0x0000FFFF},
		{0x55555555, A_RED | B_BLUE, 0x9F005FFF}, // 3/8 of B
		{0xAAAAAAAA, A_RED | B_BLUE, 0x5F009FFF}, // 5/8 of B
		// Punch-through mode: 1 is the half mix, 2 the half mix with alpha 0.
		{0x55555555, A_RED | B_BLUE | 1, 0x7F007FFF},
		{0xAAAAAAAA, A_RED | B_BLUE | 1, 0x7F007F00},
		// Translucent A: alpha 7 -> 14 -> 238, red 0xF -> 31 -> 255.
		{0x00000000, 0x7F00 | B_BLUE, 0xFF0000EE},
	};
	for (const Case& c : cases)
	{
		std::vector<uint8_t> data = pvrtcImage(4, c.modulation, c.colour), out(8 * 8 * 4);
		EXPECT_EQ(32, gr::decompressPVRTC(data.data(), 0, 8, 8, out.data()));
		EXPECT_EQ(c.pixel, px(out, 8, 0, 0)) << std::hex << c.modulation << " " << c.colour;
		EXPECT_EQ(c.pixel, px(out, 8, 7, 5));
	}
}

TEST(PVRTCDecoder, ColoursInterpolateBetweenBlockCentresInTwiddledOrder)
{
	// 2 x 2 blocks; only block (1, 0), the third in Morton order, is red.
	std::vector<uint8_t> data = pvrtcImage(4, 0, A_BLACK);
	put32(&data[2 * 8 + 4], A_RED);
	std::vector<uint8_t> out(8 * 8 * 4);
	gr::decompressPVRTC(data.data(), 0, 8, 8, out.data());
	EXPECT_EQ(0x000000FFu, px(out, 8, 2, 2)); // centre of block (0, 0)
	EXPECT_EQ(0xFF0000FFu, px(out, 8, 6, 2)); // centre of block (1, 0)
	EXPECT_EQ(0x7F0000FFu, px(out, 8, 4, 2)); // half way
	EXPECT_EQ(0x7F0000FFu, px(out, 8, 0, 2)); // half way across the wrapped edge
	EXPECT_EQ(0x7F0000FFu, px(out, 8, 6, 4)); // half way down to block (1, 1)
	EXPECT_EQ(0x3F0000FFu, px(out, 8, 4, 4));
	EXPECT_EQ(0x000000FFu, px(out, 8, 2, 6));

	// 2 bpp blocks are 8 wide: centres at x = 4 and 12.
	std::vector<uint8_t> out2(16 * 8 * 4);
	gr::decompressPVRTC(data.data(), 1, 16, 8, out2.data());
	EXPECT_EQ(0x000000FFu, px(out2, 16, 4, 2));
	EXPECT_EQ(0xFF0000FFu, px(out2, 16, 12, 2));
	EXPECT_EQ(0x7F0000FFu, px(out2, 16, 8, 2));
	EXPECT_EQ(0x3F0000FFu, px(out2, 16, 6, 2)); // a quarter of the way
}

TEST(PVRTCDecoder, TwoBitModulationModes)
{
	struct Case
	{
		uint32_t modulation, colourMode;
		int x, y;
		uint32_t pixel;
	} cases[] = {
		// One bit per pixel: rows 0 and 1 take colour B.
		{0x0000FFFF, 0, 3, 1, 0x0000FFFF},
		{0x0000FFFF, 0, 3, 2, 0xFF0000FF},
		{0x0000FFFF, 0, 12, 5, 0x0000FFFF},
		// Horizontal: pixel (1, 0) is the mean of (0, 0) = 8 and (2, 0) = 0.
		{0x00000003, 1, 1, 0, 0x7F007FFF},
		{0x00000003, 1, 3, 0, 0xFF0000FF},
		{0x00000003, 1, 15, 0, 0x7F007FFF}, // wraps to the left edge
		// Vertical: (1, 0) between (1, 7) = 0 and (1, 1) = 0; (0, 1) between 8 and 0.
		{0x00100003, 1, 1, 0, 0xFF0000FF},
		{0x00100003, 1, 0, 1, 0x7F007FFF},
		// Both directions: (8 + 0 + 0 + 0 + 2) / 4 = 2.
		{0x00000002, 1, 1, 0, 0xBF003FFF},
		{0x00000002, 1, 0, 0, 0x0000FFFF},
	};
	for (const Case& c : cases)
	{
		std::vector<uint8_t> data = pvrtcImage(4, c.modulation, A_RED | B_BLUE | c.colourMode), out(16 * 8 * 4);
		EXPECT_EQ(32, gr::decompressPVRTC(data.data(), 1, 16, 8, out.data()));
		EXPECT_EQ(c.pixel, px(out, 16, c.x, c.y)) << std::hex << c.modulation << " at " << std::dec << c.x << "," << c.y;
	}
}

TEST(PVRTCDecoder, SmallImagesAreCutFromThePaddedOne)
{
	std::vector<uint8_t> data = pvrtcImage(4, 0xFFFFFFFF, A_RED | B_BLUE);
	std::vector<uint8_t> out(4 * 4 * 4 + 4, 0xEE);
	EXPECT_EQ(32, gr::decompressPVRTC(data.data(), 0, 4, 4, out.data()));
	EXPECT_EQ(0x0000FFFFu, px(out, 4, 3, 3));
	EXPECT_EQ(0xEE, out[64]);

	// The same through the rectangle conversion, straight into A8B8G8R8.
	std::vector<uint8_t> dst(64);
	SurfaceFormat(SF::SURFACE_A8B8G8R8).copyPixels(dst.data(), 16, SurfaceFormat(), nullptr, SurfaceFormat(SF::SURFACE_RGB_PVRTC_GL_4BPP),
		data.data(), 0, SurfaceFormat(), nullptr, 4, 4);
	EXPECT_EQ(0, std::memcmp(dst.data(), out.data(), 64));

	std::vector<uint8_t> big(16 * 16 / 2);
	std::vector<uint8_t> bigOut(16 * 16 * 4);
	EXPECT_EQ(128, gr::decompressPVRTC(big.data(), 0, 16, 16, bigOut.data()));
	EXPECT_THROW(gr::decompressPVRTC(big.data(), 0, 12, 8, bigOut.data()), gr::GraphicsException);
	EXPECT_THROW(gr::decompressPVRTC(big.data(), 1, 16, 0, bigOut.data()), gr::GraphicsException);
}

TEST(PVRTCDecoder, TwiddleOrder)
{
	EXPECT_EQ(0u, gr::TwiddleUV(4, 4, 0, 0));
	EXPECT_EQ(1u, gr::TwiddleUV(4, 4, 0, 1));
	EXPECT_EQ(2u, gr::TwiddleUV(4, 4, 1, 0));
	EXPECT_EQ(15u, gr::TwiddleUV(4, 4, 3, 3));
	// A wide grid: the extra x bits go on top.
	EXPECT_EQ(4u + 3u, gr::TwiddleUV(4, 2, 3, 1));
}
