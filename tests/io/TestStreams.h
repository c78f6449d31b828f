#ifndef IO_TESTS_TESTSTREAMS_H
#define IO_TESTS_TESTSTREAMS_H

#include <io/InputStream.h>
#include <lang/Exception.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace iotest
{
// The message of the exception of type E that f throws, or "(nothing thrown)".
template <class E = lang::Exception, class F> std::string messageOf(F f)
{
	try
	{
		f();
	}
	catch (const E& e)
	{
		return e.getMessage().format();
	}
	return "(nothing thrown)";
}

// A named source that hands out at most `piece` bytes per read and may hide its length,
// like a pipe or a decoder.
class PieceStream : public io::InputStream
{
public:
	PieceStream(std::vector<unsigned char> data, int piece, bool lengthKnown, const char* name = "pieces.bin")
	    : io::InputStream(lang::Ptr<io::InputStream>()), m_data(std::move(data)), m_piece(piece), m_lengthKnown(lengthKnown), m_name(name)
	{
	}

	int read(void* buf, int n) override
	{
		const int count = std::min({n, m_piece, static_cast<int>(m_data.size()) - m_pos});
		if (count <= 0)
			return 0;
		std::memcpy(buf, m_data.data() + m_pos, static_cast<size_t>(count));
		m_pos += count;
		m_reads.push_back(count);
		return count;
	}
	int skip(int n) override
	{
		const int count = std::min(n, static_cast<int>(m_data.size()) - m_pos);
		m_pos += count;
		return count;
	}
	bool seek(int offset, SeekMode) override
	{
		m_pos = offset;
		return true;
	}
	int available() const override { return m_lengthKnown ? static_cast<int>(m_data.size()) - m_pos : -1; }
	std::string toString() const override { return m_name; }

	std::vector<int> m_reads;

private:
	std::vector<unsigned char> m_data;
	int m_pos = 0;
	int m_piece;
	bool m_lengthKnown;
	std::string m_name;
};
}

#endif
