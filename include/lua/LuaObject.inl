// Binding templates of lua::LuaObject; included by <lua/LuaObject.h>.
//
// Parameter types and the script values they accept (exactly that type):
//   std::string  a string            bool       a boolean
//   float        a number            int        a number, truncated toward
//   LuaTable     a table                        zero and saturated
// Result types: void (no result), bool, float, int, std::string, LuaTable
// (nil for an empty handle). Const references to these are accepted too.
//
// No C++ exception may cross the interpreter's frames: a dispatcher catches
// what the member (or an argument conversion) throws and raises it again as
// a script error carrying the same message.

#include <lang/Throwable.h>
#include <exception>
#include <tuple>
#include <type_traits>
#include <utility>

namespace lua
{
namespace detail
{
template <class A> struct Arg;

template <> struct Arg<float>
{
	static float get(LuaState* s, int i) { return s->toNumber(i); }
};

template <> struct Arg<int>
{
	static int get(LuaState* s, int i)
	{
		s->checkType(i, LuaState::TYPE_NUMBER);
		return numberToInt(lua_tonumber(s->getLua(), i));
	}
};

template <> struct Arg<bool>
{
	static bool get(LuaState* s, int i) { return s->toBoolean(i); }
};

template <> struct Arg<std::string>
{
	static std::string get(LuaState* s, int i) { return std::string(s->toString(i)); }
};

template <> struct Arg<LuaTable>
{
	static LuaTable get(LuaState* s, int i) { return s->toTable(i); }
};

template <class R> struct Result;

template <> struct Result<float>
{
	static void push(LuaState* s, float v) { s->pushNumber(v); }
};

template <> struct Result<int>
{
	// Exact: the interpreter's numbers are doubles.
	static void push(LuaState* s, int v) { lua_pushnumber(s->getLua(), static_cast<lua_Number>(v)); }
};

template <> struct Result<bool>
{
	static void push(LuaState* s, bool v) { s->pushBoolean(v); }
};

template <> struct Result<std::string>
{
	static void push(LuaState* s, const std::string& v) { s->pushString(v); }
};

template <> struct Result<LuaTable>
{
	static void push(LuaState* s, const LuaTable& v) { s->pushTable(v); }
};

template <class T> using Plain = typename std::decay<T>::type;

// Converts positions 1..n in order, all before the call, then calls and pushes.
template <class R, class T, class F, class... A, size_t... I>
int invoke(LuaState* s, T* obj, F f, std::index_sequence<I...>)
{
	// Missing arguments read as nil.
	if (static_cast<int>(sizeof...(A)) > lua_gettop(s->getLua()))
		lua_settop(s->getLua(), static_cast<int>(sizeof...(A)));
	std::tuple<Plain<A>...> args{Arg<Plain<A>>::get(s, static_cast<int>(I) + 1)...};
	(void)args;
	if constexpr (std::is_void<R>::value)
	{
		(obj->*f)(std::get<I>(std::move(args))...);
		return 0;
	}
	else
	{
		Result<Plain<R>>::push(s, (obj->*f)(std::get<I>(std::move(args))...));
		return 1;
	}
}

/** Pushes the exception's message as the error value of a script error. */
void pushException(lua_State* lua, const lang::Throwable& e);
void pushException(lua_State* lua, const std::exception& e);
/** The script error of a call through a closure whose object is gone. */
int raiseDestroyed(lua_State* lua);

template <class F> struct MethodTraits;
}

/** Converts the arguments, calls the member and pushes its result; returns the result count. */
template <class R> struct ReturnValue
{
	template <class T, class... A> static int callMethod(LuaState* state, T* obj, R (T::*func)(A...))
	{
		return detail::invoke<R, T, R (T::*)(A...), A...>(state, obj, func, std::index_sequence_for<A...>());
	}

	template <class T, class... A> static int callMethod(LuaState* state, T* obj, R (T::*func)(A...) const)
	{
		return detail::invoke<R, T, R (T::*)(A...) const, A...>(state, obj, func, std::index_sequence_for<A...>());
	}
};

namespace detail
{
template <class R, class T, class... A> struct MethodTraits<R (T::*)(A...)>
{
	typedef R Return;
};

template <class R, class T, class... A> struct MethodTraits<R (T::*)(A...) const>
{
	typedef R Return;
};
}

/** The native function of a member bound with a typed signature F. */
template <class T, class F> struct LuaRawMethodDispatcher
{
	static int dispatch(lua_State* lua)
	{
		int results = -1;
		{
			LuaState* state;
			LuaFunctor lf;
			T* obj = static_cast<T*>(LuaState::getDispatchData(lua, &state, &lf));
			if (!obj)
				return detail::raiseDestroyed(lua);
			LuaState::ThreadScope scope(state, lua);
			try
			{
				results = ReturnValue<typename detail::MethodTraits<F>::Return>::callMethod(state, obj, lf.method<F>());
			}
			catch (const lang::Throwable& e)
			{
				detail::pushException(lua, e);
			}
			catch (const std::exception& e)
			{
				detail::pushException(lua, e);
			}
		}
		if (results < 0)
			return lua_error(lua);
		return results;
	}
};

/** The native function of a member of the form int f(LuaState*). */
template <class T> struct LuaStateMethodDispatcher
{
	static int dispatch(lua_State* lua)
	{
		int results = -1;
		{
			LuaState* state;
			LuaFunctor lf;
			T* obj = static_cast<T*>(LuaState::getDispatchData(lua, &state, &lf));
			if (!obj)
				return detail::raiseDestroyed(lua);
			LuaState::ThreadScope scope(state, lua);
			try
			{
				results = (obj->*lf.method<int (T::*)(LuaState*)>())(state);
			}
			catch (const lang::Throwable& e)
			{
				detail::pushException(lua, e);
			}
			catch (const std::exception& e)
			{
				detail::pushException(lua, e);
			}
		}
		if (results < 0)
			return lua_error(lua);
		return results;
	}
};

template <class T, class F> void LuaObject::registerMethod(const char* name, T* obj, F func)
{
	LuaFunctor lf(obj, func);
	registerClosure(name, &lf, &LuaRawMethodDispatcher<T, F>::dispatch);
}

template <class T> void LuaObject::registerLuaMethod(const char* name, T* obj, int (T::*func)(LuaState*))
{
	LANG_ASSERT(func != 0 && obj != 0);
	LuaFunctor lf(obj, func);
	registerClosure(name, &lf, &LuaStateMethodDispatcher<T>::dispatch);
}

namespace detail
{
inline void pushArg(lua_State* lua, float v) { lua_pushnumber(lua, v); }
inline void pushArg(lua_State* lua, double v) { lua_pushnumber(lua, v); }
inline void pushArg(lua_State* lua, int v) { lua_pushnumber(lua, v); }
inline void pushArg(lua_State* lua, bool v) { lua_pushboolean(lua, v ? 1 : 0); }
inline void pushArg(lua_State* lua, const char* v) { lua_pushstring(lua, v); }
inline void pushArg(lua_State* lua, const std::string& v) { lua_pushlstring(lua, v.data(), v.size()); }
inline void pushArg(lua_State* lua, const LuaTable& v) { LuaState::pushTable(lua, &v); }
}

template <class A0, class... A> void LuaObject::call(const char* name, const A0& a0, const A&... rest)
{
	LuaState* state = getState();
	LuaStackRestore guard(state);
	pushMember(name);
	lua_State* lua = state->getLua();
	detail::pushArg(lua, a0);
	(detail::pushArg(lua, rest), ...);
	state->call(1 + static_cast<int>(sizeof...(A)), 0);
}
}
