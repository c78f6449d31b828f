#include <analytics/Analytics.h>
#include <analytics/AnalyticsAgent.h>
#include <analytics/AnalyticsSession.h>
#include <benchmark/benchmark.h>
#include <io/detail/paths.h>
#include <chrono>
#include <cstdlib>
#include <string>

namespace
{
typedef std::chrono::steady_clock Clock;

const analytics::Analytics::Parameters kParams = {{"level", "12"}, {"score", "123456"}, {"result", "won \xC3\xA9t\xC3\xA9"}};
}

// A script's event through the facade (UTF-8 repair, map copy, the agent's
// guard) against the same event handed to the agent directly.
static void BM_FacadeLogEvent(benchmark::State& state)
{
	char pattern[] = "/tmp/analytics-bench-XXXXXX";
	const std::string root = mkdtemp(pattern);
	setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
	setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
	setenv("ENGINE_ANALYTICS_BASE_URL", "http://127.0.0.1:9", 1);
	io::detail::setAppdataPath(root + "/user");
	analytics::AnalyticsSession::resetProcessState();
	{
		analytics::Analytics facade;
		facade.startSession("BENCHKEY");
		Clock::duration through{};
		for (auto _ : state)
		{
			const auto t0 = Clock::now();
			facade.logEvent("Level Complete", kParams);
			through += Clock::now() - t0;
		}
		Clock::duration direct{};
		for (int64_t i = 0; i < state.iterations(); ++i)
		{
			const auto t0 = Clock::now();
			analytics::AnalyticsAgent::logEvent("Level Complete", kParams);
			direct += Clock::now() - t0;
		}
		state.counters["us_per_event"] = std::chrono::duration<double>(through).count() / static_cast<double>(state.iterations()) * 1e6;
		state.counters["ratio_to_agent"] = std::chrono::duration<double>(through).count() / std::chrono::duration<double>(direct).count();
	}
	analytics::AnalyticsSession::resetProcessState();
	std::system(("rm -rf '" + root + "'").c_str());
}
BENCHMARK(BM_FacadeLogEvent);
