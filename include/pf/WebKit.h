#ifndef PF_WEBKIT_H
#define PF_WEBKIT_H

namespace pf
{
namespace webkit
{
/**
 * Makes WebKitGTK the engine of pf::WebView. Web views are then supported
 * while DISPLAY names an X display and the pf_webkit module is there, its
 * file one of this build (a truncated module, or one of another build, is
 * refused by name: no pages). The first page loads the module and GTK opens
 * the display; when the module cannot be loaded, that page fails with the
 * module's name and the loader's error, and when the display cannot be opened
 * it fails too: web views are then no longer supported.
 */
void install();
/** Whether GTK opened (or can open) its display; loads the module. */
bool displayAvailable();
}
}

#endif
