#ifndef PF_STATEFILE_H
#define PF_STATEFILE_H

#include <string>
#include <vector>

struct cJSON;

namespace pf
{
/**
 * A JSON state file of a service. Saving replaces the file through
 * io::replaceFile: a new version under a unique name beside it, moved over
 * the old one only when complete and synced, then the folder synced.
 * A file that does not parse is moved aside to "<name>.bad" (".bad.2", ...
 * when that name is taken: an earlier one is never replaced), a line names
 * it, and the service starts empty.
 */
class StateFile
{
public:
	explicit StateFile(const std::string& path);

	const std::string& path() const { return m_path; }

	/** The file's bytes; false when it cannot be read. */
	bool read(std::string& bytes) const;

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
	/**
	 * For a file whose service leaves out its damaged parts: keeps a copy
	 * (keepCopy) and names each fault in the log with the copy. True when
	 * the copy was kept, so the service may write the file without them.
	 */
	bool reportDamage(const std::vector<std::string>& faults) const;

	/** Replaces the file with the text; false (and a line) when that failed, the old file kept. */
	bool save(const std::string& text) const;
	/** Saves the value printed as JSON. */
	bool save(const cJSON* value) const;

private:
	std::string m_path;

	std::string asideName() const;
};
}

#endif
