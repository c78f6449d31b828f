#ifndef LANG_OUTOFMEMORYEXCEPTION_H
#define LANG_OUTOFMEMORYEXCEPTION_H

#include <lang/Exception.h>

namespace lang
{
LANG_DECLARE_EXCEPTION(OutOfMemoryException, Exception);
}

#endif
