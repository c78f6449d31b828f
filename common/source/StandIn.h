#ifndef STANDIN_H
#define STANDIN_H

#include <lua/LuaObject.h>
#include <utility>

// Operations whose behaviour comes later are bound now with their final
// signature: a call checks its arguments like the real one, then raises
// "<name> is not available yet".

namespace standin
{
/** Raises "<name> is not available yet" with the name the closure carries. */
int raiseNotAvailable(lua_State* lua);

template <class Sig> struct Dispatcher;

template <class R, class... A> struct Dispatcher<R(A...)>
{
	static int dispatch(lua_State* lua)
	{
		lua::LuaState* state = lua::LuaState::getOwner(lua);
		lua::detail::dispatchProtected(lua, state, [&] {
			check(state, lua, std::index_sequence_for<A...>());
			return 0;
		});
		return raiseNotAvailable(lua);
	}

	template <size_t... I> static void check(lua::LuaState* state, lua_State* lua, std::index_sequence<I...>)
	{
		(void)state;
		(void)lua;
		((void)lua::detail::Arg<lua::detail::Plain<A>>::get(state, lua, static_cast<int>(I) + 1), ...);
	}
};

/** Binds name on obj's table to a stand-in of the signature Sig. */
template <class Sig> void bind(lua::LuaObject* obj, const char* name)
{
	lua::LuaFunctor lf;
	lf.obj = obj;
	obj->registerClosure(name, &lf, &Dispatcher<Sig>::dispatch);
}

/** A stand-in of an operation that reads its own arguments. */
void bindRaw(lua::LuaObject* obj, const char* name);
}

#endif
