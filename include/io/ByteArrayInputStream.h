#ifndef IO_BYTEARRAYINPUTSTREAM_H
#define IO_BYTEARRAYINPUTSTREAM_H

#include <io/InputStream.h>
#include <cstdint>
#include <string>
#include <vector>

namespace io
{
/** Input from a private copy of bytes in memory. */
class ByteArrayInputStream : public InputStream
{
public:
	ByteArrayInputStream();
	/** Copies n bytes; a null data gives n zero bytes. */
	ByteArrayInputStream(const void* data, int n);
	/** Reads in whole; the name is the source's toString(). */
	explicit ByteArrayInputStream(InputStream& in);

	/** Replaces the data (the name stays) and rewinds. */
	void reset(const void* data, int n);
	/** First byte, or null when empty. */
	const uint8_t* data() const { return m_data.empty() ? nullptr : m_data.data(); }
	uint8_t* data() { return m_data.empty() ? nullptr : m_data.data(); }
	int size() const { return static_cast<int>(m_data.size()); }
	void setName(const std::string& name) { m_name = name; }

	int read(void* buf, int n) override;
	int skip(int n) override;
	bool seek(int offset, SeekMode mode) override;
	int available() const override;
	std::string toString() const override;

private:
	std::vector<uint8_t> m_data;
	std::string m_name;
	int m_index;
};
}

#endif
