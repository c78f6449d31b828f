#include <io/DataInputStream.h>
#include <io/IOException.h>
#include <lang/throwError.h>
#include <cstring>

namespace io
{
DataInputStream::DataInputStream(InputStream& source) : InputStream(source) {}

int DataInputStream::read(void* buf, int n)
{
	return InputStream::read(buf, n);
}

int DataInputStream::skip(int n)
{
	return InputStream::skip(n);
}

void DataInputStream::readFully(void* buf, int n)
{
	if (n < 0)
		lang::throwError(IOException(lang::Format("Invalid read size {0} in {1}.", n, toString())));
	// A source may deliver in pieces; only a read that gives nothing is the end.
	char* p = static_cast<char*>(buf);
	int got = 0;
	while (got < n)
	{
		const int r = read(p + got, n - got);
		if (r <= 0)
			lang::throwError(IOException(lang::Format("Unexpected end of file in {0}.", toString())));
		got += r;
	}
}

bool DataInputStream::readBoolean()
{
	uint8_t b;
	readFully(&b, 1);
	return b != 0;
}

int DataInputStream::readByte()
{
	uint8_t b;
	readFully(&b, 1);
	return b;
}

int DataInputStream::readChar()
{
	int8_t c;
	readFully(&c, 1);
	return c;
}

std::string DataInputStream::readChars(int n)
{
	// Pieces of up to 249 bytes, each kept up to its first zero byte.
	const int PIECE = 249;
	std::string out;
	char buf[256];
	while (n > 0)
	{
		const int count = n < PIECE ? n : PIECE;
		readFully(buf, count);
		buf[count] = 0;
		out.append(buf, std::strlen(buf));
		n -= count;
	}
	return out;
}

// Big-endian by shifts, whatever the host's byte order.
static uint32_t bigEndian32(const uint8_t* b)
{
	return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

double DataInputStream::readDouble()
{
	uint8_t b[8];
	readFully(b, 8);
	const uint64_t bits = (uint64_t(bigEndian32(b)) << 32) | bigEndian32(b + 4);
	double v;
	std::memcpy(&v, &bits, sizeof(v));
	return v;
}

float DataInputStream::readFloat()
{
	uint8_t b[4];
	readFully(b, 4);
	const uint32_t bits = bigEndian32(b);
	float v;
	std::memcpy(&v, &bits, sizeof(v));
	return v;
}

int DataInputStream::readInt()
{
	uint8_t b[4];
	readFully(b, 4);
	return static_cast<int32_t>(bigEndian32(b));
}

int DataInputStream::readShort()
{
	uint8_t b[2];
	readFully(b, 2);
	return static_cast<int16_t>((uint16_t(b[0]) << 8) | b[1]);
}

std::string DataInputStream::readUTF()
{
	const int len = readShort();
	if (len < 0)
		lang::throwError(IOException(lang::Format("Invalid UTF-8 data in {0}.", toString())));
	if (len == 0)
		return std::string();
	m_scratch.resize(static_cast<size_t>(len) + 1);
	readFully(m_scratch.data(), len);
	return std::string(m_scratch.data(), static_cast<size_t>(len));
}

void DataInputStream::readUTF(char* buf, int size)
{
	const int len = readShort();
	if (len < 0)
		lang::throwError(IOException(lang::Format("Invalid UTF-8 data in {0}.", toString())));
	if (len >= size)
		lang::throwError(IOException(lang::Format("Too small buffer ({0}) for UTF-8 data in {1}.", size, toString())));
	readFully(buf, len);
	buf[len] = 0;
}
}
