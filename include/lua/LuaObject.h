#ifndef LUA_LUAOBJECT_H
#define LUA_LUAOBJECT_H

#include <lua/LuaFunctor.h>
#include <lua/LuaStackRestore.h>
#include <lua/LuaState.h>
#include <lua/LuaTable.h>
#include <lua/OperationCatalogue.h>
#include <string>
#include <vector>

namespace lua
{
/**
 * Base of engine objects whose member functions scripts call. The object
 * owns a table holding itself at key 0 (light userdata), "_G" (the globals),
 * "this" (the table itself) and one native closure per registered member.
 * Scripts call the members as plain functions of the table (dot form); the
 * first argument is stack position 1.
 */
class LuaObject : public LuaTable
{
public:
	explicit LuaObject(LuaState* state);
	/**
	 * Sets every name it registered to nil and detaches every closure it
	 * made, so a late call, also through a copy a script kept, fails as a
	 * script error.
	 */
	~LuaObject() override;

	LuaObject(const LuaObject&) = delete;
	LuaObject& operator=(const LuaObject&) = delete;

	/**
	 * table[name] = a closure of f with the functor's three words as upvalues; lf must be made with
	 * this object. signature is what an operation catalogue notes of it (OperationCatalogue.h).
	 */
	void registerClosure(const char* name, const LuaFunctor* lf, lua_CFunction f, const OperationSignature& signature = {});

	/**
	 * Binds the member Method of obj, of any supported signature (see
	 * LuaObject.inl), under name: registerMethod<&Game::score>("score", this).
	 */
	template <auto Method, class T> void registerMethod(const char* name, T* obj);

	/**
	 * Binds a member that reads its own arguments and returns how many results it pushed; words
	 * say what it reads and pushes, for the reference of the operations ("name -> x, y").
	 */
	template <class T> void registerLuaMethod(const char* name, T* obj, int (T::*func)(LuaState*), const char* words = nullptr);
	/** The same with the member known when compiling: the closure carries only the object. */
	template <auto Method, class T> void registerLuaMethod(const char* name, T* obj, const char* words = nullptr);

	/** Calls table[name] with no arguments and no results; a script error throws LuaException. */
	void call(const char* name);
	/**
	 * Calls table[name] like call when it is a function; false, calling nothing, when it is not
	 * (the caller names what is missing). A script error throws LuaException.
	 */
	template <class... A> bool callIfFunction(const char* name, const A&... args);

protected:
	/**
	 * From now on every closure registered carries its name, and a script
	 * error raised through it starts with "<name>: ". Nothing is read per
	 * call: the name is fetched only when raising.
	 */
	void nameOperationsInErrors() { m_nameErrors = true; }

public:
	/** The same with arguments: numbers, booleans, strings and tables. */
	template <class A0, class... A> void call(const char* name, const A0& a0, const A&... rest);

private:
	bool m_nameErrors = false;
	std::vector<std::string> m_names;
	/** Registry references to every closure made, also those no longer under their name. */
	std::vector<int> m_closures;

	void remember(const char* name);
};
}

namespace lua
{
/** For raw handlers: throws "<min> to <max> arguments expected, got <count>" when count is outside. */
void checkArgumentCount(int count, int min, int max);
}

#include <lua/LuaObject.inl>

#endif
