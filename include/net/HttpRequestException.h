#ifndef NET_HTTPREQUESTEXCEPTION_H
#define NET_HTTPREQUESTEXCEPTION_H

#include <lang/Exception.h>

namespace net
{
/** A transfer that did not complete; the message is the transport's own text. */
LANG_DECLARE_EXCEPTION(HttpRequestException, lang::Exception);
}

#endif
