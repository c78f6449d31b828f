#include <io/ByteArrayOutputStream.h>
#include <lang/assert.h>
#include <cstring>

namespace io
{
ByteArrayOutputStream::ByteArrayOutputStream(int reserve) : OutputStream(lang::Ptr<OutputStream>())
{
	if (reserve > 0)
		m_data.reserve(static_cast<size_t>(reserve));
}

void ByteArrayOutputStream::write(const void* data, int n)
{
	LANG_ASSERT(n >= 0);
	const size_t before = m_data.size();
	m_data.resize(before + static_cast<size_t>(n));
	if (n > 0)
		std::memcpy(m_data.data() + before, data, static_cast<size_t>(n));
}

std::string ByteArrayOutputStream::toString() const
{
	return "ByteArrayOutputStream";
}
}
