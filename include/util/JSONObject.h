#ifndef UTIL_JSONOBJECT_H
#define UTIL_JSONOBJECT_H

struct cJSON;

namespace util
{
/**
 * Read-only view of a parsed JSON document. An object built from text owns
 * its tree; objects handed out by getObject only refer into it and must not
 * outlive it. Movable, not copyable: a copy would free the tree twice.
 */
class JSONObject
{
public:
	/** Parses text; the object is null when it does not parse. */
	explicit JSONObject(const char* text);
	JSONObject(JSONObject&& other) noexcept;
	JSONObject& operator=(JSONObject&& other) noexcept;
	JSONObject(const JSONObject&) = delete;
	JSONObject& operator=(const JSONObject&) = delete;
	~JSONObject();

	bool isNull() const { return m_item == nullptr; }

	/** The member's integer value when it exists and is a number, else def. */
	int getInt(const char* key, int def) const;
	/** The member's text when it exists and is a string, else null. Owned by the tree. */
	const char* getString(const char* key) const;
	/** A non-owning view of the member; null when absent. Names match regardless of case. */
	JSONObject getObject(const char* key) const;

	/** The static non-owning object with no item. */
	static const JSONObject nullObject;

private:
	bool m_owner;
	cJSON* m_item;

	JSONObject(cJSON* item, bool owner) : m_owner(owner), m_item(item) {}
	cJSON* member(const char* key) const;
	void release();
};
}

#endif
