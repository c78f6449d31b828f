#ifndef IO_FILEINPUTSTREAM_H
#define IO_FILEINPUTSTREAM_H

#include <io/InputStream.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/** Input from a file on any path (normalised through io::PathName). */
class FileInputStream : public InputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit FileInputStream(const std::string& path);
	~FileInputStream() override;

	int read(void* buf, int n) override;
	int skip(int n) override;
	bool seek(int offset, SeekMode mode) override;
	int available() const override;
	std::string toString() const override;

private:
	class Impl;
	lang::Ptr<Impl> m_this;
};
}

#endif
