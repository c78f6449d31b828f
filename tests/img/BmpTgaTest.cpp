// BMP and TGA variants built by the fixture generator.
#include "ImgTestUtil.h"
#include <algorithm>

using namespace imgtest;
using imgfix::put16;
using imgfix::put8;

namespace
{
// A 3 x 2 24-bit BMP: rows of 9 pixel bytes padded to 12; stored bottom row first.
imgfix::Bmp bmp24()
{
	imgfix::Bmp b;
	b.width = 3;
	b.height = 2;
	b.bitCount = 24;
	const uint8_t bottom[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE};
	const uint8_t top[12] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
	b.pixels.assign(bottom, bottom + 12);
	b.pixels.insert(b.pixels.end(), top, top + 12);
	return b;
}

std::string bmpError(const imgfix::Bmp& b)
{
	const Bytes bytes = imgfix::makeBmp(b);
	return messageOf<io::IOException>([&] { open(bytes, io::FILEFORMAT_BMP, "bad.bmp"); });
}

std::string tgaError(const imgfix::Tga& t)
{
	const Bytes bytes = imgfix::makeTga(t);
	return messageOf<io::IOException>([&] { open(bytes, io::FILEFORMAT_TGA, "bad.tga"); });
}
}

TEST(Bmp, PaddedRowsBottomUp)
{
	lang::Ptr<img::ImageReader> r = open(imgfix::makeBmp(bmp24()), io::FILEFORMAT_BMP);
	EXPECT_EQ(SF::SURFACE_R8G8B8, r->format().type());
	const Bytes px = readNative(*r);
	const Bytes want = {11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9};
	EXPECT_EQ(want, px);
}

TEST(Bmp, SixteenAndThirtyTwoBitsAndLongHeader)
{
	// 16 bits: x1r5g5b5 little-endian; 0x7C00 is pure red.
	imgfix::Bmp b16;
	b16.bitCount = 16;
	b16.headerLength = 64;
	b16.pixels = {0x00, 0x7C, 0, 0};
	lang::Ptr<img::ImageReader> r = open(imgfix::makeBmp(b16), io::FILEFORMAT_BMP);
	EXPECT_EQ(SF::SURFACE_R5G5B5, r->format().type());
	EXPECT_EQ((Bytes{255, 0, 0, 255}), readRGBA(*r));

	imgfix::Bmp b32;
	b32.bitCount = 32;
	b32.pixels = {0x30, 0x20, 0x10, 0x00}; // B, G, R, unused
	r = open(imgfix::makeBmp(b32), io::FILEFORMAT_BMP);
	EXPECT_EQ(SF::SURFACE_X8R8G8B8, r->format().type());
	EXPECT_EQ((Bytes{0x10, 0x20, 0x30, 255}), readRGBA(*r));
}

TEST(Bmp, PaletteOfColoursUsedOrFull)
{
	// 8 bits, colours-used 0: all 256 entries are read before the pixels.
	imgfix::Bmp b;
	b.bitCount = 8;
	b.width = 2;
	for (int i = 0; i < 256; ++i)
	{
		put8(b.palette, static_cast<uint32_t>(i)); // B
		put8(b.palette, 0);                        // G
		put8(b.palette, static_cast<uint32_t>(255 - i)); // R
		put8(b.palette, 0);
	}
	b.pixels = {0, 200, 0, 0};
	lang::Ptr<img::ImageReader> r = open(imgfix::makeBmp(b), io::FILEFORMAT_BMP);
	EXPECT_EQ((Bytes{255, 0, 0, 255, 55, 0, 200, 255}), readRGBA(*r));

	// 4 bits with two colours used: width 9 gives rows of 8 bytes.
	imgfix::Bmp b4;
	b4.bitCount = 4;
	b4.width = 9;
	b4.colorsUsed = 2;
	b4.palette = {0, 0, 0, 0, 255, 255, 255, 0};
	b4.pixels = {0x01, 0x10, 0x01, 0x10, 0x10, 0, 0, 0};
	r = open(imgfix::makeBmp(b4), io::FILEFORMAT_BMP);
	const Bytes px = readRGBA(*r);
	const int white[9] = {0, 1, 1, 0, 0, 1, 1, 0, 1};
	for (int x = 0; x < 9; ++x)
		EXPECT_EQ(white[x] ? 255 : 0, px[x * 4]) << x;
}

TEST(Bmp, CoreHeaderPalette)
{
	imgfix::Bmp b;
	b.headerLength = 12;
	b.bitCount = 8;
	for (int i = 0; i < 256; ++i)
	{
		put8(b.palette, 10); // B
		put8(b.palette, 20); // G
		put8(b.palette, static_cast<uint32_t>(i)); // R
	}
	b.pixels = {77, 0, 0, 0};
	lang::Ptr<img::ImageReader> r = open(imgfix::makeBmp(b), io::FILEFORMAT_BMP);
	EXPECT_EQ((Bytes{77, 20, 10, 255}), readRGBA(*r));
}

TEST(Bmp, CorruptHeadersNameTheFile)
{
	imgfix::Bmp b = bmp24();
	b.magic = 0x4D43;
	EXPECT_EQ("BMP bad.bmp header corrupted, id invalid", bmpError(b));

	for (uint32_t length : {8u, 20u, 65u})
	{
		b = bmp24();
		b.headerLength = length;
		EXPECT_EQ("BMP bad.bmp header corrupted, header wrong size", bmpError(b)) << length;
	}

	b = bmp24();
	b.bitCount = 1;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid bits per pixel (1)", bmpError(b));
	b = bmp24();
	b.headerLength = 12;
	b.bitCount = 4;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid bits per pixel (4)", bmpError(b));
	b = bmp24();
	b.planes = 2;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid planes (2)", bmpError(b));
	b = bmp24();
	b.compression = 1;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid compression (1)", bmpError(b));

	b = bmp24();
	b.bitCount = 8;
	b.colorsUsed = 300;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid no of used colors (300)", bmpError(b));

	// Zero sizes are refused instead of yielding an empty surface.
	b = bmp24();
	b.width = 0;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid size (0x2)", bmpError(b));
	b = bmp24();
	b.height = 0x10000; // only the low 16 bits count
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid size (3x0)", bmpError(b));

	b = bmp24();
	b.height = -2;
	EXPECT_EQ("BMP bad.bmp is stored top-down (height -2), which is not supported", bmpError(b));

	// Pixel data said to start inside the headers.
	b = bmp24();
	b.dataOffset = 40;
	EXPECT_EQ("BMP bad.bmp header corrupted, invalid pixel data offset (40)", bmpError(b));
}

TEST(Bmp, ShortFilesFailBeforeAnyPixelIsDelivered)
{
	// Truncated anywhere: header, palette or pixels.
	imgfix::Bmp b = bmp24();
	const Bytes whole = imgfix::makeBmp(b);
	for (size_t cut : {size_t(0), size_t(10), size_t(20), whole.size() - 1})
	{
		const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
		const std::string msg = messageOf<io::IOException>([&] { open(part, io::FILEFORMAT_BMP, "short.bmp"); });
		EXPECT_NE(std::string::npos, msg.find("Failed to read")) << cut << ": " << msg;
		EXPECT_NE(std::string::npos, msg.find("short.bmp")) << msg;
	}
}

TEST(Tga, RowOrderFollowsDescriptor)
{
	imgfix::Tga t;
	t.width = 1;
	t.height = 2;
	t.pixels = {1, 2, 3, 4, 5, 6}; // B, G, R rows in file order
	lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	EXPECT_EQ((Bytes{6, 5, 4, 255, 3, 2, 1, 255}), readRGBA(*r));

	t.descriptor = 0x20;
	r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	EXPECT_EQ((Bytes{3, 2, 1, 255, 6, 5, 4, 255}), readRGBA(*r));
}

TEST(Tga, RunLengthPacketsStopAtRowEnd)
{
	imgfix::Tga t;
	t.imageType = 10;
	t.width = 3;
	t.height = 2;
	t.depth = 24;
	t.descriptor = 0x20;
	t.id = {'i', 'd'};
	// Row 0: a run of 5 fills it and loses 2; row 1: a raw packet of 4, the last dropped.
	t.pixels = imgfix::tgaRun(5, {10, 20, 30});
	imgfix::append(t.pixels, imgfix::tgaRaw({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}, 3));
	lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	const Bytes want = {30, 20, 10, 255, 30, 20, 10, 255, 30, 20, 10, 255, 1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3, 255};
	EXPECT_EQ(want, readRGBA(*r));

	// The same file cut short inside a packet.
	const Bytes whole = imgfix::makeTga(t);
	const Bytes part(whole.begin(), whole.end() - 4);
	r = open(part, io::FILEFORMAT_TGA, "cut.tga");
	Bytes dst(3 * 2 * 4);
	const std::string msg = messageOf<io::IOException>([&] { r->readSurface(dst.data(), 12, 3, 2, SF(SF::SURFACE_A8B8G8R8), nullptr, SF()); });
	EXPECT_NE(std::string::npos, msg.find("cut.tga")) << msg;
}

TEST(Tga, SixteenBitPixels)
{
	imgfix::Tga t;
	t.width = 2;
	t.depth = 16;
	t.pixels = {0x1F, 0x00, 0xE0, 0x03}; // blue, green
	lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	EXPECT_EQ(SF::SURFACE_R5G5B5, r->format().type());
	EXPECT_EQ((Bytes{0, 0, 255, 255, 0, 255, 0, 255}), readRGBA(*r));
}

TEST(Tga, ColourMapEntrySizes)
{
	struct
	{
		int bits;
		Bytes entry1; // palette entry 1 as stored
	} cases[] = {
		{15, {0x1F, 0x7C}},          // x1r5g5b5: red 31, green 0, blue 31
		{16, {0x1F, 0xFC}},          // the same with the attribute bit
		{24, {0xFF, 0x00, 0xFF}},    // B, G, R
		{32, {0xFF, 0x00, 0xFF, 0x80}},
	};
	for (const auto& c : cases)
	{
		imgfix::Tga t;
		t.colorMapType = 1;
		t.imageType = 1;
		t.colorMapLength = 2;
		t.colorMapEntryBits = c.bits;
		t.colorMap.assign(c.entry1.size(), 0);
		imgfix::append(t.colorMap, c.entry1);
		t.width = 2;
		t.depth = 8;
		t.pixels = {1, 0};
		lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
		EXPECT_EQ(SF::SURFACE_P8, r->format().type());
		EXPECT_EQ((Bytes{255, 0, 255, 255, 0, 0, 0, 255}), readRGBA(*r)) << c.bits;
	}
}

TEST(Tga, GreyWithoutColourMapShowsGreyLevels)
{
	imgfix::Tga t;
	t.imageType = 3;
	t.width = 3;
	t.depth = 8;
	t.pixels = {0, 128, 255};
	lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	EXPECT_EQ((Bytes{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}), readRGBA(*r));
}

TEST(Tga, CorruptHeadersNameTheFile)
{
	imgfix::Tga t;
	t.depth = 4;
	EXPECT_EQ("Invalid bits per pixel in bad.tga", tgaError(t));
	t.depth = 40;
	EXPECT_EQ("Invalid bits per pixel in bad.tga", tgaError(t));
	t.depth = 24;
	t.colorMapType = 2;
	EXPECT_EQ("Invalid bits per pixel in bad.tga", tgaError(t));
	t.colorMapType = 0;
	t.descriptor = 0x40;
	EXPECT_EQ("Invalid bits per pixel in bad.tga", tgaError(t));
	t.descriptor = 0;
	t.imageType = 10;
	t.depth = 0;
	EXPECT_EQ("RLE Targa (bad.tga) not supported with 4-bit images", tgaError(t));

	imgfix::Tga m;
	m.depth = 8;
	m.colorMapType = 1;
	m.colorMapLength = 300;
	m.colorMapEntryBits = 24;
	EXPECT_EQ("Invalid color map length in bad.tga", tgaError(m));
	m.colorMapLength = 2;
	m.colorMapFirst = 1;
	EXPECT_EQ("Invalid color map length in bad.tga", tgaError(m));
	m.colorMapFirst = 0;
	m.colorMapEntryBits = 8;
	EXPECT_EQ("Invalid color map entry size (8) in bad.tga", tgaError(m));
	m.colorMapLength = 0;
	EXPECT_EQ("Invalid color map type in bad.tga", tgaError(m));

	imgfix::Tga z;
	z.width = 0;
	EXPECT_EQ("Invalid image size 0x1 in bad.tga", tgaError(z));
	z.width = 1;
	z.height = 0;
	EXPECT_EQ("Invalid image size 1x0 in bad.tga", tgaError(z));
}

TEST(Tga, HugeDeclaredSizesFailBeforeReading)
{
	imgfix::Tga t;
	t.width = 65535;
	t.height = 65535;
	t.pixels = {1, 2, 3};
	EXPECT_EQ("Failed to read 12884508675 bytes from bad.tga", tgaError(t));
	t.imageType = 10;
	t.pixels = imgfix::tgaRun(128, {1, 2, 3});
	EXPECT_NE(std::string::npos, tgaError(t).find("Failed to read")) << tgaError(t);
}

TEST(Tga, RunLengthImageRoundTrip)
{
	// Bottom-up 24-bit rows with runs and raw stretches, encoded by the fixture generator.
	const int w = 300, h = 5;
	Bytes rgb;
	for (int y = 0; y < h; ++y)
		for (int x = 0; x < w; ++x)
		{
			rgb.push_back(static_cast<uint8_t>(x / 7));
			rgb.push_back(static_cast<uint8_t>(y * 40));
			rgb.push_back(static_cast<uint8_t>(x < 150 ? 9 : x));
		}
	imgfix::Tga t;
	t.imageType = 10;
	t.width = w;
	t.height = h;
	t.pixels = imgfix::tgaEncodeRows(rgb, w, h, 3);
	ASSERT_LT(t.pixels.size(), rgb.size());
	lang::Ptr<img::ImageReader> r = open(imgfix::makeTga(t), io::FILEFORMAT_TGA);
	const Bytes px = readNative(*r);
	for (int y = 0; y < h; ++y)
		EXPECT_TRUE(std::equal(px.begin() + y * w * 3, px.begin() + (y + 1) * w * 3, rgb.begin() + (h - 1 - y) * w * 3)) << y;
}
