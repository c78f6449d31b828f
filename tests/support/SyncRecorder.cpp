#include <support/SyncRecorder.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<bool> s_failFileSyncs(false);
// Any thread of the program may sync; the tests read the list once their writers are done.
std::mutex s_lock;
}

namespace support
{
std::vector<std::string>& synced()
{
	static std::vector<std::string> paths;
	return paths;
}

FailingFileSyncs::FailingFileSyncs() { s_failFileSyncs = true; }
FailingFileSyncs::~FailingFileSyncs() { s_failFileSyncs = false; }
}

extern "C" int fsync(int fd)
{
	char link[64];
	std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
	char path[4096];
	const ssize_t n = readlink(link, path, sizeof path - 1);
	if (n > 0)
	{
		std::lock_guard<std::mutex> lock(s_lock);
		support::synced().push_back(std::string(path, size_t(n)));
	}
	struct stat st;
	if (s_failFileSyncs && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
	{
		errno = EIO;
		return -1;
	}
	static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
	return real(fd);
}
