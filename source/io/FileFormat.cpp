#include <io/FileFormat.h>
#include <lang/string.h>

namespace io
{
namespace
{
// Extensions of each format, in value order; the first is the format's name.
const char* const names[FILEFORMAT_COUNT][3] = {
	{"UNKNOWN"},
	{"BMP"},
	{"TGA"},
	{"JPG", "JPEG"},
	{"DDS"},
	{"PSD"},
	{"PNG"},
	{"PCX"},
	{"PNM"},
	{"GIF"},
	{"TIF", "TIFF"},
	{"PVR"},
	{"WAV"},
	{"MP3"},
	{"HGR"},
	{"RAW"},
};
}

FileFormat guessFileFormat(const std::string& fileName)
{
	const size_t dot = fileName.rfind('.');
	if (dot == std::string::npos)
		return FILEFORMAT_UNKNOWN;
	const std::string ext = lang::string::toupper(fileName.substr(dot + 1));
	for (int i = 0; i < FILEFORMAT_COUNT; ++i)
		for (const char* name : names[i])
			if (name && ext == name)
				return static_cast<FileFormat>(i);
	return FILEFORMAT_UNKNOWN;
}

const char* toString(FileFormat format)
{
	if (format < 0 || format >= FILEFORMAT_COUNT)
		return names[FILEFORMAT_UNKNOWN][0];
	return names[format][0];
}
}
