#include "../Classes/AnalyticsFiles.h"
#include "../Classes/AnalyticsUtil.h"
#include <io/Files.h>
#include <io/IOException.h>
#include <cjson/cJSON.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace analytics
{
bool AnalyticsFiles::writeFile(const std::string& path, const std::string& contents)
{
	// A unique temporary per writer: two threads may save the same file.
	if (!io::replaceFile(path, contents))
		return false;
	AnalyticsUtil::addSkipBackupAttributeToItemAtPath(path);
	return true;
}

std::optional<std::string> AnalyticsFiles::readFile(const std::string& path)
{
	const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return std::nullopt;
	std::string out;
	char buf[16384];
	for (;;)
	{
		const ssize_t n = ::read(fd, buf, sizeof(buf));
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0)
		{
			::close(fd);
			return std::nullopt;
		}
		if (n == 0)
			break;
		out.append(buf, static_cast<size_t>(n));
	}
	::close(fd);
	return out;
}

bool AnalyticsFiles::exists(const std::string& path)
{
	struct stat st;
	return ::stat(path.c_str(), &st) == 0;
}

bool AnalyticsFiles::remove(const std::string& path)
{
	return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

namespace
{
int removeEntry(const char* path, const struct stat*, int, FTW*)
{
	return ::remove(path) == 0 ? 0 : -1;
}
}

bool AnalyticsFiles::removeTree(const std::string& path)
{
	if (!exists(path))
		return false;
	return nftw(path.c_str(), &removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

bool AnalyticsFiles::makeDirectories(const std::string& path)
{
	try
	{
		io::makeFolders(path);
		return true;
	}
	catch (const io::IOException&)
	{
		return false;
	}
}

std::string AnalyticsFiles::moveAside(const std::string& path)
{
	std::string target = path + ".damaged";
	for (int i = 1; exists(target) && i < 1000; ++i)
		target = path + ".damaged." + std::to_string(i);
	if (exists(target) || ::rename(path.c_str(), target.c_str()) != 0)
		return std::string();
	return target;
}

int AnalyticsFiles::lockExclusive(const std::string& path)
{
	const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
	if (fd < 0)
		return -1;
	if (flock(fd, LOCK_EX | LOCK_NB) != 0)
	{
		::close(fd);
		return -1;
	}
	return fd;
}

bool AnalyticsFiles::writeJSON(const std::string& path, const cJSON* json)
{
	std::unique_ptr<char, void (*)(void*)> text(cJSON_PrintUnformatted(json), cJSON_free);
	if (!text)
		return false;
	return writeFile(path, text.get());
}

cJSON* AnalyticsFiles::readJSON(const std::string& path)
{
	const std::optional<std::string> text = readFile(path);
	if (!text)
		return nullptr;
	return cJSON_ParseWithLength(text->data(), text->size());
}
}
