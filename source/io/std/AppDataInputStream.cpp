#include <io/AppDataInputStream.h>
#include <io/FileInputStream.h>
#include <io/detail/paths.h>
#include "FileStreams.h"

namespace io
{
class AppDataInputStream::Impl : public lang::Object
{
public:
	FileInputStream m_file;

	explicit Impl(const std::string& name) : m_file(detail::pathUnderRoot(detail::appdataPath(), name)) {}
};

AppDataInputStream::AppDataInputStream(const std::string& name) : InputStream(lang::Ptr<InputStream>()), m_this(new Impl(name)) {}

AppDataInputStream::~AppDataInputStream() {}

int AppDataInputStream::read(void* buf, int n) { return m_this->m_file.read(buf, n); }
int AppDataInputStream::skip(int n) { return m_this->m_file.skip(n); }
bool AppDataInputStream::seek(int offset, SeekMode mode) { return m_this->m_file.seek(offset, mode); }
int AppDataInputStream::available() const { return m_this->m_file.available(); }
std::string AppDataInputStream::toString() const { return m_this->m_file.toString(); }
}
