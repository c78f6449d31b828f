#include "GameFixture.h"
#include <cipher/Cipher.h>
#include <string>

namespace
{
std::vector<unsigned char> bytesOf(const std::string& text)
{
	return std::vector<unsigned char>(text.begin(), text.end());
}

std::vector<unsigned char> enciphered(const std::string& text)
{
	std::vector<unsigned char> out;
	EXPECT_TRUE(encrypt(getVariableKey(), bytesOf(text), out));
	return out;
}
}

typedef GameTest SaveFiles;

TEST_F(SaveFiles, FirstStartReportsEachFileAsCreated)
{
	start();
	EXPECT_EQ("File Created:highscores.lua", eval("failed[1]"));
	EXPECT_EQ("File Created:settings.lua", eval("failed[2]"));
	EXPECT_EQ("File Created:bi_data.lua", eval("failed[3]"));
	EXPECT_EQ("File Created:gamepurchases.lua", eval("failed[4]"));
	EXPECT_EQ("table", eval("_G.type(highscores)"));
	EXPECT_EQ("nil", eval("_G.next(highscores)"));
	EXPECT_EQ("iphone4", eval("deviceModel"));
	EXPECT_EQ("scripts", eval("scriptPath"));
	EXPECT_EQ("scripts_common", eval("commonScriptPath"));
}

TEST_F(SaveFiles, RoundTripEncipheredThroughRestart)
{
	start();
	run("highscores.level1 = 1234.5; highscores.names = {'a', 'b'}; settings.volume = 0.5;"
		"settings.root = {audioEnabled = false}; g_gamePurchasesTable.full = true");
	stop();
	for (const char* name : {"highscores.lua", "settings.lua", "bi_data.lua", "gamepurchases.lua"})
	{
		const auto bytes = readBytes(userFile(name));
		EXPECT_FALSE(bytes.empty()) << name;
		EXPECT_EQ(0u, bytes.size() % 16) << name;
		std::vector<unsigned char> plain;
		EXPECT_TRUE(decrypt(getVariableKey(), bytes, plain)) << name;
	}
	start();
	EXPECT_EQ("nil", eval("failed[1]"));
	EXPECT_EQ("1234.5", eval("highscores.level1"));
	EXPECT_EQ("b", eval("highscores.names[2]"));
	EXPECT_EQ("false", eval("settings.root.audioEnabled"));
	EXPECT_EQ("true", eval("g_gamePurchasesTable.full"));
	EXPECT_FLOAT_EQ(0.5f, app()->luaResources()->getMasterVolume());
}

TEST_F(SaveFiles, UnreadableFilesAreKeptAsideAndNeverOverwritten)
{
	// Each with the cause the log gives (none checked for a script error's own text).
	const struct
	{
		const char* first;
		std::vector<unsigned char> second;
		const char* cause;
	} cases[] = {
		{"garbage of 17 bytes", std::vector<unsigned char>(17, 0xA5),
			"(cannot decipher settings.lua: truncated (17 bytes is no whole number of 16-byte blocks))"},
		{"enciphered non-table text", enciphered("this is not lua"), nullptr},
		{"truncated cipher text", [] {
			std::vector<unsigned char> whole = enciphered("starts = 12345678901234567890");
			whole.resize(16);
			return whole;
		}(), "(cannot decipher settings.lua: bad padding)"},
		{"empty file", {}, "(the file is empty)"},
		{"enciphered with another key", [] {
			std::vector<unsigned char> out;
			encrypt(getStaticKey(), bytesOf("starts = 5"), out);
			return out;
		}(), "(cannot decipher settings.lua: bad padding)"},
	};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.first);
		std::remove(userFile("settings.lua").c_str());
		std::remove(userFile("settings.lua.bad").c_str());
		writeBytes(userFile("settings.lua"), c.second);
		testing::internal::CaptureStdout();
		start();
		const std::string log = testing::internal::GetCapturedStdout();
		EXPECT_NE(std::string::npos, log.find("settings.lua.bad")) << log;
		if (c.cause)
		{
			EXPECT_NE(std::string::npos, log.find(std::string("settings.lua could not be read ") + c.cause + "; kept as ")) << log;
		}
		EXPECT_EQ("nil", eval("_G.next(settings)"));
		// Not reported as a new file: it existed.
		run("seen = 'no'; for _, n in _G.ipairs(failed) do if n == 'File Created:settings.lua' then seen = n end end");
		EXPECT_EQ("no", eval("seen"));
		EXPECT_FALSE(exists(userFile("settings.lua")));
		run("settings.fresh = 1");
		stop();
		EXPECT_EQ(c.second, readBytes(userFile("settings.lua.bad")));
		EXPECT_TRUE(exists(userFile("settings.lua")));
	}
}

TEST_F(SaveFiles, TakenBadNamesGetANumber)
{
	writeBytes(userFile("settings.lua.bad"), bytesOf("old"));
	writeBytes(userFile("settings.lua.bad.1"), bytesOf("older"));
	writeBytes(userFile("settings.lua"), bytesOf("@@@"));
	start();
	EXPECT_EQ(bytesOf("old"), readBytes(userFile("settings.lua.bad")));
	EXPECT_EQ(bytesOf("older"), readBytes(userFile("settings.lua.bad.1")));
	EXPECT_EQ(bytesOf("@@@"), readBytes(userFile("settings.lua.bad.2")));
}

TEST_F(SaveFiles, PlainTextFilesAreRead)
{
	writeBytes(userFile("highscores.lua"), bytesOf("level1 = 77\nnames = {\"x\"}\n"));
	start();
	EXPECT_EQ("77", eval("highscores.level1"));
	EXPECT_EQ("x", eval("highscores.names[1]"));
	EXPECT_FALSE(exists(userFile("highscores.lua.bad")));
	// A plain save asked for by a script reads back the same way.
	run("plainData = {a = 1}; saveLuaFile('plain.lua', 'plainData', false)");
	EXPECT_EQ(bytesOf("a = 1\n"), readBytes(userFile("plain.lua")));
	lua::LuaTable t = lua()->loadPersistentFile("plain.lua");
	EXPECT_EQ(1.f, t.getNumber("a"));
}

TEST_F(SaveFiles, AScriptErrorInADecipheredFileIsReported)
{
	start();
	writeBytes(userFile("later.lua"), enciphered("x = = 1"));
	lua::LuaTable t = lua()->loadPersistentFile("later.lua");
	EXPECT_EQ(0, t.size());
	const auto events = loggedEvents();
	ASSERT_FALSE(events.empty());
	EXPECT_EQ("Load failed", events.back().name());
	EXPECT_EQ("later.lua", events.back().parameters().at("Filename"));
	EXPECT_FALSE(events.back().parameters().at("Reason").empty());
	EXPECT_TRUE(exists(userFile("later.lua.bad")));
}

TEST_F(SaveFiles, SavesOfNonTablesOpenNoFile)
{
	writeBytes(userFile("keep.lua"), bytesOf("old = 1"));
	start();
	run("notATable = 5; savePersistentLuaFile('keep.lua', 'notATable'); saveLuaFile('keep.lua', 'missing', true)");
	EXPECT_EQ(bytesOf("old = 1"), readBytes(userFile("keep.lua")));
	EXPECT_FALSE(exists(userFile("keep.lua.tmp")));
}

TEST_F(SaveFiles, AFailedSaveIsLoggedAndTheOthersStillRun)
{
	start();
	run("highscores.a = 1; bi_data.b = 2");
	// A folder in the way of one file makes only that save fail.
	::mkdir(userFile("settings.lua.tmp").c_str(), 0755);
	testing::internal::CaptureStdout();
	stop();
	const std::string log = testing::internal::GetCapturedStdout();
	EXPECT_NE(std::string::npos, log.find("Unable to save settings.lua")) << log;
	EXPECT_TRUE(exists(userFile("highscores.lua")));
	EXPECT_TRUE(exists(userFile("bi_data.lua")));
}
