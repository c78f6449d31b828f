#include <io/AppDataOutputStream.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <lang/Debug.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include "FileStreams.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace io
{
class AppDataOutputStream::Impl : public lang::Object
{
public:
	std::string m_target;
	std::string m_temp;
	FILE* m_file;
	bool m_failed;

	explicit Impl(const std::string& name) :
		m_target(detail::pathUnderRoot(detail::appdataPath(), name)),
		m_temp(m_target + ".tmp"),
		m_file(std::fopen(m_temp.c_str(), "wb")),
		m_failed(false)
	{
		if (!m_file)
			lang::throwError(IOException(lang::Format("Failed to open {0} for writing, with errno {1}", m_target, errno)));
	}

	// The target is replaced only by a complete, synced file.
	~Impl() override
	{
		std::string failure;
		if (m_failed)
			failure = "writing did not finish";
		else if (std::fflush(m_file) != 0)
			failure = std::string("flush: ") + std::strerror(errno);
		else if (fsync(fileno(m_file)) != 0)
			failure = std::string("fsync: ") + std::strerror(errno);
		if (std::fclose(m_file) != 0 && failure.empty())
			failure = std::string("close: ") + std::strerror(errno);
		if (failure.empty() && std::rename(m_temp.c_str(), m_target.c_str()) != 0)
			failure = std::string("rename: ") + std::strerror(errno);
		if (!failure.empty())
		{
			std::remove(m_temp.c_str());
			lang::Debug::printf("Failed to save %s (%s); the previous version stays\n", m_target.c_str(), failure.c_str());
			return;
		}
		// The rename lives in the folder: until the folder is synced a power cut may bring
		// the old file back after the save was reported.
		const std::string::size_type slash = m_target.find_last_of('/');
		const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_target.substr(0, slash);
		const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		if (fd < 0 || fsync(fd) != 0)
			lang::Debug::printf("Saved %s but could not sync its folder (%s)\n", m_target.c_str(), std::strerror(errno));
		if (fd >= 0)
			close(fd);
	}
};

AppDataOutputStream::AppDataOutputStream(const std::string& name) :
	OutputStream(lang::Ptr<OutputStream>()),
	m_this(new Impl(name)),
	m_uncaught(std::uncaught_exceptions())
{
}

AppDataOutputStream::~AppDataOutputStream()
{
	// Destroyed while an exception passes: the writer did not finish, so keep the old file.
	if (std::uncaught_exceptions() > m_uncaught)
		m_this->m_failed = true;
}

void AppDataOutputStream::write(const void* data, int n)
{
	LANG_ASSERT(n >= 0);
	if (std::fwrite(data, 1, static_cast<size_t>(n), m_this->m_file) != static_cast<size_t>(n))
	{
		m_this->m_failed = true;
		lang::throwError(IOException(lang::Format("Failed to write {1} bytes to {0}", m_this->m_target, detail::decimal(n))));
	}
}

std::string AppDataOutputStream::toString() const
{
	return m_this->m_target;
}
}
