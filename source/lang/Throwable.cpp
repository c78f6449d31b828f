#include <lang/Throwable.h>
#include <lang/Debug.h>
#include <lang/OutOfMemoryException.h>
#include <lang/throwError.h>
#include <cstdio>

namespace lang
{
Throwable::Throwable(const Format& msg) : m_msg(msg)
{
	char buf[256];
	m_msg.format(buf, sizeof(buf));
	Debug::printf("Created Throwable( \"%s\" )\n", buf);
}

void Throwable::showExceptionDialog() const
{
	std::printf("EXCEPTION: %s\n", m_msg.format().c_str());
}

void throw_OutOfMemoryException()
{
	throwError(OutOfMemoryException());
}
}
