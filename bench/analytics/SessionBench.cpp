#include <analytics/AnalyticsSession.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <string>
#include <vector>

using analytics::AnalyticsSession;
using analytics::AnalyticsSessionData;

namespace
{
typedef std::chrono::steady_clock Clock;

double seconds(Clock::duration d)
{
	return std::chrono::duration<double>(d).count();
}

const AnalyticsSession::Parameters kParams = {{"level", "12"}, {"score", "123456"}, {"result", "won"}};

// A restored session: recording into it never touches a file.
std::unique_ptr<AnalyticsSession> freshSession()
{
	AnalyticsSessionData data;
	data.startTime = 0;
	std::unique_ptr<AnalyticsSession> s(new AnalyticsSession(data));
	s->setEventLoggingEnabled(true);
	return s;
}

// The plain reference: the same count and log append with no lock, limits or clock.
struct PlainEvent
{
	std::string name;
	std::map<std::string, std::string> params;
};

void plainRecord(std::map<std::string, int>& counts, std::vector<PlainEvent>& log, const std::string& name)
{
	++counts[name];
	log.push_back(PlainEvent{name, kParams});
}
}

// Goal: under 5 us per event on the calling thread, with no file access.
static void BM_RecordEventThreeParameters(benchmark::State& state)
{
	std::unique_ptr<AnalyticsSession> s = freshSession();
	int n = 0;
	Clock::duration engine{};
	for (auto _ : state)
	{
		if (++n == 1000)
		{
			state.PauseTiming();
			s = freshSession();
			n = 0;
			state.ResumeTiming();
		}
		const auto t0 = Clock::now();
		s->recordEvent("Level Complete", kParams);
		engine += Clock::now() - t0;
	}
	std::map<std::string, int> counts;
	std::vector<PlainEvent> log;
	log.reserve(1000);
	Clock::duration plain{};
	for (int64_t i = 0; i < state.iterations(); ++i)
	{
		if (log.size() == 1000)
			log.clear();
		const auto t0 = Clock::now();
		plainRecord(counts, log, "Level Complete");
		plain += Clock::now() - t0;
	}
	const double perEvent = seconds(engine) / static_cast<double>(state.iterations());
	state.counters["us_per_event"] = perEvent * 1e6;
	state.counters["ratio_to_plain"] = seconds(engine) / seconds(plain);
	state.counters["goal_met"] = perEvent < 5e-6 ? 1 : 0;
}
BENCHMARK(BM_RecordEventThreeParameters);

// Goal: under 1 ms, the longest the main thread waits for a save or a report.
static void BM_CopyFullSessionUnderLock(benchmark::State& state)
{
	AnalyticsSessionData data;
	data.startTime = 0;
	// Recording an error saves at once: these are set in place to keep the benchmark off the disk.
	for (int i = 0; i < 10; ++i)
		data.errors.push_back(analytics::AnalyticsErrorEntry{i + 1, 0, "error", "message", "exception"});
	std::unique_ptr<AnalyticsSession> s(new AnalyticsSession(data));
	s->setEventLoggingEnabled(true);
	for (int i = 0; i < 1000; ++i)
		s->recordEvent("Event " + std::to_string(i % 100), kParams);
	Clock::duration engine{};
	for (auto _ : state)
	{
		const auto t0 = Clock::now();
		AnalyticsSessionData copy = s->snapshot();
		engine += Clock::now() - t0;
		benchmark::DoNotOptimize(copy);
	}
	// The reference copies the same data without the lock.
	const AnalyticsSessionData source = s->snapshot();
	Clock::duration plain{};
	for (int64_t i = 0; i < state.iterations(); ++i)
	{
		const auto t0 = Clock::now();
		AnalyticsSessionData copy = source;
		plain += Clock::now() - t0;
		benchmark::DoNotOptimize(copy);
	}
	const double perCopy = seconds(engine) / static_cast<double>(state.iterations());
	state.counters["us_per_copy"] = perCopy * 1e6;
	state.counters["ratio_to_plain"] = seconds(engine) / seconds(plain);
	state.counters["goal_met"] = perCopy < 1e-3 ? 1 : 0;
}
BENCHMARK(BM_CopyFullSessionUnderLock);
