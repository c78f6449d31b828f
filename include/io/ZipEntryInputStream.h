#ifndef IO_ZIPENTRYINPUTSTREAM_H
#define IO_ZIPENTRYINPUTSTREAM_H

#include <io/ByteArrayInputStream.h>
#include <string>
#include <vector>

namespace io
{
/** The extracted bytes of one archive entry; toString() is the entry's name. */
class ZipEntryInputStream : public ByteArrayInputStream
{
public:
	ZipEntryInputStream(const std::string& name, const std::vector<char>& data);
};
}

#endif
