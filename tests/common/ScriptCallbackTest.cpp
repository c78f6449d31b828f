// The functions the engine calls by name: a missing one is named with when it is called, and a
// script error inside one names the script file and line.
#include "GameFixture.h"
#include <lang/Exception.h>
#include <fstream>
#include <regex>

namespace
{
size_t count(const std::string& text, const std::string& part)
{
	size_t n = 0;
	for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
		++n;
	return n;
}

/** The message of what f throws, "" when it throws nothing. */
template <class F> std::string thrown(F f)
{
	try
	{
		f();
	}
	catch (const lang::Exception& e)
	{
		return e.getMessage().format();
	}
	return "";
}
}

using ScriptCallbacks = GameTest;

TEST_F(ScriptCallbacks, RequiredOnesTheScriptLacksAreNamedWithWhenTheyAreCalled)
{
	start();
	EXPECT_EQ("", lua()->missingRequiredCallbacks());
	run("update = nil draw = nil");
	EXPECT_EQ("the game's script has no function update, called every frame\n"
			  "the game's script has no function draw, called every frame, after update, to draw it",
		lua()->missingRequiredCallbacks());
	// Removed after the start: the frame stops with the same words instead of "attempt to call a nil value".
	EXPECT_EQ("the game's script has no function update, called every frame", thrown([&] { lua()->update(1.f / 60.f); }));
	run("function update() end");
}

TEST_F(ScriptCallbacks, OptionalOnesTheScriptLacksAreSaidOnceAndSkipped)
{
	start();
	run("resolutionChanged = nil onLoadLuaFileFail = nil");
	testing::internal::CaptureStdout();
	for (int i = 0; i < 3; ++i)
	{
		app()->resolutionChanged();
		lua()->onLoadLuaFileFail("levels/x.lua");
	}
	const std::string log = testing::internal::GetCapturedStdout();
	EXPECT_EQ(1u, count(log, "the game's script has no function resolutionChanged, called when the screen size changes; "
							 "the engine goes on without it\n")) << log;
	EXPECT_EQ(1u, count(log, "the game's script has no function onLoadLuaFileFail, called at start, once for each script "
							 "or data file that failed to load; the engine goes on without it\n")) << log;
	frame();
}

TEST_F(ScriptCallbacks, OnesTheScriptNamesItselfAreAlwaysWanted)
{
	start();
	run("setNotificationCallback('onNotice')");
	EXPECT_EQ("the game's script has no function onNotice, called when a local notification arrives (named by setNotificationCallback)",
		thrown([&] { lua()->notificationReceived("hello"); }));
}

TEST_F(ScriptCallbacks, AnErrorInsideOneNamesTheScriptFileAndLine)
{
	int line = 0;
	std::ifstream source(TEST_BUNDLE_SOURCE "/scripts_common/gamelogic.lua");
	std::string text;
	for (int n = 1; std::getline(source, text); ++n)
	{
		if (text.find("function raiseAnError()") != std::string::npos)
			line = n;
	}
	ASSERT_GT(line, 0);
	start();
	const std::string file = TEST_BUNDLE "/data_iphone/scripts_common/gamelogic.lua";
	const std::string message = thrown([&] { lua()->callScript("raiseAnError"); });
	// The interpreter keeps 60 characters of a chunk name: a long path loses its start, never the file name.
	const std::string where = "gamelogic.lua:" + std::to_string(line) + ": attempt to index local 'missing' (a nil value)";
	EXPECT_NE(std::string::npos, message.find(where)) << message;
	EXPECT_NE(std::string::npos, message.find("Call stack:\n" + file + "(" + std::to_string(line) + ")\n")) << message;
	EXPECT_EQ(std::string::npos, message.find("[string")) << message;
}
