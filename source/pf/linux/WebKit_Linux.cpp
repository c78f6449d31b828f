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
detail::ModuleState& state()
{
	return detail::moduleState("pf_webkit");
}

detail::WebModule* loaded()
{
	return static_cast<detail::WebModule*>(state().module);
}

/** GDK runs on X11 here: without a display name no page can be shown. */
bool displayNamed()
{
	const char* name = std::getenv("DISPLAY");
	return name && *name;
}

void tell(const std::string& line)
{
	if (!state().told)
		lang::Debug::printf("Web views are not available: %s\n", line.c_str());
	state().told = true;
}

/** The module, loaded on first use; throws the load's error (every time) when it could not be. */
detail::WebModule& module()
{
	if (!loaded() && state().failure.empty() &&
		!detail::loadModuleOnce<detail::WebModule, EnginePfWebkitEntry>("pf_webkit", ENGINE_PF_WEBKIT_ENTRY, state()))
		tell(state().failure);
	if (!loaded())
		lang::throwError(lang::Exception(lang::Format("{0}", state().failure)));
	return *loaded();
}

/**
 * Whether pages can be offered: the module is there and its file is one of this build
 * (checked once; nothing of it is loaded). A module that is not is said once, and refused.
 */
bool offered()
{
	detail::ModuleState& s = state();
	if (!s.failure.empty() || !displayNamed())
		return false;
	if (s.fileChecked)
		return true;
	std::string path;
	if (!detail::moduleFound("pf_webkit", path))
	{
		tell("module pf_webkit is not at " + path);
		return false;
	}
	s.failure = detail::checkModuleFile("pf_webkit", ENGINE_PF_WEBKIT_ENTRY, path);
	if (!s.failure.empty())
	{
		tell(s.failure);
		return false;
	}
	s.fileChecked = true;
	return true;
}
}

bool displayAvailable()
{
	if (!loaded() && !displayNamed())
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
			if (!loaded() && !displayNamed())
				return nullptr;
			return module().makePage(x, y, w, h);
		},
		// Asked when the scripts' table is made: loads nothing, but a module that is not there,
		// or not one of this build, means no pages, said once.
		[] { return loaded() ? loaded()->supported() : offered(); },
		[] {
			if (detail::WebModule* m = loaded())
				m->runPending();
		});
}
}
}
