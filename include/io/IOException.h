#ifndef IO_IOEXCEPTION_H
#define IO_IOEXCEPTION_H

#include <lang/Exception.h>

namespace io
{
/** File, stream and data-format errors. */
LANG_DECLARE_EXCEPTION(IOException, lang::Exception);
}

#endif
