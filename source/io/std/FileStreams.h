#ifndef IO_STD_FILESTREAMS_H
#define IO_STD_FILESTREAMS_H

#include <cstdio>
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
/**
 * The last steps of replacing target with the temporary file being written: flush, sync and
 * close it, rename it over target, sync the folder. failure: why writing already failed (the
 * file is then only closed). False, with a line naming target and the step, when target was
 * not replaced; the temporary file is then removed.
 */
bool finishReplacement(FILE* file, const std::string& temp, const std::string& target, std::string failure);
}
}

#endif
