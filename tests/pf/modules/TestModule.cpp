// Module files for the loader's tests, built twice: with another build's entry names (the
// loader must refuse it before any of its code runs), and with this build's names but a
// function no library defines (it passes the file check and fails in dlopen).
#include <pf/detail/Modules.h>
#include <cstdlib>

#ifdef TEST_MODULE_UNRESOLVED
extern "C" void engine_test_function_nobody_defines();
#endif

namespace
{
__attribute__((constructor)) void loaded()
{
	setenv("ENGINE_TEST_MODULE_RAN", "1", 1);
#ifdef TEST_MODULE_UNRESOLVED
	engine_test_function_nobody_defines();
#endif
}
}

extern "C" __attribute__((visibility("default"))) pf::detail::WebModule* ENGINE_PF_WEBKIT_ENTRY_FUNCTION(const pf::detail::ModuleHost*)
{
	return nullptr;
}

extern "C" __attribute__((visibility("default"))) pf::detail::VideoModule* ENGINE_PF_VIDEO_ENTRY_FUNCTION(const pf::detail::ModuleHost*)
{
	return nullptr;
}
