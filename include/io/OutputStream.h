#ifndef IO_OUTPUTSTREAM_H
#define IO_OUTPUTSTREAM_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/** Byte output; the base class forwards to another stream. */
class OutputStream : public lang::Object
{
public:
	explicit OutputStream(OutputStream& target) : lang::Object(), m_target(&target) {}
	explicit OutputStream(lang::Ptr<OutputStream> held) : m_held(held), m_target(this) {}

	/** Writes n bytes; file-backed streams throw io::IOException on failure. */
	virtual void write(const void* data, int n);
	virtual std::string toString() const;

	OutputStream& getEmbeddedStream() const;

private:
	lang::Ptr<OutputStream> m_held;
	OutputStream* m_target;
};
}

#endif
