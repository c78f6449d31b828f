// The services' polls on the frame path: with nothing due, and with a backlog of 30,000 left by
// earlier runs, which must arrive over many frames rather than freeze one.
#include <pf/Commerce.h>
#include <pf/CommerceListener.h>
#include <pf/LocalNotifications.h>
#include <io/detail/paths.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace
{
const int kBacklog = 30000;

// A state and bundle folder of the benchmark's own.
const std::string& home()
{
	static std::string path;
	if (path.empty())
	{
		char name[] = "/tmp/pf-bench-XXXXXX";
		path = mkdtemp(name);
		setenv("XDG_STATE_HOME", (path + "/state").c_str(), 1);
		setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
		std::system(("mkdir -p '" + path + "/state/engine' '" + path + "/bundle'").c_str());
		io::detail::setBundlePath(path + "/bundle");
		std::ofstream(path + "/bundle/store-catalogue.json") << R"({"products": [{"id": "coins", "title": "Coins", "consumable": true}]})";
		std::atexit([]() { std::system(("rm -rf '" + path + "'").c_str()); });
	}
	return path;
}

void writeNotifications(double firstFire)
{
	std::ofstream out(home() + "/state/engine/notifications.json");
	out << "{\"notifications\": [";
	for (int i = 0; i < kBacklog; ++i)
		out << (i ? "," : "") << "{\"eventName\": \"n" << i << "\", \"fireTime\": " << static_cast<long long>(firstFire) + i << "}";
	out << "]}";
}

void writeLedger()
{
	std::ofstream out(home() + "/state/engine/store-ledger.json");
	out << "{\"nextTransaction\": " << kBacklog + 1 << ", \"transactions\": [";
	for (int i = 1; i <= kBacklog; ++i)
		out << (i > 1 ? "," : "") << "{\"id\": \"T" << i << "\", \"product\": \"coins\", \"quantity\": 1, \"consumable\": true, "
			<< "\"state\": \"pending\", \"receipt\": \"{\\\"transaction\\\":\\\"T" << i << "\\\"}\"}";
	out << "]}";
}

double now()
{
	return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

struct Game : pf::CommerceListener
{
	void paymentFinished(const std::string&, PaymentStatus, pf::Commerce::CommerceError) override {}
	void initFinished(PaymentProviderStatus) override {}
	void getPurchaseHistoryFinished(const std::string&) override {}
};
}

// Goal: well under 1 us: a poll with nothing due touches no file, however many are waiting.
static void BM_NotificationPollNothingDue(benchmark::State& state)
{
	writeNotifications(now() + 3600);
	pf::LocalNotifications::pending();
	size_t heard = 0;
	for (auto _ : state)
		heard += pf::LocalNotifications::deliverDue(now(), [](const std::string&) {});
	benchmark::DoNotOptimize(heard);
}
BENCHMARK(BM_NotificationPollNothingDue);

// Goal: one poll of a 30,000 backlog within about 20 ms (one frame's share), at a few us a notification.
static void BM_NotificationBacklogPoll(benchmark::State& state)
{
	writeNotifications(1000);
	pf::LocalNotifications::pending();
	size_t heard = 0;
	for (auto _ : state)
	{
		size_t n = pf::LocalNotifications::deliverDue(now(), [](const std::string&) {});
		if (n == 0)
		{
			// Through: a fresh backlog (this poll wrote the file whole).
			state.PauseTiming();
			writeNotifications(1000);
			pf::LocalNotifications::pending();
			state.ResumeTiming();
		}
		heard += n;
	}
	state.SetItemsProcessed(static_cast<int64_t>(heard));
}
BENCHMARK(BM_NotificationBacklogPoll)->Unit(benchmark::kMillisecond);

// Goal: as above, for purchases left pending by earlier runs.
static void BM_StoreBacklogPoll(benchmark::State& state)
{
	const char* ids[] = {"coins"};
	Game game;
	std::unique_ptr<pf::Commerce> store;
	int polls = 0;
	for (auto _ : state)
	{
		// A whole backlog takes some 50 polls; then a fresh one.
		if (!store || ++polls > 40)
		{
			state.PauseTiming();
			store.reset();
			writeLedger();
			store.reset(new pf::Commerce(1, ids, &game));
			store->listAvailableItems(&game);
			polls = 0;
			state.ResumeTiming();
		}
		store->checkForCallback();
	}
}
BENCHMARK(BM_StoreBacklogPoll)->Unit(benchmark::kMillisecond);
