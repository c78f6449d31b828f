#include <lang/string.h>
#include <benchmark/benchmark.h>

// Text drawn with bitmap fonts is converted to UTF-16 on every draw.
static const std::string kLine = "Level 12 \xE2\x80\x94 Score: 123456 \xC3\xA9\xC3\xA8 \xF0\x9F\x98\x80 Tap to continue";

static void BM_ToUTF16(benchmark::State& state)
{
	for (auto _ : state)
	{
		std::basic_string<unsigned short> units = lang::string::toUTF16string(kLine);
		benchmark::DoNotOptimize(units);
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kLine.size()));
}
BENCHMARK(BM_ToUTF16);

static void BM_ToUTF8FromUTF16(benchmark::State& state)
{
	const std::basic_string<unsigned short> units = lang::string::toUTF16string(kLine);
	for (auto _ : state)
	{
		std::string text = lang::string::toUTF8string(units);
		benchmark::DoNotOptimize(text);
	}
}
BENCHMARK(BM_ToUTF8FromUTF16);

static void BM_Split(benchmark::State& state)
{
	const std::string call = "game.native_submitScore.level12.3456";
	for (auto _ : state)
	{
		std::vector<std::string> pieces = lang::string::split(call, ".");
		benchmark::DoNotOptimize(pieces);
	}
}
BENCHMARK(BM_Split);
