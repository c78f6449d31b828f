#ifndef LUA_OPERATIONCATALOGUE_H
#define LUA_OPERATIONCATALOGUE_H

#include <string>
#include <vector>

namespace lua
{
class LuaTable;

/**
 * What a registration says of an operation's arguments and results: a typed binding describes
 * the types its checks read; a raw handler, which reads its own arguments, gives them in words.
 */
struct OperationSignature
{
	/** Fills the typed binding's argument and result types; null for a raw handler. */
	void (*describe)(std::string& arguments, std::string& results) = nullptr;
	/** A raw handler's arguments and results in words ("name -> x, y"); null when it gave none. */
	const char* words = nullptr;
};

/**
 * While one exists, every script operation registered on any LuaObject is noted in it, under
 * the table and topic last named by section(). A running game makes none: a registration then
 * costs one test of a null pointer, and nothing is kept.
 */
class OperationCatalogue
{
public:
	struct Entry
	{
		std::string table;
		std::string topic;
		std::string name;
		/** Reads its own arguments; arguments then holds its words (empty when it gave none). */
		bool raw;
		std::string arguments;
		std::string results;
	};

	OperationCatalogue();
	~OperationCatalogue();
	OperationCatalogue(const OperationCatalogue&) = delete;
	OperationCatalogue& operator=(const OperationCatalogue&) = delete;

	/** In registration order; a name registered again on the same table keeps its first place and its last binding. */
	const std::vector<Entry>& entries() const { return m_entries; }

	/** The operations registered from now on go to this script table ("" for the game's globals) and topic. */
	static void section(const char* table, const char* topic);
	/** Called by every registration. */
	static void note(const char* name, const OperationSignature& signature);

private:
	std::string m_table;
	std::string m_topic;
	std::vector<Entry> m_entries;
};

namespace detail
{
template <class T> struct TypeName;
template <> struct TypeName<void> { static const char* get() { return ""; } };
template <> struct TypeName<float> { static const char* get() { return "number"; } };
template <> struct TypeName<int> { static const char* get() { return "integer"; } };
template <> struct TypeName<bool> { static const char* get() { return "boolean"; } };
template <> struct TypeName<std::string> { static const char* get() { return "string"; } };
template <> struct TypeName<LuaTable> { static const char* get() { return "table"; } };

template <class F> struct Signature;

template <class R, class T, class... A> struct Signature<R (T::*)(A...)>
{
	static void describe(std::string& arguments, std::string& results)
	{
		arguments.clear();
		((arguments += (arguments.empty() ? "" : ", "), arguments += TypeName<std::decay_t<A>>::get()), ...);
		results = TypeName<std::decay_t<R>>::get();
	}
};

template <class R, class T, class... A> struct Signature<R (T::*)(A...) const> : Signature<R (T::*)(A...)>
{
};
}

/** The signature of a typed binding of the member type F. */
template <class F> OperationSignature typedSignature()
{
	OperationSignature s;
	s.describe = &detail::Signature<F>::describe;
	return s;
}

/** The signature of a raw handler, in its own words. */
inline OperationSignature rawSignature(const char* words)
{
	OperationSignature s;
	s.words = words;
	return s;
}
}

#endif
