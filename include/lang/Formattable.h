#ifndef LANG_FORMATTABLE_H
#define LANG_FORMATTABLE_H

#include <string>

namespace lang
{
/** One argument of a lang::Format: a number or a text. */
class Formattable
{
public:
	enum Kind : int { KIND_NONE = 0, KIND_NUMBER = 1, KIND_TEXT = 2 };

	Formattable() : m_value(0), m_kind(KIND_NONE) {}
	Formattable(double v) : m_value(v), m_kind(KIND_NUMBER) {}
	Formattable(int v) : m_value(v), m_kind(KIND_NUMBER) {}
	Formattable(unsigned v) : m_value(v), m_kind(KIND_NUMBER) {}
	Formattable(long v) : m_value(static_cast<double>(v)), m_kind(KIND_NUMBER) {}
	Formattable(unsigned long v) : m_value(static_cast<double>(v)), m_kind(KIND_NUMBER) {}
	Formattable(long long v) : m_value(static_cast<double>(v)), m_kind(KIND_NUMBER) {}
	Formattable(unsigned long long v) : m_value(static_cast<double>(v)), m_kind(KIND_NUMBER) {}
	Formattable(float v) : m_value(v), m_kind(KIND_NUMBER) {}
	Formattable(const std::string& s) : m_value(0), m_text(s), m_kind(KIND_TEXT) {}
	Formattable(const char* s) : m_value(0), m_text(s ? s : ""), m_kind(KIND_TEXT) {}

	/**
	 * Writes the argument's text into dst (room bytes) under the number
	 * pattern starting at pos of pattern. Returns the full text length,
	 * also when it was cut.
	 */
	int format(char* dst, int room, const std::string& pattern, int pos) const;

	Kind kind() const { return static_cast<Kind>(m_kind); }
	double number() const { return m_value; }
	const std::string& text() const { return m_text; }

private:
	double m_value;
	std::string m_text;
	int m_kind;
};
}

#endif
