#include <lang/string.h>
#include "utf8.h"
#include <cstdint>

// The UTF-16 strings hold their units in native order, which the converter
// takes as little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the engine expects a little-endian host");

namespace lang
{
namespace string
{
// ASCII only, whatever the process locale: these bytes are UTF-8.
std::string tolower(const std::string& text)
{
	std::string out(text);
	for (char& c : out)
		if (c >= 'A' && c <= 'Z')
			c = static_cast<char>(c - 'A' + 'a');
	return out;
}

std::string toupper(const std::string& text)
{
	std::string out(text);
	for (char& c : out)
		if (c >= 'a' && c <= 'z')
			c = static_cast<char>(c - 'a' + 'A');
	return out;
}

std::string trim(const std::string& text)
{
	static const char blanks[] = " \n\t\r";
	const std::string::size_type first = text.find_first_not_of(blanks);
	if (first == std::string::npos)
		return std::string();
	const std::string::size_type last = text.find_last_not_of(blanks);
	return text.substr(first, last - first + 1);
}

std::vector<std::string> split(const std::string& text, const std::string& delimiter)
{
	std::vector<std::string> pieces;
	if (delimiter.empty())
	{
		pieces.push_back(text);
		return pieces;
	}
	std::string::size_type start = 0;
	for (;;)
	{
		const std::string::size_type at = text.find(delimiter, start);
		if (at == std::string::npos)
			break;
		pieces.push_back(text.substr(start, at - start));
		start = at + delimiter.size();
	}
	pieces.push_back(text.substr(start));
	return pieces;
}

std::string toUTF8string(const std::basic_string<unsigned short>& text)
{
	// At most three bytes per unit: a pair of units makes four.
	const std::size_t n = text.size();
	std::string out(n * 3, '\0');
	uint8_t* const begin = reinterpret_cast<uint8_t*>(&out[0]);
	uint8_t* p = begin;
	for (std::size_t i = 0; i < n;)
	{
		unsigned int cp = text[i];
		if (cp >= 0xD800 && cp <= 0xDBFF)
		{
			if (i + 1 >= n)
				break; // a high surrogate with nothing after it
			// The second unit is taken as it comes.
			cp = ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u) + 0x10000;
			i += 2;
		}
		else
		{
			++i;
		}
		p += utf8::put(p, cp);
	}
	out.resize(static_cast<std::size_t>(p - begin));
	return out;
}

std::string toUTF8string(const std::basic_string<unsigned int>& text)
{
	std::string out(text.size() * 4, '\0');
	uint8_t* const begin = reinterpret_cast<uint8_t*>(&out[0]);
	uint8_t* p = begin;
	for (unsigned int cp : text)
		p += utf8::put(p, cp);
	out.resize(static_cast<std::size_t>(p - begin));
	return out;
}

std::basic_string<unsigned short> toUTF16string(const std::string& text)
{
	// Never more units than bytes: four bytes make at most two units.
	std::basic_string<unsigned short> out(text.size(), 0);
	unsigned short* const begin = &out[0];
	unsigned short* q = begin;
	const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
	const uint8_t* end = p + text.size();
	while (p < end)
	{
		int used;
		unsigned int cp;
		if (!utf8::decode(p, end, &used, &cp))
		{
			++p;
			continue;
		}
		p += used;
		if (cp < 0x10000)
		{
			*q++ = static_cast<unsigned short>(cp);
		}
		else
		{
			const unsigned int v = cp - 0x10000;
			*q++ = static_cast<unsigned short>(0xD800 + (v >> 10));
			*q++ = static_cast<unsigned short>(0xDC00 | (v & 0x3FF));
		}
	}
	out.resize(static_cast<std::size_t>(q - begin));
	return out;
}

std::basic_string<unsigned int> toUTF32string(const std::string& text)
{
	std::basic_string<unsigned int> out(text.size(), 0);
	unsigned int* const begin = &out[0];
	unsigned int* q = begin;
	const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
	const uint8_t* end = p + text.size();
	while (p < end)
	{
		int used;
		if (!utf8::decode(p, end, &used, q))
		{
			++p;
			continue;
		}
		p += used;
		++q;
	}
	out.resize(static_cast<std::size_t>(q - begin));
	return out;
}
}
}
