#ifndef ANALYTICS_CLASSES_ANALYTICSFILES_H
#define ANALYTICS_CLASSES_ANALYTICSFILES_H

#include <optional>
#include <string>

struct cJSON;

namespace analytics
{
/** The client's file access: every file goes through one safe writer. */
class AnalyticsFiles
{
public:
	/**
	 * Writes a unique temporary file beside the target, syncs it, marks it
	 * for no backup, renames it over the target and syncs the folder. On any
	 * failure the temporary is removed, the old file stays and the answer is false.
	 */
	static bool writeFile(const std::string& path, const std::string& contents);
	/** The whole file, or none when it cannot be read. */
	static std::optional<std::string> readFile(const std::string& path);
	static bool exists(const std::string& path);
	static bool remove(const std::string& path);
	/** Deletes the folder and everything in it; false when something stayed. */
	static bool removeTree(const std::string& path);
	/** Creates the folder and its parents (mode 0700); false when that fails. */
	static bool makeDirectories(const std::string& path);
	/** Moves a damaged file aside to "<path>.damaged" (numbered when taken); the new name or empty. */
	static std::string moveAside(const std::string& path);

	/** Opens the file (made when missing) and takes an exclusive lock without waiting; the descriptor, or -1 when another holds it. */
	static int lockExclusive(const std::string& path);

	/** Writes the JSON text of the value (not deleted). */
	static bool writeJSON(const std::string& path, const cJSON* json);
	/** Parses the file; null when missing or not JSON. The caller deletes it. */
	static cJSON* readJSON(const std::string& path);
};
}

#endif
