#ifndef LUA_LUAFUNCTOR_H
#define LUA_LUAFUNCTOR_H

#include <cstring>
#include <type_traits>

namespace lua
{
class LuaObject;

/**
 * An engine object and one of its member functions, kept as three plain
 * words so that a script closure can carry them as light-userdata upvalues.
 * A LuaObject is kept as its LuaObject base, whatever the order of its
 * class's bases; the dispatchers cast back from there.
 */
struct LuaFunctor
{
	void* obj;
	void* func[2];

	LuaFunctor() : obj(nullptr), func{nullptr, nullptr} {}

	template <class T, class F> LuaFunctor(T* object, F method) : obj(toStored(object))
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

	template <class T> static void* toStored(T* object)
	{
		if constexpr (std::is_base_of<LuaObject, T>::value)
			return static_cast<LuaObject*>(object);
		else
			return object;
	}

	/** The object of a stored word, as its own class. */
	template <class T> static T* fromStored(void* stored)
	{
		if constexpr (std::is_base_of<LuaObject, T>::value)
			return static_cast<T*>(static_cast<LuaObject*>(stored));
		else
			return static_cast<T*>(stored);
	}
};
}

#endif
