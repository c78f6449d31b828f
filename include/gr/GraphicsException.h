#ifndef GR_GRAPHICSEXCEPTION_H
#define GR_GRAPHICSEXCEPTION_H

#include <lang/Exception.h>

namespace gr
{
/** Bad data or an unsupported request of the rendering layer. */
LANG_DECLARE_EXCEPTION(GraphicsException, lang::Exception);
}

#endif
