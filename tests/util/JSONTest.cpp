#include <util/JSONHash.h>
#include <util/JSONObject.h>
#include <util/cJSONDiff.h>
#include <util/traverseJSON.h>
#include <lang/Exception.h>
#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
// Writes every call as a short token so a whole walk compares as one string.
class Recorder : public util::JSONVisitor
{
public:
	std::string log;

	void visit(const char* key, const char* value) override { put(key, std::string("s:") + value); }
	void visit(const char* key, double value) override { put(key, "n:" + std::to_string(value).substr(0, 4)); }
	void visit(const char* key, bool value) override { put(key, value ? "true" : "false"); }
	void visit(const char* key) override { put(key, "null"); }
	void startObject(const char* key) override { put(key, "{"); }
	void endObject() override { log += "} "; }
	void startArray(const char* key) override { put(key, "["); }
	void endArray() override { log += "] "; }
	void start() override { log += "start "; }
	void end() override { log += "end"; }

private:
	void put(const char* key, const std::string& what) { log += (key ? std::string(key) + "=" : std::string()) + what + " "; }
};

using Tree = std::unique_ptr<cJSON, void (*)(cJSON*)>;

Tree parse(const char* text)
{
	Tree t(cJSON_Parse(text), cJSON_Delete);
	EXPECT_TRUE(t) << text;
	return t;
}

std::string print(const cJSON* item)
{
	char* s = cJSON_PrintUnformatted(item);
	std::string out = s ? s : "<null>";
	std::free(s);
	return out;
}

uint32_t hashOf(const char* text)
{
	util::JSONHash h;
	util::traverseJSON(text, h);
	return h.getHash();
}

std::string diff(const char* a, const char* b)
{
	Tree ta = parse(a), tb = parse(b);
	util::sortcJSON(ta.get());
	util::sortcJSON(tb.get());
	Tree d(util::diffcJSON(ta.get(), tb.get()), cJSON_Delete);
	std::string out = print(d.get());
	d.reset(); // refers into tb: goes first
	return out;
}
}

TEST(TraverseJSON, WalksDepthFirstWithKeys)
{
	struct Case { const char* text; const char* log; };
	const Case cases[] = {
		{R"({"a":"x","b":2,"c":true,"d":false,"e":null})", "start a=s:x b=n:2.00 c=true d=false e=null end"},
		{R"({"o":{"p":[1,{"q":null}]},"r":[]})", "start o={ p=[ n:1.00 { q=null } ] } r=[ ] end"},
		{"5", "start end"},
		{"[1,\"z\"]", "start n:1.00 s:z end"},
		{"{}", "start end"},
	};
	for (const Case& c : cases)
	{
		Recorder r;
		util::traverseJSON(c.text, r);
		EXPECT_EQ(c.log, r.log) << c.text;
	}

	Recorder none;
	util::traverseJSON(nullptr, none);
	EXPECT_EQ("", none.log);
}

TEST(TraverseJSON, ParseErrorThrowsWithRestOfTextBeforeAnyCall)
{
	Recorder r;
	try
	{
		util::traverseJSON("{\"a\":1,\"b\":}", r);
		ADD_FAILURE() << "no exception";
	}
	catch (const lang::Exception& e)
	{
		EXPECT_EQ("JSON parsing failed here: }", e.getMessage().format());
	}
	EXPECT_EQ("", r.log);
}

TEST(TraverseJSON, VisitorExceptionLeavesNoTreeBehind)
{
	struct Thrower : Recorder
	{
		void visit(const char*, double) override { throw lang::Exception(lang::Format("stop")); }
	} t;
	EXPECT_THROW(util::traverseJSON(R"({"a":"x","n":1})", t), lang::Exception);
	EXPECT_EQ("start a=s:x ", t.log);
}

TEST(JSONObject, ReadsMembersCaseInsensitively)
{
	util::JSONObject o(R"({"Count":7,"name":"box","big":1e12,"inner":{"n":3},"s":"12"})");
	ASSERT_FALSE(o.isNull());
	EXPECT_EQ(7, o.getInt("count", -1));
	EXPECT_EQ(-1, o.getInt("s", -1));
	EXPECT_EQ(-1, o.getInt("missing", -1));
	EXPECT_EQ(2147483647, o.getInt("big", -1));
	EXPECT_STREQ("box", o.getString("NAME"));
	EXPECT_EQ(nullptr, o.getString("count"));
	EXPECT_EQ(3, o.getObject("inner").getInt("n", 0));
	EXPECT_TRUE(o.getObject("missing").isNull());
	EXPECT_TRUE(o.getObject("missing").getObject("x").isNull());

	util::JSONObject bad("{\"a\":");
	EXPECT_TRUE(bad.isNull());
	EXPECT_EQ(4, bad.getInt("a", 4));
	EXPECT_EQ(nullptr, bad.getString("a"));
	EXPECT_TRUE(util::JSONObject::nullObject.isNull());
}

TEST(JSONObject, MoveHandsOverTheTree)
{
	util::JSONObject a(R"({"n":1})");
	util::JSONObject b(std::move(a));
	EXPECT_TRUE(a.isNull());
	EXPECT_EQ(1, b.getInt("n", 0));
	util::JSONObject c(R"({"n":2})");
	c = std::move(b);
	EXPECT_EQ(1, c.getInt("n", 0));
	EXPECT_TRUE(b.isNull());
	static_assert(!std::is_copy_constructible<util::JSONObject>::value, "a copy would free the tree twice");
}

TEST(JSONHash, SumsPathHashesIndependentOfMemberOrder)
{
	EXPECT_EQ(3105u, hashOf(R"({"a":"b"})"));
	EXPECT_EQ(0u, hashOf("{}"));
	EXPECT_EQ(hashOf(R"({"x":1,"y":{"p":[1,2],"q":true}})"), hashOf(R"({"y":{"q":true,"p":[1,2]},"x":1})"));
	EXPECT_NE(hashOf(R"({"p":["x","yy"]})"), hashOf(R"({"p":["yy","x"]})"));
	// The hash is weak: some swaps cancel out.
	EXPECT_EQ(hashOf(R"({"p":[1,2]})"), hashOf(R"({"p":[2,1]})"));
	EXPECT_NE(hashOf(R"({"a":1})"), hashOf(R"({"a":2})"));
	EXPECT_NE(hashOf(R"({"a":1})"), hashOf(R"({"b":1})"));
	// A null still takes its array position.
	EXPECT_NE(hashOf(R"({"p":[null,1]})"), hashOf(R"({"p":[1]})"));
	// Paths join without separators: a weakness that peers rely on.
	EXPECT_EQ(hashOf(R"({"ab":1})") + hashOf(R"({"a":{}})"), hashOf(R"({"a":{"b":1}})"));
	// Root arrays hash their positions.
	EXPECT_EQ(hashOf(R"({"0":1,"1":2})"), hashOf("[1,2]"));
}

TEST(SortcJSON, SortsObjectsRecursivelyAndKeepsTheListAppendable)
{
	Tree t = parse(R"({"b":1,"c":{"z":1,"y":[{"k":1,"j":2}]},"a":2,"B":3})");
	util::sortcJSON(t.get());
	EXPECT_EQ(R"({"B":3,"a":2,"b":1,"c":{"y":[{"k":1,"j":2}],"z":1}})", print(t.get()));

	// Appends go through the first child's prev; a broken link drops them.
	cJSON_AddNumberToObject(t.get(), "d", 4);
	cJSON_AddNumberToObject(cJSON_GetObjectItem(t.get(), "c"), "x", 5);
	EXPECT_EQ(R"({"B":3,"a":2,"b":1,"c":{"y":[{"k":1,"j":2}],"z":1,"x":5},"d":4})", print(t.get()));

	util::sortcJSON(nullptr);
	Tree arr = parse("[3,1]");
	util::sortcJSON(arr.get());
	EXPECT_EQ("[3,1]", print(arr.get()));
}

TEST(DiffcJSON, DescribesChangesOfB)
{
	struct Case { const char* a; const char* b; const char* delta; };
	const Case cases[] = {
		{R"({"x":1})", R"({"x":2})", R"({"x":2})"},
		{R"({"x":1})", "{}", R"({"x":null})"},
		{"{}", R"({"y":true})", R"({"y":true})"},
		{R"({"x":1,"s":"t","o":{"p":1}})", R"({"o":{"p":1},"s":"t","x":1})", "{}"},
		{R"({"p":[1,2]})", R"({"p":[1,3]})", R"({"p":[1,3]})"},
		{R"({"p":[1,2]})", R"({"p":[1,2]})", "{}"},
		{R"({"p":[1,2]})", R"({"p":[1,2,3]})", R"({"p":[1,2,3]})"},
		{R"({"p":[1,2]})", R"({"p":[1]})", R"({"p":[1]})"},
		{R"({"p":[{"a":1}]})", R"({"p":[{"a":1}]})", "{}"},
		{R"({"p":[[1],"x"]})", R"({"p":[[1],"y"]})", R"({"p":[[1],"y"]})"},
		{R"({"f":false})", R"({"f":true})", R"({"f":true})"},
		{R"({"n":null,"t":true})", R"({"n":null,"t":true})", "{}"},
		{R"({"v":1})", R"({"v":"1"})", R"({"v":"1"})"},
		{R"({"s":"a"})", R"({"s":"b"})", R"({"s":"b"})"},
		{R"({"o":{"a":1,"b":2}})", R"({"o":{"b":3,"c":4}})", R"({"o":{"a":null,"b":3,"c":4}})"},
		{R"({"a":1,"m":1,"z":1})", R"({"b":2,"m":1,"y":2})", R"({"a":null,"b":2,"y":2,"z":null})"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.delta, diff(c.a, c.b)) << c.a << " -> " << c.b;

	Tree empty(util::diffcJSON(nullptr, nullptr), cJSON_Delete);
	EXPECT_EQ("{}", print(empty.get()));

	Tree arr = parse("[1]"), obj = parse("{}");
	EXPECT_THROW(util::diffcJSON(arr.get(), obj.get()), lang::Exception);
}

TEST(DiffcJSON, ResultRefersIntoB)
{
	Tree a = parse(R"({"o":{"k":1}})"), b = parse(R"({"n":{"deep":[1,2]},"o":{"k":1}})");
	Tree d(util::diffcJSON(a.get(), b.get()), cJSON_Delete);
	cJSON* n = cJSON_GetObjectItem(d.get(), "n");
	ASSERT_TRUE(n);
	EXPECT_TRUE(n->type & cJSON_IsReference);
	EXPECT_EQ(cJSON_GetObjectItem(b.get(), "n")->child, n->child);
	d.reset();
	// b is intact after the difference is gone.
	EXPECT_EQ(R"({"n":{"deep":[1,2]},"o":{"k":1}})", print(b.get()));
}
