#include <support/TempDir.h>
#include "TestStreams.h"
#include <io/ByteArrayInputStream.h>
#include <io/FileInputStream.h>
#include <io/IOException.h>
#include <io/ZipFileInputStream.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <string>
#include <vector>

using support::TempDir;
using support::readFile;

namespace
{
const std::string dir = IO_ARCHIVES_DIR;

std::string contents(io::InputStream& in)
{
	std::string s(static_cast<size_t>(in.available()), '\0');
	if (!s.empty())
	{
		EXPECT_EQ(static_cast<int>(s.size()), in.read(&s[0], static_cast<int>(s.size())));
	}
	EXPECT_EQ(0, in.available());
	return s;
}

std::string entry(io::ZipFileInputStream& zip, int i)
{
	lang::Ptr<io::ZipEntryInputStream> s = zip.getEntryStream(i);
	EXPECT_EQ(zip.getEntryName(i), s->toString());
	return contents(*s);
}

// The archive read into memory, as the game does after deciphering it.
struct MemoryArchive
{
	io::FileInputStream file;
	io::ByteArrayInputStream bytes;
	io::ZipFileInputStream zip;

	MemoryArchive(const std::string& name, io::ZipFileInputStream::FileFormat format) :
		file(dir + "/" + name), bytes(file), zip(bytes, format)
	{
	}
};

std::vector<std::string> names(const io::ZipFileInputStream& zip, int n)
{
	std::vector<std::string> v;
	for (int i = 0; i < n; ++i)
		v.push_back(zip.getEntryName(i));
	EXPECT_EQ("Entry index out of bounds! (index: " + std::to_string(n) + ", size: " + std::to_string(n) + ")", iotest::messageOf([&] { zip.getEntryName(n); }));
	return v;
}
}

TEST(SevenZip, EveryCoderGivesTheFileBack)
{
	const struct
	{
		const char* archive;
		const char* file;
	} cases[] = {
		{"lzma.7z", "hello.txt"},
		{"lzma2.7z", "text.txt"},
		{"bcj.7z", "code.bin"},
		{"bcj2.7z", "code.bin"},
		{"unicode.7z", "gr\xc3\xb6\xc3\x9f" "e-\xe6\x97\xa5\xe6\x9c\xac.txt"},
	};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.archive);
		MemoryArchive a(c.archive, io::ZipFileInputStream::FILEFORMAT_7ZIP);
		EXPECT_EQ(std::vector<std::string>{c.file}, names(a.zip, 1));
		EXPECT_EQ(readFile(dir + "/src/" + c.file), entry(a.zip, 0));
		EXPECT_EQ("Entry index out of bounds! (index: -1, size: 1)", iotest::messageOf([&] { a.zip.getEntryStream(-1); }));
	}
}

TEST(SevenZip, FoldersAreLeftOutOfSolidArchive)
{
	io::FileInputStream file(dir + "/solid.7z");
	io::ZipFileInputStream zip(file, io::ZipFileInputStream::FILEFORMAT_7ZIP);
	const std::vector<std::string> expected = {"assets/a.txt", "b.txt", "c.txt"};
	ASSERT_EQ(expected, names(zip, 3));
	for (int i : {2, 0, 1, 2})
		EXPECT_EQ(readFile(dir + "/src/" + expected[i]), entry(zip, i)) << i;
}

TEST(SevenZip, BadArchivesFailToOpen)
{
	const struct
	{
		const char* archive;
		int error;
	} cases[] = {
		{"notarchive.7z", 17},
		{"truncated.7z", 1},
		{"plain.zip", 17},
	};
	for (const auto& c : cases)
	{
		EXPECT_EQ("Error opening 7zip file. Error " + std::to_string(c.error),
			iotest::messageOf([&] { MemoryArchive a(c.archive, io::ZipFileInputStream::FILEFORMAT_7ZIP); }))
			<< c.archive;
	}
	io::ByteArrayInputStream empty;
	EXPECT_EQ("Error opening 7zip file. Error 17", iotest::messageOf([&] { io::ZipFileInputStream zip(empty, io::ZipFileInputStream::FILEFORMAT_7ZIP); }));
}

TEST(SevenZip, BrokenEntriesThrowNamingEntryAndArchive)
{
	MemoryArchive crc("badcrc.7z", io::ZipFileInputStream::FILEFORMAT_7ZIP);
	// 7zz orders the files by name.
	ASSERT_EQ((std::vector<std::string>{"bad.txt", "good.txt"}), names(crc.zip, 2));
	const std::string msg = iotest::messageOf([&] { crc.zip.getEntryStream(0); });
	EXPECT_EQ(0u, msg.find("Failed to extract bad.txt from " + dir + "/badcrc.7z: ")) << msg;
	EXPECT_NE(std::string::npos, msg.find("CRC")) << msg;
	EXPECT_THROW(crc.zip.getEntryStream(0), io::IOException);
	EXPECT_EQ(readFile(dir + "/src/good.txt"), entry(crc.zip, 1));

	// Damaged compressed data: the listing survives, and no entry comes back partial.
	MemoryArchive damaged("damaged.7z", io::ZipFileInputStream::FILEFORMAT_7ZIP);
	const std::vector<std::string> listed = names(damaged.zip, 3);
	int failures = 0;
	for (int i = 0; i < 3; ++i)
	{
		try
		{
			EXPECT_EQ(readFile(dir + "/src/" + listed[i]), entry(damaged.zip, i));
		}
		catch (const io::IOException& e)
		{
			++failures;
			EXPECT_EQ(0u, e.getMessage().format().find("Failed to extract " + listed[i] + " from ")) << e.getMessage().format();
		}
	}
	EXPECT_GE(failures, 1);
}

TEST(Zip, EntriesOverFileAndMemoryStreams)
{
	const std::string longName = std::string(300, 'n') + ".txt";
	const std::vector<std::string> expected = {"dir/code.bin", "big.bin", "hello.txt", longName};
	std::string big;
	for (int i = 0; i < 10000; ++i)
		big += static_cast<char>(i % 251);

	io::FileInputStream file(dir + "/plain.zip");
	io::ZipFileInputStream fromFile(file, io::ZipFileInputStream::FILEFORMAT_ZIP);
	MemoryArchive fromMemory("plain.zip", io::ZipFileInputStream::FILEFORMAT_ZIP);
	for (io::ZipFileInputStream* zip : {&fromFile, &fromMemory.zip})
	{
		ASSERT_EQ(expected, names(*zip, 4));
		EXPECT_EQ(big, entry(*zip, 1));
		EXPECT_EQ(readFile(dir + "/src/code.bin"), entry(*zip, 0));
		EXPECT_EQ("hello world\n", entry(*zip, 2));
		EXPECT_EQ("long name\n", entry(*zip, 3));
	}
}

TEST(Zip, BadArchivesAndEntries)
{
	for (const char* name : {"notarchive.7z", "truncated.zip", "lzma.7z"})
		EXPECT_EQ("Error opening 7zip file. Error 1", iotest::messageOf([&] { MemoryArchive a(name, io::ZipFileInputStream::FILEFORMAT_ZIP); })) << name;

	io::FileInputStream file(dir + "/badcrc.zip");
	io::ZipFileInputStream zip(file, io::ZipFileInputStream::FILEFORMAT_ZIP);
	ASSERT_EQ((std::vector<std::string>{"good.txt", "bad.txt"}), names(zip, 2));
	EXPECT_EQ(readFile(dir + "/src/good.txt"), entry(zip, 0));
	EXPECT_EQ("Failed to extract bad.txt from " + dir + "/badcrc.zip: CRC error", iotest::messageOf([&] { zip.getEntryStream(1); }));
	EXPECT_EQ(readFile(dir + "/src/good.txt"), entry(zip, 0));
}

namespace
{
// Reading fails once the archive reader asks for bytes.
class FailingStream : public io::ByteArrayInputStream
{
public:
	explicit FailingStream(io::InputStream& in) : io::ByteArrayInputStream(in) {}
	int read(void*, int) override { lang::throwError(io::IOException(lang::Format("device gone"))); }
};
}

TEST(ZipFileInputStream, FailingInputIsAnOpenError)
{
	for (auto format : {io::ZipFileInputStream::FILEFORMAT_7ZIP, io::ZipFileInputStream::FILEFORMAT_ZIP})
	{
		io::FileInputStream file(dir + (format == io::ZipFileInputStream::FILEFORMAT_ZIP ? "/plain.zip" : "/lzma.7z"));
		FailingStream failing(file);
		const std::string msg = iotest::messageOf([&] { io::ZipFileInputStream zip(failing, format); });
		EXPECT_EQ(0u, msg.find("Error opening 7zip file. Error ")) << msg;
	}
}

namespace
{
// Peak resident memory of the process so far.
long peakKilobytes()
{
	rusage usage = {};
	getrusage(RUSAGE_SELF, &usage);
	return usage.ru_maxrss;
}

// Counts the bytes the archive reader asks for.
class CountingStream : public io::ByteArrayInputStream
{
public:
	explicit CountingStream(io::InputStream& in) : io::ByteArrayInputStream(in) {}
	int read(void* buf, int n) override
	{
		const int got = io::ByteArrayInputStream::read(buf, n);
		bytes += got > 0 ? got : 0;
		return got;
	}
	long bytes = 0;
};
}

TEST(Archives, EntriesAboveTheCapAreRefusedNamingArchiveAndEntry)
{
	// 257 MiB of zeros, then hello.txt; neither archive may hold the large entry in memory.
	for (auto format : {io::ZipFileInputStream::FILEFORMAT_7ZIP, io::ZipFileInputStream::FILEFORMAT_ZIP})
	{
		const std::string path = dir + (format == io::ZipFileInputStream::FILEFORMAT_ZIP ? "/big.zip" : "/big.7z");
		const long before = peakKilobytes();
		io::FileInputStream file(path);
		io::ZipFileInputStream zip(file, format);
		ASSERT_EQ((std::vector<std::string>{"zeros.bin", "hello.txt"}), names(zip, 2));
		EXPECT_EQ("Failed to extract zeros.bin from " + path + ": entry is larger than 268435456 bytes",
			iotest::messageOf([&] { zip.getEntryStream(0); }));
		EXPECT_EQ("hello world\n", entry(zip, 1));
		EXPECT_LT(peakKilobytes() - before, 64 * 1024) << path;
	}
}

TEST(Zip, Zip64SizesComeFromTheExtraField)
{
	io::FileInputStream file(dir + "/zip64.zip");
	io::ZipFileInputStream zip(file, io::ZipFileInputStream::FILEFORMAT_ZIP);
	ASSERT_EQ((std::vector<std::string>{"stored.txt", "deflated.txt"}), names(zip, 2));
	EXPECT_EQ(readFile(dir + "/src/good.txt"), entry(zip, 0));
	EXPECT_EQ(readFile(dir + "/src/text.txt"), entry(zip, 1));

	// Without the sizes minizip checks no CRC: a changed byte must still be found.
	io::FileInputStream damagedFile(dir + "/zip64-damaged.zip");
	io::ZipFileInputStream damaged(damagedFile, io::ZipFileInputStream::FILEFORMAT_ZIP);
	EXPECT_EQ("Failed to extract stored.txt from " + dir + "/zip64-damaged.zip: CRC error", iotest::messageOf([&] { damaged.getEntryStream(0); }));
	EXPECT_EQ(readFile(dir + "/src/text.txt"), entry(damaged, 1));
}

TEST(Zip, AnyEntryIsFoundWithoutWalkingTheDirectory)
{
	io::FileInputStream file(dir + "/many.zip");
	CountingStream counting(file);
	io::ZipFileInputStream zip(counting, io::ZipFileInputStream::FILEFORMAT_ZIP);
	for (int i : {2999, 1500, 0})
	{
		counting.bytes = 0;
		EXPECT_EQ("entry " + std::to_string(i) + "\n", entry(zip, i));
		// One local header, one central entry and the data: well under a kilobyte.
		EXPECT_LT(counting.bytes, 1024) << i;
	}
}
