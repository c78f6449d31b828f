#include <lua/JSONExporter.h>
#include <lua/JSONImporter.h>
#include <lua/LuaException.h>
#include <lua/LuaState.h>
#include <lua/LuaTable.h>
#include <util/traverseJSON.h>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace
{
class JSONBridge : public ::testing::Test
{
protected:
	lua::LuaState m_state;

	std::string exportJSON(lua::LuaTable& t)
	{
		lua::JSONExporter e;
		t.traverse(e);
		return e.getJSON();
	}

	lua::LuaTable array(std::initializer_list<float> values)
	{
		lua::LuaTable t(&m_state);
		int i = 1;
		for (float v : values)
			t.setNumber(i++, v);
		return t;
	}
};
}

TEST_F(JSONBridge, ExportsObjectsArraysAndValues)
{
	lua::LuaTable one(&m_state);
	one.setNumber("a", 1);
	EXPECT_EQ(R"({"a":1})", exportJSON(one));

	lua::LuaTable two(&m_state);
	two.setNumber("a", 1);
	two.setString("b", "x");
	const std::string both = exportJSON(two);
	EXPECT_TRUE(both == R"({"a":1,"b":"x"})" || both == R"({"b":"x","a":1})") << both;

	lua::LuaTable nums = array({1, 2, 3});
	EXPECT_EQ("[1,2,3]", exportJSON(nums));

	lua::LuaTable empty(&m_state);
	EXPECT_EQ("{}", exportJSON(empty));

	lua::LuaTable nested(&m_state);
	nested.setTable("e", lua::LuaTable(&m_state));
	EXPECT_EQ(R"({"e":{}})", exportJSON(nested));
	lua::LuaTable withArray(&m_state);
	withArray.setTable("n", array({1, 2}));
	EXPECT_EQ(R"({"n":[1,2]})", exportJSON(withArray));

	lua::LuaTable mixed(&m_state);
	mixed.setNumber(1, 1);
	mixed.setTable(2, array({7}));
	mixed.setNumber(3, 3);
	mixed.setBoolean(4, false);
	mixed.setString(5, "s");
	EXPECT_EQ(R"([1,[7],3,false,"s"])", exportJSON(mixed));

	lua::LuaTable numbers(&m_state);
	numbers.setNumber(1, 0.5f);
	numbers.setNumber(2, 0.1f);
	numbers.setNumber(3, -1e20f);
	numbers.setNumber(4, std::numeric_limits<float>::infinity());
	numbers.setNumber(5, std::numeric_limits<float>::quiet_NaN());
	EXPECT_EQ("[0.5,0.1000000014901161,-1.000000020040877e+20,null,null]", exportJSON(numbers));
}

TEST_F(JSONBridge, ExportEscapesStrings)
{
	lua::LuaTable t(&m_state);
	t.setString(1, "line\nquote\" back\\ slash/ tab\t cr\r ff\f bs\b \x01\x1f caf\xc3\xa9");
	EXPECT_EQ("[\"line\\nquote\\\" back\\\\ slash\\/ tab\\t cr\\r ff\\f bs\\b \\u0001\\u001f caf\xc3\xa9\"]", exportJSON(t));

	lua::LuaTable k(&m_state);
	k.setBoolean("a\"b", true);
	EXPECT_EQ(R"({"a\"b":true})", exportJSON(k));
}

TEST_F(JSONBridge, ExportRejectsTablesThatAreNeitherArrayNorObject)
{
	lua::LuaTable mixedKeys(&m_state);
	mixedKeys.setNumber(1, 1);
	mixedKeys.setNumber("a", 2);

	lua::LuaTable hole(&m_state);
	hole.setNumber(1, 1);
	hole.setNumber(3, 3);

	lua::LuaTable zeroBased(&m_state);
	zeroBased.setNumber(0, 1);

	lua::LuaTable nestedHole(&m_state);
	nestedHole.setTable("x", hole);

	const int top = m_state.top();
	for (lua::LuaTable* t : {&mixedKeys, &hole, &zeroBased, &nestedHole})
	{
		lua::JSONExporter e;
		EXPECT_THROW(t->traverse(e), lua::LuaException);
		EXPECT_EQ(top, m_state.top());
	}

	try
	{
		lua::JSONExporter e;
		hole.traverse(e);
	}
	catch (const lua::LuaException& ex)
	{
		EXPECT_EQ("Cannot write table as JSON: index 3 where index 2 was expected", ex.getMessage().format());
	}
}

TEST_F(JSONBridge, ImportsIntoTheTarget)
{
	lua::LuaTable t(&m_state);
	t.setString("keep", "old");
	t.setString("gone", "old");
	lua::JSONImporter imp(t);
	util::traverseJSON(R"({"m":[10,null,30],"t":true,"f":false,"s":"x","n":0.5,"gone":null,"o":{"p":{},"q":[[1],{"r":2}]}})", imp);

	EXPECT_EQ("old", t.getString("keep"));
	EXPECT_TRUE(t.isNil("gone"));
	EXPECT_TRUE(t.isBoolean("t"));
	EXPECT_TRUE(t.getBoolean("t"));
	EXPECT_TRUE(t.isBoolean("f"));
	EXPECT_FALSE(t.getBoolean("f"));
	EXPECT_EQ("x", t.getString("s"));
	EXPECT_EQ(0.5f, t.getNumber("n"));

	lua::LuaTable m = t.getTable("m");
	EXPECT_EQ(10.f, m.getNumber(1));
	EXPECT_TRUE(m.isNil(2));
	EXPECT_EQ(30.f, m.getNumber(3));
	EXPECT_EQ(2, m.size());

	lua::LuaTable o = t.getTable("o");
	EXPECT_EQ(0, o.getTable("p").size());
	lua::LuaTable q = o.getTable("q");
	EXPECT_EQ(1.f, q.getTable(1).getNumber(1));
	EXPECT_EQ(2.f, q.getTable(2).getNumber("r"));
}

TEST_F(JSONBridge, ImportEdgeCases)
{
	// A root array fills the target from index 1.
	lua::LuaTable arr(&m_state);
	{
		lua::JSONImporter imp(arr);
		util::traverseJSON(R"([1,"two",{"x":3}])", imp);
	}
	EXPECT_EQ(1.f, arr.getNumber(1));
	EXPECT_EQ("two", arr.getString(2));
	EXPECT_EQ(3.f, arr.getTable(3).getNumber("x"));

	// A parse error throws before anything is written.
	lua::LuaTable t(&m_state);
	t.setNumber("a", 1);
	{
		lua::JSONImporter imp(t);
		EXPECT_THROW(util::traverseJSON(R"({"a":2,"b":)", imp), lang::Exception);
	}
	EXPECT_EQ(1.f, t.getNumber("a"));
	EXPECT_EQ(1, t.size());

	// A plain value as root changes nothing.
	{
		lua::JSONImporter imp(t);
		util::traverseJSON("5", imp);
	}
	EXPECT_EQ(1, t.size());
}

TEST_F(JSONBridge, RoundTrip)
{
	const char* text = R"({"a":[1,2.5,{"b":"c\/d"},[true,false],[]]})";
	lua::LuaTable t(&m_state);
	lua::JSONImporter imp(t);
	util::traverseJSON(text, imp);
	// The empty array comes back as an empty table, written "{}".
	EXPECT_EQ(R"({"a":[1,2.5,{"b":"c\/d"},[true,false],{}]})", exportJSON(t));
}
