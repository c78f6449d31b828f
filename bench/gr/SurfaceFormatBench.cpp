// Pixel conversion and software texture decoding, in pixels per second
// (Google Benchmark's items/s) on one core.
#include <gr/ETCDecoder.h>
#include <gr/PVRTCDecoder.h>
#include <gr/SurfaceFormat.h>
#include <benchmark/benchmark.h>
#include <vector>

using gr::SurfaceFormat;
typedef SurfaceFormat SF;

namespace
{
const int W = 512, H = 512;

std::vector<uint8_t> noise(size_t bytes)
{
	std::vector<uint8_t> v(bytes);
	uint32_t s = 12345;
	for (uint8_t& b : v)
	{
		s = s * 1664525u + 1013904223u;
		b = uint8_t(s >> 24);
	}
	return v;
}

void copyRect(benchmark::State& state, SF::SurfaceFormatType from, SF::SurfaceFormatType to)
{
	const SurfaceFormat src(from), dst(to);
	const int srcPitch = src.compressed() ? (from == SF::SURFACE_DXT1 || from == SF::SURFACE_ETC1_RGB_4BPP ? 2 : 4) * W
		: src.getMemoryUsage(W, 1);
	std::vector<uint8_t> in = noise(src.getMemoryUsage(W, H));
	std::vector<uint8_t> out(dst.getMemoryUsage(W, H));
	for (auto _ : state)
	{
		dst.copyPixels(out.data(), dst.getMemoryUsage(W, 1), SurfaceFormat(), nullptr, src, in.data(), srcPitch, SurfaceFormat(),
			nullptr, W, H);
		benchmark::DoNotOptimize(out.data());
	}
	state.SetItemsProcessed(state.iterations() * W * H);
}

void BM_PVRTC(benchmark::State& state)
{
	const int do2bit = int(state.range(0));
	std::vector<uint8_t> in = noise(W * H / (do2bit ? 4 : 2));
	std::vector<uint8_t> out(W * H * 4);
	for (auto _ : state)
		benchmark::DoNotOptimize(gr::decompressPVRTC(in.data(), do2bit, W, H, out.data()));
	state.SetItemsProcessed(state.iterations() * W * H);
}

void BM_ETC1(benchmark::State& state)
{
	std::vector<uint8_t> in = noise(W * H / 2);
	std::vector<uint8_t> out(W * H * 4);
	const unsigned w = W, h = H;
	for (auto _ : state)
		benchmark::DoNotOptimize(gr::decompressETC(in.data(), w, h, out.data(), 0));
	state.SetItemsProcessed(state.iterations() * W * H);
}
}

BENCHMARK_CAPTURE(copyRect, A8R8G8B8_to_A8B8G8R8, SF::SURFACE_A8R8G8B8, SF::SURFACE_A8B8G8R8);
BENCHMARK_CAPTURE(copyRect, A8R8G8B8_to_A8R8G8B8, SF::SURFACE_A8R8G8B8, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, R8G8B8_to_A8B8G8R8, SF::SURFACE_R8G8B8, SF::SURFACE_A8B8G8R8);
BENCHMARK_CAPTURE(copyRect, A8R8G8B8_to_R5G6B5, SF::SURFACE_A8R8G8B8, SF::SURFACE_R5G6B5);
BENCHMARK_CAPTURE(copyRect, A8R8G8B8_to_R4G4B4A4, SF::SURFACE_A8R8G8B8, SF::SURFACE_R4G4B4A4);
BENCHMARK_CAPTURE(copyRect, R5G6B5_to_A8R8G8B8, SF::SURFACE_R5G6B5, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, L8_to_A8B8G8R8, SF::SURFACE_L8, SF::SURFACE_A8B8G8R8);
BENCHMARK_CAPTURE(copyRect, A16B16G16R16F_to_A8R8G8B8, SF::SURFACE_A16B16G16R16F, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, DXT1_to_A8R8G8B8, SF::SURFACE_DXT1, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, DXT3_to_A8R8G8B8, SF::SURFACE_DXT3, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, DXT5_to_A8R8G8B8, SF::SURFACE_DXT5, SF::SURFACE_A8R8G8B8);
BENCHMARK_CAPTURE(copyRect, DXT5_to_A8B8G8R8, SF::SURFACE_DXT5, SF::SURFACE_A8B8G8R8);
BENCHMARK_CAPTURE(copyRect, ETC1_to_A8B8G8R8, SF::SURFACE_ETC1_RGB_4BPP, SF::SURFACE_A8B8G8R8);
BENCHMARK_CAPTURE(copyRect, ETC1_to_R5G6B5, SF::SURFACE_ETC1_RGB_4BPP, SF::SURFACE_R5G6B5);
BENCHMARK(BM_PVRTC)->Arg(0)->Arg(1);
BENCHMARK(BM_ETC1);
