#ifndef LANG_FORMATEXCEPTION_H
#define LANG_FORMATEXCEPTION_H

#include <lang/Exception.h>

namespace lang
{
LANG_DECLARE_EXCEPTION(FormatException, Exception);
}

#endif
