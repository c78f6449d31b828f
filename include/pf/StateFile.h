#ifndef PF_STATEFILE_H
#define PF_STATEFILE_H

#include <string>

struct cJSON;

namespace pf
{
/**
 * A JSON state file of a service. Saving replaces the file through
 * io::replaceFile: a new version under a unique name beside it, moved over
 * the old one only when complete and synced, then the folder synced.
 * A file that does not parse is moved aside to "<name>.bad", a line names
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

	/** Replaces the file with the text; false (and a line) when that failed, the old file kept. */
	bool save(const std::string& text) const;
	/** Saves the value printed as JSON. */
	bool save(const cJSON* value) const;

private:
	std::string m_path;
};
}

#endif
