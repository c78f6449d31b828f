#ifndef IO_DATAINPUT_H
#define IO_DATAINPUT_H

#include <string>

namespace io
{
/**
 * Typed big-endian reads, so a reader can be written against the
 * interface alone. Every typed read delivers all its bytes or throws
 * io::IOException.
 */
class DataInput
{
public:
	/** Bytes skipped. */
	virtual int skip(int n) = 0;
	/** Bytes read; may be fewer than n. */
	virtual int read(void* buf, int n) = 0;
	/** Exactly n bytes, or io::IOException "Unexpected end of file in {0}.". */
	virtual void readFully(void* buf, int n) = 0;
	/** One byte: true when not 0. */
	virtual bool readBoolean() = 0;
	/** One byte, 0..255. */
	virtual int readByte() = 0;
	/** One byte, sign-extended to -128..127. */
	virtual int readChar() = 0;
	/** n one-byte characters; each piece of up to 249 bytes ends at its first zero byte. */
	virtual std::string readChars(int n) = 0;
	/** 8-byte IEEE double. */
	virtual double readDouble() = 0;
	/** 4-byte IEEE float. */
	virtual float readFloat() = 0;
	/** Signed 32-bit. */
	virtual int readInt() = 0;
	/** Signed 16-bit, sign-extended. */
	virtual int readShort() = 0;
	/** A signed 16-bit length, then that many bytes as they are. */
	virtual std::string readUTF() = 0;
	/** The same into buf, followed by a zero byte; the text must be shorter than size. */
	virtual void readUTF(char* buf, int size) = 0;

protected:
	// Not deleted through the interface.
	~DataInput() = default;
};
}

#endif
