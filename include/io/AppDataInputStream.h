#ifndef IO_APPDATAINPUTSTREAM_H
#define IO_APPDATAINPUTSTREAM_H

#include <io/InputStream.h>
#include <string>

namespace io
{
/**
 * Input from a file named relative to the user-file root (one leading '/'
 * ignored); every operation goes to the io::FileInputStream it opens.
 */
class AppDataInputStream : public InputStream
{
public:
	/** Throws io::IOException when the file cannot be opened. */
	explicit AppDataInputStream(const std::string& name);
};
}

#endif
