#ifndef LUA_LUAEXCEPTION_H
#define LUA_LUAEXCEPTION_H

#include <lang/Exception.h>

namespace lua
{
/** Script errors and misuse of the script bridge. */
LANG_DECLARE_EXCEPTION(LuaException, lang::Exception);
}

#endif
