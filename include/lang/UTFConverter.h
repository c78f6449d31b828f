#ifndef LANG_UTFCONVERTER_H
#define LANG_UTFCONVERTER_H

#include <lang/Converter.h>

namespace lang
{
/** Single-byte, UTF-8, UTF-16 and UTF-32 encoding and decoding. */
class UTFConverter : public Converter
{
public:
	enum EncodingType : int
	{
		ENCODING_UNKNOWN = 0,
		ENCODING_ASCII7 = 1,
		ENCODING_UTF8 = 2,
		/** Native byte order: stored as ENCODING_UTF16LE (the host is little-endian). */
		ENCODING_UTF16 = 3,
		ENCODING_UTF16BE = 4,
		ENCODING_UTF16LE = 5,
		/** Native byte order: stored as ENCODING_UTF32LE. */
		ENCODING_UTF32 = 6,
		ENCODING_UTF32BE = 7,
		ENCODING_UTF32LE = 8
	};

	explicit UTFConverter(EncodingType encoding);

	int decode(const void* begin, const void* end, int* bytesUsed, unsigned int* codePoint) const override;
	int encode(void* begin, void* end, int* bytesWritten, unsigned int codePoint) const override;

	/** The stored encoding (native orders resolved). */
	EncodingType encoding() const { return static_cast<EncodingType>(m_encoding); }

private:
	int m_encoding;
};
}

#endif
