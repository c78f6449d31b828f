#ifndef IO_BYTEARRAYOUTPUTSTREAM_H
#define IO_BYTEARRAYOUTPUTSTREAM_H

#include <io/OutputStream.h>
#include <cstdint>
#include <vector>

namespace io
{
/** Output appended to a byte vector in memory. */
class ByteArrayOutputStream : public OutputStream
{
public:
	explicit ByteArrayOutputStream(int reserve = 0);

	void write(const void* data, int n) override;
	std::string toString() const override;

	/** Everything written so far, in order. */
	const std::vector<uint8_t>& data() const { return m_data; }

private:
	std::vector<uint8_t> m_data;
};
}

#endif
