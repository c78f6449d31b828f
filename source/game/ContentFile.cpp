#include "ContentFile.h"
#include <io/BundleInputStream.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <memory>

namespace game
{
// The file stream lives to the end of the initialiser, after it has been read whole.
ContentFile::ContentFile(const std::string& bundleName) :
	m_bytes(*std::unique_ptr<io::BundleInputStream>(new io::BundleInputStream(bundleName))),
	m_in(m_bytes),
	m_name(bundleName)
{
}

ContentFile::ContentFile(io::InputStream& in) : m_bytes(in), m_in(m_bytes), m_name(in.toString()) {}

bool ContentFile::readHeader()
{
	if (available() < 4 || m_in.readInt() != int(ContentTag::QF3D))
	{
		m_bytes.seek(0, io::InputStream::SEEK_BEGIN);
		return false;
	}
	const int length = m_in.readInt();
	if (length < 0 || length > available())
		malformed();
	return true;
}

bool ContentFile::nextChunk(int* tag, int* size)
{
	if (available() < 1)
		return false;
	*tag = m_in.readInt();
	*size = m_in.readInt();
	if (*size < 0 || *size > available())
		malformed();
	return true;
}

int ContentFile::nextChunkOf(uint32_t wanted, int minVersion, int maxVersion)
{
	int tag = 0, size = 0;
	while (nextChunk(&tag, &size))
	{
		if (tag != int(wanted))
		{
			skip(size);
			continue;
		}
		const int version = m_in.readShort();
		if (version >= minVersion && version <= maxVersion)
			return version;
		if (size < 2)
			malformed();
		skip(size - 2);
	}
	return 0;
}

void ContentFile::skip(int n)
{
	if (n < 0 || n > available())
		malformed();
	m_bytes.skip(n);
}

void ContentFile::malformed() const
{
	lang::throwError(io::IOException(lang::Format("Malformed QF3D file: {0}", m_name)));
}
}
