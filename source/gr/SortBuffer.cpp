#include <gr/SortBuffer.h>
#include <lang/assert.h>

namespace gr
{
SortBuffer::~SortBuffer()
{
	if (!m_buf.empty())
		LANG_ASSERT(m_buf.size() > 4);
}

void SortBuffer::reset(int a, int b)
{
	LANG_ASSERT(a >= 0 && b >= 0);
	m_buf.resize(size_t(a) * 2 + size_t(b) * 4 + 4, 0);
	m_floats = reinterpret_cast<float*>(m_buf.data());
	m_shorts = reinterpret_cast<uint16_t*>(m_buf.data() + size_t(b) * 4);
	uint8_t* marker = m_buf.data() + size_t(b) * 4 + size_t(a) * 2;
	marker[0] = 'o';
	marker[1] = 'k';
	marker[2] = '!';
	marker[3] = 0;
}
}
