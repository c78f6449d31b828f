// Decoding 1024 x 1024 images of every format into R, G, B, A texture pixels.
// bytes_per_second counts the decoded pixels (4 MB per image); file_MB/s the file read.
#include "ImageFixtures.h"
#include <benchmark/benchmark.h>
#include <img/ImageReader.h>
#include <img/ImageWriter.h>
#include <io/ByteArrayOutputStream.h>
#include <cstring>
#include <map>

namespace
{
using imgfix::Bytes;
using SF = gr::SurfaceFormat;

const int SIZE = 1024;

/** Reads a file held in memory without copying it. */
class MemoryView : public io::InputStream
{
public:
	explicit MemoryView(const Bytes& data) : io::InputStream(lang::Ptr<io::InputStream>()), m_data(data), m_pos(0) {}
	int read(void* buf, int n) override
	{
		const int left = static_cast<int>(m_data.size()) - m_pos;
		if (n > left)
			n = left;
		std::memcpy(buf, m_data.data() + m_pos, static_cast<size_t>(n));
		m_pos += n;
		return n;
	}
	int skip(int n) override
	{
		m_pos += n;
		return n;
	}
	bool seek(int, SeekMode) override { return false; }
	int available() const override { return static_cast<int>(m_data.size()) - m_pos; }
	std::string toString() const override { return "memory"; }

private:
	const Bytes& m_data;
	int m_pos;
};

Bytes rgbFromRgba(const Bytes& rgba, bool bgr)
{
	Bytes out;
	out.reserve(rgba.size() / 4 * 3);
	for (size_t i = 0; i < rgba.size(); i += 4)
	{
		out.push_back(rgba[i + (bgr ? 2 : 0)]);
		out.push_back(rgba[i + 1]);
		out.push_back(rgba[i + (bgr ? 0 : 2)]);
	}
	return out;
}

// Top row last, as BMP and bottom-up TGA store them.
Bytes flipRows(const Bytes& px, size_t rowBytes)
{
	Bytes out;
	out.reserve(px.size());
	for (size_t y = px.size() / rowBytes; y-- > 0;)
		out.insert(out.end(), px.begin() + static_cast<ptrdiff_t>(y * rowBytes), px.begin() + static_cast<ptrdiff_t>((y + 1) * rowBytes));
	return out;
}

Bytes randomBlocks(size_t bytes, uint32_t seed)
{
	Bytes out(bytes);
	for (auto& b : out)
	{
		seed = seed * 1664525u + 1013904223u;
		b = static_cast<uint8_t>(seed >> 24);
	}
	return out;
}

const Bytes& file(const std::string& name)
{
	static std::map<std::string, Bytes> files;
	if (files.empty())
	{
		const Bytes rgba = imgfix::rgbaPattern(SIZE, SIZE);
		const SF abgr(SF::SURFACE_A8B8G8R8);
		{
			io::ByteArrayOutputStream out;
			img::ImageWriter::writePNG(out, rgba.data(), SIZE, SIZE, abgr);
			files["png"] = out.data();
		}
		{
			io::ByteArrayOutputStream out;
			img::ImageWriter::writeJPG(out, rgba.data(), SIZE, SIZE, abgr, 90);
			files["jpg"] = out.data();
		}
		const Bytes bgr = rgbFromRgba(rgba, true);
		imgfix::Bmp bmp;
		bmp.width = bmp.height = SIZE;
		bmp.pixels = flipRows(bgr, SIZE * 3);
		files["bmp"] = imgfix::makeBmp(bmp);

		imgfix::Tga tga;
		tga.width = tga.height = SIZE;
		tga.depth = 32;
		Bytes bgra = rgba;
		for (size_t i = 0; i < bgra.size(); i += 4)
			std::swap(bgra[i], bgra[i + 2]);
		tga.pixels = flipRows(bgra, SIZE * 4);
		files["tga"] = imgfix::makeTga(tga);

		imgfix::Tga rle;
		rle.width = rle.height = SIZE;
		rle.depth = 24;
		rle.imageType = 10;
		rle.descriptor = 0x20;
		rle.pixels = imgfix::tgaEncodeRows(bgr, SIZE, SIZE, 3);
		files["tga_rle"] = imgfix::makeTga(rle);

		imgfix::Pvr3 raw;
		raw.formatLower = 0x61626772;
		raw.formatUpper = 0x08080808;
		raw.width = raw.height = SIZE;
		raw.data = rgba;
		files["pvr_rgba"] = imgfix::makePvr3(raw);

		const struct
		{
			const char* name;
			uint32_t code;
			SF::SurfaceFormatType type;
		} compressed[] = {
			{"pvr_dxt1", 7, SF::SURFACE_DXT1},
			{"pvr_dxt5", 11, SF::SURFACE_DXT5},
			{"pvr_etc1", 6, SF::SURFACE_ETC1_RGB_4BPP},
			{"pvr_pvrtc4", 3, SF::SURFACE_RGBA_PVRTC_GL_4BPP},
		};
		for (const auto& c : compressed)
		{
			imgfix::Pvr3 p;
			p.formatLower = c.code;
			p.width = p.height = SIZE;
			p.data = randomBlocks(static_cast<size_t>(SF(c.type).getMemoryUsage(SIZE, SIZE)), c.code);
			files[c.name] = imgfix::makePvr3(p);
		}
	}
	return files.at(name);
}

void decode(benchmark::State& state, const std::string& name, io::FileFormat format, SF dstFormat)
{
	const Bytes& data = file(name);
	Bytes dst(static_cast<size_t>(SIZE) * SIZE * 4);
	const int pitch = dstFormat.getMemoryUsage(SIZE, 1);
	for (auto _ : state)
	{
		lang::Ptr<img::ImageReader> r = new img::ImageReader(new MemoryView(data), format);
		r->readSurface(dst.data(), pitch, SIZE, SIZE, dstFormat, nullptr, SF());
		benchmark::DoNotOptimize(dst.data());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * SIZE * SIZE * 4);
	state.counters["file_MB/s"] = benchmark::Counter(static_cast<double>(data.size()) * state.iterations() / 1e6,
		benchmark::Counter::kIsRate);
}

const SF RGBA(SF::SURFACE_A8B8G8R8);
}

BENCHMARK_CAPTURE(decode, png, std::string("png"), io::FILEFORMAT_PNG, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, jpg, std::string("jpg"), io::FILEFORMAT_JPG, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, bmp24, std::string("bmp"), io::FILEFORMAT_BMP, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, tga32, std::string("tga"), io::FILEFORMAT_TGA, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, tga24_rle, std::string("tga_rle"), io::FILEFORMAT_TGA, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, pvr_rgba, std::string("pvr_rgba"), io::FILEFORMAT_PVR, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, pvr_dxt1, std::string("pvr_dxt1"), io::FILEFORMAT_PVR, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, pvr_dxt5, std::string("pvr_dxt5"), io::FILEFORMAT_PVR, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, pvr_etc1, std::string("pvr_etc1"), io::FILEFORMAT_PVR, RGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, pvr_pvrtc4, std::string("pvr_pvrtc4"), io::FILEFORMAT_PVR, RGBA)->Unit(benchmark::kMillisecond);
// Compressed data handed on as it is (a GPU that takes the format).
BENCHMARK_CAPTURE(decode, pvr_dxt1_as_is, std::string("pvr_dxt1"), io::FILEFORMAT_PVR, SF(SF::SURFACE_DXT1))->Unit(benchmark::kMillisecond);
// Stored pixels delivered in their own format: the decoders alone, without conversion.
BENCHMARK_CAPTURE(decode, bmp24_native, std::string("bmp"), io::FILEFORMAT_BMP, SF(SF::SURFACE_R8G8B8))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, tga24_rle_native, std::string("tga_rle"), io::FILEFORMAT_TGA, SF(SF::SURFACE_R8G8B8))->Unit(benchmark::kMillisecond);
