#include "LuaTestUtil.h"
#include <lua/LuaObject.h>
#include <io/IOException.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <memory>

using lua::LuaState;
using lua::LuaTable;
using luatest::luaError;
using luatest::run;

namespace
{
class Target : public lua::LuaObject
{
public:
	std::string text;
	bool flag = false;
	float x = 0, y = 0;
	int number = -1;
	int calls = 0;
	LuaTable returned;

	explicit Target(LuaState* state) : lua::LuaObject(state)
	{
		registerMethod<&Target::set>("set", this);
		registerMethod<&Target::setInt>("setInt", this);
		registerMethod<&Target::twice>("twice", this);
		registerMethod<&Target::bigInt>("bigInt", this);
		registerMethod<&Target::isOn>("isOn", this);
		registerMethod<&Target::greet>("greet", this);
		registerMethod<&Target::table>("table", this);
		registerMethod<&Target::store>("store", this);
		registerMethod<&Target::fail>("fail", this);
		registerMethod<&Target::failStd>("failStd", this);
		registerMethod<&Target::callBack>("callBack", this);
		registerLuaMethod("sumAll", this, &Target::sumAll);
		// The general form: the member is read from the closure's functor.
		lua::LuaFunctor lf(this, &Target::set);
		registerClosure("setByFunctor", &lf, &lua::LuaRawMethodDispatcher<Target, decltype(&Target::set)>::dispatch);
	}

	void set(std::string s, bool b, float a, float c)
	{
		++calls;
		text = s;
		flag = b;
		x = a;
		y = c;
	}
	void setInt(int v) { number = v; }
	float twice(float v) { return 2 * v; }
	int bigInt() { return 16777217; }
	bool isOn() const { return flag; }
	std::string greet(const std::string& name) const { return "hi " + name + std::string("\0!", 2); }
	LuaTable table() { return returned; }
	void store(std::string key, LuaTable t) { returned = t; text = key; }
	void fail(std::string name) { lang::throwError(io::IOException(lang::Format("Failed to open {0}", name))); }
	void failStd() { throw std::runtime_error("plain failure"); }
	void callBack(std::string name) { call(name.c_str()); }

	// Sums its arguments, returns the sum and the count.
	int sumAll(LuaState* s)
	{
		int n = s->top();
		float sum = 0;
		for (int i = 1; i <= n; ++i)
			sum += s->toNumber(i);
		s->pushNumber(sum);
		s->pushNumber(static_cast<float>(n));
		return 2;
	}
};

// An interface before LuaObject: the LuaObject part does not start at the object's address.
struct Named
{
	virtual ~Named() = default;
	virtual std::string name() const = 0;
	int tag = 7;
};

class Scorer : public Named, public lua::LuaObject
{
public:
	int score = 0;

	explicit Scorer(LuaState* state) : lua::LuaObject(state)
	{
		registerMethod<&Scorer::add>("add", this);
		registerLuaMethod("count", this, &Scorer::count);
		lua::LuaFunctor lf(this, &Scorer::add);
		registerClosure("addByFunctor", &lf, &lua::LuaRawMethodDispatcher<Scorer, decltype(&Scorer::add)>::dispatch);
	}
	std::string name() const override { return "scorer"; }
	int add(int points) { return score += points * tag; }
	int count(LuaState* s)
	{
		s->pushNumber(static_cast<float>(s->top()));
		return 1;
	}
};

struct Fixture
{
	LuaState state;
	std::unique_ptr<Target> target{new Target(&state)};

	Fixture() { state.globals().setTable("obj", *target); }
	void script(const std::string& text) { run(state, text); }
	std::string error(const std::string& text) { return luaError([&] { run(state, text); }); }
};
}

TEST(LuaObject, TableHoldsObjectGlobalsAndItself)
{
	Fixture f;
	f.script("isThis = obj.this == obj\n"
			 "isG = obj._G == _G\n"
			 "kind = type(obj[0])\n");
	LuaTable& g = f.state.globals();
	EXPECT_TRUE(g.getBoolean("isThis"));
	EXPECT_TRUE(g.getBoolean("isG"));
	EXPECT_EQ("userdata", g.getString("kind"));
	lua::LuaStackRestore guard(&f.state);
	LuaState::pushTable(f.state.getLua(), f.target.get());
	lua_rawgeti(f.state.getLua(), -1, 0);
	EXPECT_EQ(static_cast<void*>(f.target.get()), lua_touserdata(f.state.getLua(), -1));
}

TEST(LuaObject, AnyBaseOrderReachesTheMembers)
{
	LuaState state;
	Scorer scorer(&state);
	ASSERT_NE(static_cast<void*>(&scorer), static_cast<void*>(static_cast<lua::LuaObject*>(&scorer)));
	state.globals().setTable("scorer", scorer);
	run(state, "a = scorer.add(1)\nb = scorer.addByFunctor(2)\nn = scorer.count(1, 2, 3)");
	EXPECT_EQ(21, scorer.score);
	EXPECT_EQ(7, state.globals().getNumber("a"));
	EXPECT_EQ(21, state.globals().getNumber("b"));
	EXPECT_EQ(3, state.globals().getNumber("n"));
	state.globals().remove("scorer");
}

TEST(LuaObject, ArgumentsAndResults)
{
	Fixture f;
	f.script("obj.set('name', true, 1, 2, 'extra')\n"
			 "doubled = obj.twice(1.5)\n"
			 "big = obj.bigInt()\n"
			 "on = obj.isOn()\n"
			 "greeting = obj.greet('bob')\n"
			 "nothing = obj.table()\n");
	EXPECT_EQ("name", f.target->text);
	EXPECT_TRUE(f.target->flag);
	EXPECT_EQ(1, f.target->x);
	EXPECT_EQ(2, f.target->y);
	f.script("obj.setByFunctor('other', false, 3, 4)");
	EXPECT_EQ("other", f.target->text);
	EXPECT_FALSE(f.target->flag);
	EXPECT_EQ(4, f.target->y);
	LuaTable& g = f.state.globals();
	EXPECT_EQ(3, g.getNumber("doubled"));
	EXPECT_EQ("16777217", g.getString("big"));
	EXPECT_TRUE(g.getBoolean("on"));
	EXPECT_EQ(std::string("hi bob\0!", 8), g.getString("greeting"));
	EXPECT_TRUE(g.isNil("nothing"));

	f.script("stored = { 1 }\nobj.store('key', stored)\nback = obj.table() == stored");
	EXPECT_TRUE(g.getBoolean("back"));
	EXPECT_EQ("key", f.target->text);
}

TEST(LuaObject, IntParametersTruncateAndSaturate)
{
	Fixture f;
	struct
	{
		const char* value;
		int expected;
	} cases[] = {
		{"2.9", 2}, {"-2.9", -2}, {"1e300", INT_MAX}, {"-1e300", INT_MIN}, {"0/0", 0}, {"1/0", INT_MAX}, {"2147483647", INT_MAX},
	};
	for (const auto& c : cases)
	{
		f.script(std::string("obj.setInt(") + c.value + ")");
		EXPECT_EQ(c.expected, f.target->number) << c.value;
	}
}

TEST(LuaObject, WrongArgumentTypesAreScriptErrors)
{
	Fixture f;
	struct
	{
		const char* call;
		const char* message;
	} cases[] = {
		{"obj.set('a', 1, 1, 2)", "Excepted type BOOLEAN at stack position 2 but found NUMBER"},
		{"obj.set('a', true, '1', 2)", "Excepted type NUMBER at stack position 3 but found STRING"},
		{"obj.set(5, true, 1, 2)", "Excepted type STRING at stack position 1 but found NUMBER"},
		{"obj.set('a', true, 1)", "Excepted type NUMBER at stack position 4 but found NIL"},
		{"obj.setByFunctor('a', true, 1)", "Excepted type NUMBER at stack position 4 but found NIL"},
		{"obj:twice(1)", "Excepted type NUMBER at stack position 1 but found TABLE"},
		{"obj.store('k', 1)", "Excepted type TABLE at stack position 2 but found NUMBER"},
	};
	for (const auto& c : cases)
	{
		std::string msg = f.error(std::string("\n") + c.call);
		EXPECT_EQ(std::string(c.message) + "\nCall stack:\ntest(2)\n(end)\n", msg) << c.call;
	}
	EXPECT_EQ(0, f.target->calls);
	EXPECT_EQ(0, f.state.top());
}

TEST(LuaObject, MemberExceptionsBecomeScriptErrors)
{
	Fixture f;
	EXPECT_EQ("Failed to open level.lua\nCall stack:\ntest(1)\n(end)\n", f.error("obj.fail('level.lua')"));
	EXPECT_EQ("plain failure\nCall stack:\ntest(1)\n(end)\n", f.error("obj.failStd()"));

	// A script's pcall catches them, and the interpreter goes on working.
	f.script("ok, msg = pcall(obj.fail, 'x')\n"
			 "for i = 1, 500 do pcall(obj.set, i) end\n"
			 "after = obj.twice(4)\n");
	LuaTable& g = f.state.globals();
	EXPECT_FALSE(g.getBoolean("ok"));
	EXPECT_EQ("Failed to open x", g.getString("msg"));
	EXPECT_EQ(8, g.getNumber("after"));
	EXPECT_EQ(0, f.state.top());
}

TEST(LuaObject, ErrorOfANestedScriptCallKeepsItsTrace)
{
	Fixture f;
	f.script("function obj.inner() error('deep') end");
	EXPECT_EQ("deep\nCall stack:\ntest(1)\n=[C](-1)\ntest(2)\n(end)\n", f.error("\nobj.callBack('inner')"));
}

TEST(LuaObject, RawMethodReadsItsOwnStack)
{
	Fixture f;
	f.script("sum, count = obj.sumAll(1, 2, 3.5)");
	EXPECT_EQ(6.5f, f.state.globals().getNumber("sum"));
	EXPECT_EQ(3, f.state.globals().getNumber("count"));
	EXPECT_EQ(0u, f.error("obj.sumAll(1, 'x')").find("Excepted type NUMBER at stack position 2 but found STRING\nCall stack:\n"));
}

TEST(LuaObject, BoundMembersWorkFromCoroutines)
{
	Fixture f;
	f.script("co = coroutine.create(function(a)\n"
			 "  local s = obj.sumAll(a, 10)\n"
			 "  obj.set('from co', false, s, coroutine.yield(s))\n"
			 "  return obj.twice(a)\n"
			 "end)\n"
			 "ok1, first = coroutine.resume(co, 5)\n"
			 "ok2, last = coroutine.resume(co, 7)\n");
	LuaTable& g = f.state.globals();
	EXPECT_TRUE(g.getBoolean("ok1"));
	EXPECT_EQ(15, g.getNumber("first"));
	EXPECT_TRUE(g.getBoolean("ok2"));
	EXPECT_EQ(10, g.getNumber("last"));
	EXPECT_EQ("from co", f.target->text);
	EXPECT_EQ(15, f.target->x);
	EXPECT_EQ(7, f.target->y);
}

TEST(LuaObject, CallByName)
{
	Fixture f;
	f.script("function obj.event(a, b, c, d) last = { a, b, c, d } end");
	f.target->call("event", 1.5f, std::string("s"), true, 3);
	LuaTable last = f.state.globals().getTable("last");
	EXPECT_EQ(1.5f, last.getNumber(1));
	EXPECT_EQ("s", last.getString(2));
	EXPECT_TRUE(last.getBoolean(3));
	EXPECT_EQ(3, last.getNumber(4));
	f.target->call("event");
	EXPECT_TRUE(f.state.globals().getTable("last").isNil(1));

	EXPECT_EQ(0u, luaError([&] { f.target->call("missing"); }).find("attempt to call a nil value"));
	f.script("function obj.broken() error('in event') end");
	EXPECT_EQ("in event\nCall stack:\ntest(1)\n(end)\n", luaError([&] { f.target->call("broken"); }));
	EXPECT_EQ(0, f.state.top());
}

TEST(LuaObject, DestroyedObjectLeavesNoCallableMembers)
{
	Fixture f;
	f.script("function obj.scripted() return 1 end\n"
			 "keep = obj.twice\n"
			 // Copies of closures no longer under their name: removed, replaced
			 // by a script function, replaced by registering the name again.
			 "kept = { set = obj.set, setByFunctor = obj.setByFunctor, sumAll = obj.sumAll, setInt = obj.setInt }\n"
			 "obj.set = nil\n"
			 "obj.setByFunctor = function() end\n"
			 "obj.sumAll = nil\n");
	f.target->registerMethod<&Target::setInt>("setInt", f.target.get());
	f.target.reset();
	f.script("gone = obj.twice == nil and obj.set == nil and obj.setInt == nil\n"
			 "stays = obj.scripted() == 1\n");
	LuaTable& g = f.state.globals();
	EXPECT_TRUE(g.getBoolean("gone"));
	EXPECT_TRUE(g.getBoolean("stays"));
	EXPECT_EQ(0u, f.error("obj.twice(1)").find("[string \"test\"]:1: attempt to call field 'twice' (a nil value)"));
	EXPECT_EQ("Called a function of a destroyed object\nCall stack:\ntest(1)\n(end)\n", f.error("keep(1)"));
	for (const char* call : {"kept.set('a', true, 1, 2)", "kept.setByFunctor('a', true, 1, 2)", "kept.sumAll(1)", "kept.setInt(1)"})
		EXPECT_EQ(0u, f.error(call).find("Called a function of a destroyed object")) << call;
	f.state.globals().remove("obj");
	f.state.globals().remove("keep");
	f.state.globals().remove("kept");
}

TEST(LuaObjectDeathTest, RegistrationMisuse)
{
	EXPECT_DEATH(
		{
			Fixture f;
			Target other(&f.state);
			lua::LuaFunctor lf(&other, &Target::twice);
			f.target->registerClosure("x", &lf, &lua::LuaRawMethodDispatcher<Target, float (Target::*)(float)>::dispatch);
		},
		"lf->obj == this");
	EXPECT_DEATH(
		{
			Fixture f;
			f.target->registerLuaMethod<Target>("x", f.target.get(), nullptr);
		},
		"func != 0 && obj != 0");
}

namespace
{
/** Registers some members before and some after asking for named errors. */
struct NamedTarget : public lua::LuaObject
{
	explicit NamedTarget(LuaState* state) : lua::LuaObject(state)
	{
		registerMethod<&NamedTarget::twice>("unnamed", this);
		nameOperationsInErrors();
		registerMethod<&NamedTarget::twice>("twice", this);
		registerLuaMethod<&NamedTarget::count>("count", this);
	}
	float twice(float v) { return 2 * v; }
	int count(LuaState* s)
	{
		lua::checkArgumentCount(s->top(), 1, 3);
		return 0;
	}
};
}

TEST(LuaObject, NamedErrorsStartWithTheOperation)
{
	LuaState state;
	NamedTarget target(&state);
	state.globals().setTable("obj", target);
	const struct
	{
		const char* call;
		const char* message;
	} cases[] = {
		{"obj.twice('x')", "twice: Excepted type NUMBER at stack position 1 but found STRING\nCall stack:\n"},
		{"obj.count()", "count: 1 to 3 arguments expected, got 0"},
		{"obj.count(1, 2, 3, 4)", "count: 1 to 3 arguments expected, got 4"},
		{"obj.unnamed('x')", "Excepted type NUMBER at stack position 1 but found STRING\nCall stack:\n"},
	};
	for (const auto& c : cases)
		EXPECT_EQ(0u, luaError([&] { run(state, c.call); }).find(c.message)) << c.call;
	run(state, "ok = obj.twice(2) == 4 and pcall(obj.count, 1)");
	EXPECT_TRUE(state.globals().getBoolean("ok"));
}

// The reference of the operations is made from what the registrations say; a game keeps nothing.
TEST(LuaObject, ACatalogueNotesEachRegistrationWithItsArgumentsAndResults)
{
	LuaState state;
	lua::OperationCatalogue::section("obj", "ignored");
	{
		Target silent(&state);
	}
	lua::OperationCatalogue catalogue;
	EXPECT_TRUE(catalogue.entries().empty());
	lua::OperationCatalogue::section("obj", "targets");
	Target target(&state);
	target.registerLuaMethod("sumAll", &target, &Target::sumAll, "numbers... -> sum, count");
	target.registerMethod<&Target::twice>("set", &target);
	const auto& entries = catalogue.entries();
	ASSERT_EQ(13u, entries.size());
	auto find = [&](const std::string& name) {
		for (const auto& e : entries)
		{
			if (e.name == name)
				return e;
		}
		ADD_FAILURE() << name;
		return lua::OperationCatalogue::Entry{};
	};
	const struct
	{
		const char* name;
		bool raw;
		const char* arguments;
		const char* results;
	} cases[] = {
		// Registered again: the first place, the last binding.
		{"set", false, "number", "number"},
		{"setInt", false, "integer", ""},
		{"isOn", false, "", "boolean"},
		{"greet", false, "string", "string"},
		{"store", false, "string, table", ""},
		{"sumAll", true, "numbers... -> sum, count", ""},
		{"setByFunctor", true, "", ""},
	};
	for (const auto& c : cases)
	{
		SCOPED_TRACE(c.name);
		const auto e = find(c.name);
		EXPECT_EQ("obj", e.table);
		EXPECT_EQ("targets", e.topic);
		EXPECT_EQ(c.raw, e.raw);
		EXPECT_EQ(c.arguments, e.arguments);
		EXPECT_EQ(c.results, e.results);
	}
	EXPECT_EQ("set", entries.front().name);
}
