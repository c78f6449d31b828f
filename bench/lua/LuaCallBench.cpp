// A script calls an engine function a million times: through a member bound
// with LuaObject::registerMethod, through one bound with registerClosure and
// the general dispatcher (member read from the closure), and through a plain
// lua_CFunction doing the same argument checks, to see what binding costs.
#include <lua/LuaObject.h>
#include <lua/LuaState.h>
#include <io/ByteArrayInputStream.h>
#include <benchmark/benchmark.h>
#include <cstring>

namespace
{
const int CALLS = 1000000;

const char script[] =
	"function loop(f, n)\n"
	"  local s = 0\n"
	"  for i = 1, n do s = f(i, 0.5) end\n"
	"  return s\n"
	"end\n"
	"function runBound() return loop(obj.add, 1000000) end\n"
	"function runFunctor() return loop(obj.addByFunctor, 1000000) end\n"
	"function runPlain() return loop(plainAdd, 1000000) end\n";

class Adder : public lua::LuaObject
{
public:
	explicit Adder(lua::LuaState* state) : lua::LuaObject(state), m_bias(1)
	{
		registerMethod<&Adder::add>("add", this);
		lua::LuaFunctor lf(this, &Adder::add);
		registerClosure("addByFunctor", &lf, &lua::LuaRawMethodDispatcher<Adder, float (Adder::*)(float, float)>::dispatch);
	}

	float add(float a, float b) { return a + b + m_bias; }

private:
	float m_bias;
};

// The same work written directly against the C interface: exact type checks,
// float conversion, one result.
int plainAdd(lua_State* lua)
{
	float* bias = static_cast<float*>(lua_touserdata(lua, lua_upvalueindex(1)));
	if (lua_type(lua, 1) != LUA_TNUMBER || lua_type(lua, 2) != LUA_TNUMBER)
		return luaL_error(lua, "number expected");
	float a = static_cast<float>(lua_tonumber(lua, 1));
	float b = static_cast<float>(lua_tonumber(lua, 2));
	lua_pushnumber(lua, a + b + *bias);
	return 1;
}

struct Fixture
{
	lua::LuaState state;
	Adder adder{&state};
	float bias = 1;

	Fixture()
	{
		lua_State* lua = state.getLua();
		lua_pushlightuserdata(lua, &bias);
		lua_pushcclosure(lua, plainAdd, 1);
		lua_setglobal(lua, "plainAdd");
		state.globals().setTable("obj", adder);
		io::ByteArrayInputStream in(script, static_cast<int>(std::strlen(script)));
		state.compile(in, "bench", nullptr);
	}

	void run(const char* name)
	{
		lua::LuaStackRestore guard(&state);
		state.globals().pushMember(name);
		state.call(0, 1);
		benchmark::DoNotOptimize(lua_tonumber(state.getLua(), -1));
	}
};

void runCalls(benchmark::State& st, const char* name)
{
	Fixture f;
	for (auto _ : st)
		f.run(name);
	st.SetItemsProcessed(st.iterations() * CALLS);
}

void BM_BoundMemberCall(benchmark::State& st) { runCalls(st, "runBound"); }
void BM_FunctorClosureCall(benchmark::State& st) { runCalls(st, "runFunctor"); }
void BM_PlainClosureCall(benchmark::State& st) { runCalls(st, "runPlain"); }
}

BENCHMARK(BM_PlainClosureCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoundMemberCall)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FunctorClosureCall)->Unit(benchmark::kMillisecond);
