#include "ZipFile.h"
#include <io/ByteArrayInputStream.h>
#include <io/ZipFileInputStream.h>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

namespace io
{
namespace
{
// Result codes of the 7z format's reference decoder, which callers may know.
enum
{
	SZ_ERROR_DATA = 1,
	SZ_ERROR_MEM = 2,
	SZ_ERROR_CRC = 3,
	SZ_ERROR_UNSUPPORTED = 4,
	SZ_ERROR_NO_ARCHIVE = 17
};

int errorCode(archive* a)
{
	const int err = archive_errno(a);
	const char* text = archive_error_string(a);
	const std::string msg = text ? text : "";
	if (err == ENOMEM)
		return SZ_ERROR_MEM;
	if (msg.find("Unrecognized archive format") != std::string::npos)
		return SZ_ERROR_NO_ARCHIVE;
	if (msg.find("CRC") != std::string::npos)
		return SZ_ERROR_CRC;
	if (msg.find("nsupported") != std::string::npos)
		return SZ_ERROR_UNSUPPORTED;
	return SZ_ERROR_DATA;
}

std::string reasonOf(archive* a)
{
	const char* text = archive_error_string(a);
	return text && *text ? text : "damaged archive";
}

// 7z names are UTF-16: libarchive converts them through the current locale,
// which must be a UTF-8 one for names outside ASCII.
class Utf8Locale
{
public:
	Utf8Locale() : m_old(nullptr)
	{
		static const locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
		if (utf8)
			m_old = uselocale(utf8);
	}
	~Utf8Locale()
	{
		if (m_old)
			uselocale(m_old);
	}

private:
	locale_t m_old;
};

class Reader
{
public:
	explicit Reader(const std::vector<char>& data) : m_archive(archive_read_new()), m_result(ARCHIVE_FATAL)
	{
		if (m_archive && archive_read_support_format_7zip(m_archive) == ARCHIVE_OK)
			m_result = archive_read_open_memory(m_archive, data.data(), data.size());
	}
	~Reader()
	{
		if (m_archive)
			archive_read_free(m_archive);
	}
	Reader(const Reader&) = delete;
	Reader& operator=(const Reader&) = delete;

	bool ok() const { return m_result == ARCHIVE_OK; }
	archive* get() const { return m_archive; }
	int error() const { return m_archive ? errorCode(m_archive) : SZ_ERROR_MEM; }

private:
	archive* m_archive;
	int m_result;
};

/**
 * libarchive reads 7z entries in order only, so every file is extracted
 * when the archive is opened; a failed entry keeps its reason.
 */
class ZipFile7Zip : public ZipFile
{
public:
	int open(InputStream& in) override
	{
		if (!readAll(in))
			return SZ_ERROR_DATA;
		Utf8Locale utf8;
		Reader reader(m_data);
		if (!reader.ok())
			return reader.error();
		archive_entry* entry = nullptr;
		for (;;)
		{
			const int r = archive_read_next_header(reader.get(), &entry);
			if (r == ARCHIVE_EOF)
				break;
			const char* name = (r >= ARCHIVE_WARN) ? archive_entry_pathname_utf8(entry) : nullptr;
			if (!name)
				return reader.error();
			Entry e;
			e.name = name;
			e.dir = archive_entry_filetype(entry) == AE_IFDIR;
			m_entries.push_back(e);
		}
		extractAll();
		m_data.clear();
		m_data.shrink_to_fit();
		return 0;
	}

	int readHeader(std::vector<std::string>& names, std::vector<int>& indices) override
	{
		for (size_t i = 0; i < m_entries.size(); ++i)
		{
			if (m_entries[i].dir)
				continue;
			names.push_back(m_entries[i].name);
			indices.push_back(static_cast<int>(i));
		}
		return 0;
	}

	int extract(int index, std::vector<char>& out) override
	{
		if (index < 0 || index >= static_cast<int>(m_entries.size()) || m_entries[index].dir)
		{
			m_error = "not a file";
			return -1;
		}
		const Entry& e = m_entries[index];
		if (e.error != 0)
		{
			m_error = e.reason;
			return e.error;
		}
		out = e.data;
		return 0;
	}

	std::string errorText() const override { return m_error; }

private:
	struct Entry
	{
		std::string name;
		bool dir = false;
		std::vector<char> data;
		int error = 0;
		std::string reason;
	};

	std::vector<char> m_data;
	std::vector<Entry> m_entries;
	std::string m_error;

	bool readAll(InputStream& in)
	{
		try
		{
			ByteArrayInputStream bytes(in);
			if (bytes.size() > 0)
				m_data.assign(bytes.data(), bytes.data() + bytes.size());
			return true;
		}
		catch (...)
		{
			return false;
		}
	}

	// Reads the entries from first on until one fails; returns the index after the failed one.
	size_t extractFrom(size_t first)
	{
		Reader reader(m_data);
		if (!reader.ok())
			return fail(first, reader.get() ? reasonOf(reader.get()) : "out of memory", reader.error());
		archive_entry* entry = nullptr;
		for (size_t i = 0; i < m_entries.size(); ++i)
		{
			if (archive_read_next_header(reader.get(), &entry) < ARCHIVE_WARN)
				return fail(i < first ? first : i, reasonOf(reader.get()), reader.error());
			if (i < first || m_entries[i].dir)
				continue;
			std::vector<char>& data = m_entries[i].data;
			const la_int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
			// Too large to hold: left unread (the next header skips it), refused when asked for.
			if (size > ZipFileInputStream::MAX_ENTRY_BYTES)
			{
				refuse(i);
				continue;
			}
			// The header's size is a hint only: a damaged one must not ask for gigabytes.
			if (size > 0 && size <= (la_int64_t(1) << 26))
				data.reserve(static_cast<size_t>(size));
			char buf[65536];
			for (;;)
			{
				const la_ssize_t got = archive_read_data(reader.get(), buf, sizeof(buf));
				if (got == 0)
					break;
				if (got < 0)
				{
					data.clear();
					return fail(i, reasonOf(reader.get()), reader.error());
				}
				if (data.size() + static_cast<size_t>(got) > static_cast<size_t>(ZipFileInputStream::MAX_ENTRY_BYTES))
				{
					refuse(i);
					break;
				}
				data.insert(data.end(), buf, buf + got);
			}
		}
		return m_entries.size();
	}

	size_t fail(size_t index, const std::string& reason, int code)
	{
		m_entries[index].error = code;
		m_entries[index].reason = reason;
		return index + 1;
	}

	void refuse(size_t index)
	{
		std::vector<char>().swap(m_entries[index].data);
		m_entries[index].error = ZIP_ENTRY_TOO_LARGE;
		m_entries[index].reason = entryTooLargeText();
	}

	void extractAll()
	{
		// After a failure the reader cannot go on: start again past the failed entry.
		size_t next = 0;
		while (next < m_entries.size())
			next = extractFrom(next);
	}
};
}

ZipFile* newZipFile7Zip()
{
	return new ZipFile7Zip;
}
}
