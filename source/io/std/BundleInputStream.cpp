#include <io/BundleInputStream.h>
#include <io/FileInputStream.h>
#include <io/detail/paths.h>
#include "FileStreams.h"

namespace io
{
class BundleInputStream::Impl : public lang::Object
{
public:
	FileInputStream m_file;

	explicit Impl(const std::string& name) : m_file(detail::pathUnderRoot(detail::bundlePath(), name)) {}
};

BundleInputStream::BundleInputStream(const std::string& name) : InputStream(lang::Ptr<InputStream>()), m_this(new Impl(name)) {}

BundleInputStream::~BundleInputStream() {}

int BundleInputStream::read(void* buf, int n) { return m_this->m_file.read(buf, n); }
int BundleInputStream::skip(int n) { return m_this->m_file.skip(n); }
bool BundleInputStream::seek(int offset, SeekMode mode) { return m_this->m_file.seek(offset, mode); }
int BundleInputStream::available() const { return m_this->m_file.available(); }
std::string BundleInputStream::toString() const { return m_this->m_file.toString(); }
}
