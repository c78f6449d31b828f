#ifndef PF_LINUX_MODULELOADER_H
#define PF_LINUX_MODULELOADER_H

#include <pf/detail/Modules.h>
#include <lang/Exception.h>
#include <string>

namespace pf
{
namespace detail
{
/** What the engine knows of one module: loaded, refused (and why), or not asked for yet. */
struct ModuleState
{
	/** What the entry point returned. */
	void* module = nullptr;
	/** Why the module cannot be used, naming it; it is not tried again. */
	std::string failure;
	/** The module's file passed the check (nothing of it loaded yet). */
	bool fileChecked = false;
	/** A line about it was printed already. */
	bool told = false;
};

/** The state of the module called name, for the whole process (until resetModules). */
ModuleState& moduleState(const char* name);

/**
 * Loads <name>.so and returns its entry point. The module is looked for in
 * $ENGINE_MODULE_DIR when set (only there), else beside the executable, else in
 * the build folder. Its file is checked first (checkModuleFile). Throws
 * lang::Exception naming the module and the cause when it cannot be loaded or
 * lacks the entry. Modules stay loaded.
 */
void* loadModuleEntry(const char* name, const char* entry);

/** Whether <name>.so is there to be loaded (nothing is loaded); path: where it was looked for. */
bool moduleFound(const char* name, std::string& path);

/**
 * Why the file at path cannot be the module name of this build, read from the file alone
 * (nothing of it is mapped or run): "" when it can be. A file that is not a complete
 * shared object (dlopen would fault on the parts it lacks) or whose entry has another
 * version than entry is refused, naming the module. One that cannot be opened is left
 * to dlopen.
 */
std::string checkModuleFile(const char* name, const char* entry, const std::string& path);

/** What the engine lends its modules. */
const ModuleHost* moduleHost();

/**
 * The module behind state, loaded on its first call: Entry is the entry point's type.
 * A module that failed leaves state.failure set (naming it and why) and is not tried again.
 */
template <class Module, class Entry>
Module* loadModuleOnce(const char* name, const char* entry, ModuleState& state)
{
	if (state.module || !state.failure.empty())
		return static_cast<Module*>(state.module);
	try
	{
		Module* module = reinterpret_cast<Entry>(loadModuleEntry(name, entry))(moduleHost());
		state.module = module;
		if (!module)
			state.failure = std::string("Module ") + name + " did not start";
	}
	catch (lang::Exception& e)
	{
		state.failure = e.getMessage().format();
	}
	return static_cast<Module*>(state.module);
}
}
}

#endif
