#ifndef IO_BUNDLEINPUTSTREAM_H
#define IO_BUNDLEINPUTSTREAM_H

#include <io/InputStream.h>
#include <lang/Ptr.h>
#include <string>

namespace io
{
/** Input from a file named relative to the bundle root (one leading '/' ignored). */
class BundleInputStream : public InputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit BundleInputStream(const std::string& name);
	~BundleInputStream() override;

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
