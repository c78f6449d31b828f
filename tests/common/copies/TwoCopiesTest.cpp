// Two copies of the engine started together on one user's folders, again and again: the
// second waits for the first, so no file is torn, emptied or set aside, every start is
// counted in the saves, and the level pack is bought once under one transaction id.
#include <support/TempDir.h>
#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <regex>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Instrumented engines start several times slower: fewer pairs check the same.
constexpr int kPairs = 10;
#else
constexpr int kPairs = 50;
#endif
// Bounds one pair even on a loaded machine; a pair takes about a second.
constexpr auto kPairBudget = std::chrono::seconds(120);

std::string g_work;

pid_t startEngine(const std::string& log, const char* frames = "20")
{
	const pid_t pid = fork();
	if (pid == 0)
	{
		const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
		if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0)
			_exit(90);
		const std::string user = g_work + "/user";
		execl(ENGINE_EXE, ENGINE_EXE, "--user", user.c_str(), "--frames", frames, static_cast<char*>(nullptr));
		_exit(91);
	}
	return pid;
}

/** Whether the log holds text before the deadline. */
bool waitForText(const std::string& log, const std::string& text)
{
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
	while (support::readFile(log).find(text) == std::string::npos)
	{
		if (std::chrono::steady_clock::now() > deadline)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	return true;
}

/** Exit codes of the children, or -1 for one still running at the deadline (then killed). */
std::vector<int> waitAll(std::vector<pid_t> pids)
{
	std::vector<int> codes(pids.size(), -1);
	const auto deadline = std::chrono::steady_clock::now() + kPairBudget;
	size_t left = pids.size();
	while (left > 0 && std::chrono::steady_clock::now() < deadline)
	{
		for (size_t i = 0; i < pids.size(); ++i)
		{
			int status = 0;
			if (pids[i] > 0 && waitpid(pids[i], &status, WNOHANG) == pids[i])
			{
				codes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
				pids[i] = 0;
				--left;
			}
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	for (pid_t pid : pids)
	{
		if (pid > 0)
		{
			kill(pid, SIGKILL);
			waitpid(pid, nullptr, 0);
		}
	}
	return codes;
}

std::vector<std::string> g_files;

int listFile(const char* path, const struct stat*, int type, FTW*)
{
	if (type == FTW_F)
		g_files.push_back(path);
	return 0;
}

bool endsWith(const std::string& s, const std::string& tail)
{
	return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

/** What is wrong with the folders the copies share: files set aside, left half-written, empty or unreadable. */
std::vector<std::string> damage()
{
	std::vector<std::string> found;
	for (const char* folder : {"/user", "/state", "/config"})
	{
		g_files.clear();
		nftw((g_work + folder).c_str(), &listFile, 16, FTW_PHYS);
		for (const std::string& path : g_files)
		{
			const std::string name = path.substr(path.rfind('/') + 1);
			const std::string text = support::readFile(path);
			if (endsWith(name, ".bad") || name.find(".damaged") != std::string::npos)
				found.push_back("set aside: " + path);
			else if (name.find(".tmp") != std::string::npos)
				found.push_back("left behind: " + path);
			else if ((endsWith(name, ".json") || endsWith(name, ".lua")) && text.empty())
				found.push_back("empty: " + path);
			else if (endsWith(name, ".json"))
			{
				cJSON* json = cJSON_ParseWithLength(text.data(), text.size());
				if (!json)
					found.push_back("torn: " + path);
				cJSON_Delete(json);
			}
		}
	}
	return found;
}

std::vector<std::string> ledgerIds(int& next)
{
	std::vector<std::string> ids;
	const std::string text = support::readFile(g_work + "/state/engine/store-ledger.json");
	cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
	next = static_cast<int>(cJSON_GetNumberValue(cJSON_GetObjectItem(root, "nextTransaction")));
	const cJSON* entry = nullptr;
	cJSON_ArrayForEach(entry, cJSON_GetObjectItem(root, "transactions"))
		ids.push_back(cJSON_GetStringValue(cJSON_GetObjectItem(entry, "id")));
	cJSON_Delete(root);
	return ids;
}
}

class TwoCopies : public ::testing::Test
{
protected:
	support::TempDir work;

	void SetUp() override
	{
		ASSERT_FALSE(work.path().empty());
		g_work = work.path();
		setenv("XDG_CONFIG_HOME", (g_work + "/config").c_str(), 1);
		setenv("XDG_STATE_HOME", (g_work + "/state").c_str(), 1);
		setenv("XDG_CACHE_HOME", (g_work + "/cache").c_str(), 1);
		setenv("XDG_DATA_HOME", (g_work + "/data").c_str(), 1);
		setenv("ENGINE_ANALYTICS_BASE_URL", "http://127.0.0.1:9", 1);
		setenv("ALSOFT_DRIVERS", "null", 1);
		unsetenv("DEMO_SERVER");
		unsetenv("DISPLAY");
	}
};

TEST_F(TwoCopies, ShareTheUsersFoldersOneAfterTheOther)
{
	const std::regex start("^demo: start ([0-9]+)$");
	std::vector<int> starts;
	int waited = 0, bought = 0, failedRuns = 0;
	std::vector<std::string> damaged;
	const auto began = std::chrono::steady_clock::now();
	for (int pair = 0; pair < kPairs; ++pair)
	{
		const std::string logs[2] = {g_work + "/a.log", g_work + "/b.log"};
		const std::vector<int> codes = waitAll({startEngine(logs[0]), startEngine(logs[1])});
		for (int i = 0; i < 2; ++i)
		{
			const std::string text = support::readFile(logs[i]);
			if (codes[i] != 0)
			{
				++failedRuns;
				ADD_FAILURE() << "pair " << pair << ": a copy ended with " << codes[i] << "\n" << text;
			}
			waited += text.find("Another copy of the game") != std::string::npos;
			for (size_t at = 0; (at = text.find("demo: store com.tarvel.Zephyra.levelpackrimward 1 0\n", at)) != std::string::npos; ++at)
				++bought;
			size_t begin = 0;
			for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
			{
				std::smatch m;
				const std::string line = text.substr(begin, end - begin);
				if (std::regex_match(line, m, start))
					starts.push_back(std::stoi(m[1]));
			}
		}
		for (const std::string& d : damage())
			damaged.push_back("pair " + std::to_string(pair) + ": " + d);
	}
	const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

	std::sort(starts.begin(), starts.end());
	std::vector<int> expected(2 * kPairs);
	for (int i = 0; i < 2 * kPairs; ++i)
		expected[i] = i + 1;
	int next = 0;
	const std::vector<std::string> ids = ledgerIds(next);
	const std::set<std::string> distinct(ids.begin(), ids.end());
	std::printf("%d pairs in %.1f s: %d second copies waited, %d runs failed, %zu damaged files, %zu of %d starts counted "
		"(%zu distinct), pack bought %d time(s), ledger ids %zu (%zu distinct), nextTransaction %d\n",
		kPairs, seconds, waited, failedRuns, damaged.size(), starts.size(), 2 * kPairs,
		std::set<int>(starts.begin(), starts.end()).size(), bought, ids.size(), distinct.size(), next);
	for (const std::string& d : damaged)
		ADD_FAILURE() << d;
	EXPECT_EQ(expected, starts) << "every start counted once in the saves";
	EXPECT_EQ(1, bought);
	EXPECT_EQ(ids.size(), distinct.size()) << "a transaction id used twice";
	for (const std::string& id : ids)
		EXPECT_LT(std::stoi(id.substr(1)), next) << id;
	// Together means together: most second copies found the first still running.
	EXPECT_GT(waited, kPairs / 2);
}

// A copy that waits says for whom; SIGTERM ends the wait at once, before it wrote anything,
// and one still waiting starts when the first ends.
TEST_F(TwoCopies, AWaitingCopyEndsOnSigtermOrStartsWhenTheFirstEnds)
{
	const std::string first = g_work + "/first.log", second = g_work + "/second.log", third = g_work + "/third.log";
	const pid_t holder = startEngine(first, "1000000");
	// The running copy's pid is in the lock file of each folder it holds.
	for (const char* lock : {"/state/engine/.lock", "/config/engine/.lock", "/user/.lock"})
		ASSERT_TRUE(waitForText(g_work + lock, std::to_string(holder) + "\n")) << lock;
	const std::string waiting = "Another copy of the game (pid " + std::to_string(holder) + ") is using ";

	const pid_t stopped = startEngine(second);
	ASSERT_TRUE(waitForText(second, waiting)) << support::readFile(second);
	kill(stopped, SIGTERM);
	EXPECT_EQ(std::vector<int>{0}, waitAll({stopped}));
	const std::string out = support::readFile(second);
	EXPECT_NE(std::string::npos, out.find("Stopped while waiting for the other copy of the game\n")) << out;
	EXPECT_EQ(std::string::npos, out.find("demo: start")) << out;

	const pid_t next = startEngine(third);
	ASSERT_TRUE(waitForText(third, waiting)) << support::readFile(third);
	kill(holder, SIGTERM);
	EXPECT_EQ((std::vector<int>{0, 0}), waitAll({holder, next}));
	EXPECT_NE(std::string::npos, support::readFile(third).find("demo: start 2\n")) << support::readFile(third);
	EXPECT_TRUE(damage().empty());
}
