#ifndef LUA_LUATABLEVISITOR_H
#define LUA_LUATABLEVISITOR_H

namespace lua
{
/**
 * Receives the fields of a table traversal (LuaTable::traverse). String keys
 * come as names, number keys as int indices.
 */
class LuaTableVisitor
{
public:
	virtual ~LuaTableVisitor() {}

	virtual void visit(const char* key, const char* value) = 0;
	virtual void visit(const char* key, double value) = 0;
	virtual void visit(const char* key, bool value) = 0;
	/** A nil field. */
	virtual void visit(const char* key) = 0;
	virtual void visit(int index, const char* value) = 0;
	virtual void visit(int index, double value) = 0;
	virtual void visit(int index, bool value) = 0;
	virtual void visit(int index) = 0;
	/** A nested table begins; key is null under a number key. */
	virtual void openTable(const char* key) = 0;
	virtual void closeTable() = 0;
	/** Before the first field. */
	virtual void start() = 0;
	/** After the last field. */
	virtual void end() = 0;
};
}

#endif
