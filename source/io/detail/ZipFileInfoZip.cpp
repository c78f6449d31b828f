#include "ZipFile.h"
#include <io/InputStream.h>
#include <unzip.h>
#include <vector>

namespace io
{
namespace
{
// minizip's file interface over an input stream, addressed by absolute
// positions from the stream's start. Nothing here may throw into minizip's C code.
struct StreamState
{
	InputStream* in = nullptr;
	unsigned long position = 0;
	unsigned long size = 0;
	bool failed = false;
};

voidpf ZCALLBACK fopen_stream_func(voidpf opaque, const char*, int)
{
	return opaque;
}

uLong ZCALLBACK fread_stream_func(voidpf, voidpf stream, void* buf, uLong size)
{
	StreamState* s = static_cast<StreamState*>(stream);
	uLong total = 0;
	try
	{
		while (total < size)
		{
			const uLong left = size - total;
			const int want = left > 0x40000000UL ? 0x40000000 : static_cast<int>(left);
			const int got = s->in->read(static_cast<char*>(buf) + total, want);
			if (got <= 0)
				break;
			total += static_cast<uLong>(got);
		}
	}
	catch (...)
	{
		s->failed = true;
	}
	if (total < size)
		s->failed = true;
	s->position += total;
	return total;
}

uLong ZCALLBACK fwrite_stream_func(voidpf, voidpf, const void*, uLong)
{
	return static_cast<uLong>(-1);
}

long ZCALLBACK ftell_stream_func(voidpf, voidpf stream)
{
	return static_cast<long>(static_cast<StreamState*>(stream)->position);
}

long ZCALLBACK fseek_stream_func(voidpf, voidpf stream, uLong offset, int origin)
{
	StreamState* s = static_cast<StreamState*>(stream);
	long long pos = 0;
	switch (origin)
	{
	case ZLIB_FILEFUNC_SEEK_SET:
		pos = static_cast<long long>(offset);
		break;
	case ZLIB_FILEFUNC_SEEK_CUR:
		pos = static_cast<long long>(s->position) + static_cast<long>(offset);
		break;
	case ZLIB_FILEFUNC_SEEK_END:
		pos = static_cast<long long>(s->size) + static_cast<long>(offset);
		break;
	default:
		return -1;
	}
	// Offsets from a damaged directory may point anywhere.
	if (pos < 0 || pos > static_cast<long long>(s->size))
		return -1;
	try
	{
		if (!s->in->seek(static_cast<int>(pos), InputStream::SEEK_BEGIN))
			return -1;
	}
	catch (...)
	{
		return -1;
	}
	s->position = static_cast<unsigned long>(pos);
	return 0;
}

int ZCALLBACK fclose_stream_func(voidpf, voidpf)
{
	return 0;
}

int ZCALLBACK ferror_stream_func(voidpf, voidpf stream)
{
	return static_cast<StreamState*>(stream)->failed ? 1 : 0;
}

std::string describe(int err)
{
	switch (err)
	{
	case UNZ_CRCERROR:
		return "CRC error";
	case UNZ_BADZIPFILE:
		return "damaged archive";
	case UNZ_ERRNO:
		return "read error";
	case Z_DATA_ERROR:
		return "damaged data";
	case Z_MEM_ERROR:
		return "out of memory";
	case UNZ_END_OF_LIST_OF_FILE:
		return "no such entry";
	default:
		return "error " + std::to_string(err);
	}
}

class ZipFileInfoZip : public ZipFile
{
public:
	ZipFileInfoZip() : m_zip(nullptr) {}

	~ZipFileInfoZip() override
	{
		if (m_zip)
			unzClose(m_zip);
	}

	int open(InputStream& in) override
	{
		m_state.in = &in;
		m_state.position = 0;
		m_state.failed = false;
		int size = 0;
		try
		{
			size = in.available();
		}
		catch (...)
		{
			return 1;
		}
		m_state.size = size > 0 ? static_cast<unsigned long>(size) : 0;

		zlib_filefunc_def funcs;
		funcs.zopen_file = fopen_stream_func;
		funcs.zread_file = fread_stream_func;
		funcs.zwrite_file = fwrite_stream_func;
		funcs.ztell_file = ftell_stream_func;
		funcs.zseek_file = fseek_stream_func;
		funcs.zclose_file = fclose_stream_func;
		funcs.zerror_file = ferror_stream_func;
		funcs.opaque = &m_state;
		m_zip = unzOpen2("stream", &funcs);
		return m_zip ? 0 : 1;
	}

	int readHeader(std::vector<std::string>& names, std::vector<int>& indices) override
	{
		unz_global_info info;
		int err = unzGetGlobalInfo(m_zip, &info);
		if (err != UNZ_OK)
			return err;
		err = unzGoToFirstFile(m_zip);
		for (uLong i = 0; i < info.number_entry && err == UNZ_OK; ++i)
		{
			std::string name;
			err = currentName(name);
			if (err != UNZ_OK)
				return err;
			const bool dir = !name.empty() && (name.back() == '/' || name.back() == '\\');
			if (!dir)
			{
				names.push_back(name);
				indices.push_back(static_cast<int>(i));
			}
			err = unzGoToNextFile(m_zip);
		}
		return (err == UNZ_OK || err == UNZ_END_OF_LIST_OF_FILE) ? 0 : err;
	}

	int extract(int index, std::vector<char>& out) override
	{
		m_state.failed = false;
		int err = unzGoToFirstFile(m_zip);
		for (int i = 0; i < index && err == UNZ_OK; ++i)
			err = unzGoToNextFile(m_zip);
		unz_file_info info;
		if (err == UNZ_OK)
			err = unzGetCurrentFileInfo(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
		if (err == UNZ_OK)
			err = unzOpenCurrentFile(m_zip);
		if (err != UNZ_OK)
			return fail(err);

		out.clear();
		if (info.uncompressed_size <= (1UL << 26))
			out.reserve(info.uncompressed_size);
		std::vector<char> chunk(4096);
		int got = 0;
		while ((got = unzReadCurrentFile(m_zip, chunk.data(), static_cast<unsigned>(chunk.size()))) > 0)
			out.insert(out.end(), chunk.data(), chunk.data() + got);
		// Closing checks the CRC of a fully read entry.
		const int closed = unzCloseCurrentFile(m_zip);
		if (got < 0)
			return fail(got);
		if (closed != UNZ_OK)
			return fail(closed);
		if (out.size() != info.uncompressed_size)
			return fail(UNZ_BADZIPFILE);
		return 0;
	}

	std::string errorText() const override { return m_error; }

private:
	unzFile m_zip;
	StreamState m_state;
	std::string m_error;

	int currentName(std::string& name)
	{
		unz_file_info info;
		int err = unzGetCurrentFileInfo(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
		if (err != UNZ_OK)
			return err;
		// minizip does not terminate names: ask for the full length and terminate it here.
		std::vector<char> buf(info.size_filename + 1, 0);
		err = unzGetCurrentFileInfo(m_zip, &info, buf.data(), static_cast<uLong>(buf.size()), nullptr, 0, nullptr, 0);
		if (err != UNZ_OK)
			return err;
		buf[info.size_filename] = 0;
		name.assign(buf.data(), info.size_filename);
		return UNZ_OK;
	}

	int fail(int err)
	{
		m_error = describe(err);
		return err;
	}
};
}

ZipFile* newZipFileInfoZip()
{
	return new ZipFileInfoZip;
}
}
