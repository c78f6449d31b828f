// Decoding 1024 x 1024 files into R, G, B, A bytes through the image reader, against the
// plain library decoding the same bytes to the same layout, alternating run by run.
// vs_plain = our time / the plain library's time.
#include "ImageFixtures.h"
#include <benchmark/benchmark.h>
#include <img/ImageReader.h>
#include <img/ImageWriter.h>
#include <io/ByteArrayInputStream.h>
#include <io/ByteArrayOutputStream.h>
#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <jpeglib.h>
#include <png.h>

namespace
{
using imgfix::Bytes;
using SF = gr::SurfaceFormat;
using Clock = std::chrono::steady_clock;

const int SIZE = 1024;

Bytes encoded(bool jpeg)
{
	const Bytes rgba = imgfix::rgbaPattern(SIZE, SIZE);
	io::ByteArrayOutputStream out;
	if (jpeg)
		img::ImageWriter::writeJPG(out, rgba.data(), SIZE, SIZE, SF(SF::SURFACE_A8B8G8R8), 90);
	else
		img::ImageWriter::writePNG(out, rgba.data(), SIZE, SIZE, SF(SF::SURFACE_A8B8G8R8));
	return out.data();
}

void ours(const Bytes& file, io::FileFormat format, uint8_t* dst)
{
	lang::Ptr<img::ImageReader> r = new img::ImageReader(new io::ByteArrayInputStream(file.data(), int(file.size())), format);
	r->readSurface(dst, SIZE * 4, SIZE, SIZE, SF(SF::SURFACE_A8B8G8R8), nullptr, SF());
}

void plainJpeg(const Bytes& file, uint8_t* dst)
{
	jpeg_decompress_struct cinfo;
	jpeg_error_mgr err;
	cinfo.err = jpeg_std_error(&err);
	jpeg_create_decompress(&cinfo);
	jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
	jpeg_read_header(&cinfo, TRUE);
	cinfo.out_color_space = JCS_EXT_RGBA;
	jpeg_start_decompress(&cinfo);
	JSAMPROW rows[16];
	while (cinfo.output_scanline < cinfo.output_height)
	{
		JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - cinfo.output_scanline);
		for (JDIMENSION i = 0; i < n; ++i)
			rows[i] = dst + static_cast<size_t>(cinfo.output_scanline + i) * SIZE * 4;
		jpeg_read_scanlines(&cinfo, rows, n);
	}
	jpeg_finish_decompress(&cinfo);
	jpeg_destroy_decompress(&cinfo);
}

struct PngMemory
{
	const Bytes* data;
	size_t pos;
};

void readPngMemory(png_structp png, png_bytep out, png_size_t n)
{
	PngMemory* m = static_cast<PngMemory*>(png_get_io_ptr(png));
	std::memcpy(out, m->data->data() + m->pos, n);
	m->pos += n;
}

void plainPng(const Bytes& file, uint8_t* dst)
{
	png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png_create_info_struct(png);
	PngMemory m{&file, 0};
	png_set_read_fn(png, &m, readPngMemory);
	png_read_info(png, info);
	png_set_expand(png);
	png_set_strip_16(png);
	png_set_gray_to_rgb(png);
	png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
	png_set_interlace_handling(png);
	png_read_update_info(png, info);
	std::vector<png_bytep> rows(SIZE);
	for (int y = 0; y < SIZE; ++y)
		rows[size_t(y)] = dst + static_cast<size_t>(y) * SIZE * 4;
	png_read_image(png, rows.data());
	png_destroy_read_struct(&png, &info, nullptr);
}

void versus(benchmark::State& state, const std::function<void(uint8_t*)>& ourDecode, const std::function<void(uint8_t*)>& plainDecode)
{
	Bytes a(static_cast<size_t>(SIZE) * SIZE * 4), b(a.size());
	ourDecode(a.data());
	plainDecode(b.data());
	if (a != b)
	{
		state.SkipWithError("the two decoders disagree");
		return;
	}
	double oursTotal = 0, plainTotal = 0;
	for (auto _ : state)
	{
		Clock::time_point t = Clock::now();
		ourDecode(a.data());
		const double o = std::chrono::duration<double>(Clock::now() - t).count();
		t = Clock::now();
		plainDecode(b.data());
		plainTotal += std::chrono::duration<double>(Clock::now() - t).count();
		oursTotal += o;
		state.SetIterationTime(o);
	}
	state.counters["plain_ms"] = plainTotal * 1e3 / double(state.iterations());
	state.counters["vs_plain"] = oursTotal / plainTotal;
}

void BM_DecodeJPEG(benchmark::State& state)
{
	static const Bytes file = encoded(true);
	versus(state, [&](uint8_t* dst) { ours(file, io::FILEFORMAT_JPG, dst); }, [&](uint8_t* dst) { plainJpeg(file, dst); });
}
BENCHMARK(BM_DecodeJPEG)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DecodePNG(benchmark::State& state)
{
	static const Bytes file = encoded(false);
	versus(state, [&](uint8_t* dst) { ours(file, io::FILEFORMAT_PNG, dst); }, [&](uint8_t* dst) { plainPng(file, dst); });
}
BENCHMARK(BM_DecodePNG)->UseManualTime()->Unit(benchmark::kMillisecond);
}
