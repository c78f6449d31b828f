#include <pf/Folders.h>
#include <io/Files.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace pf
{
namespace
{
std::string xdgFolder(const char* variable, const char* fallback)
{
	return io::detail::xdgBaseFolder(variable, fallback) + "/engine";
}

/** The pid the holder wrote into its lock file, or "" while it has not. */
std::string holder(int fd)
{
	char text[32] = {};
	const ssize_t n = pread(fd, text, sizeof(text) - 1, 0);
	if (n <= 0)
		return std::string();
	text[n] = 0;
	const long pid = std::strtol(text, nullptr, 10);
	return pid > 0 ? std::to_string(pid) : std::string();
}

void cannotLock(const std::string& folder, const std::string& why)
{
	lang::Debug::printf("Cannot lock %s (%s): another copy of the game could use it at the same time\n", folder.c_str(), why.c_str());
}

/**
 * Takes the lock of one folder, waiting while another copy holds it; false when a signal ended
 * the wait. A folder that cannot be locked is said and left: the game runs as it did without.
 */
bool lockFolder(const std::string& folder)
{
	const std::string path = folder + "/.lock";
	// The descriptor stays open for the rest of the process: closing it would drop the lock.
	const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
	if (fd < 0)
	{
		cannotLock(folder, std::strerror(errno));
		return true;
	}
	if (flock(fd, LOCK_EX | LOCK_NB) != 0)
	{
		if (errno != EWOULDBLOCK)
		{
			cannotLock(folder, std::strerror(errno));
			close(fd);
			return true;
		}
		// SIGINT and SIGTERM are held while this copy waits and taken here, ending the wait;
		// with a blocking lock, one that came just before it would be lost.
		sigset_t stops, previous;
		sigemptyset(&stops);
		sigaddset(&stops, SIGINT);
		sigaddset(&stops, SIGTERM);
		pthread_sigmask(SIG_BLOCK, &stops, &previous);
		const std::string pid = holder(fd);
		lang::Debug::printf("Another copy of the game%s is using %s; waiting for it to end\n",
			pid.empty() ? "" : (" (pid " + pid + ")").c_str(), folder.c_str());
		std::fflush(stdout);
		const timespec interval = {0, 100 * 1000 * 1000};
		int error = 0;
		bool stopped = false;
		while (!stopped && flock(fd, LOCK_EX | LOCK_NB) != 0)
		{
			if (errno != EWOULDBLOCK && errno != EINTR)
			{
				error = errno;
				break;
			}
			stopped = sigtimedwait(&stops, nullptr, &interval) > 0;
		}
		pthread_sigmask(SIG_SETMASK, &previous, nullptr);
		if (stopped || error)
		{
			close(fd);
			if (stopped)
				lang::Debug::printf("Stopped while waiting for the other copy of the game\n");
			else
				cannotLock(folder, std::strerror(error));
			return !stopped;
		}
	}
	const std::string pid = std::to_string(getpid()) + "\n";
	if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
		lang::Debug::printf("Could not write this copy's pid into %s (%s)\n", path.c_str(), std::strerror(errno));
	return true;
}
}

bool Folders::lockForThisCopy(const std::string& userFolder)
{
	std::vector<std::string> paths;
	for (std::string (*made)() : {&Folders::state, &Folders::config})
	{
		try
		{
			paths.push_back(made());
		}
		catch (const io::IOException& e)
		{
			cannotLock("a folder of the game", e.getMessage().format());
		}
	}
	paths.push_back(userFolder);
	std::vector<std::string> folders;
	for (const std::string& path : paths)
	{
		char real[PATH_MAX];
		if (realpath(path.c_str(), real))
			folders.push_back(real);
		else
			cannotLock(path, std::strerror(errno));
	}
	// One order for every copy, whatever folders each shares with another: no two wait on each other.
	std::sort(folders.begin(), folders.end());
	folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
	for (const std::string& folder : folders)
	{
		if (!lockFolder(folder))
			return false;
	}
	return true;
}

std::string Folders::configPath() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string Folders::statePath() { return xdgFolder("XDG_STATE_HOME", ".local/state"); }

std::string Folders::config()
{
	const std::string path = configPath();
	io::makeFolders(path);
	return path;
}

std::string Folders::state()
{
	const std::string path = statePath();
	io::makeFolders(path);
	return path;
}
}
