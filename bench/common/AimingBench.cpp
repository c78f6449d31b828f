// A flight prediction of 100 steps through 10 gravity fields, against Box2D stepping
// the same lone body 100 times in a world of its own.
#include "BenchGame.h"
#include <benchmark/benchmark.h>

namespace
{
const char* const FIELDS =
	"function update(a, b) end function draw() end\n"
	"worldAttributes = {simulationIterations = 100, simulationTimeStepMultiplier = 1,\n"
	"  simulationStorePointsSampler = 4, simulationAimSpawnTime = 0.6, simulationAimSpeed = 4}\n"
	"loadLevel('no-such-level')\n"
	"setWorldGravity(0, 10)\n"
	"createCircle('ProjectileSimulation', '', 0, 0, 0.5, 1, 0.6, 0, true, false, 0)\n"
	"for i = 0, 9 do\n"
	"  local name = 'field' .. i\n"
	"  createBox(name, '', i * 8, 0, 12, 12, 0, 0, 0, true, false, 0) setAsSensor(name, true)\n"
	"  setObjectParameter(name, 21, 2) setObjectParameter(name, 27, 6) setObjectParameter(name, 32, 1)\n"
	"  setSensorMinimumAndMaximumForces(name, 0, 10)\n"
	"end\n";

const char* const PREDICT =
	"setPosition('ProjectileSimulation', 0, 0) setVelocity('ProjectileSimulation', 30, -5)\n"
	"ClearSimulationTrajectory() updateProjectileTrajectoryTable()";

void BM_PredictionThroughTenFields(benchmark::State& state)
{
	Game game(FIELDS);
	b2World plainWorld(b2Vec2(0.f, 10.f));
	b2BodyDef def;
	def.type = b2_dynamicBody;
	b2Body* plainBody = plainWorld.CreateBody(&def);
	b2CircleShape circle;
	circle.m_radius = 0.5f;
	plainBody->CreateFixture(&circle, 1.f);

	double predictionMs = 0.0, plainMs = 0.0;
	for (auto _ : state)
	{
		auto start = std::chrono::steady_clock::now();
		game.run(PREDICT);
		predictionMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

		plainBody->SetTransform(b2Vec2(0.f, 0.f), 0.f);
		plainBody->SetLinearVelocity(b2Vec2(30.f, -5.f));
		start = std::chrono::steady_clock::now();
		for (int i = 0; i < 100; ++i)
			plainWorld.Step(1.f / 35.f, 10, 10);
		plainMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
	}
	state.counters["prediction_ms"] = predictionMs / state.iterations();
	state.counters["plain_step_ms"] = plainMs / state.iterations();
	state.counters["ratio"] = predictionMs / plainMs;
}
BENCHMARK(BM_PredictionThroughTenFields)->Unit(benchmark::kMillisecond);
}
