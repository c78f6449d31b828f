#ifndef LANG_CONVERTER_H
#define LANG_CONVERTER_H

#include <lang/Object.h>

namespace lang
{
/** Converts between encoded bytes and code points, one code point at a time. */
class Converter : public Object
{
public:
	/**
	 * Reads one code point from the bytes [begin, end). Returns 1 and sets
	 * *bytesUsed and *codePoint on success; returns 0 on failure, with
	 * *bytesUsed telling how many bytes to give up.
	 */
	virtual int decode(const void* begin, const void* end, int* bytesUsed, unsigned int* codePoint) const = 0;

	/**
	 * Writes codePoint into the room [begin, end). Returns 1 and sets
	 * *bytesWritten on success; 0 when the code point cannot be written.
	 */
	virtual int encode(void* begin, void* end, int* bytesWritten, unsigned int codePoint) const = 0;
};
}

#endif
