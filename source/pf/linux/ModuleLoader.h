#ifndef PF_LINUX_MODULELOADER_H
#define PF_LINUX_MODULELOADER_H

#include <pf/detail/Modules.h>
#include <lang/Exception.h>
#include <string>

namespace pf
{
namespace detail
{
/**
 * Loads <name>.so and returns its entry point. The module is looked for in
 * $ENGINE_MODULE_DIR when set (only there), else beside the executable, else in
 * the build folder. Throws lang::Exception naming the module and the loader's
 * error when it cannot be loaded or lacks the entry. Modules stay loaded.
 */
void* loadModuleEntry(const char* name, const char* entry);

/** Whether <name>.so is there to be loaded (nothing is loaded); path: where it was looked for. */
bool moduleFound(const char* name, std::string& path);

/** What the engine lends its modules. */
const ModuleHost* moduleHost();

/**
 * The module behind module, loaded on its first call: Entry is the entry point's type.
 * A module that failed leaves failure set (naming it and why) and is not tried again.
 */
template <class Module, class Entry>
Module* loadModuleOnce(const char* name, const char* entry, Module*& module, std::string& failure)
{
	if (module || !failure.empty())
		return module;
	try
	{
		module = reinterpret_cast<Entry>(loadModuleEntry(name, entry))(moduleHost());
		if (!module)
			failure = std::string("Module ") + name + " did not start";
	}
	catch (lang::Exception& e)
	{
		failure = e.getMessage().format();
	}
	return module;
}
}
}

#endif
