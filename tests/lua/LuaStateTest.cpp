#include "LuaTestUtil.h"
#include <io/IOException.h>
#include <lang/throwError.h>
#include <gtest/gtest.h>
#include <vector>

using lua::LuaState;
using luatest::callGlobal;
using luatest::luaError;
using luatest::run;

namespace
{
// Records the sizes asked of it; can fail on a chosen read.
class RecordingStream : public io::InputStream
{
public:
	RecordingStream(const std::string& text, int failOnRead = -1) :
		io::InputStream(lang::Ptr<io::InputStream>()), m_text(text), m_pos(0), m_failOnRead(failOnRead)
	{
	}

	int read(void* buf, int n) override
	{
		m_requests.push_back(n);
		if (static_cast<int>(m_requests.size()) == m_failOnRead)
			lang::throwError(io::IOException(lang::Format("Failed to read {0}", "broken.lua")));
		int count = std::min(n, static_cast<int>(m_text.size()) - m_pos);
		std::memcpy(buf, m_text.data() + m_pos, count);
		m_pos += count;
		return count;
	}
	int available() const override { return static_cast<int>(m_text.size()) - m_pos; }
	std::string toString() const override { return "recording"; }

	std::vector<int> m_requests;

private:
	std::string m_text;
	int m_pos;
	int m_failOnRead;
};
}

TEST(LuaState, TypeNames)
{
	const char* names[] = {"INVALID", "NIL", "BOOLEAN", "LIGHTUSERDATA", "NUMBER", "STRING", "TABLE", "FUNCTION", "USERDATA", "THREAD", "INVALID"};
	for (int code = -1; code <= 9; ++code)
		EXPECT_STREQ(names[code + 1], LuaState::toString(static_cast<LuaState::Type>(code))) << code;
}

TEST(LuaState, ExactTypeRule)
{
	LuaState state;
	lua::LuaStackRestore guard(&state);
	state.pushString("5");
	state.pushNumber(7);
	// A number is not a string, a numeric string is not a number.
	EXPECT_TRUE(state.isString(-1));
	EXPECT_TRUE(state.isNumber(-2));
	EXPECT_EQ("Excepted type STRING at stack position -1 but found NUMBER (call stack not available)",
		luaError([&] { state.toString(-1); }));
	EXPECT_EQ("Excepted type NUMBER at stack position -2 but found STRING (call stack not available)",
		luaError([&] { state.toNumber(-2); }));
	EXPECT_EQ("Excepted type BOOLEAN at stack position 5 but found INVALID (call stack not available)",
		luaError([&] { state.toBoolean(5); }));
	EXPECT_EQ(2, state.top());
	EXPECT_FALSE(state.isNil(5));
	EXPECT_EQ(7.0f, state.toNumber(-1));
	EXPECT_STREQ("5", state.toString(-2));
}

TEST(LuaState, ErrorCarriesMessageAndCallStack)
{
	LuaState state;
	run(state,
		"function inner()\n"
		"  error('boom')\n"
		"end\n"
		"function outer()\n"
		"  inner()\n"
		"end\n"
		"function start() outer() end\n");
	EXPECT_EQ("boom\nCall stack:\ntest(2)\ntest(5)\ntest(7)\n(end)\n", luaError([&] { callGlobal(state, "start"); }));

	// Errors of the interpreter itself get the same trace.
	run(state, "function bad()\n  local x\n  x()\nend\n", "other");
	EXPECT_EQ("[string \"other\"]:3: attempt to call local 'x' (a nil value)\nCall stack:\nother(3)\n(end)\n",
		luaError([&] { callGlobal(state, "bad"); }));
}

TEST(LuaState, ErrorMessageFromAnyValue)
{
	LuaState state;
	EXPECT_EQ("nil\nCall stack:\ntest(1)\n(end)\n", luaError([&] { run(state, "error()"); }));
	EXPECT_EQ("42\nCall stack:\ntest(1)\n(end)\n", luaError([&] { run(state, "error(42)"); }));
	EXPECT_EQ("table\nCall stack:\ntest(1)\n(end)\n", luaError([&] { run(state, "error({})"); }));
	EXPECT_EQ("first\nCall stack:\ntest(1)\n(end)\n", luaError([&] { run(state, "error('first', 2)"); }));
}

TEST(LuaState, TraceStopsAtTenFrames)
{
	LuaState state;
	run(state, "function deep(n) if n == 0 then error('x') end deep(n - 1) end");
	std::string msg = luaError([&] { run(state, "deep(20)", "caller"); });
	int lines = 0;
	for (size_t p = msg.find("test(1)\n"); p != std::string::npos; p = msg.find("test(1)\n", p + 1))
		++lines;
	EXPECT_EQ(10, lines);
	EXPECT_EQ(std::string::npos, msg.find("caller("));
	EXPECT_EQ("(end)\n", msg.substr(msg.size() - 6));
}

TEST(LuaState, CaughtErrorsLeaveTheStateSound)
{
	LuaState state;
	run(state, "function fail(i) error('failure ' .. i) end\n"
			   "function guarded() local ok, msg = pcall(error, 'inside') return ok, msg end\n");
	for (int i = 0; i < 1000; ++i)
	{
		lua::LuaStackRestore guard(&state);
		state.globals().pushMember("fail");
		state.pushNumber(static_cast<float>(i));
		ASSERT_THROW(state.call(1, 0), lua::LuaException);
	}
	EXPECT_EQ(0, state.top());

	// A script's own pcall catches errors raised with error.
	lua::LuaStackRestore guard(&state);
	state.globals().pushMember("guarded");
	state.call(0, 2);
	EXPECT_FALSE(state.toBoolean(-2));
	EXPECT_STREQ("inside", state.toString(-1));
}

TEST(LuaState, CompileReadsInPiecesOf2048)
{
	LuaState state;
	std::string text = "value = 5\n-- ";
	text.append(5000 - text.size(), 'x');
	RecordingStream in(text);
	state.compile(in, "pieces", nullptr);
	EXPECT_EQ((std::vector<int>{2048, 2048, 904}), in.m_requests);
	EXPECT_EQ(5, state.globals().getNumber("value"));
}

TEST(LuaState, CompileWithEnvironment)
{
	LuaState state;
	lua::LuaTable env(&state);
	run(state, "a = 1", "env", &env);
	EXPECT_EQ(1, env.getNumber("a"));
	EXPECT_TRUE(state.globals().isNil("a"));

	lua::LuaTable empty;
	EXPECT_NE(std::string::npos, luaError([&] { run(state, "a = 1", "env", &empty); }).find("Excepted type TABLE at stack position -1 but found NIL"));
}

TEST(LuaState, CompileErrors)
{
	LuaState state;
	EXPECT_EQ("Error while compiling Lua: [string \"broken\"]:2: '=' expected near 'error'",
		luaError([&] { run(state, "x = 1\nsyntax error here", "broken"); }));
	EXPECT_TRUE(state.globals().isNil("x"));

	// A stream failure reaches the caller as itself, after the interpreter is done.
	RecordingStream failing(std::string(3000, ' '), 2);
	try
	{
		state.compile(failing, "failing", nullptr);
		FAIL() << "no exception";
	}
	catch (const io::IOException& e)
	{
		EXPECT_EQ("Failed to read broken.lua", e.getMessage().format());
	}
	EXPECT_EQ(0, state.top());
	run(state, "y = 2");
	EXPECT_EQ(2, state.globals().getNumber("y"));
}

TEST(LuaState, LibrariesWithoutNativeLoading)
{
	LuaState state;
	run(state,
		"ok = type(string.format) == 'function' and type(table.insert) == 'function' and type(math.floor) == 'function'\n"
		"  and type(io.write) == 'function' and type(os.time) == 'function' and type(require) == 'function'\n"
		"noDebug = debug == nil\n"
		"noLoadlib = package.loadlib == nil\n"
		"cpath = package.cpath\n"
		"loaders = #package.loaders\n");
	lua::LuaTable& g = state.globals();
	EXPECT_TRUE(g.getBoolean("ok"));
	EXPECT_TRUE(g.getBoolean("noDebug"));
	EXPECT_TRUE(g.getBoolean("noLoadlib"));
	EXPECT_EQ("", g.getString("cpath"));
	EXPECT_EQ(2, g.getNumber("loaders"));
}

TEST(LuaState, StackOperations)
{
	LuaState state;
	lua::LuaTable empty;
	LuaState::pushTable(state.getLua(), nullptr);
	state.pushTable(empty);
	EXPECT_TRUE(state.isNil(-1));
	EXPECT_TRUE(state.isNil(-2));
	state.pop(2);

	// getTable and setTable honour metamethods; a failing one is a script error.
	run(state, "t = setmetatable({}, { __index = function(t, k) return k .. '!' end,\n"
			   "                       __newindex = function(t, k, v) error('read-only ' .. k) end })");
	lua::LuaStackRestore guard(&state);
	state.globals().pushMember("t");
	state.pushString("key");
	state.getTable(-2);
	EXPECT_STREQ("key!", state.toString(-1));
	state.pop(1);
	state.pushString("k");
	state.pushNumber(1);
	EXPECT_EQ(0u, luaError([&] { state.setTable(-3); }).find("read-only k\nCall stack:\ntest(2)\n"));

	state.newTable();
	state.pushBoolean(true);
	state.rawSetI(-2, 3);
	state.pushNil();
	ASSERT_TRUE(state.next(-2));
	EXPECT_EQ(3, state.toNumber(-2));
	EXPECT_TRUE(state.toBoolean(-1));
	state.pop(1);
	EXPECT_FALSE(state.next(-2));
}

TEST(LuaState, ErrorOutsideAnyCallReachesTheEngine)
{
	LuaState state;
	lua_State* lua = state.getLua();
	lua_pushstring(lua, "outside");
	EXPECT_EQ("outside (call stack not available)", luaError([&] { lua_error(lua); }));
	lua_settop(lua, 0);
	run(state, "z = 3");
	EXPECT_EQ(3, state.globals().getNumber("z"));
}
