// Corrupt, truncated and failing JPEG and PNG input: always an exception naming the file.
#include "ImgTestUtil.h"
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>
#include <lang/Exception.h>
#include <io/FileInputStream.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace imgtest;
using imgfix::crc32;

namespace
{
// Opens and reads the image whole; returns the exception's message, or "" when it decoded.
std::string decodeError(const Bytes& bytes, io::FileFormat format, const std::string& name)
{
	try
	{
		lang::Ptr<img::ImageReader> r = open(bytes, format, name);
		readRGBA(*r);
	}
	catch (const io::IOException& e)
	{
		return e.getMessage().format();
	}
	return std::string();
}

// Peak resident memory of the process so far.
long peakKilobytes()
{
	rusage usage = {};
	getrusage(RUSAGE_SELF, &usage);
	return usage.ru_maxrss;
}

void putBE32(Bytes& b, uint32_t v)
{
	for (int s = 24; s >= 0; s -= 8)
		b.push_back(static_cast<uint8_t>(v >> s));
}
}

TEST(JpgErrors, TruncatedOrCorruptFilesThrowNamingTheFile)
{
	const Bytes jpg = imgfix::readFile(fixturePath("a.jpg"));
	const Bytes progressive = imgfix::readFile(fixturePath("a_progressive.jpg"));
	for (const Bytes* whole : {&jpg, &progressive})
	{
		// Cut inside the headers, inside the entropy-coded data and just before the end marker.
		for (size_t cut : {size_t(0), size_t(2), size_t(30), whole->size() / 2, whole->size() - 40, whole->size() - 2})
		{
			const Bytes part(whole->begin(), whole->begin() + static_cast<ptrdiff_t>(cut));
			const std::string msg = decodeError(part, io::FILEFORMAT_JPG, "cut.jpg");
			EXPECT_EQ(0u, msg.find("Failed to read JPG cut.jpg: ")) << cut << ": " << msg;
		}
	}

	EXPECT_EQ("Failed to read JPG cut.jpg: Empty input file", decodeError(Bytes(), io::FILEFORMAT_JPG, "cut.jpg"));

	// A broken marker in the middle of the headers.
	Bytes corrupt = jpg;
	for (size_t i = 20; i < 60 && i < corrupt.size(); ++i)
		corrupt[i] = 0xFF;
	EXPECT_EQ(0u, decodeError(corrupt, io::FILEFORMAT_JPG, "bad.jpg").find("Failed to read JPG bad.jpg: "));

	// Garbage after the start-of-image marker.
	Bytes garbage = {0xFF, 0xD8};
	for (int i = 0; i < 100; ++i)
		garbage.push_back(static_cast<uint8_t>(i * 7));
	EXPECT_EQ(0u, decodeError(garbage, io::FILEFORMAT_JPG, "bad.jpg").find("Failed to read JPG bad.jpg: "));
}

TEST(JpgErrors, ReaderCanBeDroppedBeforeReadingPixels)
{
	// The decompressor is released with the reader; a second reader works as usual.
	const Bytes jpg = imgfix::readFile(fixturePath("a.jpg"));
	for (int i = 0; i < 3; ++i)
	{
		lang::Ptr<img::ImageReader> r = open(jpg, io::FILEFORMAT_JPG);
		EXPECT_EQ(9, r->surfaceWidth());
	}
	lang::Ptr<img::ImageReader> r = open(jpg, io::FILEFORMAT_JPG);
	EXPECT_EQ(9u * 4 * 4, readRGBA(*r).size());
}

TEST(JpgPngErrors, StreamExceptionsPassThroughUnchanged)
{
	for (const char* file : {"a.jpg", "a_rgb.png"})
	{
		const Bytes bytes = imgfix::readFile(fixturePath(file));
		const io::FileFormat format = file[2] == 'j' ? io::FILEFORMAT_JPG : io::FILEFORMAT_PNG;
		for (int failAt : {0, 20, static_cast<int>(bytes.size()) - 16})
		{
			const std::string msg = messageOf<io::IOException>([&] {
				lang::Ptr<img::ImageReader> r = new img::ImageReader(new FailingInputStream(bytes, failAt, format == io::FILEFORMAT_JPG), format);
				readRGBA(*r);
			});
			EXPECT_EQ(std::string("Disk gone under failing.img"), msg) << file << " " << failAt;
		}
	}
}

TEST(PngErrors, TruncatedOrCorruptFilesThrowNamingTheFile)
{
	const Bytes png = imgfix::readFile(fixturePath("a_rgba.png"));
	for (size_t cut : {size_t(3), size_t(12), size_t(30), png.size() - 30, png.size() - 13})
	{
		const Bytes part(png.begin(), png.begin() + static_cast<ptrdiff_t>(cut));
		const std::string msg = decodeError(part, io::FILEFORMAT_PNG, "cut.png");
		EXPECT_NE(std::string::npos, msg.find("\"cut.png\"")) << cut << ": " << msg;
	}

	// A damaged IHDR (its checksum no longer matches).
	Bytes bad = png;
	bad[17] ^= 0x40;
	EXPECT_EQ(0u, decodeError(bad, io::FILEFORMAT_PNG, "bad.png").find("Failed to read PNG \"bad.png\": ")) << decodeError(bad, io::FILEFORMAT_PNG, "bad.png");

	// Damaged compressed data with a correct checksum.
	Bytes idat = png;
	const size_t at = 33; // first chunk after IHDR
	const uint32_t len = (uint32_t(idat[at]) << 24) | (uint32_t(idat[at + 1]) << 16) | (uint32_t(idat[at + 2]) << 8) | idat[at + 3];
	ASSERT_EQ(0, std::memcmp(&idat[at + 4], "IDAT", 4));
	for (uint32_t i = 2; i < len; ++i)
		idat[at + 8 + i] ^= 0x5A;
	const uint32_t crc = crc32(&idat[at + 4], len + 4);
	for (int k = 0; k < 4; ++k)
		idat[at + 8 + len + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
	EXPECT_EQ(0u, decodeError(idat, io::FILEFORMAT_PNG, "bad.png").find("Failed to read PNG \"bad.png\": ")) << decodeError(idat, io::FILEFORMAT_PNG, "bad.png");
}

TEST(PngErrors, HugeDeclaredSizeFailsBeforeAllocating)
{
	// A valid header declaring 1000000 x 1000000 RGBA pixels, then a tiny IDAT.
	Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
	Bytes ihdr = {'I', 'H', 'D', 'R'};
	putBE32(ihdr, 1000000);
	putBE32(ihdr, 1000000);
	ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
	putBE32(png, 13);
	png.insert(png.end(), ihdr.begin(), ihdr.end());
	putBE32(png, crc32(ihdr.data(), ihdr.size()));
	const Bytes idat = {'I', 'D', 'A', 'T', 0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
	putBE32(png, static_cast<uint32_t>(idat.size() - 4));
	png.insert(png.end(), idat.begin(), idat.end());
	putBE32(png, crc32(idat.data(), idat.size()));
	EXPECT_EQ("Failed to read PNG \"huge.png\": image size 1000000x1000000 does not fit the file", decodeError(png, io::FILEFORMAT_PNG, "huge.png"));
}

TEST(PngErrors, OversizedAncillaryChunksAreRefusedWithoutAllocating)
{
	// 81 bytes: a 1x1 RGB header, then a chunk declaring 0x7FFFFFFF bytes of which 40 follow.
	for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "iCCP"})
	{
		imgfix::Png header;
		header.rows = {1, 2, 3};
		const Bytes whole = imgfix::makePng(header);
		Bytes png(whole.begin(), whole.begin() + 33);
		Bytes text(40, 'x');
		std::memcpy(text.data(), "Comment\0", 8);
		imgfix::append(png, imgfix::pngChunkDeclaring(type, 0x7FFFFFFFu, text));
		ASSERT_EQ(81u, png.size());
		const long before = peakKilobytes();
		const std::string msg = decodeError(png, io::FILEFORMAT_PNG, "text.png");
		EXPECT_EQ(0u, msg.find("Failed to read PNG \"text.png\": ")) << type << ": " << msg;
		EXPECT_LT(peakKilobytes() - before, 64 * 1024) << type;
	}
}

TEST(PngErrors, PackedPaletteImagesAreCheckedAgainstTheirStoredBits)
{
	// 1- and 4-bit palette images whose rows expand to many times the bytes stored.
	for (int bits : {1, 4})
	{
		imgfix::Png png;
		png.width = 4096;
		png.height = 2048;
		png.bitDepth = bits;
		png.colorType = 3;
		png.palette = {0, 0, 0, 255, 255, 255};
		const size_t rowBytes = png.width * size_t(bits) / 8;
		png.rows.assign(rowBytes * png.height, 0);
		png.rows[0] = bits == 1 ? 0x80 : 0x10; // the top-left pixel is white
		const Bytes file = imgfix::makePng(png);
		lang::Ptr<img::ImageReader> r = open(file, io::FILEFORMAT_PNG, "large.png");
		ASSERT_EQ(4096, r->surfaceWidth()) << bits;
		const Bytes px = readRGBA(*r);
		EXPECT_EQ(255, px[0]) << bits;
		EXPECT_EQ(0, px[4]) << bits;
	}
}

TEST(JpgErrors, DamagedScanDataThrowsButStrayBytesBetweenMarkersDecode)
{
	const Bytes src = imgfix::rgbaPattern(64, 64);
	io::ByteArrayOutputStream out;
	img::ImageWriter::writeJPG(out, src.data(), 64, 64, SF(SF::SURFACE_A8B8G8R8), 90);
	const Bytes jpg = out.data();
	size_t sos = 0;
	for (size_t i = 0; i + 1 < jpg.size() && !sos; ++i)
		if (jpg[i] == 0xFF && jpg[i + 1] == 0xDA)
			sos = i;
	ASSERT_GT(sos, 0u);

	// An end-of-image marker in the middle of the scan: image data lost.
	Bytes cut = jpg;
	cut[sos + 200] = 0xFF;
	cut[sos + 201] = 0xD9;
	EXPECT_EQ(0u, decodeError(cut, io::FILEFORMAT_JPG, "cut.jpg").find("Failed to read JPG cut.jpg: Corrupt JPEG data")) << decodeError(cut, io::FILEFORMAT_JPG, "cut.jpg");

	// Padding before a marker loses nothing.
	Bytes padded = jpg;
	padded.insert(padded.begin() + static_cast<ptrdiff_t>(sos), {0, 0, 0});
	EXPECT_EQ("", decodeError(padded, io::FILEFORMAT_JPG, "padded.jpg"));
}

TEST(ImageSizes, SizesTooLargeForASurfaceAreRefusedNamingTheFile)
{
	// What a caller does first: size a buffer of 32-bit pixels for the surface.
	auto sizeError = [](lang::Ptr<io::InputStream> in, io::FileFormat format) -> std::string {
		try
		{
			img::ImageReader r(in, format);
			SF(SF::SURFACE_A8B8G8R8).getMemoryUsage(r.surfaceWidth(), r.surfaceHeight());
		}
		catch (const lang::Exception& e)
		{
			return e.getMessage().format();
		}
		return std::string();
	};
	// A JPEG whose frame header declares w x h (the 9 x 4 fixture with its size changed).
	auto jpegOfSize = [](int w, int h) {
		Bytes jpg = imgfix::readFile(fixturePath("a.jpg"));
		size_t sof = 0;
		while (sof + 9 < jpg.size() && !(jpg[sof] == 0xFF && jpg[sof + 1] == 0xC0))
			++sof;
		jpg[sof + 5] = static_cast<uint8_t>(h >> 8);
		jpg[sof + 6] = static_cast<uint8_t>(h);
		jpg[sof + 7] = static_cast<uint8_t>(w >> 8);
		jpg[sof + 8] = static_cast<uint8_t>(w);
		return jpg;
	};
	// Too large in the file's own 24-bit pixels, and in the 32-bit pixels the caller asks for.
	EXPECT_EQ("Image huge.jpg is too large: 20000x20000 pixels", sizeError(memory(jpegOfSize(20000, 20000), "huge.jpg"), io::FILEFORMAT_JPG));
	EXPECT_EQ("Image huge.jpg is too large: 17000x17000 pixels", sizeError(memory(jpegOfSize(17000, 17000), "huge.jpg"), io::FILEFORMAT_JPG));
	EXPECT_EQ("", sizeError(memory(jpegOfSize(300, 200), "big.jpg"), io::FILEFORMAT_JPG));

	// BMP and TGA on a stream that cannot tell how much it holds.
	imgfix::Bmp bmp;
	bmp.width = bmp.height = 65535;
	bmp.pixels = {1, 2, 3, 0};
	const Bytes bmpBytes = imgfix::makeBmp(bmp);
	EXPECT_EQ("Image failing.img is too large: 65535x65535 pixels",
		sizeError(new FailingInputStream(bmpBytes, int(bmpBytes.size()), false), io::FILEFORMAT_BMP));
	imgfix::Tga tga;
	tga.width = tga.height = 65535;
	tga.pixels = {1, 2, 3};
	const Bytes tgaBytes = imgfix::makeTga(tga);
	EXPECT_EQ("Image failing.img is too large: 65535x65535 pixels",
		sizeError(new FailingInputStream(tgaBytes, int(tgaBytes.size()), false), io::FILEFORMAT_TGA));
}

// 54 bytes: a header declaring 168296457 x 4 RGB pixels and the start of a compressed
// stream. Read from a file in a child process of its own, whose peak memory says what the
// attempt allocated.
TEST(ImageSizes, TallPngIsRefusedBeforeAllocatingRows)
{
	Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
	Bytes ihdr = {'I', 'H', 'D', 'R'};
	putBE32(ihdr, 168296457);
	putBE32(ihdr, 4);
	ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
	putBE32(png, 13);
	png.insert(png.end(), ihdr.begin(), ihdr.end());
	putBE32(png, crc32(ihdr.data(), ihdr.size()));
	const Bytes idat = {'I', 'D', 'A', 'T', 0x78, 0x9C, 0x62, 0x60, 0x60, 0x60, 0x60, 0x60, 0x00};
	putBE32(png, static_cast<uint32_t>(idat.size() - 4));
	png.insert(png.end(), idat.begin(), idat.end());
	putBE32(png, crc32(idat.data(), idat.size()));
	ASSERT_EQ(54u, png.size());

	char dir[] = "/tmp/img_tall_XXXXXX";
	ASSERT_NE(nullptr, mkdtemp(dir));
	const std::string path = std::string(dir) + "/tall.png";
	FILE* f = std::fopen(path.c_str(), "wb");
	ASSERT_NE(nullptr, f);
	std::fwrite(png.data(), 1, png.size(), f);
	std::fclose(f);

	int fds[2];
	ASSERT_EQ(0, pipe(fds));
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		close(fds[0]);
		const long before = peakKilobytes();
		std::string message = "(no exception)";
		try
		{
			img::ImageReader r(new io::FileInputStream(path), io::FILEFORMAT_PNG);
		}
		catch (const io::IOException& e)
		{
			message = e.getMessage().format();
		}
		const std::string report = std::to_string(peakKilobytes() - before) + "\n" + message;
		const ssize_t written = write(fds[1], report.data(), report.size());
		_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
	}
	close(fds[1]);
	std::string report;
	char buffer[512];
	ssize_t got;
	while ((got = read(fds[0], buffer, sizeof(buffer))) > 0)
		report.append(buffer, static_cast<size_t>(got));
	close(fds[0]);
	int status = 0;
	ASSERT_EQ(child, waitpid(child, &status, 0));
	std::remove(path.c_str());
	rmdir(dir);
	ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
	const size_t newline = report.find('\n');
	ASSERT_NE(std::string::npos, newline) << report;
	EXPECT_LT(std::stol(report.substr(0, newline)), 64L * 1024) << "peak growth in KiB";
	const std::string message = report.substr(newline + 1);
	EXPECT_NE(std::string::npos, message.find(path)) << message;
	EXPECT_NE(std::string::npos, message.find("168296457x4")) << message;
}

// Whatever the file holds, no side may exceed 16384 pixels (nor the whole 2^28): a file
// that holds every pixel of a 16385-pixel row is refused before its surface is allocated.
TEST(ImageSizes, EveryFormatRefusesASideBeyondTheLimit)
{
	const int wide = 16385;
	imgfix::Png png;
	png.width = wide;
	png.rows.assign(static_cast<size_t>(wide) * 3, 7);
	imgfix::Bmp bmp;
	bmp.width = wide;
	bmp.pixels.assign((static_cast<size_t>(wide) * 3 + 3) & ~size_t(3), 7);
	imgfix::Tga tga;
	tga.height = wide;
	tga.pixels.assign(static_cast<size_t>(wide) * 3, 7);
	imgfix::Pvr2 pvr;
	pvr.flags = 0x12;
	pvr.width = wide;
	pvr.data.assign(static_cast<size_t>(wide) * 4, 7);
	Bytes jpg = imgfix::readFile(fixturePath("a.jpg"));
	size_t sof = 0;
	while (sof + 9 < jpg.size() && !(jpg[sof] == 0xFF && jpg[sof + 1] == 0xC0))
		++sof;
	jpg[sof + 5] = 0;
	jpg[sof + 6] = 1;
	jpg[sof + 7] = static_cast<uint8_t>(wide >> 8);
	jpg[sof + 8] = static_cast<uint8_t>(wide);

	const struct
	{
		Bytes bytes;
		io::FileFormat format;
		std::string message;
	} cases[] = {
		{imgfix::makePng(png), io::FILEFORMAT_PNG, "Image wide.img is too large: 16385x1 pixels"},
		{imgfix::makeBmp(bmp), io::FILEFORMAT_BMP, "Image wide.img is too large: 16385x1 pixels"},
		{imgfix::makeTga(tga), io::FILEFORMAT_TGA, "Image wide.img is too large: 1x16385 pixels"},
		{imgfix::makePvr2(pvr), io::FILEFORMAT_PVR, "Image wide.img is too large: 16385x1 pixels"},
		{jpg, io::FILEFORMAT_JPG, "Image wide.img is too large: 16385x1 pixels"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.message, decodeError(c.bytes, c.format, "wide.img")) << c.format;

	// The limit itself is readable.
	png.width = 16384;
	png.rows.assign(static_cast<size_t>(16384) * 3, 7);
	EXPECT_EQ("", decodeError(imgfix::makePng(png), io::FILEFORMAT_PNG, "edge.png"));
}
