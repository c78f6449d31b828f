// Game frames with 300 spinning balls whose rolling sounds play, against the same frames
// with the balls' rolling sounds off (the plain reference, measured in the same process).
#include "BenchGame.h"
#include <audio/AudioClip.h>
#include <audio/AudioOutput.h>
#include <benchmark/benchmark.h>
#include <game/Resources.h>
#include <vector>

namespace
{
const char* const ROLLING_SCENE =
	"function applyForcesAtPhysicsStep() end function removeBlocks() end\n"
	"function clearLuaForceFunctions() end function selectObjectAnimation() end\n"
	"function update(a, b) end function draw() end\n"
	"setLevelLimits(-1000, -1000, 1000, 1000)\n"
	"local materials = {'wood', 'rock', 'light'}\n"
	"for i = 0, 299 do\n"
	"  local name = 'ball' .. i\n"
	"  createCircle(name, '', (i % 20) * 3, _G.math.floor(i / 20) * 3, 1, 1, 0.5, 0, true, false, 0)\n"
	"  setAngularDamping(name, 0) setMaterial(name, materials[i % 3 + 1])\n"
	"  setAngularVelocity(name, 5 + i % 7)\n"
	"end\n"
	"setPhysicsEnabled(true)\n";

lang::Ptr<audio::AudioClip> silence()
{
	const std::vector<int16_t> pcm(2 * 4410, 0);
	return new audio::AudioClip(nullptr, pcm.data(), static_cast<int>(pcm.size() * sizeof(int16_t)),
		audio::AudioConfiguration{2, 16, 44100});
}

/** Milliseconds per frame over the state's iterations, with the balls' rolling sounds on or off. */
double rollingFrames(benchmark::State* state, bool rolling, int frames)
{
	Game game(ROLLING_SCENE);
	game::Resources* res = game.resources();
	if (!res->getAudioOutput())
		res->createAudioOutput(audio::AudioConfiguration{2, 16, 44100});
	for (const char* id : {"wood_rolling", "rock_rolling", "light_rolling"})
		res->createCompositeAudio(id, {silence()});
	game.app()->activateAudio(true);
	for (const auto& entry : game.lua()->renderObjects())
		entry.second->rollingSound = rolling;
	double frameMs = 0.0, stepMs = 0.0;
	int counted = 0;
	if (state)
	{
		for (auto _ : *state)
		{
			game.frame(frameMs, stepMs);
			++counted;
		}
	}
	else
	{
		for (; counted < frames; ++counted)
			game.frame(frameMs, stepMs);
	}
	return frameMs / counted;
}

void BM_RollingSoundFrames(benchmark::State& state)
{
	const double plain = rollingFrames(nullptr, false, 600);
	const double rolling = rollingFrames(&state, true, 0);
	state.counters["frame_ms"] = rolling;
	state.counters["plain_frame_ms"] = plain;
	state.counters["ratio_to_plain"] = rolling / plain;
}
BENCHMARK(BM_RollingSoundFrames)->Iterations(600)->Repetitions(3)->Unit(benchmark::kMicrosecond);
}
