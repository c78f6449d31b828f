#ifndef IO_ZIPFILEINPUTSTREAM_H
#define IO_ZIPFILEINPUTSTREAM_H

#include <io/InputStream.h>
#include <io/ZipEntryInputStream.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <string>
#include <vector>

namespace io
{
class ZipFile;

/**
 * A 7z or zip archive read from a stream. Only files are listed: folder
 * entries are left out of the names, and entry i is always the file
 * named by getEntryName(i).
 */
class ZipFileInputStream : public lang::Object
{
public:
	/**
	 * The largest entry read into memory (256 MiB): a larger one is refused by
	 * getEntryStream, naming it and the archive, before anything is allocated for it.
	 */
	static const int MAX_ENTRY_BYTES = 256 << 20;

	/** 7z is 0; any other value is zip. */
	enum FileFormat : int
	{
		FILEFORMAT_7ZIP = 0,
		FILEFORMAT_ZIP = 1
	};

	/**
	 * Reads the archive's list of files. The stream must be at its start and
	 * must outlive this object. Throws lang::Exception "Error opening 7zip
	 * file. Error {0}" (for both formats) when the data is no readable archive.
	 */
	ZipFileInputStream(InputStream& in, FileFormat format);
	~ZipFileInputStream() override;

	ZipFileInputStream(const ZipFileInputStream&) = delete;
	ZipFileInputStream& operator=(const ZipFileInputStream&) = delete;

	/** Throws lang::Exception "Entry index out of bounds! (index: {0}, size: {1})". */
	const std::string& getEntryName(int index) const;
	/**
	 * The whole contents of entry index in memory. Throws io::IOException
	 * naming the entry and the archive when it cannot be extracted or its
	 * checksum is wrong.
	 */
	lang::Ptr<ZipEntryInputStream> getEntryStream(int index);

private:
	ZipFile* m_zip;
	std::vector<std::string> m_names;
	std::vector<int> m_indices;
	std::string m_archiveName;
};
}

#endif
