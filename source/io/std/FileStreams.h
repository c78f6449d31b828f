#ifndef IO_STD_FILESTREAMS_H
#define IO_STD_FILESTREAMS_H

#include <string>

namespace io
{
namespace detail
{
/** A path for messages: long ones keep "... " and their last 124 characters. */
std::string shortPath(const std::string& path);
/** The full path of name under root, with one leading '/' of name removed. */
std::string pathUnderRoot(const std::string& root, const std::string& name);
/** A count for messages as plain decimals. */
std::string decimal(long long n);
}
}

#endif
