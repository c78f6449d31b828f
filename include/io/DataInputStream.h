#ifndef IO_DATAINPUTSTREAM_H
#define IO_DATAINPUTSTREAM_H

#include <io/DataInput.h>
#include <io/InputStream.h>
#include <cstdint>
#include <string>
#include <vector>

namespace io
{
/**
 * Big-endian typed reads over another stream. The source is not owned
 * and must outlive the reader; read, skip, seek, available and toString
 * go to it unchanged.
 */
class DataInputStream : public InputStream, public DataInput
{
public:
	explicit DataInputStream(InputStream& source);

	int read(void* buf, int n) override;
	int skip(int n) override;

	void readFully(void* buf, int n) override;
	bool readBoolean() override;
	int readByte() override;
	int readChar() override;
	std::string readChars(int n) override;
	double readDouble() override;
	float readFloat() override;
	int readInt() override;
	int readShort() override;
	std::string readUTF() override;
	void readUTF(char* buf, int size) override;

private:
	std::vector<char> m_scratch;
};
}

#endif
