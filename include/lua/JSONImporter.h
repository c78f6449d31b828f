#ifndef LUA_JSONIMPORTER_H
#define LUA_JSONIMPORTER_H

#include <util/JSONVisitor.h>
#include <lua/LuaTable.h>
#include <cstdint>
#include <deque>

namespace lua
{
/**
 * Writes a JSON document into a Lua table while util::traverseJSON drives
 * it: the root object's members become fields of the target (fields the
 * document does not mention stay), nested objects and arrays become new
 * tables, arrays fill indices from 1, and null removes a field or leaves a
 * hole in an array. A root array fills the target from index 1. Numbers are
 * stored as floats.
 */
class JSONImporter : public util::JSONVisitor
{
public:
	/** target must reference a table. */
	explicit JSONImporter(LuaTable& target);
	~JSONImporter() override;

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
	struct Entry
	{
		LuaTable table;
		/** -1 while filling by key, else the Lua index the next element takes. */
		int32_t index;
	};

	std::deque<Entry> m_stack;
	LuaTable& m_target;

	/** The entry that takes the next value, switched to indices for a root array. */
	Entry& top(const char* key);
	void startTable(const char* key, int32_t index);
	void pop();
};
}

#endif
