#ifndef IO_BUNDLEINPUTSTREAM_H
#define IO_BUNDLEINPUTSTREAM_H

#include <io/InputStream.h>
#include <string>

namespace io
{
/**
 * Input from a file named relative to the bundle root (one leading '/'
 * ignored); every operation goes to the io::FileInputStream it opens.
 */
class BundleInputStream : public InputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit BundleInputStream(const std::string& name);
};
}

#endif
