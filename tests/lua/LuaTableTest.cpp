#include "LuaTestUtil.h"
#include <lua/LuaKeywordChecker.h>
#include <lua/LuaTableVisitor.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <sstream>

using lua::LuaState;
using lua::LuaTable;
using luatest::luaError;
using luatest::run;

namespace
{
// Writes each visit as one short line.
class RecordingVisitor : public lua::LuaTableVisitor
{
public:
	std::ostringstream log;

	void visit(const char* key, const char* value) override { log << key << "=\"" << value << "\" "; }
	void visit(const char* key, double value) override { log << key << "=" << value << " "; }
	void visit(const char* key, bool value) override { log << key << "=" << (value ? "true" : "false") << " "; }
	void visit(const char* key) override { log << key << "=nil "; }
	void visit(int index, const char* value) override { log << "[" << index << "]=\"" << value << "\" "; }
	void visit(int index, double value) override { log << "[" << index << "]=" << value << " "; }
	void visit(int index, bool value) override { log << "[" << index << "]=" << (value ? "true" : "false") << " "; }
	void visit(int index) override { log << "[" << index << "]=nil "; }
	void openTable(const char* key) override { log << (key ? key : "#") << "={ "; }
	void closeTable() override { log << "} "; }
	void start() override { log << "start "; }
	void end() override { log << "end"; }
};

lua::LuaTable global(LuaState& state, const char* name) { return state.globals().getTable(name); }
}

TEST(LuaTable, CopiesShareTheTableAndOutliveEachOther)
{
	LuaState state;
	LuaTable copy;
	{
		LuaTable first(&state);
		first.setNumber("n", 3);
		copy = first;
		LuaTable second(first);
		second.setString("s", "x");
		copy = copy;
	}
	EXPECT_EQ(3, copy.getNumber("n"));
	EXPECT_EQ("x", copy.getString("s"));

	copy = LuaTable();
	EXPECT_FALSE(copy.hasTable());
	EXPECT_EQ(nullptr, copy.getState());
	EXPECT_FALSE(LuaTable(nullptr).hasTable());
}

TEST(LuaTable, FieldsByEveryKeyForm)
{
	LuaState state;
	lua::LuaStackRestore guard(&state);
	LuaTable t(&state);
	LuaTable inner(&state);
	const std::string key = "str";
	t.setString(1, std::string("a\0b", 3));
	t.setString("text", "plain");
	t.setString(key, "by string");
	t.setNumber(2, 2.5f);
	t.setNumber("num", 4);
	t.setBoolean(key + "b", true);
	t.setBoolean("flag", false);
	t.setTable(3, inner);
	t.setTable("inner", inner);
	t.setTable("none", static_cast<const LuaTable*>(nullptr));
	EXPECT_EQ(0, state.top());

	EXPECT_EQ(std::string("a\0b", 3), t.getString(1));
	EXPECT_EQ("plain", t.getString("text"));
	EXPECT_EQ("by string", t.getString(key));
	EXPECT_EQ("2.5", t.getString(2));
	EXPECT_EQ(2.5f, t.getNumber(2));
	EXPECT_EQ(4, t.getNumber(std::string("num")));
	EXPECT_TRUE(t.getBoolean("strb"));
	EXPECT_FALSE(t.getBoolean("flag"));
	EXPECT_TRUE(t.getBoolean("num"));
	EXPECT_FALSE(t.getBoolean("missing"));
	EXPECT_TRUE(t.isTable(3));
	EXPECT_TRUE(t.isNil("none"));
	EXPECT_TRUE(t.isBoolean("flag"));
	EXPECT_TRUE(t.isString("num"));
	EXPECT_FALSE(t.isNumber("text"));
	t.getTable("inner").setNumber("deep", 9);
	EXPECT_EQ(9, t.getTable(3).getNumber("deep"));

	t.remove(1);
	t.remove("text");
	t.remove(key);
	EXPECT_TRUE(t.isNil(1));
	EXPECT_TRUE(t.isNil("text"));
	EXPECT_TRUE(t.isNil(key));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTable, ConversionsOfGetters)
{
	LuaState state;
	run(state, "t = { n = 0.1, big = 1234567, s = '12', b = true, f = print }");
	LuaTable t = global(state, "t");
	EXPECT_EQ("0.1", t.getString("n"));
	EXPECT_EQ("1234567", t.getString("big"));
	EXPECT_EQ(12, t.getNumber("s"));
	EXPECT_TRUE(t.isNumber("s"));
	EXPECT_EQ("", t.getString("b"));
	EXPECT_EQ(0, t.getNumber("b"));
	EXPECT_EQ("", t.getString("f"));
}

TEST(LuaTable, RawAccessIgnoresMetatables)
{
	LuaState state;
	run(state, "t = setmetatable({}, { __index = function() return 1 end, __newindex = function() error('no') end })");
	LuaTable t = global(state, "t");
	EXPECT_TRUE(t.isNil("x"));
	t.setNumber("x", 2);
	EXPECT_EQ(2, t.getNumber("x"));
}

TEST(LuaTable, GetTableOfOtherTypeThrows)
{
	LuaState state;
	LuaTable t(&state);
	t.setNumber(7, 1);
	EXPECT_EQ("Tried to get value missing from table, but type was NIL instead of TABLE", luaError([&] { t.getTable("missing"); }));
	EXPECT_EQ("Tried to get value 7 from table, but type was NUMBER instead of TABLE", luaError([&] { t.getTable(7); }));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTable, SizeCountsAllPairs)
{
	LuaState state;
	run(state, "t = { 1, 2, 3, a = 1, b = 2 }");
	EXPECT_EQ(5, global(state, "t").size());
	EXPECT_EQ(0, LuaTable(&state).size());
}

TEST(LuaTable, TraversalOrderAndSkippedValues)
{
	LuaState state;
	run(state, "t = { 'a', 2, true, f = print, nested = { x = 1 }, _G = _G, this = 0 }\n"
			   "t.this = t\n");
	RecordingVisitor v;
	global(state, "t").traverse(v);
	std::string log = v.log.str();
	EXPECT_EQ(0u, log.find("start [1]=\"a\" [2]=2 [3]=true "));
	EXPECT_NE(std::string::npos, log.find("nested={ x=1 } "));
	EXPECT_EQ(std::string::npos, log.find("f="));
	EXPECT_EQ(std::string::npos, log.find("this"));
	EXPECT_EQ(std::string::npos, log.find("_G"));
	EXPECT_EQ("end", log.substr(log.size() - 3));

	RecordingVisitor nestedArray;
	run(state, "u = { { 1 }, 'x' }");
	global(state, "u").traverse(nestedArray);
	EXPECT_EQ("start #={ [1]=1 } [2]=\"x\" end", nestedArray.log.str());
}

TEST(LuaTable, TraversalRejectsBooleanKeysAndCycles)
{
	LuaState state;
	run(state, "b = { [true] = 1 }\n"
			   "c = { inner = {} }\n"
			   "c.inner.back = c\n");
	RecordingVisitor v;
	EXPECT_EQ(0u, luaError([&] { global(state, "b").traverse(v); }).find("Excepted type NUMBER at stack position -2 but found BOOLEAN"));
	EXPECT_EQ("Table traversal stopped: a table contains itself", luaError([&] { global(state, "c").traverse(v); }));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTable, TraversalOfDeeplyNestedTables)
{
	LuaState state;
	run(state, "t = {} local c = t for i = 1, 1000 do c.x = {} c = c.x end c.v = 7");
	RecordingVisitor v;
	global(state, "t").traverse(v);
	const std::string log = v.log.str();
	EXPECT_EQ(1000, static_cast<int>(std::count(log.begin(), log.end(), '{')));
	EXPECT_NE(std::string::npos, log.find("v=7 }"));
	EXPECT_EQ(0, state.top());
}

TEST(LuaTable, ValidKeyNames)
{
	struct
	{
		const char* name;
		bool valid;
	} cases[] = {
		{"_a1", true}, {"While", true}, {"volume", true}, {"while", false}, {"end", false},
		{"1abc", false}, {"bad-key", false}, {"", false}, {"caf\xc3\xa9", false},
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.valid, lua::LuaKeywordChecker::isValidKeyName(c.name)) << c.name;
}

TEST(LuaTableDeathTest, MisuseIsAnAssertion)
{
	LuaTable empty;
	EXPECT_DEATH(empty.getNumber("x"), "m_ref >= 0");
	EXPECT_DEATH(empty.size(), "m_luastate");
	EXPECT_DEATH(
		{
			LuaState state;
			LuaTable t(&state);
			t.setTable("x", empty);
		},
		"v.m_ref >= 0");
	EXPECT_DEATH(
		{
			LuaState state;
			(void)new LuaTable(&state);
		},
		"m_tableRefs == 0");
}
