// Copies of lang::Ptr (atomic count: relaxed increment, acq_rel decrement) against the
// same copies over a plain int count, the engine's count before threads shared objects.
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>

namespace
{
struct Counted : lang::Object
{
};

// The plain reference: inline increment, out-of-line release, as lang::Object has.
class PlainCounted
{
public:
	virtual ~PlainCounted() {}
	void add() { ++m_refs; }
	__attribute__((noinline)) void release()
	{
		if (--m_refs == 0)
			delete this;
	}

private:
	int m_refs = 0;
};

class PlainPtr
{
public:
	explicit PlainPtr(PlainCounted* p) : m_ptr(p) { m_ptr->add(); }
	PlainPtr(const PlainPtr& o) : m_ptr(o.m_ptr) { m_ptr->add(); }
	~PlainPtr() { m_ptr->release(); }
	PlainPtr& operator=(const PlainPtr&) = delete;

private:
	PlainCounted* m_ptr;
};

const int COPIES = 1000;

template <class P> void copies(const P& held)
{
	for (int i = 0; i < COPIES; ++i)
	{
		P copy(held);
		benchmark::DoNotOptimize(copy);
	}
}

template <class P> double nsPerCopy(const P& held, int64_t rounds)
{
	const auto start = std::chrono::steady_clock::now();
	for (int64_t r = 0; r < rounds; ++r)
		copies(held);
	const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
	return spent.count() / double(rounds * COPIES);
}
}

// One copy made and dropped per item; ratio = atomic / plain, timed in this process.
static void BM_PtrCopy(benchmark::State& state)
{
	const lang::Ptr<Counted> held = new Counted;
	const PlainPtr plain(new PlainCounted);
	for (auto _ : state)
		copies(held);
	state.SetItemsProcessed(state.iterations() * COPIES);
	const int64_t rounds = state.iterations();
	const double plainNs = nsPerCopy(plain, rounds);
	const double atomicNs = nsPerCopy(held, rounds);
	state.counters["plain_ns"] = plainNs;
	state.counters["atomic_ns"] = atomicNs;
	state.counters["ratio"] = atomicNs / plainNs;
}
BENCHMARK(BM_PtrCopy);
