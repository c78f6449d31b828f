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
	/** Forwards to target, which is not owned and must outlive this stream. */
	explicit OutputStream(OutputStream& target) : lang::Object(), m_target(&target) {}
	/** Forwards to the held stream (may be null for streams that forward nothing). */
	explicit OutputStream(lang::Ptr<OutputStream> held) : m_held(held), m_target(this) {}
	// No copies: a copy would silently forward to its source.
	OutputStream(const OutputStream&) = delete;
	OutputStream& operator=(const OutputStream&) = delete;

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
