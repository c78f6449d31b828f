#ifndef IO_DETAIL_ZIPFILE_H
#define IO_DETAIL_ZIPFILE_H

#include <string>
#include <vector>

namespace io
{
class InputStream;

/** extract's result for an entry above ZipFileInputStream::MAX_ENTRY_BYTES. */
const int ZIP_ENTRY_TOO_LARGE = -1000;
/** errorText() for it. */
std::string entryTooLargeText();

/** An archive format behind io::ZipFileInputStream. Results: 0 for success, else the format's error code. */
class ZipFile
{
public:
	virtual ~ZipFile() {}

	/** Reads the archive's directory from in, which stays in use until destruction. */
	virtual int open(InputStream& in) = 0;
	/** The names of the file entries in archive order, each with its archive index; folders are left out. */
	virtual int readHeader(std::vector<std::string>& names, std::vector<int>& indices) = 0;
	/** The contents of the file at archive index; on failure errorText() tells why. */
	virtual int extract(int index, std::vector<char>& out) = 0;
	/** Why the last extract failed. */
	virtual std::string errorText() const = 0;
};

ZipFile* newZipFile7Zip();
ZipFile* newZipFileInfoZip();
}

#endif
