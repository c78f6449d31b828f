#ifndef LUA_JSONEXPORTER_H
#define LUA_JSONEXPORTER_H

#include <lua/LuaTableVisitor.h>
#include <cstdint>
#include <deque>
#include <string>

namespace lua
{
/**
 * Writes a Lua table as compact JSON text while LuaTable::traverse drives
 * it: a table whose fields come with string keys becomes an object, one
 * whose fields come with the keys 1, 2, 3 ... in order becomes an array, an
 * empty table becomes "{}". Numbers are written with "%.16g"; infinities
 * and NaN, which JSON cannot express, are written as null. A table that
 * mixes the two kinds of key, or whose integer keys do not run 1, 2, 3 ...
 * in traversal order, throws LuaException naming the key.
 * One exporter serves one traversal; read the text with getJSON().
 */
class JSONExporter : public LuaTableVisitor
{
public:
	JSONExporter();

	/** The text written so far; complete once the traversal has returned. */
	std::string getJSON() const { return m_json; }

	void visit(const char* key, const char* value) override;
	void visit(const char* key, double value) override;
	void visit(const char* key, bool value) override;
	void visit(const char* key) override;
	void visit(int index, const char* value) override;
	void visit(int index, double value) override;
	void visit(int index, bool value) override;
	void visit(int index) override;
	void openTable(const char* key) override;
	void closeTable() override;
	void start() override;
	void end() override;

private:
	struct State
	{
		bool m_firstEntry;
		/** -1 while the table is written as an object, else the position of the last element. */
		int32_t m_currentIndex;
	};

	std::string m_json;
	std::deque<State> m_states;
	State m_currentState;

	void objectPrefix(const char* key);
	void arrayPrefix(int index);
	void writeKey(const char* key);
	void backslashEscape(const char* s);
	void writeNumber(double v);
};
}

#endif
