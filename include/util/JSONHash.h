#ifndef UTIL_JSONHASH_H
#define UTIL_JSONHASH_H

#include <util/JSONVisitor.h>
#include <cstdint>
#include <deque>
#include <string>

namespace util
{
/**
 * Order-independent hash of a JSON document: the sum of the string hashes
 * (h = h * 31 + byte) of every leaf's path, key and value text and of every
 * container's path. Object member order does not matter; array order does.
 * Use: traverseJSON(text, hash), then getHash().
 */
class JSONHash : public JSONVisitor
{
public:
	struct State
	{
		std::string prefix;
		/** -1 inside an object; inside an array the position of the next element. */
		int32_t index;
	};

	JSONHash() : m_hash(0) {}

	uint32_t getHash() const { return m_hash; }

	void visit(const char* key, const char* value) override;
	void visit(const char* key, double value) override;
	void visit(const char* key, bool value) override;
	void visit(const char* key) override;
	void startObject(const char* key) override;
	void endObject() override;
	void startArray(const char* key) override;
	void endArray() override;
	void start() override;
	void end() override;

private:
	uint32_t m_hash;
	std::deque<State> m_States;

	/** The top state's prefix and this entry's key part; advances an array position. */
	std::string path(const char* key);
	void addLeaf(const char* key, const std::string& value);
	void push(const char* key, int32_t index);
};
}

#endif
