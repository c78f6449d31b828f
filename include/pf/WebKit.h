#ifndef PF_WEBKIT_H
#define PF_WEBKIT_H

namespace pf
{
namespace webkit
{
/**
 * Makes WebKitGTK the engine of pf::WebView. Web views are then supported
 * while DISPLAY names an X display; GTK opens it with the first page, and
 * when it cannot, that page fails and web views are no longer supported.
 */
void install();
/** Whether GTK opened (or can open) its display. */
bool displayAvailable();
}
}

#endif
