#include <io/FileFormat.h>
#include <io/PathName.h>
#include <gtest/gtest.h>

namespace
{
struct PathCase
{
	const char* dir;  // null: parse one path
	const char* path;
	const char* full;
	const char* drive;
	const char* directory;
	const char* basename;
	const char* suffix;
};

const PathCase cases[] = {
	{"dir", "/file.png", "dir/file.png", "", "dir/", "file", ".png"},
	{nullptr, "c:\\data\\x.txt", "c:/data/x.txt", "c:", "/data/", "x", ".txt"},
	{nullptr, "a/b/../c/./d", "a/c/d", "", "a/c/", "d", ""},
	{nullptr, "../a/./b", "../a/./b", "", "../a/./", "b", ""},
	{nullptr, "x/../../a/./b", "../a/./b", "", "../a/./", "b", ""},
	{nullptr, "./a", "a", "", "", "a", ""},
	{nullptr, "x/./a", "x/a", "", "x/", "a", ""},
	{nullptr, "x/../y", "y", "", "", "y", ""},
	{nullptr, "/../a", "/a", "", "/", "a", ""},
	{nullptr, "a/b/..", "a/b/..", "", "a/b/", ".", "."},
	// A doubled slash is one separator: ".." takes away the component before it.
	{nullptr, "a//../b", "b", "", "", "b", ""},
	{nullptr, "x/a//../b", "x/b", "", "x/", "b", ""},
	{nullptr, "//../a", "/a", "", "/", "a", ""},
	{"/app/", "/data//../x.lua", "/app/x.lua", "", "/app/", "x", ".lua"},
	// Dots inside names are not path components.
	{nullptr, "images/a..png", "images/a..png", "", "images/", "a.", ".png"},
	{nullptr, "x./y", "x./y", "", "x./", "y", ""},
	{nullptr, "a/..b/c", "a/..b/c", "", "a/..b/", "c", ""},
	{nullptr, "archive.tar.gz", "archive.tar.gz", "", "", "archive.tar", ".gz"},
	{nullptr, "docs/README", "docs/README", "", "docs/", "README", ""},
	{nullptr, "", "", "", "", "", ""},
	{"", "/abs/file", "/abs/file", "", "/abs/", "file", ""},
	{"dir/", "x.lua", "dir/x.lua", "", "dir/", "x", ".lua"},
	{"dir\\", "\\x.lua", "dir/x.lua", "", "dir/", "x", ".lua"},
	{"/app", "//x.lua", "/app//x.lua", "", "/app//", "x", ".lua"},
};
}

TEST(PathName, PartsOfParsedAndJoinedPaths)
{
	for (const PathCase& c : cases)
	{
		SCOPED_TRACE(std::string(c.dir ? c.dir : "(none)") + " | " + c.path);
		const io::PathName p = c.dir ? io::PathName(c.dir, c.path) : io::PathName(c.path);
		EXPECT_STREQ(c.full, p.toString());
		EXPECT_STREQ(c.drive, p.drive());
		EXPECT_STREQ(c.directory, p.directory());
		EXPECT_STREQ(c.basename, p.basename());
		EXPECT_STREQ(c.suffix, p.suffix());
		EXPECT_EQ(std::string(c.basename) + c.suffix, p.filename());
	}
}

TEST(PathName, ParentAndCopies)
{
	EXPECT_STREQ("a/b", io::PathName("a/b/c/").parent().toString());
	EXPECT_STREQ("a/b", io::PathName("a/b/c.png").parent().toString());
	EXPECT_STREQ("", io::PathName("c.png").parent().toString());
	EXPECT_STREQ("/", io::PathName("/c.png").parent().toString());
	EXPECT_STREQ("/a/", io::PathName(io::PathName("/a/b").parent().toString(), "").toString());

	io::PathName copy;
	EXPECT_STREQ("", copy.toString());
	copy = io::PathName("x/y.z");
	EXPECT_STREQ("x/", copy.directory());
	EXPECT_STREQ(".z", copy.suffix());
}

TEST(PathName, LongPathsKeepEveryCharacter)
{
	std::string dir;
	for (int i = 0; i < 60; ++i)
		dir += "folder" + std::to_string(i) + "/";
	const io::PathName p(dir, "../name.ext");
	ASSERT_EQ(dir.size() - 9 + 8, std::string(p.toString()).size());
	EXPECT_STREQ("name", p.basename());
	EXPECT_EQ(dir.substr(0, dir.size() - 9), p.directory());
}

TEST(FileFormat, GuessedFromExtensionOnly)
{
	const struct
	{
		const char* name;
		io::FileFormat format;
	} guesses[] = {
		{"shot.jpeg", io::FILEFORMAT_JPG},
		{"dir.v2/x.Png", io::FILEFORMAT_PNG},
		{"a.tiff", io::FILEFORMAT_TIF},
		{"music.mp3", io::FILEFORMAT_MP3},
		{".wav", io::FILEFORMAT_WAV},
		{"README", io::FILEFORMAT_UNKNOWN},
		{"x.zip", io::FILEFORMAT_UNKNOWN},
		{"x.unknown", io::FILEFORMAT_UNKNOWN},
		{"x.", io::FILEFORMAT_UNKNOWN},
	};
	for (const auto& g : guesses)
		EXPECT_EQ(g.format, io::guessFileFormat(g.name)) << g.name;
	EXPECT_STREQ("JPG", io::toString(io::FILEFORMAT_JPG));
	EXPECT_STREQ("UNKNOWN", io::toString(io::FILEFORMAT_UNKNOWN));
	EXPECT_STREQ("RAW", io::toString(io::FILEFORMAT_RAW));
}
