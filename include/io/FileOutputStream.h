#ifndef IO_FILEOUTPUTSTREAM_H
#define IO_FILEOUTPUTSTREAM_H

#include <io/OutputStream.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/** Output to a file on any path, created or truncated. */
class FileOutputStream : public OutputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit FileOutputStream(const std::string& path);
	~FileOutputStream() override;

	/** Throws io::IOException when not every byte was written. */
	void write(const void* data, int n) override;
	std::string toString() const override;

private:
	class Impl;
	lang::Ptr<Impl> m_this;
};
}

#endif
