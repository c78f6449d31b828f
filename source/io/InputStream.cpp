#include <io/InputStream.h>

namespace io
{
InputStream& InputStream::getEmbeddedStream() const
{
	if (m_target == this)
		return *m_held;
	return *m_target;
}

int InputStream::read(void* buf, int n) { return getEmbeddedStream().read(buf, n); }
int InputStream::skip(int n) { return getEmbeddedStream().skip(n); }
bool InputStream::seek(int offset, SeekMode mode) { return getEmbeddedStream().seek(offset, mode); }
int InputStream::available() const { return getEmbeddedStream().available(); }
std::string InputStream::toString() const { return getEmbeddedStream().toString(); }
}
