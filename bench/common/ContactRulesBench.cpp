// Box2D's step in a tower of 500 boxes hit by a heavy projectile, with the game's contact
// listener and filter (damage rules, empty script callbacks) against the same world with
// Box2D's own plain listener and filter.
#include "BenchGame.h"
#include <benchmark/benchmark.h>

namespace
{
const char* const TOWER =
	"function applyForcesAtPhysicsStep() end function removeBlocks() end\n"
	"function clearLuaForceFunctions() end function selectObjectAnimation() end\n"
	"function update(a, b) end function draw() end\n"
	"function enterCollision() end function exitCollision() end\n"
	"function projectileCollision() end function blockCollision() end\n"
	"blockTable.damageFactors = {stone = {damageMultiplier = {wood = 2}, velocityMultiplier = {wood = 1}}}\n"
	"setWorldGravity(0, 10) setLevelLimits(-100, -100, 100, 100)\n"
	"createBox('floor', '', 0, 30, 80, 2, 0, 0.6, 0, true, false, 0)\n"
	"for i = 0, 499 do\n"
	"  local name = 'b' .. i\n"
	"  createBox(name, '', (i % 25) * 1.01, 28.5 - _G.math.floor(i / 25) * 1.01, 1, 1, 1, 0.6, 0, true, false, 1)\n"
	"  local w = objects.world[name]\n"
	"  w.material = 'wood' w.damageFactors = 'stone' w.strength = 1e9 w.defence = 1\n"
	"end\n"
	"createCircle('shot', '', -4, 25, 1, 20, 0.6, 0, true, true, 2)\n"
	"objects.world.shot.damageFactors = 'stone'\n"
	"setPhysicsEnabled(true)\n";

const int SETTLE_FRAMES = 30;
const int MEASURED_FRAMES = 300; // 5 s at 60 frames a second

/** Step milliseconds over the 5 s after the launch. */
double stepTime(bool gameRules)
{
	Game game(TOWER);
	b2ContactListener plainListener;
	b2ContactFilter plainFilter;
	if (!gameRules)
	{
		game.lua()->world()->SetContactListener(&plainListener);
		game.lua()->world()->SetContactFilter(&plainFilter);
	}
	double frameMs = 0.0, stepMs = 0.0;
	for (int i = 0; i < SETTLE_FRAMES; ++i)
		game.frame(frameMs, stepMs);
	game.run("setActive('shot', true) setVelocity('shot', 40, 0)");
	frameMs = stepMs = 0.0;
	for (int i = 0; i < MEASURED_FRAMES; ++i)
		game.frame(frameMs, stepMs);
	game.lua()->world()->SetContactListener(game.lua());
	game.lua()->world()->SetContactFilter(game.lua());
	return stepMs;
}

void BM_ContactRulesInATowerHit(benchmark::State& state)
{
	double withRules = 0.0, plain = 0.0;
	for (auto _ : state)
	{
		plain += stepTime(false);
		withRules += stepTime(true);
	}
	state.counters["step_ms"] = withRules / state.iterations() / MEASURED_FRAMES;
	state.counters["plain_step_ms"] = plain / state.iterations() / MEASURED_FRAMES;
	state.counters["ratio"] = withRules / plain;
}
BENCHMARK(BM_ContactRulesInATowerHit)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
}
