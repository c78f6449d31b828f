#ifndef BENCH_SUPPORT_ALLOCATIONCOUNTER_H
#define BENCH_SUPPORT_ALLOCATIONCOUNTER_H

// Replaces the global operator new to count heap allocations, so a warm frame can be
// checked to make none. Include in exactly one source file of a benchmark program.

#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<long> s_allocations{0};

void* operator new(std::size_t n)
{
	++s_allocations;
	if (void* p = std::malloc(n ? n : 1))
		return p;
	throw std::bad_alloc();
}
// The replaced operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

#endif
