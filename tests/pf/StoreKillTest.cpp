// Kills a child that buys, or that hears due notifications, at random points, then checks
// what the next start finds: nothing lost, and nothing heard twice but the one in flight.
#include "PfTestSupport.h"
#include <pf/Alert.h>
#include <pf/CommerceListener.h>
#include <pf/LocalNotifications.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using namespace pf;

namespace
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Instrumented runs check memory, not counts: fork() of an instrumented process is slow.
constexpr int kKills = 30;
#else
constexpr int kKills = 300;
#endif
// Bounds the loop even on a slow machine; the kills come long before.
constexpr double kBudgetSeconds = 40;

const char* kIds[] = {"pack", "coins"};

double seconds()
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A line written with one write() survives a SIGKILL of the writer.
void logLine(int fd, const std::string& line)
{
	const std::string text = line + "\n";
	if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
		_exit(90);
}

// The game at work on what it heard, before its effect is kept: a kill lands there too.
void gameWork()
{
	const double until = seconds() + 100e-6;
	while (seconds() < until)
	{
	}
}

std::vector<std::string> lines(const std::string& path)
{
	std::vector<std::string> out;
	std::ifstream in(path);
	for (std::string line; std::getline(in, line);)
		out.push_back(line);
	return out;
}

struct Outcome
{
	int kills = 0;
	int finished = 0;
	double runSeconds = 0;
	double totalSeconds = 0;
};

// Runs `child` in forked processes, killing each after a random part of a whole run's work;
// `prepare` runs in this process before each. The clock starts when the child says it began,
// so that the kills land in its work rather than in fork().
template <class Prepare, class Child>
Outcome killRepeatedly(Prepare prepare, Child child)
{
	// Returns 1 when killed, 0 when it finished, -1 on a failure; `work` is the time from start to end.
	auto runOnce = [&](double killAfter, double& work) {
		prepare();
		int signals[2];
		if (pipe(signals) != 0)
			return -1;
		const pid_t pid = fork();
		if (pid == 0)
		{
			close(signals[0]);
			logLine(signals[1], "S");
			child();
			logLine(signals[1], "E");
			_exit(0);
		}
		close(signals[1]);
		if (pid < 0)
		{
			close(signals[0]);
			return -1;
		}
		char mark = 0;
		pollfd ready = {signals[0], POLLIN, 0};
		const bool started = poll(&ready, 1, 10000) == 1 && read(signals[0], &mark, 1) == 1 && mark == 'S';
		const double begin = seconds();
		if (started && killAfter >= 0)
		{
			const long nanos = static_cast<long>(killAfter * 1e9);
			timespec delay = {nanos / 1000000000L, nanos % 1000000000L};
			nanosleep(&delay, nullptr);
		}
		if (!started || killAfter >= 0)
			kill(pid, SIGKILL);
		else
		{
			// Up to the end mark: the rest is the process going away.
			char rest[8];
			while (read(signals[0], rest, sizeof(rest)) > 0)
			{
			}
			work = seconds() - begin;
		}
		close(signals[0]);
		int status = 0;
		waitpid(pid, &status, 0);
		if (!started)
			return -1;
		if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
			return 1;
		return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
	};
	// How long a run's work takes here (sanitizers and busy machines included).
	const double begin = seconds();
	std::vector<double> runs;
	for (int i = 0; i < 5; ++i)
	{
		double work = 0;
		EXPECT_EQ(runOnce(-1, work), 0);
		runs.push_back(work);
	}
	std::sort(runs.begin(), runs.end());
	Outcome outcome;
	outcome.runSeconds = runs[2];
	std::mt19937 random(20261211);
	// Most runs are cut short; the states of a run's end recur in its middle.
	std::uniform_real_distribution<double> when(0, 0.7 * outcome.runSeconds);
	const double deadline = begin + kBudgetSeconds;
	while (outcome.kills < kKills && seconds() < deadline)
	{
		double work = 0;
		const int result = runOnce(when(random), work);
		if (result < 0)
		{
			ADD_FAILURE() << "a child failed on its own";
			break;
		}
		outcome.kills += result;
		outcome.finished += result == 0;
	}
	outcome.totalSeconds = seconds() - begin;
	return outcome;
}

// The game's side: notes each purchase with the transaction its receipt names, acknowledges it, notes that.
struct Game : CommerceListener
{
	Commerce* store = nullptr;
	int log = -1;

	void paymentFinished(const std::string& id, PaymentStatus status, Commerce::CommerceError) override
	{
		if (id.empty() || status != PAYMENT_COMPLETED)
			return;
		std::string transaction = "?";
		for (const lang::Ptr<CommerceItem>& item : store->getItems())
		{
			const std::string receipt(item->receipt().begin(), item->receipt().end());
			const size_t at = receipt.find("\"transaction\":\"");
			if (item->productId() == id && item->quantity() >= 1 && at != std::string::npos)
				transaction = receipt.substr(at + 15, receipt.find('"', at + 15) - at - 15);
		}
		gameWork();
		logLine(log, "D " + transaction);
		store->finishTransaction(id);
		logLine(log, "K " + transaction);
	}
	void initFinished(PaymentProviderStatus) override {}
	void getPurchaseHistoryFinished(const std::string&) override {}
};
}

class StoreKillTest : public PfTest
{
protected:
	void SetUp() override
	{
		PfTest::SetUp();
		writeFile(m_home / "bundle/store-catalogue.json", R"({"products": [
			{"id": "coins", "title": "Coins", "price": "0,99", "consumable": true},
			{"id": "pack", "title": "Pack", "price": "1,99"}]})");
		Alert::setPresenter([](const std::string&, const std::string&, const std::vector<std::string>&) { return 0; });
	}
	void TearDown() override { Alert::setPresenter(nullptr); }

	// One run of the game: earlier purchases arrive with the product list, then it buys a few.
	void playStore(int runSeed)
	{
		const std::string logPath = m_home / "store.log";
		Game game;
		game.log = open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
		Commerce store(2, kIds, &game);
		game.store = &store;
		store.listAvailableItems(&game);
		store.checkForCallback();
		for (int i = 0; i < 4; ++i)
		{
			// A non-consumable now and then: it stays in the ledger for restores.
			const char* product = runSeed % 8 == 0 && i == 0 ? "pack" : "coins";
			// A pack owned already is answered by its earlier purchase: only coins make a new one each time.
			if (store.buyItemId(product, &game) && product == std::string("coins"))
				logLine(game.log, "A");
			// Now and then two purchases wait for one poll.
			if ((runSeed + i) % 3 != 0)
				store.checkForCallback();
		}
		store.checkForCallback();
	}
};

TEST_F(StoreKillTest, PurchasesSurviveKillsAtAnyPoint)
{
	int run = 0;
	const Outcome outcome = killRepeatedly([&]() { ++run; }, [&]() { playStore(run); });
	// The runs after the last kill: every purchase left over arrives.
	playStore(++run);

	int accepted = 0;
	int withoutItem = 0;
	std::map<std::string, std::vector<bool>> deliveries;
	std::set<std::string> acknowledged;
	for (const std::string& line : lines(m_home / "store.log"))
	{
		if (line == "A")
			++accepted;
		else if (line.compare(0, 2, "D ") == 0)
		{
			const std::string id = line.substr(2);
			withoutItem += id == "?";
			deliveries[id].push_back(acknowledged.count(id) != 0);
		}
		else if (line.compare(0, 2, "K ") == 0)
			acknowledged.insert(line.substr(2));
	}
	// Every transaction the ledger ever numbered reached the game.
	const std::string ledger = readFile(statePath("store-ledger.json"));
	const size_t at = ledger.find("\"nextTransaction\":");
	ASSERT_NE(at, std::string::npos);
	const int next = std::stoi(ledger.substr(at + 18));
	int lost = 0;
	int twiceInsideTheListener = 0;
	int twiceAfterAcknowledged = 0;
	for (int i = 1; i < next; ++i)
	{
		const auto it = deliveries.find("T" + std::to_string(i));
		if (it == deliveries.end())
		{
			++lost;
			continue;
		}
		for (size_t d = 1; d < it->second.size(); ++d)
			(it->second[d] ? twiceAfterAcknowledged : twiceInsideTheListener) += 1;
	}
	std::cout << "purchases: " << outcome.kills << " kills in " << outcome.totalSeconds << " s (a whole run " << outcome.runSeconds * 1000
			  << " ms), " << outcome.finished << " runs not killed, " << next - 1
			  << " transactions, " << accepted << " buys reported, " << lost << " lost, " << twiceInsideTheListener
			  << " heard twice after a kill inside the listener, " << twiceAfterAcknowledged << " after the acknowledgement; ledger "
			  << ledger.size() << " bytes" << std::endl;
	EXPECT_GE(outcome.kills, kKills);
	EXPECT_EQ(lost, 0);
	EXPECT_EQ(twiceAfterAcknowledged, 0);
	EXPECT_EQ(withoutItem, 0) << "a purchase reached the game without its item's quantity and receipt";
	EXPECT_LE(accepted, next - 1);
	EXPECT_EQ(deliveries.size(), static_cast<size_t>(next - 1));
	// What is left: only non-consumables, all finished.
	EXPECT_EQ(ledger.find("\"pending\""), std::string::npos);
	EXPECT_EQ(ledger.find("\"delivering\""), std::string::npos);
	EXPECT_EQ(ledger.find("\"coins\""), std::string::npos);
}

TEST_F(StoreKillTest, DueNotificationsSurviveKillsAtAnyPoint)
{
	const std::string logPath = m_home / "notes.log";
	LocalNotifications notes;
	int scheduled = 0;
	auto topUp = [&]() {
		if (LocalNotifications::pending().size() >= 3)
			return;
		for (int i = 0; i < 6; ++i)
			ASSERT_TRUE(notes.addNotificationAfter("n" + std::to_string(++scheduled), -1, "due"));
	};
	auto hearDue = [&]() {
		const int log = open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
		logLine(log, "S");
		LocalNotifications::deliverDue([log](const std::string& name) {
			gameWork();
			logLine(log, "D " + name);
		});
		close(log);
	};
	const Outcome outcome = killRepeatedly(topUp, hearDue);
	// The last run hears what is left.
	hearDue();
	EXPECT_TRUE(LocalNotifications::pending().empty());

	// A repeat is allowed only for the notification a killed run was hearing: the last of its run.
	std::map<std::string, int> heard;
	std::string lastOfRun;
	std::string previousRunLast;
	int repeats = 0;
	int badRepeats = 0;
	for (const std::string& line : lines(logPath))
	{
		if (line == "S")
		{
			// A run killed before it heard anything leaves the one in flight as it was.
			if (!lastOfRun.empty())
				previousRunLast = lastOfRun;
			lastOfRun.clear();
			continue;
		}
		const std::string name = line.substr(2);
		if (heard[name]++ > 0)
		{
			++repeats;
			badRepeats += name != previousRunLast;
		}
		lastOfRun = name;
	}
	int lost = 0;
	for (int i = 1; i <= scheduled; ++i)
		lost += heard.count("n" + std::to_string(i)) == 0;
	std::cout << "notifications: " << outcome.kills << " kills in " << outcome.totalSeconds << " s (a whole run " << outcome.runSeconds * 1000
			  << " ms), " << outcome.finished << " runs not killed, " << scheduled
			  << " scheduled, " << lost << " lost, " << repeats << " heard twice (the one in flight at a kill), " << badRepeats
			  << " other repeats" << std::endl;
	EXPECT_GE(outcome.kills, kKills);
	EXPECT_EQ(lost, 0);
	EXPECT_EQ(badRepeats, 0);
	EXPECT_EQ(heard.size(), static_cast<size_t>(scheduled));
}
