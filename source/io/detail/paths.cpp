#include <io/detail/paths.h>
#include <io/Files.h>
#include <io/IOException.h>
#include <lang/throwError.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace io
{
namespace detail
{
namespace
{
std::string& bundleRoot()
{
	static std::string root(".");
	return root;
}

std::string& appdataRoot()
{
	static std::string root(".");
	return root;
}
}

std::string bundlePath() { return bundleRoot(); }
std::string appdataPath() { return appdataRoot(); }
void setBundlePath(const std::string& path) { bundleRoot() = path; }
void setAppdataPath(const std::string& path) { appdataRoot() = path; }

namespace
{
/** The last part of a folder's path; "" for ".", ".." and "/". */
std::string lastPart(std::string path)
{
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	const size_t slash = path.rfind('/');
	if (slash != std::string::npos)
		path = path.substr(slash + 1);
	return path == "." || path == ".." || path == "/" ? "" : path;
}
}

std::string appdataName()
{
	const std::string game = lastPart(appdataPath());
	return game.empty() ? "engine" : game;
}

std::string gameName()
{
	std::string game = lastPart(bundlePath());
	if (game.empty())
	{
		char resolved[PATH_MAX];
		if (realpath(bundlePath().c_str(), resolved))
			game = lastPart(resolved);
	}
	return game.empty() ? "engine" : game;
}

std::string xdgBaseFolder(const char* variable, const char* fallback)
{
	std::string base;
	const char* xdg = std::getenv(variable);
	if (xdg && xdg[0] == '/')
	{
		base = xdg;
	}
	else
	{
		const char* home = std::getenv("HOME");
		if (!home || !home[0])
		{
			const passwd* pw = getpwuid(getuid());
			home = pw ? pw->pw_dir : nullptr;
		}
		if (!home || !home[0])
			lang::throwError(IOException(lang::Format("No home folder for ~/{0}, and {1} names no absolute path", fallback, variable)));
		base = std::string(home) + "/" + fallback;
	}
	while (base.size() > 1 && base.back() == '/')
		base.pop_back();
	return base;
}

std::string defaultAppdataPath(const std::string& game)
{
	const std::string path = xdgBaseFolder("XDG_DATA_HOME", ".local/share") + "/" + game;
	makeFolders(path);
	return path;
}

std::string executableFolder()
{
	char buf[PATH_MAX];
	const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
	if (n <= 0)
		return ".";
	buf[n] = 0;
	const std::string path(buf);
	const size_t slash = path.rfind('/');
	return slash == std::string::npos ? "." : path.substr(0, slash);
}
}
}
