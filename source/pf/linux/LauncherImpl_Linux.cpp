#include <pf/Launcher.h>
#include <pf/EmailerSender.h>
#include <lang/Debug.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <future>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace pf
{
class LauncherImpl : public lang::Object
{
public:
	EmailerSender m_emailer;
};

namespace
{
std::string lower(std::string s)
{
	for (char& c : s)
	{
		if (c >= 'A' && c <= 'Z')
			c = static_cast<char>(c - 'A' + 'a');
	}
	return s;
}

std::string trim(const std::string& s)
{
	const size_t a = s.find_first_not_of(" \t\r");
	if (a == std::string::npos)
		return std::string();
	const size_t b = s.find_last_not_of(" \t\r");
	return s.substr(a, b - a + 1);
}

std::vector<std::string> splitList(const std::string& text, char separator)
{
	std::vector<std::string> parts;
	std::string part;
	std::istringstream in(text);
	while (std::getline(in, part, separator))
	{
		part = trim(part);
		if (!part.empty())
			parts.push_back(part);
	}
	return parts;
}

std::string homeFolder()
{
	const char* home = std::getenv("HOME");
	return home ? std::string(home) : std::string();
}

// An absolute XDG variable, else the fallback under the home folder.
std::string xdgHome(const char* variable, const char* fallback)
{
	const char* value = std::getenv(variable);
	if (value && value[0] == '/')
		return value;
	const std::string home = homeFolder();
	return home.empty() ? std::string() : home + "/" + fallback;
}

std::vector<std::string> xdgDirs(const char* variable, const char* fallback)
{
	const char* value = std::getenv(variable);
	std::vector<std::string> dirs;
	for (const std::string& dir : splitList(value && value[0] ? value : fallback, ':'))
	{
		if (dir[0] == '/')
			dirs.push_back(dir);
	}
	return dirs;
}

// A handler named under [Default Applications] or [Added Associations] of a mimeapps.list.
bool listedInMimeapps(const std::string& path, const std::string& type)
{
	std::ifstream in(path);
	std::string line;
	bool inSection = false;
	while (std::getline(in, line))
	{
		line = trim(line);
		if (line.empty() || line[0] == '#')
			continue;
		if (line[0] == '[')
		{
			inSection = line == "[Default Applications]" || line == "[Added Associations]";
			continue;
		}
		const size_t eq = line.find('=');
		if (!inSection || eq == std::string::npos || lower(trim(line.substr(0, eq))) != type)
			continue;
		if (!splitList(line.substr(eq + 1), ';').empty())
			return true;
	}
	return false;
}

bool desktopFileHandles(const std::string& path, const std::string& type)
{
	std::ifstream in(path);
	std::string line;
	bool inEntry = false;
	while (std::getline(in, line))
	{
		line = trim(line);
		if (!line.empty() && line[0] == '[')
		{
			inEntry = line == "[Desktop Entry]";
			continue;
		}
		if (!inEntry || line.compare(0, 8, "MimeType") != 0)
			continue;
		const size_t eq = line.find('=');
		if (eq == std::string::npos || trim(line.substr(0, eq)) != "MimeType")
			continue;
		for (const std::string& listed : splitList(line.substr(eq + 1), ';'))
		{
			if (lower(listed) == type)
				return true;
		}
	}
	return false;
}

bool anyDesktopFileHandles(const std::string& folder, const std::string& type)
{
	DIR* dir = opendir(folder.c_str());
	if (!dir)
		return false;
	bool found = false;
	while (dirent* entry = readdir(dir))
	{
		const std::string name = entry->d_name;
		if (name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0 && desktopFileHandles(folder + "/" + name, type))
		{
			found = true;
			break;
		}
	}
	closedir(dir);
	return found;
}

// How long the caller waits for the opener's answer. xdg-open hands the URL to a program and ends at once;
// an opener still running after this is taken as handling the URL.
const std::chrono::seconds OPENER_ANSWER_TIME(2);

// Whether the opener took the URL: its exit status, or still running after the answer time.
bool runOpener(const std::string& argument)
{
	const char* custom = std::getenv("ENGINE_URL_OPENER");
	const std::string opener = custom && custom[0] ? custom : "xdg-open";
	std::vector<char*> argv = {const_cast<char*>(opener.c_str()), const_cast<char*>(argument.c_str()), nullptr};
	// The opener (and the browser it starts) gets only the standard descriptors: an inherited state
	// lock or pipe would outlive the game in a long-running browser.
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addclosefrom_np(&actions, 3);
	pid_t pid = 0;
	const int error = posix_spawnp(&pid, opener.c_str(), &actions, nullptr, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	if (error != 0)
	{
		lang::Debug::printf("Could not start %s: %s\n", opener.c_str(), std::strerror(error));
		return false;
	}
	// The waiter reaps the opener whenever it ends, so a slow one never stays a zombie.
	std::shared_ptr<std::promise<int>> ended = std::make_shared<std::promise<int>>();
	std::future<int> status = ended->get_future();
	std::thread([pid, ended]() {
		int value = 0;
		pid_t got = 0;
		while ((got = waitpid(pid, &value, 0)) < 0 && errno == EINTR)
		{
		}
		ended->set_value(got == pid ? value : -1);
	}).detach();
	if (status.wait_for(OPENER_ANSWER_TIME) != std::future_status::ready)
		return true;
	const int value = status.get();
	if (WIFEXITED(value) && WEXITSTATUS(value) == 0)
		return true;
	if (WIFEXITED(value))
		lang::Debug::printf("%s could not open the URL (exit status %d)\n", opener.c_str(), WEXITSTATUS(value));
	else
		lang::Debug::printf("%s ended without opening the URL\n", opener.c_str());
	return false;
}
}

Launcher::Launcher() :
	m_this(new LauncherImpl)
{
}

Launcher::~Launcher() {}

std::string Launcher::schemeOf(const std::string& url)
{
	const size_t colon = url.find(':');
	if (colon == std::string::npos || colon == 0)
		return std::string();
	for (size_t i = 0; i < colon; ++i)
	{
		const char c = url[i];
		const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
		const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
		if (!alpha && (i == 0 || !other))
			return std::string();
	}
	for (unsigned char c : url)
	{
		if (c <= 0x20 || c == 0x7F)
			return std::string();
	}
	return lower(url.substr(0, colon));
}

bool Launcher::openURL(const std::string& url)
{
	if (schemeOf(url).empty())
		return false;
	return runOpener(url);
}

bool Launcher::canOpenProgram(const std::string& url)
{
	const std::string scheme = schemeOf(url);
	if (scheme.empty())
		return false;
	const std::string type = "x-scheme-handler/" + scheme;

	std::vector<std::string> lists;
	const std::string configHome = xdgHome("XDG_CONFIG_HOME", ".config");
	if (!configHome.empty())
		lists.push_back(configHome + "/mimeapps.list");
	for (const std::string& dir : xdgDirs("XDG_CONFIG_DIRS", "/etc/xdg"))
		lists.push_back(dir + "/mimeapps.list");
	std::vector<std::string> appFolders;
	const std::string dataHome = xdgHome("XDG_DATA_HOME", ".local/share");
	if (!dataHome.empty())
		appFolders.push_back(dataHome + "/applications");
	for (const std::string& dir : xdgDirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))
		appFolders.push_back(dir + "/applications");
	for (const std::string& folder : appFolders)
		lists.push_back(folder + "/mimeapps.list");

	for (const std::string& list : lists)
	{
		if (listedInMimeapps(list, type))
			return true;
	}
	for (const std::string& folder : appFolders)
	{
		if (anyDesktopFileHandles(folder, type))
			return true;
	}
	return false;
}

EmailerSender& Launcher::emailer()
{
	return m_this->m_emailer;
}

EmailerSender::EmailerSender() :
	m_delegate(nullptr)
{
}

EmailerSender::~EmailerSender()
{
	m_delegate = nullptr;
}

namespace
{
std::string percentEncoded(const std::string& text)
{
	static const char hex[] = "0123456789ABCDEF";
	std::string out;
	for (unsigned char c : text)
	{
		const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
		if (plain)
		{
			out += static_cast<char>(c);
		}
		else
		{
			out += '%';
			out += hex[c >> 4];
			out += hex[c & 15];
		}
	}
	return out;
}
}

std::string EmailerSender::mailtoURL(const std::string& recipient, const std::string& subject, const std::string& body)
{
	std::string url = "mailto:" + percentEncoded(recipient);
	// The address keeps its '@' readable; it is allowed unencoded in a mailto path.
	for (size_t at = url.find("%40"); at != std::string::npos; at = url.find("%40", at + 1))
		url.replace(at, 3, "@");
	return url + "?subject=" + percentEncoded(subject) + "&body=" + percentEncoded(body);
}

void EmailerSender::sendEmail(const std::string& recipient, const std::string& subject, const std::string& body)
{
	const bool opened = runOpener(mailtoURL(recipient, subject, body));
	if (m_delegate)
		m_delegate->emailFinished(opened ? 2 : 0);
}
}
