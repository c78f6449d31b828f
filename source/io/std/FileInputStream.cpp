#include <io/FileInputStream.h>
#include <io/IOException.h>
#include <io/PathName.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include "FileStreams.h"
#include <cerrno>
#include <climits>
#include <cstdio>
#include <sys/stat.h>

namespace io
{
class FileInputStream::Impl : public lang::Object
{
public:
	std::string m_path;
	FILE* m_file;

	explicit Impl(const std::string& path) : m_path(PathName(path).toString()), m_file(std::fopen(m_path.c_str(), "rb"))
	{
		if (!m_file)
			lang::throwError(IOException(lang::Format("Failed to open {0} with errno {1}", detail::shortPath(m_path), errno)));
		// A folder opens for reading but has no bytes, and its end lies past
		// 2 GiB: refuse it here rather than let a reader size a buffer by it.
		struct stat st;
		if (fstat(fileno(m_file), &st) == 0 && S_ISDIR(st.st_mode))
		{
			std::fclose(m_file);
			lang::throwError(IOException(lang::Format("Failed to open {0} with errno {1}", detail::shortPath(m_path), EISDIR)));
		}
	}

	~Impl() override { std::fclose(m_file); }
};

FileInputStream::FileInputStream(const std::string& path) : InputStream(lang::Ptr<InputStream>()), m_this(new Impl(path)) {}

FileInputStream::~FileInputStream() {}

int FileInputStream::read(void* buf, int n)
{
	LANG_ASSERT(n >= 0);
	const size_t got = std::fread(buf, 1, static_cast<size_t>(n), m_this->m_file);
	if (got < static_cast<size_t>(n) && std::ferror(m_this->m_file))
		lang::throwError(IOException(lang::Format("Failed to read {0} bytes from {1}", detail::decimal(n), m_this->m_path)));
	return static_cast<int>(got);
}

int FileInputStream::skip(int n)
{
	if (std::fseek(m_this->m_file, n, SEEK_CUR) != 0)
		lang::throwError(IOException(lang::Format("Failed to skip {0} bytes from {1}", detail::decimal(n), m_this->m_path)));
	return n;
}

bool FileInputStream::seek(int offset, SeekMode mode)
{
	int origin = SEEK_SET;
	if (mode == SEEK_CURRENT)
		origin = SEEK_CUR;
	else if (mode == SEEK_END_)
		origin = SEEK_END;
	return std::fseek(m_this->m_file, offset, origin) == 0;
}

int FileInputStream::available() const
{
	FILE* f = m_this->m_file;
	const long pos = std::ftell(f);
	long end = -1;
	if (pos >= 0 && std::fseek(f, 0, SEEK_END) == 0)
	{
		end = std::ftell(f);
		if (std::fseek(f, pos, SEEK_SET) != 0)
			end = -1;
	}
	if (pos < 0 || end < 0 || std::ferror(f))
		lang::throwError(IOException(lang::Format("Failed to seek {0}", m_this->m_path)));
	const long left = end - pos;
	return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

std::string FileInputStream::toString() const
{
	return m_this->m_path;
}
}
