#include <lang/UTFConverter.h>
#include "utf8.h"
#include <cstdint>

// The native UTF-16 and UTF-32 forms are stored as their little-endian
// encodings, as on the device; a big-endian host would need them swapped.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the engine expects a little-endian host");

namespace lang
{
namespace
{
unsigned int get16(const uint8_t* p, bool bigEndian)
{
	return bigEndian ? (unsigned(p[0]) << 8) | p[1] : (unsigned(p[1]) << 8) | p[0];
}

unsigned int get32(const uint8_t* p, bool bigEndian)
{
	return bigEndian ? (unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3]
	                 : (unsigned(p[3]) << 24) | (unsigned(p[2]) << 16) | (unsigned(p[1]) << 8) | p[0];
}

void put16(uint8_t* p, unsigned int v, bool bigEndian)
{
	p[bigEndian ? 0 : 1] = static_cast<uint8_t>(v >> 8);
	p[bigEndian ? 1 : 0] = static_cast<uint8_t>(v);
}

void put32(uint8_t* p, unsigned int v, bool bigEndian)
{
	for (int i = 0; i < 4; ++i)
		p[bigEndian ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}
}

UTFConverter::UTFConverter(EncodingType encoding) : m_encoding(encoding)
{
	if (m_encoding == ENCODING_UTF16)
		m_encoding = ENCODING_UTF16LE;
	else if (m_encoding == ENCODING_UTF32)
		m_encoding = ENCODING_UTF32LE;
}

int UTFConverter::decode(const void* begin, const void* end, int* bytesUsed, unsigned int* codePoint) const
{
	const uint8_t* p = static_cast<const uint8_t*>(begin);
	const uint8_t* e = static_cast<const uint8_t*>(end);
	const long avail = e > p ? e - p : 0;
	switch (m_encoding)
	{
	case ENCODING_ASCII7:
		if (avail < 1)
		{
			*bytesUsed = 0;
			return 0;
		}
		*codePoint = p[0];
		*bytesUsed = 1;
		return 1;

	case ENCODING_UTF8:
		return utf8::decode(p, p + avail, bytesUsed, codePoint);

	case ENCODING_UTF16BE:
	case ENCODING_UTF16LE:
	{
		const bool be = m_encoding == ENCODING_UTF16BE;
		if (avail < 2)
		{
			*bytesUsed = 0;
			return 0;
		}
		const unsigned int w1 = get16(p, be);
		if (w1 >= 0xD800 && w1 <= 0xDBFF)
		{
			if (avail < 4)
			{
				*bytesUsed = 2;
				return 0;
			}
			// The second unit is taken as it comes.
			const unsigned int w2 = get16(p + 2, be);
			*codePoint = ((w1 - 0xD800) << 10) + (w2 - 0xDC00) + 0x10000;
			*bytesUsed = 4;
			return 1;
		}
		*codePoint = w1;
		*bytesUsed = 2;
		return 1;
	}

	case ENCODING_UTF32BE:
	case ENCODING_UTF32LE:
		if (avail < 4)
		{
			*bytesUsed = 0;
			return 0;
		}
		*codePoint = get32(p, m_encoding == ENCODING_UTF32BE);
		*bytesUsed = 4;
		return 1;

	default:
		return 0;
	}
}

int UTFConverter::encode(void* begin, void* end, int* bytesWritten, unsigned int codePoint) const
{
	uint8_t* p = static_cast<uint8_t*>(begin);
	uint8_t* e = static_cast<uint8_t*>(end);
	const long room = e > p ? e - p : 0;
	int n = 0;
	switch (m_encoding)
	{
	case ENCODING_ASCII7:
		if (codePoint <= 127 && room >= 1)
		{
			p[0] = static_cast<uint8_t>(codePoint);
			n = 1;
		}
		break;

	case ENCODING_UTF8:
	{
		const int len = utf8::length(codePoint);
		if (len > 0 && room >= len)
			n = utf8::put(p, codePoint);
		break;
	}

	case ENCODING_UTF16BE:
	case ENCODING_UTF16LE:
	{
		const bool be = m_encoding == ENCODING_UTF16BE;
		if (codePoint < 0x10000)
		{
			if (room >= 2)
			{
				put16(p, codePoint, be);
				n = 2;
			}
		}
		else if (room >= 4)
		{
			const unsigned int v = codePoint - 0x10000;
			put16(p, 0xD800 + (v >> 10), be);
			put16(p + 2, 0xDC00 | (v & 0x3FF), be);
			n = 4;
		}
		break;
	}

	case ENCODING_UTF32BE:
	case ENCODING_UTF32LE:
		if (room >= 4)
		{
			put32(p, codePoint, m_encoding == ENCODING_UTF32BE);
			n = 4;
		}
		break;

	default:
		return 0;
	}
	*bytesWritten = n;
	return n > 0 ? 1 : 0;
}
}
