#ifndef LANG_SOURCE_UTF8_H
#define LANG_SOURCE_UTF8_H

// UTF-8 steps shared by UTFConverter and the string conversions, inline so
// the string walks stay free of virtual calls.

#include <cstdint>

namespace lang
{
namespace utf8
{
/** One code point from [p, end). Continuation bytes are taken as they come (lenient). */
inline int decode(const uint8_t* p, const uint8_t* end, int* used, unsigned int* cp)
{
	if (p >= end)
	{
		*used = 0;
		return 0;
	}
	const unsigned int lead = p[0];
	if (lead < 0x80)
	{
		*cp = lead;
		*used = 1;
		return 1;
	}
	int k;
	unsigned int value;
	if (lead < 0xC0 || lead >= 0xF8)
	{
		*used = 1;
		return 0;
	}
	if (lead < 0xE0)
	{
		k = 1;
		value = lead & 0x1F;
	}
	else if (lead < 0xF0)
	{
		k = 2;
		value = lead & 0x0F;
	}
	else
	{
		k = 3;
		value = lead & 0x07;
	}
	if (end - p < k + 1)
	{
		*used = 1;
		return 0;
	}
	for (int i = 1; i <= k; ++i)
		value = (value << 6) | (p[i] & 0x3Fu);
	*cp = value;
	*used = k + 1;
	return 1;
}

/** Bytes needed for cp, 0 when it cannot be written (0x200000 and up). */
inline int length(unsigned int cp)
{
	if (cp < 0x80)
		return 1;
	if (cp < 0x800)
		return 2;
	if (cp < 0x10000)
		return 3;
	if (cp < 0x200000)
		return 4;
	return 0;
}

/** Writes cp at p, which has room for length(cp) bytes; returns that length. */
inline int put(uint8_t* p, unsigned int cp)
{
	switch (length(cp))
	{
	case 1:
		p[0] = static_cast<uint8_t>(cp);
		return 1;
	case 2:
		p[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
		p[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
		return 2;
	case 3:
		p[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
		p[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
		p[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
		return 3;
	case 4:
		p[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
		p[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
		p[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
		p[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
		return 4;
	default:
		return 0;
	}
}
}
}

#endif
