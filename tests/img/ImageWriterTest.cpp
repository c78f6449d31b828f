// Writing PNG, JPEG and raw pixels, read back through the reader.
#include "ImgTestUtil.h"
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>

using namespace imgtest;

namespace
{
/** Keeps the size of every write; throws from write number failAt (counting from 0). */
class RecordingOutputStream : public io::OutputStream
{
public:
	explicit RecordingOutputStream(int failAt = -1) : io::OutputStream(lang::Ptr<io::OutputStream>()), m_failAt(failAt) {}
	void write(const void* data, int n) override
	{
		if (static_cast<int>(writes.size()) == m_failAt)
			throw io::IOException(lang::Format("Disk full under {0}", toString()));
		writes.push_back(n);
		bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
	}
	std::string toString() const override { return "shot.out"; }

	std::vector<int> writes;
	Bytes bytes;

private:
	int m_failAt;
};

Bytes pngChunkTypes(const Bytes& png)
{
	Bytes types;
	for (size_t i = 8; i + 8 <= png.size();)
	{
		const uint32_t n = (uint32_t(png[i]) << 24) | (uint32_t(png[i + 1]) << 16) | (uint32_t(png[i + 2]) << 8) | png[i + 3];
		types.insert(types.end(), png.begin() + static_cast<ptrdiff_t>(i + 4), png.begin() + static_cast<ptrdiff_t>(i + 8));
		i += 12 + n;
	}
	return types;
}
}

TEST(ImageWriter, PngRoundTripKeepsRgbaBytes)
{
	const int w = 7, h = 5;
	const Bytes src = imgfix::rgbaPattern(w, h);
	RecordingOutputStream out;
	img::ImageWriter::write(out, io::FILEFORMAT_PNG, src.data(), w, h, SF(SF::SURFACE_A8B8G8R8), SF());
	ASSERT_GT(out.bytes.size(), 8u);
	EXPECT_EQ(6, out.bytes[25]); // colour type RGBA
	EXPECT_EQ(8, out.bytes[24]); // 8 bits

	lang::Ptr<img::ImageReader> r = open(out.bytes, io::FILEFORMAT_PNG);
	EXPECT_EQ(SF::SURFACE_A8B8G8R8, r->format().type());
	EXPECT_EQ(src, readRGBA(*r));
}

TEST(ImageWriter, PngWithoutAlphaIsRgb)
{
	// R5G6B5 pixels: red, green, blue, white.
	const uint16_t src[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
	io::ByteArrayOutputStream out;
	img::ImageWriter::writePNG(out, src, 2, 2, SF(SF::SURFACE_R5G6B5));
	EXPECT_EQ(2, out.data()[25]); // colour type RGB
	lang::Ptr<img::ImageReader> r = open(out.data(), io::FILEFORMAT_PNG);
	EXPECT_EQ(SF::SURFACE_B8G8R8, r->format().type());
	EXPECT_EQ((Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}), readRGBA(*r));
}

TEST(ImageWriter, JpegIsBaselineRgbInBufferSizedPieces)
{
	const int w = 256, h = 256;
	const Bytes src = imgfix::rgbaPattern(w, h);
	RecordingOutputStream out;
	img::ImageWriter::write(out, io::FILEFORMAT_JPG, src.data(), w, h, SF(SF::SURFACE_A8B8G8R8), SF());

	ASSERT_GT(out.bytes.size(), 16384u);
	for (size_t i = 0; i + 1 < out.writes.size(); ++i)
		EXPECT_EQ(16384, out.writes[i]);
	EXPECT_LE(out.writes.back(), 16384);
	EXPECT_EQ((Bytes{0xFF, 0xD8}), Bytes(out.bytes.begin(), out.bytes.begin() + 2));
	bool baseline = false;
	for (size_t i = 0; i + 1 < out.bytes.size(); ++i)
		baseline = baseline || (out.bytes[i] == 0xFF && out.bytes[i + 1] == 0xC0);
	EXPECT_TRUE(baseline);

	// Quality 100: colours come back close (chroma is subsampled at sharp edges); alpha is dropped.
	lang::Ptr<img::ImageReader> r = open(out.bytes, io::FILEFORMAT_JPG);
	const Bytes back = readRGBA(*r);
	double error = 0;
	for (size_t i = 0; i < back.size(); ++i)
	{
		if (i % 4 == 3)
			ASSERT_EQ(255, back[i]);
		else
			error += std::abs(int(back[i]) - int(src[i]));
	}
	EXPECT_LT(error / (w * h * 3), 6.0);
}

TEST(ImageWriter, RawIsTheBytesAsTheyAre)
{
	const Bytes src = imgfix::rgbaPattern(3, 2);
	io::ByteArrayOutputStream out;
	img::ImageWriter::write(out, io::FILEFORMAT_RAW, src.data(), 3, 2, SF(SF::SURFACE_A8B8G8R8), SF());
	EXPECT_EQ(src, out.data());
}

TEST(ImageWriter, RawFourBitRowsOfOddWidthAreWrittenWhole)
{
	// Three pixels a row take two bytes; both rows reach the stream.
	const Bytes src = {0x12, 0x30, 0x45, 0x60};
	io::ByteArrayOutputStream out;
	img::ImageWriter::write(out, io::FILEFORMAT_RAW, src.data(), 3, 2, SF(SF::SURFACE_P4), SF());
	EXPECT_EQ(src, out.data());
}

TEST(ImageWriter, UnsupportedFormatsWriteNothing)
{
	const Bytes src(16, 0);
	for (io::FileFormat f : {io::FILEFORMAT_BMP, io::FILEFORMAT_PVR})
	{
		RecordingOutputStream out;
		const std::string msg = messageOf<io::IOException>([&] { img::ImageWriter::write(out, f, src.data(), 2, 2, SF(SF::SURFACE_A8B8G8R8)); });
		EXPECT_EQ(std::string("Unsupported ImageWriter file format ") + io::toString(f), msg);
		EXPECT_TRUE(out.bytes.empty());
	}
}

TEST(ImageWriter, LibraryAndStreamFailuresThrow)
{
	const Bytes src = imgfix::rgbaPattern(64, 64);
	const SF fmt(SF::SURFACE_A8B8G8R8);

	// Sizes the libraries refuse.
	RecordingOutputStream out;
	EXPECT_EQ(0u, messageOf<io::IOException>([&] { img::ImageWriter::writePNG(out, src.data(), 0, 4, fmt); })
		.find("Failed to write PNG \"shot.out\" (0x4): "));
	EXPECT_EQ(0u, messageOf<io::IOException>([&] { img::ImageWriter::writeJPG(out, src.data(), 4, 0, fmt, 90); })
		.find("Failed to write JPG \"shot.out\" (4x0): "));

	// The stream's own exception reaches the caller unchanged.
	for (int failAt : {0, 1, 3})
	{
		RecordingOutputStream png(failAt);
		EXPECT_EQ("Disk full under shot.out", messageOf<io::IOException>([&] { img::ImageWriter::writePNG(png, src.data(), 64, 64, fmt); }));
	}
	RecordingOutputStream jpg(0);
	EXPECT_EQ("Disk full under shot.out", messageOf<io::IOException>([&] { img::ImageWriter::writeJPG(jpg, src.data(), 64, 64, fmt, 100); }));

	// PNG rows have no conversion from block-compressed or palette pixels
	// (without a palette): refused, with the library records released.
	for (SF::SurfaceFormatType t : {SF::SURFACE_DXT1, SF::SURFACE_P8})
	{
		RecordingOutputStream bad;
		EXPECT_THROW(img::ImageWriter::writePNG(bad, src.data(), 8, 8, SF(t)), lang::Exception) << SF(t).toString();
	}

	// After all that, writing still works.
	RecordingOutputStream ok;
	img::ImageWriter::writePNG(ok, src.data(), 64, 64, fmt);
	const Bytes types = pngChunkTypes(ok.bytes);
	EXPECT_EQ("IEND", std::string(types.end() - 4, types.end()));
}
