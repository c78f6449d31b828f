#include <io/FileOutputStream.h>
#include <io/IOException.h>
#include <io/PathName.h>
#include <lang/Debug.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include "FileStreams.h"
#include <cerrno>
#include <cstdio>

namespace io
{
class FileOutputStream::Impl : public lang::Object
{
public:
	std::string m_path;
	FILE* m_file;

	explicit Impl(const std::string& path) : m_path(PathName(path).toString()), m_file(std::fopen(m_path.c_str(), "wb"))
	{
		if (!m_file)
			lang::throwError(IOException(lang::Format("Failed to open {0} for writing with errno {1}", detail::shortPath(m_path), errno)));
	}

	~Impl() override
	{
		// Buffered bytes can still fail here; nobody is left to throw to.
		if (std::fclose(m_file) != 0)
			lang::Debug::printf("Failed to close %s with errno %d\n", m_path.c_str(), errno);
	}
};

FileOutputStream::FileOutputStream(const std::string& path) : OutputStream(lang::Ptr<OutputStream>()), m_this(new Impl(path)) {}

FileOutputStream::~FileOutputStream() {}

void FileOutputStream::write(const void* data, int n)
{
	LANG_ASSERT(n >= 0);
	if (std::fwrite(data, 1, static_cast<size_t>(n), m_this->m_file) != static_cast<size_t>(n))
		lang::throwError(IOException(lang::Format("Failed to write {0} bytes to {1}", detail::decimal(n), m_this->m_path)));
}

std::string FileOutputStream::toString() const
{
	return m_this->m_path;
}
}
