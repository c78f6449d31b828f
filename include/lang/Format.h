#ifndef LANG_FORMAT_H
#define LANG_FORMAT_H

#include <lang/Formattable.h>
#include <string>

namespace lang
{
/**
 * Message text with numbered placeholders "{0}".."{9}", each with an
 * optional number pattern ("{0,x}", "{0,#.##}", "{0,000}").
 */
class Format
{
public:
	enum { MAX_ARGS = 10 };

	Format() : m_argc(0) {}
	explicit Format(const std::string& pattern) : m_pattern(pattern), m_argc(0) {}
	Format(const std::string& pattern, const Formattable& a0);
	Format(const std::string& pattern, const Formattable& a0, const Formattable& a1);
	Format(const std::string& pattern, const Formattable& a0, const Formattable& a1, const Formattable& a2);
	Format(const std::string& pattern, const Formattable& a0, const Formattable& a1, const Formattable& a2, const Formattable& a3);

	/**
	 * Writes the text into buf, always zero-terminated inside it when size >= 1.
	 * Returns the number of characters produced plus one; a result above size
	 * means the text was cut. Throws FormatException on a malformed pattern.
	 */
	int format(char* buf, int size) const;
	/** The whole text. */
	std::string format() const;

	const std::string& pattern() const { return m_pattern; }
	int argumentCount() const { return m_argc; }
	const Formattable& argument(int i) const { return m_args[i]; }

private:
	std::string m_pattern;
	int m_argc;
	Formattable m_args[MAX_ARGS];
};
}

#endif
