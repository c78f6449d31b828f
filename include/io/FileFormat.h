#ifndef IO_FILEFORMAT_H
#define IO_FILEFORMAT_H

#include <string>

namespace io
{
/** File types the image and audio readers know, told apart by extension. */
enum FileFormat : int
{
	FILEFORMAT_UNKNOWN = 0,
	FILEFORMAT_BMP = 1,
	FILEFORMAT_TGA = 2,
	FILEFORMAT_JPG = 3,
	FILEFORMAT_DDS = 4,
	FILEFORMAT_PSD = 5,
	FILEFORMAT_PNG = 6,
	FILEFORMAT_PCX = 7,
	FILEFORMAT_PNM = 8,
	FILEFORMAT_GIF = 9,
	FILEFORMAT_TIF = 10,
	FILEFORMAT_PVR = 11,
	FILEFORMAT_WAV = 12,
	FILEFORMAT_MP3 = 13,
	FILEFORMAT_HGR = 14,
	FILEFORMAT_RAW = 15,
	FILEFORMAT_COUNT
};

/** The format named by the text after the last '.', in any case; unknown when there is none. */
FileFormat guessFileFormat(const std::string& fileName);
/** The format's name, its first extension ("JPG" for FILEFORMAT_JPG). */
const char* toString(FileFormat format);
}

#endif
