#ifndef LUA_LUAFUNCTOR_H
#define LUA_LUAFUNCTOR_H

#include <cstring>

namespace lua
{
/**
 * An engine object and one of its member functions, kept as three plain
 * words so that a script closure can carry them as light-userdata upvalues.
 */
struct LuaFunctor
{
	void* obj;
	void* func[2];

	LuaFunctor() : obj(nullptr), func{nullptr, nullptr} {}

	template <class T, class F> LuaFunctor(T* object, F method) : obj(object)
	{
		static_assert(sizeof(F) == sizeof(func), "member function pointers must be two words");
		std::memcpy(func, &method, sizeof(func));
	}

	/** The member function, as the type it was stored with. */
	template <class F> F method() const
	{
		static_assert(sizeof(F) == sizeof(func), "member function pointers must be two words");
		F f;
		std::memcpy(&f, func, sizeof(func));
		return f;
	}
};
}

#endif
