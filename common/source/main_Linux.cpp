// The engine on Linux: runs the game headless for a number of frames, or in a window.
#include "HostServices.h"
#include "OperationReference.h"
#include <gr/gl/EGLHeadlessView.h>
#include <gr/gl/GL_createContext.h>
#include <framework/linux/LinuxHost.h>
#include <pf/Folders.h>
#include <pf/LocalNotifications.h>
#include <pf/WebKit.h>
#include <io/Files.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const USAGE =
	"usage: engine [--window] [--data DIR] [--user DIR] [--frames N] [--capture FILE] [--size WxH] [--url URL]\n"
	"       engine --list-operations\n"
	"  --window           opens a window (default: headless)\n"
	"  --data DIR         the game's folder, holding data_iphone/; its name is the game's name\n"
	"                     (default: demo beside the executable, here %s)\n"
	"  --user DIR         documents folder for save files\n"
	"                     (default: $XDG_DATA_HOME/engine, else ~/.local/share/engine; here %s)\n"
	"  --frames N         frames to run (default 60; in a window 0: until closed)\n"
	"  --capture FILE     writes the last frame as an image file (in a window with --frames)\n"
	"  --size WxH         surface size (default 960x640)\n"
	"  --url URL          starts the game with this URL\n"
	"  --list-operations  prints the reference of the script operations and callbacks (Markdown)\n"
	"  --help, -h         prints this text\n";

std::string defaultData()
{
	return io::detail::executableFolder() + "/demo";
}

/** The default user folder as it would be, without making it. */
std::string defaultUser()
{
	const char* xdg = std::getenv("XDG_DATA_HOME");
	if (xdg && xdg[0] == '/')
		return std::string(xdg) + "/engine";
	const char* home = std::getenv("HOME");
	return std::string(home && *home ? home : "~") + "/.local/share/engine";
}

void printUsage(FILE* out)
{
	std::fprintf(out, USAGE, defaultData().c_str(), defaultUser().c_str());
}

int usage(const char* problem)
{
	std::fprintf(stderr, "engine: %s\n", problem);
	printUsage(stderr);
	return 2;
}

/** The reference of the operations, from a game made on a headless context for the purpose. */
int listOperations()
{
	try
	{
		lang::Ptr<gr::gl::EGLHeadlessView> view = new gr::gl::EGLHeadlessView(2, 64, 64);
		lang::Ptr<gr::Context> context = gr::gles2::GL_createContext(64, 64, gr::Context::ORIENTATION_PORTRAIT,
			&gr::gl::EGLHeadlessView::presentCurrent);
		// The game's log lines of its making go to stderr: stdout holds the reference alone.
		std::fflush(stdout);
		const int out = ::dup(STDOUT_FILENO);
		::dup2(STDERR_FILENO, STDOUT_FILENO);
		std::string text;
		try
		{
			text = scriptOperationReference(context);
		}
		catch (...)
		{
			std::fflush(stdout);
			::dup2(out, STDOUT_FILENO);
			::close(out);
			throw;
		}
		std::fflush(stdout);
		::dup2(out, STDOUT_FILENO);
		::close(out);
		std::fwrite(text.data(), 1, text.size(), stdout);
		return 0;
	}
	catch (lang::Exception& e)
	{
		std::fprintf(stderr, "engine: %s\n", e.getMessage().format().c_str());
		return 1;
	}
}

bool parseInt(const char* text, int& value, int minimum)
{
	char* end = nullptr;
	const long v = std::strtol(text, &end, 10);
	if (end == text || *end != 0 || v < minimum || v > INT_MAX)
		return false;
	value = static_cast<int>(v);
	return true;
}

bool isFolder(const std::string& path)
{
	struct stat st;
	return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeFolders(const std::string& path)
{
	try
	{
		io::makeFolders(path, 0755);
		return true;
	}
	catch (const lang::Exception&)
	{
		return false;
	}
}

void onSignal(int)
{
	framework::LinuxHost::requestStop();
}
}

int main(int argc, char** argv)
{
	framework::LinuxHost::Options options;
	options.dataRoot = defaultData();
	int frames = -1;
	for (int i = 1; i < argc; ++i)
	{
		const std::string arg = argv[i];
		if (arg == "--help" || arg == "-h")
		{
			printUsage(stdout);
			return 0;
		}
		if (arg == "--list-operations")
			return argc == 2 ? listOperations() : usage("--list-operations takes no other option");
		if (arg == "--window")
		{
			options.window = true;
			continue;
		}
		static const char* const withValue[] = {"--data", "--user", "--frames", "--capture", "--url", "--size"};
		if (std::find(std::begin(withValue), std::end(withValue), arg) == std::end(withValue))
			return usage(("unknown option " + arg).c_str());
		if (i + 1 >= argc)
			return usage(("missing value for " + arg).c_str());
		const char* value = argv[++i];
		if (arg == "--data")
			options.dataRoot = value;
		else if (arg == "--user")
			options.userRoot = value;
		else if (arg == "--frames")
		{
			if (!parseInt(value, frames, 0))
				return usage((std::string("bad frame count: ") + value).c_str());
		}
		else if (arg == "--capture")
			options.captureFile = value;
		else if (arg == "--url")
			options.url = value;
		else if (arg == "--size")
		{
			const char* x = std::strchr(value, 'x');
			std::string w(value, x ? static_cast<size_t>(x - value) : std::strlen(value));
			if (!x || !parseInt(w.c_str(), options.width, 1) || !parseInt(x + 1, options.height, 1))
				return usage((std::string("bad size: ") + value).c_str());
		}
		else
			return usage(("unknown option " + arg).c_str());
	}
	if (frames < 0)
		frames = options.window ? 0 : 60;
	if (options.window && !options.captureFile.empty() && frames == 0)
		return usage("--capture in a window needs --frames");
	if (!isFolder(options.dataRoot + "/data_iphone"))
		return usage(("no data_iphone/ in " + options.dataRoot).c_str());

	struct sigaction action;
	std::memset(&action, 0, sizeof(action));
	action.sa_handler = &onSignal;
	sigaction(SIGINT, &action, nullptr);
	sigaction(SIGTERM, &action, nullptr);
	// Tools and tests that stop the engine by a signal wait for this line.
	std::printf("engine: SIGINT and SIGTERM end the game from here on\n");
	std::fflush(stdout);

	int exitCode = 0;
	try
	{
		if (options.userRoot.empty())
			options.userRoot = io::detail::defaultAppdataPath("engine");
		else if (!makeFolders(options.userRoot))
			return usage(("cannot make the user folder " + options.userRoot).c_str());
		// One copy at a time on these folders; SIGINT or SIGTERM while waiting ends the run.
		if (!pf::Folders::lockForThisCopy(options.userRoot))
			return 0;
		// Web views need a display; without one the scripts get no WebView table.
		pf::webkit::install();
		addPlatformServices(options);
		framework::LinuxHost host(options);
		host.setNotificationHandler(&pf::LocalNotifications::notifyListeners, &pf::LocalNotifications::hasListener);
		exitCode = host.run(frames);
	}
	catch (lang::Exception& e)
	{
		std::printf("Exception from game: %s\n", e.getMessage().format().c_str());
		return 1;
	}
	catch (...)
	{
		std::printf("Unknown exception from game!\n");
		return 1;
	}
	if (!options.captureFile.empty())
		std::printf("Captured the last frame to %s\n", options.captureFile.c_str());
	return exitCode;
}
