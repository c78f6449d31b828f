#ifndef LUA_LUAKEYWORDCHECKER_H
#define LUA_LUAKEYWORDCHECKER_H

namespace lua
{
/** Tells whether a string can stand as a bare name in Lua source. */
class LuaKeywordChecker
{
public:
	/** A letter or '_', then letters, digits or '_', and not a reserved word. */
	static bool isValidKeyName(const char* name);
};
}

#endif
