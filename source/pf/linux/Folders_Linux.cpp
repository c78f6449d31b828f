#include <pf/Folders.h>
#include <io/IOException.h>
#include <lang/throwError.h>
#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf
{
namespace
{
std::string home()
{
	const char* home = std::getenv("HOME");
	if (!home || !home[0])
	{
		const passwd* pw = getpwuid(getuid());
		home = pw ? pw->pw_dir : nullptr;
	}
	if (!home || !home[0])
		lang::throwError(io::IOException(lang::Format("No home folder for the engine's settings and state")));
	return home;
}

std::string xdgFolder(const char* variable, const char* fallback)
{
	std::string base;
	const char* xdg = std::getenv(variable);
	// The base directory rules ignore relative values.
	if (xdg && xdg[0] == '/')
		base = xdg;
	else
		base = home() + "/" + fallback;
	while (base.size() > 1 && base.back() == '/')
		base.pop_back();
	return base + "/engine";
}

const std::string& made(const std::string& path)
{
	for (size_t i = 1; i <= path.size(); ++i)
	{
		if (i < path.size() && path[i] != '/')
			continue;
		const std::string part = path.substr(0, i);
		if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
			lang::throwError(io::IOException(lang::Format("Failed to create {0} with errno {1}", part, errno)));
	}
	struct stat st;
	if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
		lang::throwError(io::IOException(lang::Format("Failed to create {0}: not a directory", path)));
	return path;
}
}

std::string Folders::configPath() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string Folders::statePath() { return xdgFolder("XDG_STATE_HOME", ".local/state"); }

std::string Folders::config()
{
	const std::string path = configPath();
	return made(path);
}

std::string Folders::state()
{
	const std::string path = statePath();
	return made(path);
}
}
