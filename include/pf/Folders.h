#ifndef PF_FOLDERS_H
#define PF_FOLDERS_H

#include <string>

namespace pf
{
/**
 * Where the platform services keep their files. Absolute XDG variables win,
 * otherwise the home folder's defaults; the folders are made when missing
 * and io::IOException is thrown when that fails.
 */
class Folders
{
public:
	/** $XDG_CONFIG_HOME/engine, or ~/.config/engine: user defaults. */
	static std::string config();
	/** $XDG_STATE_HOME/engine, or ~/.local/state/engine: service state files. */
	static std::string state();

	/** The same paths without making them (nothing on disk is touched). */
	static std::string configPath();
	static std::string statePath();

	/**
	 * Makes this process the one running copy of the game on its folders: an
	 * advisory lock (flock) on the state and settings folders and on
	 * userFolder, held until the process ends. While another copy holds one,
	 * a line says so and this one waits for it to end. False (and a line) when
	 * SIGINT or SIGTERM came while it waited (those signals are taken, not
	 * handled). A folder that cannot be made or locked is said in a line and
	 * left unlocked.
	 */
	static bool lockForThisCopy(const std::string& userFolder);
};
}

#endif
