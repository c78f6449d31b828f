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
/** Throws the type message for argument i; a missing argument is reported as NIL. */
[[noreturn]] void throwArgumentError(lua_State* lua, int i, int expected);

inline void checkArgument(lua_State* lua, int i, int expected)
{
	if (lua_type(lua, i) != expected)
		throwArgumentError(lua, i, expected);
}

template <class A> struct Arg;

template <> struct Arg<float>
{
	static float get(LuaState*, lua_State* lua, int i)
	{
		checkArgument(lua, i, LUA_TNUMBER);
		return static_cast<float>(lua_tonumber(lua, i));
	}
};

template <> struct Arg<int>
{
	static int get(LuaState*, lua_State* lua, int i)
	{
		checkArgument(lua, i, LUA_TNUMBER);
		return numberToInt(lua_tonumber(lua, i));
	}
};

template <> struct Arg<bool>
{
	static bool get(LuaState*, lua_State* lua, int i)
	{
		checkArgument(lua, i, LUA_TBOOLEAN);
		return lua_toboolean(lua, i) != 0;
	}
};

template <> struct Arg<std::string>
{
	static std::string get(LuaState*, lua_State* lua, int i)
	{
		checkArgument(lua, i, LUA_TSTRING);
		return std::string(lua_tostring(lua, i));
	}
};

template <> struct Arg<LuaTable>
{
	static LuaTable get(LuaState* s, lua_State* lua, int i)
	{
		checkArgument(lua, i, LUA_TTABLE);
		return s->toTable(i);
	}
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
	lua_State* lua = s->getLua();
	std::tuple<Plain<A>...> args{Arg<Plain<A>>::get(s, lua, static_cast<int>(I) + 1)...};
	(void)args;
	(void)lua;
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
/** Puts "<name>: " before the error value on top when the running closure carries its name. */
void prefixOperationName(lua_State* lua);

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

namespace detail
{
/**
 * Runs body (which converts, calls and pushes, returning the result count)
 * on the calling thread. What it throws becomes a script error, raised
 * after every C++ local of the call is gone.
 */
template <class Body> int dispatchProtected(lua_State* lua, LuaState* state, Body body)
{
	int results = -1;
	{
		LuaState::ThreadScope scope(state, lua);
		try
		{
			results = body();
		}
		catch (const lang::Throwable& e)
		{
			pushException(lua, e);
		}
		catch (const std::exception& e)
		{
			pushException(lua, e);
		}
	}
	if (results < 0)
	{
		prefixOperationName(lua);
		return lua_error(lua);
	}
	return results;
}
}

/** The native function of a member bound with a typed signature F, read from the closure. */
template <class T, class F> struct LuaRawMethodDispatcher
{
	static int dispatch(lua_State* lua)
	{
		LuaState* state;
		LuaFunctor lf;
		T* obj = LuaFunctor::fromStored<T>(LuaState::getDispatchData(lua, &state, &lf));
		if (!obj)
			return detail::raiseDestroyed(lua);
		const F func = lf.method<F>();
		return detail::dispatchProtected(lua, state, [&] {
			return ReturnValue<typename detail::MethodTraits<F>::Return>::callMethod(state, obj, func);
		});
	}
};

/**
 * The native function of the member Method, known when compiling: only the
 * object is read from the closure, and the member is called directly.
 */
template <class T, auto Method> struct LuaMemberDispatcher
{
	static int dispatch(lua_State* lua)
	{
		T* obj = LuaFunctor::fromStored<T>(lua_touserdata(lua, lua_upvalueindex(1)));
		if (!obj)
			return detail::raiseDestroyed(lua);
		LuaState* state = static_cast<const LuaObject*>(obj)->getState();
		return detail::dispatchProtected(lua, state, [&] {
			return ReturnValue<typename detail::MethodTraits<decltype(Method)>::Return>::callMethod(state, obj, Method);
		});
	}
};

/** The native function of a member of the form int f(LuaState*). */
template <class T> struct LuaStateMethodDispatcher
{
	static int dispatch(lua_State* lua)
	{
		LuaState* state;
		LuaFunctor lf;
		T* obj = LuaFunctor::fromStored<T>(LuaState::getDispatchData(lua, &state, &lf));
		if (!obj)
			return detail::raiseDestroyed(lua);
		int (T::*func)(LuaState*) = lf.method<int (T::*)(LuaState*)>();
		return detail::dispatchProtected(lua, state, [&] { return (obj->*func)(state); });
	}
};

/** The native function of the raw member Method, known when compiling. */
template <class T, auto Method> struct LuaRawMemberDispatcher
{
	static int dispatch(lua_State* lua)
	{
		T* obj = static_cast<T*>(lua_touserdata(lua, lua_upvalueindex(1)));
		if (!obj)
			return detail::raiseDestroyed(lua);
		LuaState* state = static_cast<const LuaObject*>(obj)->getState();
		return detail::dispatchProtected(lua, state, [&] { return (obj->*Method)(state); });
	}
};

template <auto Method, class T> void LuaObject::registerLuaMethod(const char* name, T* obj, const char* words)
{
	static_assert(std::is_base_of<LuaObject, T>::value, "bound members belong to a LuaObject");
	LANG_ASSERT(obj != 0);
	LuaFunctor lf(obj, Method);
	registerClosure(name, &lf, &LuaRawMemberDispatcher<T, Method>::dispatch, rawSignature(words));
}

template <auto Method, class T> void LuaObject::registerMethod(const char* name, T* obj)
{
	static_assert(std::is_base_of<LuaObject, T>::value, "bound members belong to a LuaObject");
	LANG_ASSERT(obj != 0);
	LuaFunctor lf(obj, Method);
	registerClosure(name, &lf, &LuaMemberDispatcher<T, Method>::dispatch, typedSignature<decltype(Method)>());
}

template <class T> void LuaObject::registerLuaMethod(const char* name, T* obj, int (T::*func)(LuaState*), const char* words)
{
	LANG_ASSERT(func != 0 && obj != 0);
	LuaFunctor lf(obj, func);
	registerClosure(name, &lf, &LuaStateMethodDispatcher<T>::dispatch, rawSignature(words));
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

template <class... A> bool LuaObject::callIfFunction(const char* name, const A&... args)
{
	LuaState* state = getState();
	LuaStackRestore guard(state);
	pushMember(name);
	lua_State* lua = state->getLua();
	if (lua_type(lua, -1) != LUA_TFUNCTION)
		return false;
	(detail::pushArg(lua, args), ...);
	state->call(static_cast<int>(sizeof...(A)), 0);
	return true;
}
}
