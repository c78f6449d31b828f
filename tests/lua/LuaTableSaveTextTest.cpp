#include "LuaTestUtil.h"
#include <io/ByteArrayOutputStream.h>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using lua::LuaState;
using lua::LuaTable;
using luatest::luaError;
using luatest::run;

namespace
{
std::string saveText(LuaTable& t, int indent = 0, bool nested = false)
{
	io::ByteArrayOutputStream out;
	t.write(out, indent, nested);
	return std::string(out.data().begin(), out.data().end());
}

// The save text of the script expression, written as a value at the indentation.
std::string valueText(LuaState& state, const std::string& expr, int indent = 0)
{
	run(state, "value = " + expr);
	lua::LuaStackRestore guard(&state);
	state.globals().pushMember("value");
	io::ByteArrayOutputStream out;
	state.globals().writeValue(out, -1, indent);
	return std::string(out.data().begin(), out.data().end());
}

void readText(LuaTable& t, const std::string& text)
{
	io::ByteArrayInputStream in(text.data(), static_cast<int>(text.size()));
	in.setName("save.lua");
	t.read(in);
}
}

TEST(LuaTableSaveText, TopLevelAndNestedForms)
{
	LuaState state;
	run(state, "t = { list = { 10, 20, x = true } }\n"
			   "t[5] = 1\n"
			   "t['bad-key'] = 2\n"
			   "t.f = print\n");
	LuaTable t = state.globals().getTable("t");
	// Top level: only valid names; number keys and other names left out.
	EXPECT_EQ("list = {\n    10,20,\n    x = true,\n}\n", saveText(t));
	std::string nested = saveText(t, 4, true);
	EXPECT_NE(std::string::npos, nested.find("    [5] = 1,\n"));
	EXPECT_NE(std::string::npos, nested.find("    [\"bad-key\"] = 2,\n"));
	EXPECT_EQ(std::string::npos, nested.find("print"));

	LuaTable empty(&state);
	EXPECT_EQ("\n", saveText(empty));
}

TEST(LuaTableSaveText, ArrayRuns)
{
	LuaState state;
	struct
	{
		const char* expr;
		const char* text;
	} cases[] = {
		{"{ 1, 2, 3 }", "{\n        1,2,3,\n    }"},
		{"{}", "{\n\n    }"},
		{"{ 1, 2, nil, 4 }", "{\n        1,2,\n        [4] = 4,\n    }"},
		{"{ [2] = 'x' }", "{\n        [2] = \"x\",\n    }"},
		{"{ 1, print, 3 }", "{\n        1,\n        [3] = 3,\n    }"},
		{"{ { 1 }, 2 }", "{\n        {\n            1,\n        },2,\n    }"},
		{"{ [true] = 1 }", "{\n        [true] = 1,\n    }"},
		{"{ ['end'] = 1, _G = 2, this = 3 }", "{\n        [\"end\"] = 1,\n    }"},
		{"{ [1.5] = 1 }", "{\n        [1.5] = 1,\n    }"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.text, valueText(state, c.expr, 4)) << c.expr;
}

TEST(LuaTableSaveText, NumbersReadBackExactly)
{
	LuaState state;
	struct
	{
		const char* expr;
		const char* text;
	} cases[] = {
		{"0.1", "0.1"},
		{"0.5", "0.5"},
		{"1234567", "1234567"},
		{"1e6", "1e+06"},
		{"16777217", "16777217"},
		// Whole numbers that are also floats are written whole, not in the float's short form.
		{"2^53", "9007199254740992"},
		{"123456792", "123456792"},
		{"-2^40", "-1099511627776"},
		{"1/3", "0.3333333333333333"},
		{"-2.25", "-2.25"},
		{"1/0", "1/0"},
		{"-1/0", "-1/0"},
		{"0/0", "0/0"},
		{"true", "true"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.text, valueText(state, c.expr)) << c.expr;

	// Engine floats come back as the same float, in their short form.
	LuaTable t(&state);
	t.setNumber("volume", 0.1f);
	t.setNumber("score", 1234567.0f);
	t.setNumber("third", 1.0f / 3);
	std::string text = saveText(t);
	EXPECT_NE(std::string::npos, text.find("volume = 0.1\n"));
	EXPECT_NE(std::string::npos, text.find("score = 1234567\n"));
	LuaTable back(&state);
	readText(back, text);
	EXPECT_EQ(0.1f, back.getNumber("volume"));
	EXPECT_EQ(1234567.0f, back.getNumber("score"));
	EXPECT_EQ(1.0f / 3, back.getNumber("third"));

	// A score that is exactly a float reloads as itself.
	t.setNumber("best", 123456792.0f);
	LuaTable again(&state);
	readText(again, saveText(t));
	lua::LuaStackRestore guard(&state);
	again.pushMember("best");
	EXPECT_EQ(123456792.0, lua_tonumber(state.getLua(), -1));
}

TEST(LuaTableSaveText, StringsAreQuotedSoTheyReadBack)
{
	LuaState state;
	LuaTable t(&state);
	const std::string nasty = std::string("say \"hi\"\\\nnext\rline\0end", 23);
	t.setString("name", "abc");
	t.setString("nasty", nasty);
	std::string text = saveText(t);
	EXPECT_NE(std::string::npos, text.find("name = \"abc\"\n"));
	EXPECT_NE(std::string::npos, text.find("nasty = \"say \\\"hi\\\"\\\\\\\nnext\\rline\\000end\"\n"));

	LuaTable back(&state);
	readText(back, text);
	EXPECT_EQ(nasty, back.getString("nasty"));
	EXPECT_EQ("abc", back.getString("name"));

	// A key with a zero byte is no bare name: left out at top level, bracketed when nested.
	const std::string zeroKey("ab\0cd", 5);
	LuaTable keys(&state);
	keys.setNumber(zeroKey, 1);
	keys.setNumber("ok", 2);
	EXPECT_EQ("ok = 2\n", saveText(keys));
	LuaTable outer(&state);
	outer.setTable("keys", keys);
	LuaTable outerBack(&state);
	readText(outerBack, saveText(outer));
	EXPECT_EQ(1, outerBack.getTable("keys").getNumber(zeroKey));
}

TEST(LuaTableSaveText, DeeplyNestedTablesWriteAndReadBack)
{
	LuaState state;
	run(state, "t = {} local c = t for i = 1, 150 do c.x = {} c = c.x end c.v = 7");
	LuaTable t = state.globals().getTable("t");
	LuaTable back(&state);
	readText(back, saveText(t));
	state.globals().setTable("t2", back);
	run(state, "local c = t2 for i = 1, 150 do c = c.x end depthValue = c.v");
	EXPECT_EQ(7, state.globals().getNumber("depthValue"));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTableSaveText, RoundTripMergesIntoExistingFields)
{
	LuaState state;
	run(state, "t = { volume = 0.5, name = 'player', scores = { 10, 20, 30, best = { level = 3 } }, on = false }");
	LuaTable t = state.globals().getTable("t");
	std::string text = saveText(t);

	LuaTable back(&state);
	back.setString("kept", "yes");
	back.setNumber("volume", 1);
	readText(back, text);
	EXPECT_EQ("yes", back.getString("kept"));
	EXPECT_EQ(0.5f, back.getNumber("volume"));
	EXPECT_EQ(30, back.getTable("scores").getNumber(3));
	EXPECT_EQ(3, back.getTable("scores").getTable("best").getNumber("level"));
	back.remove("kept");
	EXPECT_EQ(text.size(), saveText(back).size());
}

TEST(LuaTableSaveText, ReadErrors)
{
	LuaState state;
	LuaTable t(&state);
	t.setNumber("a", 1);
	EXPECT_EQ(0u, luaError([&] { readText(t, "a = 2\nb = = 3\n"); }).find("Error while compiling Lua: [string \"save.lua\"]:2:"));
	EXPECT_EQ(1, t.getNumber("a"));

	// Saved tables are always source text; a precompiled chunk is refused.
	run(state, "code = string.dump(function() a = 5 end)");
	std::string dumped = state.globals().getString("code");
	EXPECT_EQ("Refusing precompiled code in save.lua", luaError([&] { readText(t, dumped); }));
	EXPECT_EQ(1, t.getNumber("a"));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTableSaveText, SelfContainingTableIsRefused)
{
	LuaState state;
	run(state, "t = { child = {} }\nt.child.parent = t\nt.this = t\n");
	LuaTable t = state.globals().getTable("t");
	EXPECT_EQ("Cannot save a table that contains itself", luaError([&] { saveText(t); }));
	EXPECT_EQ(0, state.top());
}
