#include <lang/Format.h>
#include <lang/Character.h>
#include <lang/FormatException.h>
#include <lang/throwError.h>
#include <vector>

namespace lang
{
Format::Format(const std::string& pattern, const Formattable& a0) : m_pattern(pattern), m_argc(1)
{
	m_args[0] = a0;
}

Format::Format(const std::string& pattern, const Formattable& a0, const Formattable& a1) : m_pattern(pattern), m_argc(2)
{
	m_args[0] = a0;
	m_args[1] = a1;
}

Format::Format(const std::string& pattern, const Formattable& a0, const Formattable& a1, const Formattable& a2) : m_pattern(pattern), m_argc(3)
{
	m_args[0] = a0;
	m_args[1] = a1;
	m_args[2] = a2;
}

Format::Format(const std::string& pattern, const Formattable& a0, const Formattable& a1, const Formattable& a2, const Formattable& a3) : m_pattern(pattern), m_argc(4)
{
	m_args[0] = a0;
	m_args[1] = a1;
	m_args[2] = a2;
	m_args[3] = a3;
}

static void throwFormatError(const char* msg, const std::string& pattern, int pos)
{
	throwError(FormatException(Format(msg, pattern, pos)));
}

int Format::format(char* buf, int size) const
{
	const int len = static_cast<int>(m_pattern.size());
	int i = 0;
	int d = 0;
	bool escape = false;
	while (d < size && i < len)
	{
		const char c = m_pattern[i];
		if (c == '{' && !escape && i + 1 < len)
		{
			const std::string::size_type close = m_pattern.find('}', i + 1);
			if (close == std::string::npos)
				throwFormatError("Failed to format \"{0}\", '}' not found after {1}", m_pattern, i + 1);
			if (static_cast<int>(close) == i + 1)
				throwFormatError("Failed to format \"{0}\", argument index not found at {1}", m_pattern, i + 1);
			if (!Character::isDigit(static_cast<unsigned char>(m_pattern[i + 1])))
				throwFormatError("Failed to format \"{0}\", digit expected at {1}", m_pattern, i + 1);
			const int index = m_pattern[i + 1] - '0';
			if (index >= m_argc)
				throwFormatError("Failed to format \"{0}\", invalid argument index at {1}", m_pattern, i + 1);
			const int patternStart = (i + 2 < len && m_pattern[i + 2] == ',') ? i + 3 : i + 2;
			const int room = size - d > 0 ? size - d : 0;
			d += m_args[index].format(buf + d, room, m_pattern, patternStart);
			i = static_cast<int>(close) + 1;
			continue;
		}
		if (c == '\\' && !escape)
		{
			escape = true;
		}
		else
		{
			buf[d++] = c;
			escape = false;
		}
		++i;
	}
	if (size > 0)
		buf[d < size - 1 ? d : size - 1] = 0;
	return d + 1;
}

std::string Format::format() const
{
	std::vector<char> buf(512);
	int n = format(buf.data(), static_cast<int>(buf.size()));
	while (n > static_cast<int>(buf.size()))
	{
		buf.resize(buf.size() * 2);
		n = format(buf.data(), static_cast<int>(buf.size()));
	}
	return std::string(buf.data(), n - 1);
}
}
