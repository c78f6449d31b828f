#ifndef PF_STATEJOURNAL_H
#define PF_STATEJOURNAL_H

#include <functional>
#include <string>

struct cJSON;

namespace pf
{
/**
 * The changes made to a state file since it was last written whole, kept
 * beside it in "<name>.journal", one JSON object a line. A change is one
 * appending write() and no sync, so it costs the same however long the file
 * is: a killed process keeps every change it made, a power cut may lose the
 * last ones. The owner's changes must therefore be safe to apply twice and
 * safe to lose (a delivery repeated, never one lost). Every so often the
 * owner writes the file whole, which syncs it, and then clears the journal.
 */
class StateJournal
{
public:
	explicit StateJournal(const std::string& filePath);

	const std::string& path() const { return m_path; }

	/** Appends the record as one line; false (and a line in the log) when it could not be written whole. */
	bool append(const cJSON* record) const;

	/**
	 * Hands each record to apply, in order; apply returns false for one it
	 * cannot use. A line that does not parse, or that apply refuses, is
	 * damage: it is named in the log and the journal is copied aside as
	 * "<name>.journal.bad". Returns false when there was damage, so the
	 * owner writes its file whole and the damage is not found again.
	 */
	bool read(const std::function<bool(const cJSON& record)>& apply) const;

	/** Removes the journal, once the file holds its changes; false (and a line) when that failed. */
	bool clear() const;

private:
	std::string m_path;
};
}

#endif
