#ifndef IO_APPDATAOUTPUTSTREAM_H
#define IO_APPDATAOUTPUTSTREAM_H

#include <io/OutputStream.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/**
 * A new version of a file under the user-file root. The bytes go to the
 * name with ".tmp" appended; when the stream is destroyed that file is
 * flushed, synced and closed, and moved over the target only when every
 * step succeeded. Otherwise it is removed and the old file stays.
 */
class AppDataOutputStream : public OutputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit AppDataOutputStream(const std::string& name);
	~AppDataOutputStream() override;

	/** Throws io::IOException when not every byte was written. */
	void write(const void* data, int n) override;
	std::string toString() const override;

private:
	class Impl;
	lang::Ptr<Impl> m_this;
	// Exceptions in flight at construction: more at destruction means the writer was interrupted.
	int m_uncaught;
};
}

#endif
