#include <support/ScopedRoots.h>
#include <support/SyncRecorder.h>
#include <support/TempDir.h>
#include "TestStreams.h"
#include <io/AppDataInputStream.h>
#include <io/AppDataOutputStream.h>
#include <io/BundleInputStream.h>
#include <io/FileInputStream.h>
#include <io/FileOutputStream.h>
#include <io/Files.h>
#include <io/IOException.h>
#include <io/detail/paths.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>
#include <vector>

using support::TempDir;
using support::writeFile;
using support::readFile;
using support::fileExists;

namespace
{
class FileStreams : public ::testing::Test
{
protected:
	TempDir tmp;

	void SetUp() override
	{
		ASSERT_FALSE(tmp.path().empty());
		mkdir((tmp / "app").c_str(), 0700);
		mkdir((tmp / "app/images").c_str(), 0700);
		mkdir((tmp / "user").c_str(), 0700);
		m_bundle.reset(new support::ScopedBundleRoot(tmp / "app"));
		m_user.reset(new support::ScopedUserRoot(tmp / "user"));
	}
	void TearDown() override
	{
		m_user.reset();
		m_bundle.reset();
	}

	std::unique_ptr<support::ScopedBundleRoot> m_bundle;
	std::unique_ptr<support::ScopedUserRoot> m_user;
};

}

TEST_F(FileStreams, RootsStartAsCurrentFolder)
{
	io::detail::setBundlePath(".");
	EXPECT_EQ(".", io::detail::bundlePath());
	EXPECT_EQ(tmp / "user", io::detail::appdataPath());
}

TEST_F(FileStreams, BundleNameOpensUnderRootAndReads)
{
	writeFile(tmp / "app/images/a.png", "0123456789");
	io::BundleInputStream in("/images/a.png");
	EXPECT_EQ(tmp / "app/images/a.png", in.toString());
	EXPECT_EQ(10, in.available());
	char buf[16] = {};
	EXPECT_EQ(3, in.read(buf, 3));
	EXPECT_EQ("012", std::string(buf, 3));
	EXPECT_EQ(2, in.skip(2));
	EXPECT_EQ(5, in.available());
	EXPECT_TRUE(in.seek(-2, io::InputStream::SEEK_END_));
	EXPECT_EQ(2, in.read(buf, 16));
	EXPECT_EQ("89", std::string(buf, 2));
	EXPECT_EQ(0, in.read(buf, 16));
	EXPECT_TRUE(in.seek(1, io::InputStream::SEEK_BEGIN));
	EXPECT_TRUE(in.seek(1, io::InputStream::SEEK_CURRENT));
	EXPECT_EQ(8, in.available());
	EXPECT_FALSE(in.seek(-100, io::InputStream::SEEK_BEGIN));

	writeFile(tmp / "user/save.lua", "x=1");
	io::AppDataInputStream user("save.lua");
	EXPECT_EQ(tmp / "user/save.lua", user.toString());
	EXPECT_EQ(3, user.available());
}

TEST_F(FileStreams, OpenAndReadFailuresNameTheFile)
{
	std::string name;
	while (name.size() < 200)
		name += "abcdefghij/";
	const std::string full = tmp.path() + "/" + name;
	EXPECT_EQ("Failed to open ... " + full.substr(full.size() - 124) + " with errno 2", iotest::messageOf([&] { io::FileInputStream in(full); }));
	EXPECT_EQ("Failed to open " + (tmp / "app/missing.png") + " with errno 2", iotest::messageOf([] { io::BundleInputStream in("missing.png"); }));
	EXPECT_EQ("Failed to open " + (tmp / "no/x.bin") + " for writing with errno 2", iotest::messageOf([&] { io::FileOutputStream out(tmp / "no/x.bin"); }));
	EXPECT_EQ("Failed to open " + (tmp / "user/no/x.lua") + " for writing, with errno 2", iotest::messageOf([] { io::AppDataOutputStream out("no/x.lua"); }));

	// A folder is no file: refused at once, not read as a 2 GiB stream of nothing.
	EXPECT_EQ("Failed to open " + (tmp / "app") + " with errno 21", iotest::messageOf([&] { io::FileInputStream dir(tmp / "app"); }));
	EXPECT_EQ("Failed to open " + (tmp / "app/images/") + " with errno 21", iotest::messageOf([] { io::BundleInputStream in("images/"); }));
	EXPECT_EQ("Failed to open " + (tmp / "app/") + " with errno 21", iotest::messageOf([] { io::BundleInputStream in(""); }));
}

TEST_F(FileStreams, FileOutputWritesWholeFile)
{
	{
		io::FileOutputStream out(tmp / "./out.bin");
		EXPECT_EQ(tmp / "out.bin", out.toString());
		out.write("abc", 3);
		out.write("", 0);
		out.write("de", 2);
	}
	EXPECT_EQ("abcde", readFile(tmp / "out.bin"));
	EXPECT_EQ(5, io::FileInputStream(tmp / "out.bin").available());
}

TEST_F(FileStreams, UserFileIsReplacedOnlyWhenComplete)
{
	writeFile(tmp / "user/settings.lua", "old");
	{
		io::AppDataOutputStream out("/settings.lua");
		EXPECT_EQ(tmp / "user/settings.lua", out.toString());
		out.write("new ", 4);
		out.write("version", 7);
		EXPECT_TRUE(fileExists(tmp / "user/settings.lua.tmp"));
		EXPECT_EQ("old", readFile(tmp / "user/settings.lua"));
	}
	EXPECT_EQ("new version", readFile(tmp / "user/settings.lua"));
	EXPECT_FALSE(fileExists(tmp / "user/settings.lua.tmp"));
}

TEST_F(FileStreams, SavedUserFileAndItsFolderAreSynced)
{
	std::vector<std::string>& synced = support::synced();
	synced.clear();
	{
		io::AppDataOutputStream out("/settings.lua");
		out.write("x", 1);
	}
	char* real = realpath((tmp / "user").c_str(), nullptr);
	ASSERT_TRUE(real);
	const std::string folder = real;
	std::free(real);
	// The new file before the rename, then the folder that holds the rename.
	ASSERT_EQ(2u, synced.size());
	EXPECT_EQ(folder + "/settings.lua.tmp", synced[0]);
	EXPECT_EQ(folder, synced[1]);
}

// A whole-file replacement: a new file under a name of its own, synced, renamed over the old
// one, then the folder synced. Names ending in ".tmp" are left to the user-file streams.
TEST_F(FileStreams, ReplacedFileAndItsFolderAreSyncedUnderAUniqueName)
{
	char* real = realpath((tmp / "user").c_str(), nullptr);
	ASSERT_TRUE(real);
	const std::string folder = real;
	std::free(real);
	writeFile(folder + "/state.json", "old");
	writeFile(folder + "/state.json.tmp", "another writer's");
	std::vector<std::string>& synced = support::synced();
	synced.clear();
	testing::internal::CaptureStdout();
	EXPECT_TRUE(io::replaceFile(folder + "/state.json", "new"));
	EXPECT_EQ("", testing::internal::GetCapturedStdout());
	EXPECT_EQ("new", readFile(folder + "/state.json"));
	EXPECT_EQ("another writer's", readFile(folder + "/state.json.tmp"));
	ASSERT_EQ(2u, synced.size());
	EXPECT_EQ(0u, synced[0].find(folder + "/state.json.tmp")) << synced[0];
	EXPECT_NE(folder + "/state.json.tmp", synced[0]);
	EXPECT_FALSE(fileExists(synced[0]));
	EXPECT_EQ(folder, synced[1]);

	// A failed step keeps the old version, removes the new one and says which step.
	testing::internal::CaptureStdout();
	{
		support::FailingFileSyncs failing;
		EXPECT_FALSE(io::replaceFile(folder + "/state.json", "lost"));
	}
	EXPECT_EQ("Failed to save " + folder + "/state.json (fsync: Input/output error); the previous version stays\n",
		testing::internal::GetCapturedStdout());
	EXPECT_EQ("new", readFile(folder + "/state.json"));
	EXPECT_FALSE(fileExists(synced.back()));
	testing::internal::CaptureStdout();
	EXPECT_FALSE(io::replaceFile(tmp / "user/missing/state.json", "x"));
	EXPECT_EQ("Failed to save " + (tmp / "user/missing/state.json") + " (open: No such file or directory); the previous version stays\n",
		testing::internal::GetCapturedStdout());
}

TEST_F(FileStreams, FoldersAreMadeWithTheirParents)
{
	io::makeFolders(tmp / "made/a/b", 0750);
	io::makeFolders(tmp / "made/a/b/");
	struct stat st;
	ASSERT_EQ(0, stat((tmp / "made/a/b").c_str(), &st));
	EXPECT_TRUE(S_ISDIR(st.st_mode));
	EXPECT_EQ(0750u, st.st_mode & 0777);
	writeFile(tmp / "made/file", "");
	EXPECT_EQ("Failed to create " + (tmp / "made/file/c") + " with errno 20", iotest::messageOf([&] { io::makeFolders(tmp / "made/file/c"); }));
	EXPECT_EQ("Failed to create " + (tmp / "made/file") + ": not a directory", iotest::messageOf([&] { io::makeFolders(tmp / "made/file"); }));
}

TEST_F(FileStreams, FailedSaveKeepsPreviousFile)
{
	writeFile(tmp / "user/settings.lua", "old");
	// The temporary file is a device that refuses every byte.
	ASSERT_EQ(0, symlink("/dev/full", (tmp / "user/settings.lua.tmp").c_str()));
	{
		// Small enough to sit in the buffer: the failure shows at the flush.
		io::AppDataOutputStream out("settings.lua");
		out.write("new", 3);
	}
	EXPECT_EQ("old", readFile(tmp / "user/settings.lua"));
	EXPECT_FALSE(fileExists(tmp / "user/settings.lua.tmp"));

	ASSERT_EQ(0, symlink("/dev/full", (tmp / "user/settings.lua.tmp").c_str()));
	const std::vector<char> big(1 << 20, 'x');
	EXPECT_EQ("Failed to write 1048576 bytes to " + (tmp / "user/settings.lua"), iotest::messageOf([&] {
		io::AppDataOutputStream out("settings.lua");
		out.write(big.data(), static_cast<int>(big.size()));
	}));
	EXPECT_EQ("old", readFile(tmp / "user/settings.lua"));
	EXPECT_FALSE(fileExists(tmp / "user/settings.lua.tmp"));
}

TEST_F(FileStreams, InterruptedWriterKeepsPreviousFile)
{
	writeFile(tmp / "user/level.lua", "complete");
	EXPECT_EQ("source failed", iotest::messageOf([] {
		io::AppDataOutputStream out("level.lua");
		out.write("part", 4);
		lang::throwError(lang::Exception(lang::Format("source failed")));
	}));
	EXPECT_EQ("complete", readFile(tmp / "user/level.lua"));
	EXPECT_FALSE(fileExists(tmp / "user/level.lua.tmp"));

	// A stream destroyed during an unrelated exception that started before it still saves.
	try
	{
		throw 1;
	}
	catch (int)
	{
		io::AppDataOutputStream out("level.lua");
		out.write("again", 5);
	}
	EXPECT_EQ("again", readFile(tmp / "user/level.lua"));
}

TEST_F(FileStreams, DefaultUserFolderIsCreated)
{
	const char* oldHome = std::getenv("HOME");
	const char* oldXdg = std::getenv("XDG_DATA_HOME");
	const std::string home = oldHome ? oldHome : "";
	const std::string xdg = oldXdg ? oldXdg : "";

	setenv("XDG_DATA_HOME", (tmp / "xdg/data/").c_str(), 1);
	EXPECT_EQ(tmp / "xdg/data/game", io::detail::defaultAppdataPath("game"));
	struct stat st;
	EXPECT_EQ(0, stat((tmp / "xdg/data/game").c_str(), &st));
	EXPECT_TRUE(S_ISDIR(st.st_mode));

	unsetenv("XDG_DATA_HOME");
	setenv("HOME", (tmp / "home").c_str(), 1);
	EXPECT_EQ(tmp / "home/.local/share/game", io::detail::defaultAppdataPath("game"));
	EXPECT_EQ(tmp / "home/.local/share/game", io::detail::defaultAppdataPath("game"));
	EXPECT_EQ(0, stat((tmp / "home/.local/share/game").c_str(), &st));

	writeFile(tmp / "file", "");
	setenv("HOME", (tmp / "file").c_str(), 1);
	EXPECT_THROW(io::detail::defaultAppdataPath("game"), io::IOException);

	oldHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
	oldXdg ? setenv("XDG_DATA_HOME", xdg.c_str(), 1) : unsetenv("XDG_DATA_HOME");
}

// The game's name is its bundle folder's, whatever the user folder is called.
TEST(GameName, IsTheBundleFoldersName)
{
	const std::string bundle = io::detail::bundlePath(), user = io::detail::appdataPath();
	io::detail::setAppdataPath("/home/someone/user");
	char cwd[PATH_MAX];
	ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
	const std::string here = std::string(cwd).substr(std::string(cwd).rfind('/') + 1);
	const struct
	{
		const char* bundle;
		std::string name;
	} cases[] = {{"/games/mygame", "mygame"}, {"/games/mygame//", "mygame"}, {"relative/starter", "starter"},
		{".", here.empty() ? "engine" : here}, {"/", "engine"}, {"", "engine"}};
	for (const auto& c : cases)
	{
		io::detail::setBundlePath(c.bundle);
		EXPECT_EQ(c.name, io::detail::gameName()) << c.bundle;
	}
	EXPECT_EQ("user", io::detail::appdataName());
	io::detail::setBundlePath(bundle);
	io::detail::setAppdataPath(user);
}

TEST(ScopedRoots, PutThePreviousRootsBack)
{
	const std::string bundle = io::detail::bundlePath();
	const std::string user = io::detail::appdataPath();
	{
		support::ScopedBundleRoot a("/tmp/a");
		support::ScopedUserRoot u("/tmp/u");
		{
			support::ScopedBundleRoot b("/tmp/b");
			EXPECT_EQ("/tmp/b", io::detail::bundlePath());
		}
		EXPECT_EQ("/tmp/a", io::detail::bundlePath());
		EXPECT_EQ("/tmp/u", io::detail::appdataPath());
	}
	EXPECT_EQ(bundle, io::detail::bundlePath());
	EXPECT_EQ(user, io::detail::appdataPath());
}
