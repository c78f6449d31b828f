#include "SyncRecorder.h"
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool s_failFileSyncs = false;
}

namespace pftest
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
		pftest::synced().push_back(std::string(path, size_t(n)));
	struct stat st;
	if (s_failFileSyncs && fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
	{
		errno = EIO;
		return -1;
	}
	static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
	return real(fd);
}
