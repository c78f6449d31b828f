#ifndef IO_FILES_H
#define IO_FILES_H

#include <string>

namespace io
{
/**
 * Makes the folder and its missing parents with the given permission bits.
 * Throws io::IOException naming the part that could not be made, or the
 * path when it is there but is not a folder.
 */
void makeFolders(const std::string& path, unsigned mode = 0700);

/**
 * Replaces the file at path with bytes, never in place: they go to a new
 * file beside it under a unique name (two writers never share one), which is
 * synced and renamed over path; then the folder is synced, so the new
 * version is what a power cut leaves once this returned. False, with a line
 * naming the file and the step, when a step failed: the old file stays and
 * the new one is removed.
 */
bool replaceFile(const std::string& path, const std::string& bytes);
}

#endif
