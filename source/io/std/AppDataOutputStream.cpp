#include <io/AppDataOutputStream.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <lang/assert.h>
#include <lang/throwError.h>
#include "FileStreams.h"
#include <cerrno>
#include <cstdio>
#include <exception>

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
		detail::finishReplacement(m_file, m_temp, m_target, m_failed ? "writing did not finish" : "");
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
