#ifndef LUA_LUATABLE_H
#define LUA_LUATABLE_H

#include <lang/Object.h>
#include <string>

namespace io
{
class InputStream;
class OutputStream;
}

namespace lua
{
class LuaState;
class LuaTableVisitor;

/**
 * Handle to one Lua table, pinned by its own registry reference (copies take
 * another). Fields are read and written raw: metatables are never consulted.
 * Keys are ints, zero-terminated texts or std::strings. Every handle must be
 * destroyed before its state.
 */
class LuaTable : public lang::Object
{
public:
	/** References nothing. */
	LuaTable();
	/** A new empty table; with a null state the handle stays empty. */
	explicit LuaTable(LuaState* state);
	LuaTable(const LuaTable& other);
	LuaTable& operator=(const LuaTable& other);
	~LuaTable() override;

	/** False for an empty handle: field operations on it are assertion failures. */
	bool hasTable() const { return m_ref >= 0; }
	/** The owning state, null for an empty handle. */
	LuaState* getState() const { return m_luastate; }

	void setString(int key, const std::string& value);
	void setString(const char* key, const std::string& value);
	void setString(const std::string& key, const std::string& value);
	void setString(int key, const char* value);
	void setString(const char* key, const char* value);
	void setString(const std::string& key, const char* value);
	void setNumber(int key, float value);
	void setNumber(const char* key, float value);
	void setNumber(const std::string& key, float value);
	void setBoolean(int key, bool value);
	void setBoolean(const char* key, bool value);
	void setBoolean(const std::string& key, bool value);
	/** The int form stores nil for an empty handle; the string forms require a table. */
	void setTable(int key, const LuaTable& value);
	void setTable(const char* key, const LuaTable& value);
	void setTable(const std::string& key, const LuaTable& value);
	/** Nil for a null pointer or an empty handle. */
	void setTable(const char* key, const LuaTable* value);
	void setTable(const std::string& key, const LuaTable* value);
	void remove(int key);
	void remove(const char* key);
	void remove(const std::string& key);

	/** The value as text (a number gives its text); "" for other types. */
	std::string getString(int key) const;
	std::string getString(const char* key) const;
	std::string getString(const std::string& key) const;
	/** The value as a number (a numeric string converts); 0 otherwise. */
	float getNumber(int key) const;
	float getNumber(const char* key) const;
	float getNumber(const std::string& key) const;
	/** False for nil and false, true for anything else. */
	bool getBoolean(int key) const;
	bool getBoolean(const char* key) const;
	bool getBoolean(const std::string& key) const;
	/** A new handle to the nested table; throws LuaException when the field is not a table. */
	LuaTable getTable(int key) const;
	LuaTable getTable(const char* key) const;
	LuaTable getTable(const std::string& key) const;

	bool isNil(int key) const;
	bool isNil(const char* key) const;
	bool isNil(const std::string& key) const;
	/** A string or a number. */
	bool isString(int key) const;
	bool isString(const char* key) const;
	bool isString(const std::string& key) const;
	/** A number or a numeric string. */
	bool isNumber(int key) const;
	bool isNumber(const char* key) const;
	bool isNumber(const std::string& key) const;
	bool isTable(int key) const;
	bool isTable(const char* key) const;
	bool isTable(const std::string& key) const;
	bool isBoolean(int key) const;
	bool isBoolean(const char* key) const;
	bool isBoolean(const std::string& key) const;

	/** Leaves the field's raw value on top of the stack. */
	void pushMember(const char* key) const;
	/** The number of key/value pairs (not the array length). */
	int size() const;

	/**
	 * Hands every field to the visitor, nested tables recursively. The keys
	 * "_G" and "this" are skipped; a boolean key or a table that contains
	 * itself throws LuaException.
	 */
	void traverse(LuaTableVisitor& v);

	/**
	 * Writes the table as Lua source that, run with a table as environment,
	 * assigns the fields back. The top-level form (nested false) writes
	 * "name = value" lines for fields with valid-name keys; the nested form
	 * writes the body of a table constructor.
	 */
	void write(io::OutputStream& out, int indent, bool nested);
	/** Writes the value at the stack index in save-text form. */
	void writeValue(io::OutputStream& out, int stackIndex, int indent);
	/**
	 * Runs the stream's source text with this table as environment, so the
	 * text's assignments merge into it. The chunk name is the stream's name.
	 */
	void read(io::InputStream& in);

private:
	friend class LuaState;

	LuaState* m_luastate;
	int m_ref;

	LuaTable(LuaState* state, int ref) : m_luastate(state), m_ref(ref) {}

	friend struct LuaTableAccess;
};
}

#endif
