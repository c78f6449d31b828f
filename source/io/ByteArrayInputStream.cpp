#include <io/ByteArrayInputStream.h>
#include <lang/assert.h>
#include <cstring>

namespace io
{
ByteArrayInputStream::ByteArrayInputStream() : InputStream(lang::Ptr<InputStream>()), m_index(0) {}

ByteArrayInputStream::ByteArrayInputStream(const void* data, int n) : InputStream(lang::Ptr<InputStream>()), m_index(0)
{
	reset(data, n);
}

ByteArrayInputStream::ByteArrayInputStream(InputStream& in) : InputStream(lang::Ptr<InputStream>()), m_name(in.toString()), m_index(0)
{
	const int a = in.available();
	if (a < 0)
	{
		// Length unknown: read in 1 KiB pieces until the source gives nothing more
		// (a short piece need not be the last one).
		const size_t chunk = 1024;
		size_t total = 0;
		for (;;)
		{
			m_data.resize(total + chunk);
			const int got = in.read(m_data.data() + total, static_cast<int>(chunk));
			if (got <= 0)
				break;
			total += static_cast<size_t>(got);
		}
		m_data.resize(total);
	}
	else
	{
		m_data.resize(static_cast<size_t>(a));
		if (a > 0)
		{
			// Keep reading until the stream ends, so a stream that delivers in pieces still arrives whole.
			int total = 0;
			while (total < a)
			{
				const int got = in.read(m_data.data() + total, a - total);
				if (got <= 0)
					break;
				total += got;
			}
			m_data.resize(static_cast<size_t>(total));
		}
	}
}

void ByteArrayInputStream::reset(const void* data, int n)
{
	LANG_ASSERT(n >= 0);
	m_data.assign(static_cast<size_t>(n), 0);
	if (n >= 1 && data)
		std::memcpy(m_data.data(), data, static_cast<size_t>(n));
	m_index = 0;
}

int ByteArrayInputStream::read(void* buf, int n)
{
	LANG_ASSERT(n >= 0);
	const int size = static_cast<int>(m_data.size());
	const int count = n < size - m_index ? n : size - m_index;
	if (count >= 1)
	{
		std::memcpy(buf, m_data.data() + m_index, static_cast<size_t>(count));
		m_index += count;
	}
	return count > 0 ? count : 0;
}

int ByteArrayInputStream::skip(int n)
{
	const int size = static_cast<int>(m_data.size());
	// Wide sums: a huge n must fail the check, not wrap past it.
	LANG_ASSERT(static_cast<long long>(m_index) + n <= size);
	LANG_ASSERT(n >= 0);
	const int count = n < size - m_index ? n : size - m_index;
	m_index += count;
	return count;
}

bool ByteArrayInputStream::seek(int offset, SeekMode mode)
{
	const long long size = static_cast<long long>(m_data.size());
	long long index = m_index;
	switch (mode)
	{
	case SEEK_BEGIN:
		LANG_ASSERT(offset >= 0);
		LANG_ASSERT(offset <= size);
		index = offset;
		break;
	case SEEK_CURRENT:
		LANG_ASSERT(index + offset >= 0);
		LANG_ASSERT(index + offset <= size);
		index += offset;
		break;
	case SEEK_END_:
		LANG_ASSERT(size + offset >= 0);
		LANG_ASSERT(offset <= 0);
		index = size + offset;
		break;
	default:
		break;
	}
	if (index < 0)
		index = 0;
	if (index > size)
		index = size;
	m_index = static_cast<int>(index);
	return true;
}

int ByteArrayInputStream::available() const
{
	return static_cast<int>(m_data.size()) - m_index;
}

std::string ByteArrayInputStream::toString() const
{
	return m_name.empty() ? std::string("ByteArrayInputStream") : m_name;
}
}
