// The web engine on first use: pf_webkit (WebKitGTK) is loaded with the first page, so a game
// that shows none never maps GTK or WebKit.
#include <pf/WebKit.h>
#include <pf/WebView.h>
#include "ModuleLoader.h"
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <cstdlib>
#include <string>

namespace pf
{
namespace webkit
{
namespace
{
detail::WebModule* s_module = nullptr;
/** Why the module could not be loaded; it is not tried again. */
std::string s_failure;

/** GDK runs on X11 here: without a display name no page can be shown. */
bool displayNamed()
{
	const char* name = std::getenv("DISPLAY");
	return name && *name;
}

/** The module, loaded on first use; throws the load's error (every time) when it could not be. */
detail::WebModule& module()
{
	if (!s_module && s_failure.empty() &&
		!detail::loadModuleOnce<detail::WebModule, EnginePfWebkitEntry>("pf_webkit", ENGINE_PF_WEBKIT_ENTRY, s_module, s_failure))
		lang::Debug::printf("Web views are not available: %s\n", s_failure.c_str());
	if (!s_module)
		lang::throwError(lang::Exception(lang::Format("{0}", s_failure)));
	return *s_module;
}
}

bool displayAvailable()
{
	if (!s_module && !displayNamed())
		return false;
	try
	{
		return module().displayAvailable();
	}
	catch (lang::Exception&)
	{
		return false;
	}
}

void install()
{
	WebView::setPageFactory(
		[](int x, int y, int w, int h) -> std::unique_ptr<WebPage> {
			if (!s_module && !displayNamed())
				return nullptr;
			return module().makePage(x, y, w, h);
		},
		// Asked when the scripts' table is made: loads nothing, but a module that is not there
		// means no pages, said once.
		[] {
			if (s_module)
				return s_module->supported();
			if (!s_failure.empty() || !displayNamed())
				return false;
			std::string path;
			if (detail::moduleFound("pf_webkit", path))
				return true;
			static bool told = false;
			if (!told)
				lang::Debug::printf("Web views are not available: module pf_webkit is not at %s\n", path.c_str());
			told = true;
			return false;
		},
		[] {
			if (s_module)
				s_module->runPending();
		});
}
}
}
