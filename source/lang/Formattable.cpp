#include <lang/Formattable.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lang
{
namespace
{
// Truncates toward zero and saturates, so any double converts without undefined behaviour.
uint32_t toUint32(double v)
{
	if (!(v > 0))
		return 0;
	if (v >= 4294967295.0)
		return 0xFFFFFFFFu;
	return static_cast<uint32_t>(v);
}

int32_t toInt32(double v)
{
	if (std::isnan(v))
		return 0;
	if (v >= 2147483647.0)
		return INT32_MAX;
	if (v <= -2147483648.0)
		return INT32_MIN;
	return static_cast<int32_t>(v);
}

const int NUMBER_TEXT_SIZE = 64;

// Prints v under the number pattern at pos; returns the text.
std::string formatNumber(double v, const std::string& pattern, int pos)
{
	char tmp[NUMBER_TEXT_SIZE];
	int zeros = 0;
	int decimals = 0;
	bool fixed = false;
	bool point = false;
	const int len = static_cast<int>(pattern.size());
	for (int i = pos < 0 ? 0 : pos; i < len && pattern[i] != '}'; ++i)
	{
		const char c = pattern[i];
		if (c == 'x' || c == 'X')
		{
			std::snprintf(tmp, sizeof(tmp), c == 'x' ? "%x" : "%X", toUint32(v));
			return tmp;
		}
		if (c == 'd' || c == 'i')
		{
			std::snprintf(tmp, sizeof(tmp), c == 'd' ? "%d" : "%i", toInt32(v));
			return tmp;
		}
		if (c == '.')
			point = true;
		else if (c == '0' || c == '#')
		{
			if (point)
				++decimals;
			else
			{
				fixed = true;
				if (c == '0')
					++zeros;
			}
		}
	}
	if (!fixed && decimals == 0)
		std::snprintf(tmp, sizeof(tmp), "%g", v);
	else if (zeros >= 1)
		std::snprintf(tmp, sizeof(tmp), "%0*.*f", zeros, decimals, v);
	else
		std::snprintf(tmp, sizeof(tmp), "%.*f", decimals, v);
	// snprintf cuts what does not fit the temporary (huge values, very wide patterns).
	return tmp;
}
}

int Formattable::format(char* dst, int room, const std::string& pattern, int pos) const
{
	if (m_kind == KIND_NONE)
		return 0;
	const std::string text = m_kind == KIND_TEXT ? m_text : formatNumber(m_value, pattern, pos);
	const int len = static_cast<int>(text.size());
	const int copy = len < room ? len : room;
	if (copy > 0)
		std::memcpy(dst, text.data(), static_cast<size_t>(copy));
	if (len < room)
		dst[len] = 0;
	else if (room >= 1)
		dst[room - 1] = 0;
	return len;
}
}
