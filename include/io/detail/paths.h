#ifndef IO_DETAIL_PATHS_H
#define IO_DETAIL_PATHS_H

#include <string>

namespace io
{
namespace detail
{
/** Root of the read-only bundle files; "." until set. */
std::string bundlePath();
/** Root of the writable user files; "." until set. */
std::string appdataPath();

/** Set once by the host at start-up, before any stream opens. */
void setBundlePath(const std::string& path);
void setAppdataPath(const std::string& path);

/**
 * An XDG base folder without a trailing slash: the variable's value when it is an absolute path
 * (the base directory rules ignore relative ones), else the fallback (".local/share", ...) under
 * the home folder ($HOME, else the password database). Throws io::IOException when there is no
 * home folder.
 */
std::string xdgBaseFolder(const char* variable, const char* fallback);
/**
 * The user-file folder of the named game: $XDG_DATA_HOME/<game>, or
 * ~/.local/share/<game>; created with its parents when missing.
 * Throws io::IOException when it cannot be made.
 */
std::string defaultAppdataPath(const std::string& game);
/** The user folder's name: the last part of the user-file root, "engine" when it has none. */
std::string appdataName();
/**
 * The game's name, under which its state and settings are kept: the name of the bundle's folder
 * (the one holding data_iphone/), its full path looked up when the path given has none ("."),
 * "engine" when there is none at all.
 */
std::string gameName();
/** The folder of the running executable; "." when it cannot be read. */
std::string executableFolder();
}
}

#endif
