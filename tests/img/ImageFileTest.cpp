// Reading the files ImageMagick wrote from the patterns of tools/make-img-fixtures.sh.
#include "ImgTestUtil.h"
#include <io/FileInputStream.h>
#include <lang/Exception.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>

using namespace imgtest;

namespace
{
typedef void (*Pattern)(int x, int y, int c[4]);

struct FileCase
{
	const char* file;
	io::FileFormat fileFormat;
	SF::SurfaceFormatType stored;
	Pattern pattern;
	bool alpha;     // compare alpha too
	int tolerance;  // per channel (JPEG is lossy)
};

const FileCase FILE_CASES[] = {
	{"a_rgb24.bmp", io::FILEFORMAT_BMP, SF::SURFACE_R8G8B8, patternA, false, 0},
	{"a_pal8.bmp", io::FILEFORMAT_BMP, SF::SURFACE_P8, patternA, false, 0},
	{"b_pal4.bmp", io::FILEFORMAT_BMP, SF::SURFACE_P4, patternB, false, 0},
	{"a_core24.bmp", io::FILEFORMAT_BMP, SF::SURFACE_R8G8B8, patternA, false, 0},
	{"a_rgb24.tga", io::FILEFORMAT_TGA, SF::SURFACE_R8G8B8, patternA, false, 0},
	{"a_rgba32_rle.tga", io::FILEFORMAT_TGA, SF::SURFACE_A8R8G8B8, patternA, true, 0},
	{"a_pal8.tga", io::FILEFORMAT_TGA, SF::SURFACE_P8, patternA, false, 0},
	{"c_grey8.tga", io::FILEFORMAT_TGA, SF::SURFACE_P8, patternC, false, 0},
	{"a_rgb.png", io::FILEFORMAT_PNG, SF::SURFACE_B8G8R8, patternA, false, 0},
	{"a_rgba.png", io::FILEFORMAT_PNG, SF::SURFACE_A8B8G8R8, patternA, true, 0},
	{"a_interlaced.png", io::FILEFORMAT_PNG, SF::SURFACE_B8G8R8, patternA, false, 0},
	{"c_grey.png", io::FILEFORMAT_PNG, SF::SURFACE_L8, patternC, false, 0},
	{"c_greyalpha.png", io::FILEFORMAT_PNG, SF::SURFACE_A8L8, patternC, true, 0},
	// 16-bit samples are read as 8-bit.
	{"a_rgba64.png", io::FILEFORMAT_PNG, SF::SURFACE_A8B8G8R8, patternA, true, 0},
	// ImageMagick rounds some palette colours of this file by one.
	{"a_pal8_trns.png", io::FILEFORMAT_PNG, SF::SURFACE_P8, patternA, true, 1},
	{"d_pal2.png", io::FILEFORMAT_PNG, SF::SURFACE_B8G8R8, patternD, false, 0},
	{"d_pal2_trns.png", io::FILEFORMAT_PNG, SF::SURFACE_A8B8G8R8, patternDTransparentWhite, true, 0},
	{"a.jpg", io::FILEFORMAT_JPG, SF::SURFACE_B8G8R8, patternA, false, 12},
	{"a_progressive.jpg", io::FILEFORMAT_JPG, SF::SURFACE_B8G8R8, patternA, false, 12},
};

// The test names CTest lists carry the parameter's text: the file name, not pointer bytes.
void PrintTo(const FileCase& c, std::ostream* os)
{
	*os << c.file;
}

class ImageFileTest : public ::testing::TestWithParam<FileCase>
{
};
}

TEST_P(ImageFileTest, DecodesPatternTopRowFirst)
{
	const FileCase& c = GetParam();
	lang::Ptr<img::ImageReader> r = open(imgfix::readFile(fixturePath(c.file)), c.fileFormat, c.file);
	EXPECT_EQ(c.stored, r->format().type());
	ASSERT_EQ(9, r->surfaceWidth());
	ASSERT_EQ(4, r->surfaceHeight());
	EXPECT_EQ(1, r->mipLevels());

	const Bytes px = readRGBA(*r);
	for (int y = 0; y < 4; ++y)
		for (int x = 0; x < 9; ++x)
		{
			int want[4];
			c.pattern(x, y, want);
			const uint8_t* got = &px[(y * 9 + x) * 4];
			for (int ch = 0; ch < 3; ++ch)
				EXPECT_NEAR(want[ch], got[ch], c.tolerance) << c.file << " pixel " << x << "," << y << " channel " << ch;
			if (c.alpha)
				EXPECT_EQ(want[3], got[3]) << c.file << " alpha at " << x << "," << y;
			else
				EXPECT_EQ(255, got[3]) << c.file << " opaque at " << x << "," << y;
		}
}

INSTANTIATE_TEST_SUITE_P(Files, ImageFileTest, ::testing::ValuesIn(FILE_CASES),
	[](const ::testing::TestParamInfo<FileCase>& info) {
		std::string n = info.param.file;
		for (char& ch : n)
			if (!isalnum(static_cast<unsigned char>(ch)))
				ch = '_';
		return n;
	});

TEST(ImageFile, CasesPrintAsTheirFileName)
{
	EXPECT_EQ("a_rgb24.bmp", ::testing::PrintToString(FILE_CASES[0]));
}

TEST(ImageFile, StoredFormatIsCopiedAsItLies)
{
	// 24-bit BMP rows hold B, G, R; the last stored row becomes the top row.
	lang::Ptr<img::ImageReader> r = open(imgfix::readFile(fixturePath("a_rgb24.bmp")), io::FILEFORMAT_BMP);
	const Bytes px = readNative(*r);
	ASSERT_EQ(9u * 4 * 3, px.size());
	int want[4];
	patternA(2, 0, want);
	EXPECT_EQ(want[2], px[6]);
	EXPECT_EQ(want[1], px[7]);
	EXPECT_EQ(want[0], px[8]);
}

TEST(ImageFile, OddWidthFourBitRowsEachStartOnAByte)
{
	// 9 pixels a row: five bytes, the last half empty; the rows fill the surface's size exactly.
	const Bytes file = imgfix::readFile(fixturePath("b_pal4.bmp"));
	lang::Ptr<img::ImageReader> r = open(file, io::FILEFORMAT_BMP);
	ASSERT_EQ(SF::SURFACE_P4, r->format().type());
	const Bytes px = readNative(*r);
	ASSERT_EQ(4u * 5, px.size());
	// Each index stands for one colour of the decoded picture, in every row.
	lang::Ptr<img::ImageReader> again = open(file, io::FILEFORMAT_BMP);
	const Bytes rgba = readRGBA(*again);
	std::map<int, uint32_t> colourOf;
	for (int y = 0; y < 4; ++y)
		for (int x = 0; x < 9; ++x)
		{
			const int index = px[y * 5 + x / 2] >> (x % 2 ? 0 : 4) & 15;
			uint32_t colour;
			std::memcpy(&colour, &rgba[(y * 9 + x) * 4], 4);
			EXPECT_EQ(colour, colourOf.emplace(index, colour).first->second) << x << "," << y;
		}
	EXPECT_EQ(16u, colourOf.size());
}

TEST(ImageFile, RefusedVariants)
{
	struct
	{
		const char* file;
		io::FileFormat format;
		const char* message;
	} cases[] = {
		{"c_grey.jpg", io::FILEFORMAT_JPG, "Grayscale JPG (c_grey.jpg) is not supported"},
		{"a_cmyk.jpg", io::FILEFORMAT_JPG, "Grayscale JPG (a_cmyk.jpg) is not supported"},
		// The extension decides the decoder; a PNG named .jpg fails in the JPEG decoder.
		{"a_rgb.png", io::FILEFORMAT_JPG, "Failed to read JPG a_rgb.png: "},
		{"a.jpg", io::FILEFORMAT_PNG, "png_check_sig failed while loading \"a.jpg\". File is not png?"},
		{"a.jpg", io::FILEFORMAT_GIF, "Unsupported image file format while reading a.jpg"},
	};
	for (const auto& c : cases)
	{
		const Bytes bytes = imgfix::readFile(fixturePath(c.file));
		const std::string msg = messageOf<io::IOException>([&] { open(bytes, c.format, c.file); });
		EXPECT_EQ(0u, msg.find(c.message)) << msg;
	}
}

TEST(ImageFile, ReadsFromFileStreams)
{
	// File streams skip by seeking and know what is left; the result is the same as from memory.
	struct
	{
		const char* file;
		io::FileFormat format;
	} cases[] = {{"a_pal8.bmp", io::FILEFORMAT_BMP}, {"a_rgba32_rle.tga", io::FILEFORMAT_TGA}, {"a.jpg", io::FILEFORMAT_JPG},
		{"a_rgba.png", io::FILEFORMAT_PNG}};
	for (const auto& c : cases)
	{
		lang::Ptr<img::ImageReader> fromFile = new img::ImageReader(new io::FileInputStream(fixturePath(c.file)), c.format);
		lang::Ptr<img::ImageReader> fromMemory = open(imgfix::readFile(fixturePath(c.file)), c.format);
		EXPECT_EQ(readRGBA(*fromMemory), readRGBA(*fromFile)) << c.file;
	}

	// A short file names its path.
	const std::string path = std::string(ENGINE_BINARY_DIR) + "/img_short.bmp";
	const Bytes whole = imgfix::readFile(fixturePath("a_rgb24.bmp"));
	imgfix::writeFile(path, Bytes(whole.begin(), whole.end() - 5));
	const std::string msg = messageOf<io::IOException>([&] { new img::ImageReader(new io::FileInputStream(path), io::FILEFORMAT_BMP); });
	EXPECT_NE(std::string::npos, msg.find("img_short.bmp")) << msg;
}
