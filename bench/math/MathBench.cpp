#include <math/float4x4.h>
#include <math/RandomUtil.h>
#include <benchmark/benchmark.h>

static void BM_MatrixProduct(benchmark::State& state)
{
	math::float4x4 a(1.f), b(1.f);
	a.setRotation(math::float3(0, 0, 1), 0.3f);
	b.setTranslation(math::float3(1, 2, 3));
	for (auto _ : state)
	{
		benchmark::DoNotOptimize(a);
		math::float4x4 c = a * b;
		benchmark::DoNotOptimize(c);
	}
}
BENCHMARK(BM_MatrixProduct);

static void BM_MatrixTransform(benchmark::State& state)
{
	math::float4x4 a(1.f);
	a.setRotation(math::float3(1, 1, 1), 0.3f);
	math::float4 v(1, 2, 3, 1);
	for (auto _ : state)
	{
		benchmark::DoNotOptimize(v);
		math::float4 r = a.transform(v);
		benchmark::DoNotOptimize(r);
	}
}
BENCHMARK(BM_MatrixTransform);

static void BM_Random(benchmark::State& state)
{
	for (auto _ : state)
		benchmark::DoNotOptimize(math::RandomUtil::random());
}
BENCHMARK(BM_Random);
