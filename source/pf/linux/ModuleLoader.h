#ifndef PF_LINUX_MODULELOADER_H
#define PF_LINUX_MODULELOADER_H

#include <pf/detail/Modules.h>

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

/** What the engine lends its modules. */
const ModuleHost* moduleHost();
}
}

#endif
