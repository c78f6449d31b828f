#include <io/OutputStream.h>

namespace io
{
OutputStream& OutputStream::getEmbeddedStream() const
{
	if (m_target == this)
		return *m_held;
	return *m_target;
}

void OutputStream::write(const void* data, int n) { getEmbeddedStream().write(data, n); }
std::string OutputStream::toString() const { return getEmbeddedStream().toString(); }
}
