// Kills the analytics client at random points and counts, on a server on
// 127.0.0.1, how often each session arrives.
//
//   analytics_kill_driver [KILLS [SEED]]
//
// Each round runs a child (this program again) that starts the client with
// debug logging, records a few events, lets the start-of-session send run and
// sometimes ends normally; the child is killed with SIGKILL at a random
// moment, just after the server wrote its answer (plus a random delay of
// up to 4 ms), or as soon as the client stored its answer. The
// client stores each answer it gets after acting on it (debug logging), so a
// stored 2xx answer proves the client had it. At the end two children run
// undisturbed to deliver whatever is left.
//
// Fails when a session arrives again after the client had the 2xx answer for
// it, or when a session never arrives. A session sent again because its answer
// never reached the client is the contract and only counted.

#include "../ReportDecoder.h"
#include "../TestHTTPServer.h"
#include "AnalyticsFiles.h"
#include "AnalyticsUtil.h"
#include <analytics/Analytics.h>
#include <analytics/AnalyticsSession.h>
#include <cjson/cJSON.h>
#include <io/detail/paths.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <random>
#include <set>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace analytics_test;
using analytics::AnalyticsFiles;
using analytics::AnalyticsSession;

namespace
{
typedef std::chrono::steady_clock Clock;

void quiet(const std::string&)
{
}

std::string analyticsFolder(const std::string& root)
{
	return root + "/data/game/AnalyticsFiles";
}

int runChild(const std::string& root, const std::string& url, bool clean, bool terminate)
{
	setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
	setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
	setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
	setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
	setenv("ENGINE_ANALYTICS_BASE_URL", url.c_str(), 1);
	io::detail::setAppdataPath(root + "/data/game");
	analytics::AnalyticsUtil::setSystemVersion("12");
	analytics::AnalyticsUtil::setLogSink(&quiet);
	analytics::AnalyticsUtil::setDebugLogEnabled(true);

	analytics::Analytics facade;
	facade.startSession("KEY");
	if (std::shared_ptr<AnalyticsSession> s = AnalyticsSession::currentSession())
	{
		// The session's start in milliseconds, as its record carries it.
		const std::string line = std::to_string(*s->startTime() / 1000) + "\n";
		const int fd = ::open((root + "/started").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
		if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
			return 3;
		::close(fd);
	}
	for (int i = 0; i < 3; ++i)
		facade.logEvent("step", "i", std::to_string(i));
	if (!AnalyticsSession::waitForSends(clean ? 20000 : 10000))
		return 4;
	if (terminate)
		facade.willTerminate();
	return 0;
}

pid_t spawn(const std::string& root, const std::string& url, const char* mode)
{
	const std::string self = "/proc/self/exe";
	const char* args[] = {"analytics_kill_driver", "--child", root.c_str(), url.c_str(), mode, nullptr};
	const pid_t pid = fork();
	if (pid == 0)
	{
		execv(self.c_str(), const_cast<char* const*>(args));
		_exit(127);
	}
	return pid;
}

// Waits for the child to end by itself; kills it when the bound passes.
bool reap(pid_t pid, int boundMillis, int* status)
{
	const Clock::time_point until = Clock::now() + std::chrono::milliseconds(boundMillis);
	for (;;)
	{
		const pid_t done = waitpid(pid, status, WNOHANG);
		if (done == pid)
			return true;
		if (Clock::now() >= until)
		{
			kill(pid, SIGKILL);
			waitpid(pid, status, 0);
			return false;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(2));
	}
}

// Whether the child stored a 2xx answer (it does so only after acting on it); the files are removed.
bool takeStoredAcknowledgement(const std::string& folder)
{
	bool acknowledged = false;
	DIR* dir = opendir(folder.c_str());
	if (!dir)
		return false;
	std::vector<std::string> stored;
	while (dirent* e = readdir(dir))
	{
		if (std::strncmp(e->d_name, "analyticsResponse", 17) == 0)
			stored.push_back(folder + "/" + e->d_name);
	}
	closedir(dir);
	for (const std::string& path : stored)
	{
		if (cJSON* json = AnalyticsFiles::readJSON(path))
		{
			const cJSON* status = cJSON_GetObjectItemCaseSensitive(json, "statusCode");
			if (cJSON_IsNumber(status) && status->valuedouble >= 200 && status->valuedouble < 300)
				acknowledged = true;
			cJSON_Delete(json);
		}
		::unlink(path.c_str());
	}
	return acknowledged;
}

// Waits until the client stores an answer (renames it into place), at most the bound.
void waitForStoredAnswer(int watch, int boundMillis)
{
	const Clock::time_point until = Clock::now() + std::chrono::milliseconds(boundMillis);
	alignas(inotify_event) char buffer[4096];
	for (;;)
	{
		const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
		pollfd p = {watch, POLLIN, 0};
		if (left <= 0 || poll(&p, 1, left) <= 0)
			return;
		const ssize_t n = read(watch, buffer, sizeof(buffer));
		for (char* q = buffer; n > 0 && q < buffer + n;)
		{
			const inotify_event* e = reinterpret_cast<const inotify_event*>(q);
			if (e->len > 0 && std::strncmp(e->name, "analyticsResponse", 17) == 0)
				return;
			q += sizeof(inotify_event) + e->len;
		}
	}
}

// Drops the events left from a round.
void drain(int watch)
{
	alignas(inotify_event) char buffer[4096];
	while (read(watch, buffer, sizeof(buffer)) > 0)
	{
	}
}

size_t answeredCount(const TestHTTPServer& server)
{
	size_t n = 0;
	for (const ReceivedRequest& r : server.requests())
		n += r.answered ? 1 : 0;
	return n;
}

struct Round
{
	size_t firstRequest, endRequest;
	bool acknowledged;
};

struct Delivery
{
	size_t round;
	bool answered;
};

int runDriver(int kills, unsigned seed)
{
	// In memory when it can be: a kill keeps what the kernel has, and the rounds go faster without disk syncs.
	char pattern[] = "/dev/shm/analytics-kill-XXXXXX";
	char fallback[] = "/tmp/analytics-kill-XXXXXX";
	const char* made = mkdtemp(pattern);
	if (!made)
		made = mkdtemp(fallback);
	if (!made)
		return 2;
	const std::string root = made;
	TestHTTPServer server;
	const std::string url = "http://127.0.0.1:" + std::to_string(server.port());
	std::mt19937 rng(seed);
	std::printf("analytics kill test: %d kills, seed %u, folder %s\n", kills, seed, root.c_str());

	std::vector<Round> rounds;
	const Clock::time_point began = Clock::now();
	// An undisturbed run first: its length is the span the random kills fall in.
	{
		const size_t first = server.requests().size();
		const pid_t pid = spawn(root, url, "clean-terminate");
		int status = 0;
		if (pid < 0 || !reap(pid, 30000, &status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
		{
			std::printf("FAIL: the first undisturbed run ended with status %d\n", status);
			return 1;
		}
		server.waitIdle(5000);
		rounds.push_back({first, server.requests().size(), takeStoredAcknowledgement(analyticsFolder(root))});
	}
	const long lifeMicros = std::max<long>(1000, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began).count());
	std::printf("an undisturbed run takes %.1f ms\n", lifeMicros / 1000.0);
	const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
	if (watch < 0 || inotify_add_watch(watch, analyticsFolder(root).c_str(), IN_MOVED_TO) < 0)
	{
		std::printf("FAIL: cannot watch %s\n", analyticsFolder(root).c_str());
		return 2;
	}
	int done = 0;
	for (; done < kills && Clock::now() - began < std::chrono::seconds(60); ++done)
	{
		const size_t first = server.requests().size();
		const size_t answered = answeredCount(server);
		const pid_t pid = spawn(root, url, rng() % 2 ? "terminate" : "stay");
		if (pid < 0)
			return 2;
		drain(watch);
		if (done % 3 == 0)
		{
			// Anywhere in the child's short life.
			std::this_thread::sleep_for(std::chrono::microseconds(rng() % (lifeMicros + lifeMicros / 4)));
		}
		else if (done % 3 == 1)
		{
			// Around the moment the answer reaches the client.
			server.waitForAnswers(answered + 1, 3000);
			std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
		}
		else
		{
			// Right after the client acted on its answer.
			waitForStoredAnswer(watch, 3000);
		}
		kill(pid, SIGKILL);
		int status = 0;
		waitpid(pid, &status, 0);
		if (!server.waitIdle(5000))
		{
			std::printf("FAIL: the server still serves a killed child\n");
			return 1;
		}
		rounds.push_back({first, server.requests().size(), takeStoredAcknowledgement(analyticsFolder(root))});
	}
	// Two undisturbed runs deliver what is left; the last one's own session stays current.
	for (int i = 0; i < 2; ++i)
	{
		const size_t first = server.requests().size();
		const pid_t pid = spawn(root, url, i == 0 ? "clean-terminate" : "clean");
		int status = 0;
		if (pid < 0 || !reap(pid, 30000, &status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
		{
			std::printf("FAIL: undisturbed run %d ended with status %d\n", i, status);
			return 1;
		}
		server.waitIdle(5000);
		rounds.push_back({first, server.requests().size(), takeStoredAcknowledgement(analyticsFolder(root))});
	}
	const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
	close(watch);

	const std::vector<ReceivedRequest> requests = server.requests();
	std::map<int64_t, std::vector<Delivery>> deliveries;
	for (size_t round = 0; round < rounds.size(); ++round)
	{
		for (size_t r = rounds[round].firstRequest; r < rounds[round].endRequest; ++r)
		{
			if (!requests[r].complete)
				continue;
			try
			{
				for (const DecodedRecord& record : DecodedReport::decode(requests[r].body).records)
					deliveries[record.start].push_back({round, requests[r].answered});
			}
			catch (const std::exception& e)
			{
				std::printf("FAIL: request %zu unreadable: %s\n", r, e.what());
				return 1;
			}
		}
	}

	int afterAcknowledgement = 0, afterServerAnswer = 0, unanswered = 0, repeated = 0;
	for (const auto& d : deliveries)
	{
		const std::vector<Delivery>& list = d.second;
		if (list.size() > 1)
			++repeated;
		for (size_t i = 0; i + 1 < list.size(); ++i)
		{
			if (rounds[list[i].round].acknowledged)
			{
				++afterAcknowledgement;
				std::printf("  session %lld arrived again after the client had its answer (round %zu)\n", static_cast<long long>(d.first), list[i].round);
			}
			else if (list[i].answered)
			{
				++afterServerAnswer;
			}
			else
			{
				++unanswered;
			}
		}
	}

	std::vector<int64_t> started;
	if (FILE* f = std::fopen((root + "/started").c_str(), "r"))
	{
		long long ms;
		while (std::fscanf(f, "%lld", &ms) == 1)
			started.push_back(ms);
		std::fclose(f);
	}
	int lost = 0;
	// The last run's own session is still current: it goes at the next start.
	for (size_t i = 0; i + 1 < started.size(); ++i)
	{
		if (!deliveries.count(started[i]))
		{
			++lost;
			std::printf("  session %lld never arrived\n", static_cast<long long>(started[i]));
		}
	}
	int acknowledgedRounds = 0;
	for (const Round& r : rounds)
		acknowledgedRounds += r.acknowledged ? 1 : 0;

	std::printf("%d kills in %.1f s; %zu sessions started, %zu arrived, %zu requests (%d answers the client acted on)\n", done, seconds,
		started.size(), deliveries.size(), requests.size(), acknowledgedRounds);
	std::printf("sessions arriving more than once: %d; repeats after the client had its 2xx: %d; after the server answered but "
				"before the client read it: %d; before any answer: %d; lost: %d\n",
		repeated, afterAcknowledgement, afterServerAnswer, unanswered, lost);
	server.stop();
	const std::string cmd = "rm -rf '" + root + "'";
	if (std::system(cmd.c_str()) != 0)
		std::printf("could not remove %s\n", root.c_str());
	return afterAcknowledgement == 0 && lost == 0 ? 0 : 1;
}
}

int main(int argc, char** argv)
{
	if (argc >= 5 && std::strcmp(argv[1], "--child") == 0)
	{
		const std::string mode = argv[4];
		return runChild(argv[2], argv[3], mode.compare(0, 5, "clean") == 0, mode.find("terminate") != std::string::npos);
	}
	signal(SIGPIPE, SIG_IGN);
	const int kills = argc > 1 ? std::atoi(argv[1]) : 200;
	const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : static_cast<unsigned>(std::random_device()());
	return runDriver(kills, seed);
}
