#ifndef LANG_THREADINTERRUPTEDEXCEPTION_H
#define LANG_THREADINTERRUPTEDEXCEPTION_H

#include <lang/Exception.h>

namespace lang
{
LANG_DECLARE_EXCEPTION(ThreadInterruptedException, Exception);
}

#endif
