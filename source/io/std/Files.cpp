#include <io/Files.h>
#include <io/IOException.h>
#include <lang/Debug.h>
#include <lang/throwError.h>
#include "FileStreams.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace io
{
namespace
{
std::string folderOf(const std::string& path)
{
	const std::string::size_type slash = path.find_last_of('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : path.substr(0, slash);
}
}

void makeFolders(const std::string& path, unsigned mode)
{
	for (size_t i = 1; i <= path.size(); ++i)
	{
		if (i < path.size() && path[i] != '/')
			continue;
		const std::string part = path.substr(0, i);
		if (mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
			lang::throwError(IOException(lang::Format("Failed to create {0} with errno {1}", part, errno)));
	}
	struct stat st;
	if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
		lang::throwError(IOException(lang::Format("Failed to create {0}: not a directory", path)));
}

bool replaceFile(const std::string& path, const std::string& bytes)
{
	std::string temp = path + ".tmpXXXXXX";
	const int fd = mkostemp(&temp[0], O_CLOEXEC);
	FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
	if (!file)
	{
		const int error = errno;
		if (fd >= 0)
		{
			close(fd);
			std::remove(temp.c_str());
		}
		lang::Debug::printf("Failed to save %s (open: %s); the previous version stays\n", path.c_str(), std::strerror(error));
		return false;
	}
	std::string failure;
	if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
		failure = std::string("write: ") + std::strerror(errno);
	return detail::finishReplacement(file, temp, path, failure);
}

namespace detail
{
bool finishReplacement(FILE* file, const std::string& temp, const std::string& target, std::string failure)
{
	if (failure.empty() && std::fflush(file) != 0)
		failure = std::string("flush: ") + std::strerror(errno);
	else if (failure.empty() && fsync(fileno(file)) != 0)
		failure = std::string("fsync: ") + std::strerror(errno);
	if (std::fclose(file) != 0 && failure.empty())
		failure = std::string("close: ") + std::strerror(errno);
	if (failure.empty() && std::rename(temp.c_str(), target.c_str()) != 0)
		failure = std::string("rename: ") + std::strerror(errno);
	if (!failure.empty())
	{
		std::remove(temp.c_str());
		lang::Debug::printf("Failed to save %s (%s); the previous version stays\n", target.c_str(), failure.c_str());
		return false;
	}
	// The rename lives in the folder: until the folder is synced a power cut may bring
	// the old file back after the save was reported.
	const int fd = open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0 || fsync(fd) != 0)
		lang::Debug::printf("Saved %s but could not sync its folder (%s)\n", target.c_str(), std::strerror(errno));
	if (fd >= 0)
		close(fd);
	return true;
}
}
}
