#ifndef NET_CURLGLOBALINIT_H
#define NET_CURLGLOBALINIT_H

namespace net
{
/**
 * Runs curl_global_init once for the whole process. Every user of libcurl
 * calls it before creating an easy handle: the global init is not thread-safe,
 * so it must not race a handle made on another thread.
 */
void curlGlobalInit();
}

#endif
