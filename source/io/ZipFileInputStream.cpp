#include <io/ZipFileInputStream.h>
#include <io/IOException.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include "detail/ZipFile.h"

namespace io
{
ZipEntryInputStream::ZipEntryInputStream(const std::string& name, const std::vector<char>& data) :
	ByteArrayInputStream(data.data(), static_cast<int>(data.size()))
{
	setName(name);
}

ZipFileInputStream::ZipFileInputStream(InputStream& in, FileFormat format) :
	m_zip(format == FILEFORMAT_7ZIP ? newZipFile7Zip() : newZipFileInfoZip()),
	m_archiveName(in.toString())
{
	int err = m_zip->open(in);
	// A directory that breaks off part way is a damaged archive too, not a shorter one.
	if (err == 0)
		err = m_zip->readHeader(m_names, m_indices);
	if (err != 0)
	{
		delete m_zip;
		m_zip = nullptr;
		lang::throwError(lang::Exception(lang::Format("Error opening 7zip file. Error {0}", err)));
	}
}

ZipFileInputStream::~ZipFileInputStream()
{
	delete m_zip;
}

const std::string& ZipFileInputStream::getEntryName(int index) const
{
	if (index < 0 || index >= static_cast<int>(m_names.size()))
		lang::throwError(lang::Exception(lang::Format("Entry index out of bounds! (index: {0}, size: {1})", index, static_cast<int>(m_names.size()))));
	return m_names[index];
}

std::string entryTooLargeText()
{
	return "entry is larger than " + std::to_string(ZipFileInputStream::MAX_ENTRY_BYTES) + " bytes";
}

lang::Ptr<ZipEntryInputStream> ZipFileInputStream::getEntryStream(int index)
{
	const std::string& name = getEntryName(index);
	std::vector<char> data;
	if (m_zip->extract(m_indices[index], data) != 0)
		lang::throwError(IOException(lang::Format("Failed to extract {0} from {1}: {2}", name, m_archiveName, m_zip->errorText())));
	return new ZipEntryInputStream(name, data);
}
}
