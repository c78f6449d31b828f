#include "ZipFile.h"
#include <io/InputStream.h>
#include <io/ZipFileInputStream.h>
#include <unzip.h>
#include <zlib.h>
#include <algorithm>
#include <cstdint>
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

// minizip 1.1 misses the zip64 extra field on 64-bit systems (it compares the 32-bit
// marker with (unsigned long)-1) and reports 0xFFFFFFFF: the sizes are read here instead.
void readZip64Sizes(const std::vector<unsigned char>& extra, uint64_t* size, uint64_t* compressed)
{
	const uint64_t marker = 0xFFFFFFFFu;
	size_t at = 0;
	while (at + 4 <= extra.size())
	{
		const unsigned id = extra[at] | unsigned(extra[at + 1]) << 8;
		const size_t length = extra[at + 2] | size_t(extra[at + 3]) << 8;
		const size_t end = std::min(extra.size(), at + 4 + length);
		if (id == 0x0001)
		{
			size_t field = at + 4;
			auto next = [&](uint64_t* value) {
				if (*value != marker || field + 8 > end)
					return;
				uint64_t v = 0;
				for (int k = 7; k >= 0; --k)
					v = v << 8 | extra[field + size_t(k)];
				*value = v;
				field += 8;
			};
			next(size);
			next(compressed);
			return;
		}
		at = end;
	}
}

std::string describe(int err)
{
	switch (err)
	{
	case ZIP_ENTRY_TOO_LARGE:
		return entryTooLargeText();
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
			// Each entry's place, so opening entry i does not walk the directory again.
			unz_file_pos place;
			err = unzGetFilePos(m_zip, &place);
			if (err != UNZ_OK)
				return err;
			m_places.push_back(place);
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
		if (index < 0 || static_cast<size_t>(index) >= m_places.size())
			return fail(UNZ_PARAMERROR);
		unz_file_pos place = m_places[static_cast<size_t>(index)];
		int err = unzGoToFilePos(m_zip, &place);
		unz_file_info64 info;
		std::vector<unsigned char> extra;
		if (err == UNZ_OK)
			err = unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
		if (err == UNZ_OK && info.size_file_extra > 0)
		{
			extra.resize(info.size_file_extra);
			err = unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()), nullptr, 0);
		}
		if (err != UNZ_OK)
			return fail(err);
		uint64_t size = info.uncompressed_size;
		uint64_t compressed = info.compressed_size;
		readZip64Sizes(extra, &size, &compressed);
		if (size > static_cast<uint64_t>(ZipFileInputStream::MAX_ENTRY_BYTES))
			return fail(ZIP_ENTRY_TOO_LARGE);
		err = unzOpenCurrentFile(m_zip);
		if (err != UNZ_OK)
			return fail(err);

		out.clear();
		// minizip reads such an entry as if it ran on for 4 GiB: it fails near the end of
		// the archive. The entry is read here from its known place and sizes instead.
		if (size != info.uncompressed_size || compressed != info.compressed_size)
		{
			err = readDirect(size, compressed, info.compression_method, out);
			unzCloseCurrentFile(m_zip);
			if (err != UNZ_OK)
				return fail(err);
			return checkCrc(out, info.crc);
		}
		if (size <= (1UL << 26))
			out.reserve(static_cast<size_t>(size));
		// Never more than the entry's size: a stored zip64 entry would read on past its end.
		std::vector<char> chunk(65536);
		int got = 0;
		while (out.size() < size)
		{
			const size_t want = std::min<uint64_t>(chunk.size(), size - out.size());
			got = unzReadCurrentFile(m_zip, chunk.data(), static_cast<unsigned>(want));
			if (got <= 0)
				break;
			out.insert(out.end(), chunk.data(), chunk.data() + got);
		}
		// Closing checks the CRC when minizip knew the size; the check below covers zip64 too.
		const int closed = unzCloseCurrentFile(m_zip);
		if (got < 0)
			return fail(got);
		if (closed != UNZ_OK)
			return fail(closed);
		if (out.size() != size)
			return fail(UNZ_BADZIPFILE);
		return checkCrc(out, info.crc);
	}

	std::string errorText() const override { return m_error; }

private:
	unzFile m_zip;
	std::vector<unz_file_pos> m_places; // by archive index
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

	int checkCrc(const std::vector<char>& data, uLong expected)
	{
		const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
		return crc == expected ? 0 : fail(UNZ_CRCERROR);
	}

	// The current entry's data (stored or deflated) from where minizip found it.
	int readDirect(uint64_t size, uint64_t compressed, uLong method, std::vector<char>& out)
	{
		if (method != 0 && method != Z_DEFLATED)
			return UNZ_BADZIPFILE;
		if (compressed > static_cast<uint64_t>(ZipFileInputStream::MAX_ENTRY_BYTES))
			return ZIP_ENTRY_TOO_LARGE;
		const ZPOS64_T at = unzGetCurrentFileZStreamPos64(m_zip);
		if (at + compressed > m_state.size)
			return UNZ_BADZIPFILE;
		std::vector<char> packed(static_cast<size_t>(compressed));
		try
		{
			if (!m_state.in->seek(static_cast<int>(at), InputStream::SEEK_BEGIN))
				return UNZ_ERRNO;
			size_t done = 0;
			while (done < packed.size())
			{
				const int got = m_state.in->read(packed.data() + done, static_cast<int>(packed.size() - done));
				if (got <= 0)
					return UNZ_ERRNO;
				done += static_cast<size_t>(got);
			}
		}
		catch (...)
		{
			return UNZ_ERRNO;
		}
		m_state.position = static_cast<unsigned long>(at + compressed);
		if (method == 0)
		{
			if (compressed != size)
				return UNZ_BADZIPFILE;
			out.swap(packed);
			return UNZ_OK;
		}
		out.resize(static_cast<size_t>(size));
		z_stream zs = {};
		if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
			return Z_MEM_ERROR;
		zs.next_in = reinterpret_cast<Bytef*>(packed.data());
		zs.avail_in = static_cast<uInt>(packed.size());
		zs.next_out = reinterpret_cast<Bytef*>(out.data());
		zs.avail_out = static_cast<uInt>(out.size());
		const int r = inflate(&zs, Z_FINISH);
		const uLong produced = zs.total_out;
		inflateEnd(&zs);
		if (r != Z_STREAM_END || produced != size)
			return Z_DATA_ERROR;
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
