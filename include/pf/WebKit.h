#ifndef PF_WEBKIT_H
#define PF_WEBKIT_H

namespace pf
{
namespace webkit
{
/**
 * Makes WebKitGTK the engine of pf::WebView. Web views are then supported
 * when GTK can open a display (X11); the check is made once, on first use.
 */
void install();
/** Whether GTK opened (or can open) its display. */
bool displayAvailable();
}
}

#endif
