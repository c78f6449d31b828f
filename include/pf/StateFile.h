#ifndef PF_STATEFILE_H
#define PF_STATEFILE_H

#include <string>

struct cJSON;

namespace pf
{
/**
 * A JSON state file of a service. Saving writes a new version beside the
 * file and moves it over the old one only when it is complete and synced.
 * A file that does not parse is moved aside to "<name>.bad" (".bad.2", ...
 * when that name is taken: an earlier one is never replaced), a line names
 * it, and the service starts empty.
 */
class StateFile
{
public:
	explicit StateFile(const std::string& path);

	const std::string& path() const { return m_path; }

	/**
	 * The parsed file, owned by the caller (cJSON_Delete), or null when the
	 * file is missing or was set aside as bad. When `expectedType` is a cJSON
	 * type bit, a root of another type counts as bad too.
	 */
	cJSON* load(int expectedType = 0) const;

	/**
	 * Copies the file as it is now to the first free name of "<name>.bad",
	 * "<name>.bad.2", ..., for a file with damaged parts that the service
	 * leaves out. Returns the copy's path, or "" (and a line) when no copy
	 * could be made.
	 */
	std::string keepCopy() const;

	/** Replaces the file with the text; false (and a line) when that failed, the old file kept. */
	bool save(const std::string& text) const;
	/** Saves the value printed as JSON. */
	bool save(const cJSON* value) const;

	/** Writes bytes to path through a synced temporary file and a rename. */
	static bool replaceFile(const std::string& path, const std::string& bytes);

private:
	std::string m_path;

	std::string asideName() const;
};
}

#endif
