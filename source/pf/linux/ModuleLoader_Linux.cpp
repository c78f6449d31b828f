#include "ModuleLoader.h"
#include <pf/MainThreadQueue.h>
#include <pf/WebView.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <climits>
#include <cstdlib>
#include <string>
#include <dlfcn.h>
#include <unistd.h>

namespace pf
{
namespace detail
{
namespace
{
std::string modulePath(const std::string& file)
{
	const char* folder = std::getenv("ENGINE_MODULE_DIR");
	if (folder && *folder)
		return std::string(folder) + "/" + file;
	const std::string beside = io::detail::executableFolder() + "/" + file;
#ifdef PF_MODULE_BUILD_DIR
	if (access(beside.c_str(), F_OK) != 0)
		return std::string(PF_MODULE_BUILD_DIR) + "/" + file;
#endif
	return beside;
}
}

bool moduleFound(const char* name, std::string& path)
{
	path = modulePath(std::string(name) + ".so");
	return access(path.c_str(), R_OK) == 0;
}

void* loadModuleEntry(const char* name, const char* entry)
{
	const std::string path = modulePath(std::string(name) + ".so");
	// RTLD_NOW: a module that cannot resolve everything fails here, not in the middle of a frame.
	void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
	if (!handle)
	{
		const char* error = dlerror();
		lang::throwError(lang::Exception(lang::Format("Module {0} could not be loaded: {1}", std::string(name),
			std::string(error ? error : path.c_str()))));
	}
	void* symbol = dlsym(handle, entry);
	if (!symbol)
	{
		const char* error = dlerror();
		lang::throwError(lang::Exception(lang::Format("Module {0} ({1}) has no entry {2}: {3}", std::string(name), path,
			std::string(entry), std::string(error ? error : ""))));
	}
	return symbol;
}

const ModuleHost* moduleHost()
{
	static const ModuleHost host = {
		[](std::function<void()> task) { MainThreadQueue::post(std::move(task)); },
		[](const std::string& line) { lang::Debug::printf("%s\n", line.c_str()); },
		[](int& x, int& y) { return WebView::locateWindow(x, y); },
	};
	return &host;
}
}
}
