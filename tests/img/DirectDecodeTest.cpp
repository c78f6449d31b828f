// Decoders that write the destination format themselves must deliver exactly what the
// file's own rows converted by SurfaceFormat::copyPixels give.
#include "ImgTestUtil.h"
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>

using namespace imgtest;

namespace
{
struct Decoded
{
	Bytes pixels;
	int pitch;
};

// The surface in format, rows padded by 5 bytes that must stay untouched.
Decoded decode(const Bytes& file, io::FileFormat type, SF format)
{
	lang::Ptr<img::ImageReader> r = open(file, type);
	const int w = r->surfaceWidth(), h = r->surfaceHeight();
	const int pitch = format.getMemoryUsage(w, 1) + 5;
	Decoded d{Bytes(static_cast<size_t>(pitch) * h, 0xCD), pitch};
	r->readSurface(d.pixels.data(), pitch, w, h, format, nullptr, SF());
	return d;
}

// Through the file's own format and copyPixels, with the same padding.
Decoded converted(const Bytes& file, io::FileFormat type, SF format)
{
	lang::Ptr<img::ImageReader> r = open(file, type);
	const int w = r->surfaceWidth(), h = r->surfaceHeight();
	const SF own = r->format();
	Bytes native(static_cast<size_t>(own.getMemoryUsage(w, h)));
	r->readSurface(native.data(), own.getMemoryUsage(w, 1), w, h, own, nullptr, SF());
	const int pitch = format.getMemoryUsage(w, 1) + 5;
	Decoded d{Bytes(static_cast<size_t>(pitch) * h, 0xCD), pitch};
	format.copyPixels(d.pixels.data(), pitch, SF(), nullptr, own, native.data(), own.getMemoryUsage(w, 1), SF(), nullptr, w, h);
	return d;
}

const SF::SurfaceFormatType FORMATS[] = {SF::SURFACE_R8G8B8, SF::SURFACE_B8G8R8, SF::SURFACE_A8R8G8B8, SF::SURFACE_X8R8G8B8,
	SF::SURFACE_X8B8G8R8, SF::SURFACE_A8B8G8R8, SF::SURFACE_R5G6B5, SF::SURFACE_A4R4G4B4, SF::SURFACE_L8};

void expectSameInEveryFormat(const Bytes& file, io::FileFormat type, const std::string& what)
{
	for (SF::SurfaceFormatType t : FORMATS)
	{
		const Decoded direct = decode(file, type, SF(t));
		const Decoded reference = converted(file, type, SF(t));
		EXPECT_TRUE(direct.pixels == reference.pixels) << what << " as " << SF(t).toString();
	}
}
}

TEST(DirectDecode, JpegFilesGiveTheConvertedRowsInEveryFormat)
{
	expectSameInEveryFormat(imgfix::readFile(fixturePath("a.jpg")), io::FILEFORMAT_JPG, "a.jpg");
	expectSameInEveryFormat(imgfix::readFile(fixturePath("a_progressive.jpg")), io::FILEFORMAT_JPG, "a_progressive.jpg");
	// Odd sizes: partial blocks at the right and bottom edges, more rows than one read hands out.
	const Bytes rgba = imgfix::rgbaPattern(37, 29);
	io::ByteArrayOutputStream out;
	img::ImageWriter::writeJPG(out, rgba.data(), 37, 29, SF(SF::SURFACE_A8B8G8R8), 75);
	expectSameInEveryFormat(out.data(), io::FILEFORMAT_JPG, "37x29");
}

// 8-bit palette files keep their palette conversion, which needs the file's palette.
TEST(DirectDecode, PngFilesGiveTheConvertedRowsInEveryFormat)
{
	for (const char* name : {"a_rgb.png", "a_rgba.png", "a_interlaced.png", "c_grey.png", "c_greyalpha.png", "d_pal2.png"})
		expectSameInEveryFormat(imgfix::readFile(fixturePath(name)), io::FILEFORMAT_PNG, name);
}
