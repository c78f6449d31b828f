#ifndef IO_INPUTSTREAM_H
#define IO_INPUTSTREAM_H

#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/**
 * Byte input. The base class also forwards every operation to another
 * stream, so a decorator only overrides what it changes.
 */
class InputStream : public lang::Object
{
public:
	enum SeekMode : int { SEEK_BEGIN = 0, SEEK_CURRENT = 1, SEEK_END_ = 2 };

	/** Forwards to source, which is not owned and must outlive this stream. */
	explicit InputStream(InputStream& source) : lang::Object(), m_target(&source) {}
	/** Forwards to the held stream (may be null for streams that forward nothing). */
	explicit InputStream(lang::Ptr<InputStream> source) : m_held(source), m_target(this) {}
	// A stream has one position: no copies (a copy would silently forward to its source).
	InputStream(const InputStream&) = delete;
	InputStream& operator=(const InputStream&) = delete;

	/** Bytes read; fewer than n at the end of the data, 0 when nothing is left. */
	virtual int read(void* buf, int n);
	/** Bytes skipped. */
	virtual int skip(int n);
	/** True when the position was set. */
	virtual bool seek(int offset, SeekMode mode);
	/** Bytes left from the position, negative when not known in advance. */
	virtual int available() const;
	/** The stream's name for messages. */
	virtual std::string toString() const;

	/** The stream operations are forwarded to. */
	InputStream& getEmbeddedStream() const;

private:
	lang::Ptr<InputStream> m_held;
	InputStream* m_target;
};
}

#endif
