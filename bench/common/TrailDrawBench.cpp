// The aiming stream (99 sprites along a 200-point prediction) and two shot trails of 100 points
// with their puffs, drawn through the game object on the do-nothing GL table, against the plain
// reference: the same quads placed beforehand and drawn in a bare loop through gr::Image::draw.
#include "BenchGame.h"
#include <game/Resources.h>
#include <game/Sprite.h>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace
{
const char* const SCENE =
	"function update(a, b) end function draw() end\n"
	"_G.res.createSpriteSheet(imagePath .. '/aim.sheet')\n"
	"setPhysicsSimulationScale(20)\n"
	"for shot = 1, 2 do\n"
	"  startNewTrajectory() setNormalTrailSprite('trail_dot') setSpecialTrailSprite('trail_puff')\n"
	"  for i = 0, 99 do addToTrajectory(0, 100 + i * 8, 500 - shot * 100 - i * (100 - i) * 0.05) end\n"
	"  addPuffToTrajectory(0, 900, 500 - shot * 100)\n"
	"end\n"
	"worldAttributes = {simulationIterations = 200, simulationTimeStepMultiplier = 0.25,\n"
	"  simulationStorePointsSampler = 1, simulationAimSpawnTime = 0.5, simulationAimSpeed = 4}\n"
	"loadLevel('no-such-level')\n"
	"setWorldGravity(0, 10)\n"
	"createCircle('ProjectileSimulation', '', 5, 25, 0.5, 1, 0, 0, true, false, 0)\n"
	"setVelocity('ProjectileSimulation', 16, -20)\n"
	"ClearSimulationTrajectory() updateProjectileTrajectoryTable()\n"
	"setAimingAidSprite('aim_dot') enableAimingAid(true)\n";

const math::float2 TOP_LEFT(-40.f, -20.f);
const float WORLD_SCALE = 0.75f;

/** One quad of the reference, with the transform it is drawn under. */
struct Quad
{
	gr::Image* image;
	const math::float2* uv;
	float x, y, w, h;
	math::float2 translation, scale, pivot;
};

void BM_StreamAndTrails(benchmark::State& state)
{
	Game game(SCENE);
	GameLua* lua = game.lua();
	gr::Context* context = game.context();
	game.run("setTopLeft(" + std::to_string(TOP_LEFT.x) + ", " + std::to_string(TOP_LEFT.y) + ") setWorldScale(" +
		std::to_string(WORLD_SCALE) + ")");
	lua->drawSimulationTrajectory(); // switches spawning on, which fills the path
	const AimStream& stream = lua->aimStream();
	game::Resources* resources = game.resources();
	game::Sprite* dot = resources->getSprite("trail_dot");
	game::Sprite* puff = resources->getSprite("trail_puff");
	game::Sprite* aim = resources->getSprite("aim_dot");
	if (!dot || !puff || !aim || stream.particles().size() != 99)
	{
		state.SkipWithError("the scene did not build");
		return;
	}

	std::vector<Quad> quads;
	const math::float2 camera(-TOP_LEFT.x, -TOP_LEFT.y), world(WORLD_SCALE, WORLD_SCALE), origin(0.f, 0.f);
	auto place = [&](game::Sprite* s, float x, float y, math::float2 t, math::float2 k, math::float2 pivot) {
		quads.push_back(Quad{s->getImage(), s->getTextureCoordinates(), x - s->getPivotX(), y - s->getPivotY(),
			float(s->getWidth()), float(s->getHeight()), t, k, pivot});
	};
	for (const GameLua::TrajectoryData& t : lua->trajectories())
	{
		for (const math::float2& p : t.points)
			place(dot, p.x, p.y, camera, world, origin);
		place(puff, t.puffX, t.puffY, camera, world, origin);
	}
	const math::float2 half(aim->getWidth() * 0.5f, aim->getHeight() * 0.5f);
	for (const AimStream::StreamParticle& s : stream.particles())
	{
		const math::float2 p = stream.pointAt(s.position);
		place(aim, p.x * 20.f / s.scale, p.y * 20.f / s.scale, math::float2(camera.x / s.scale, camera.y / s.scale),
			math::float2(WORLD_SCALE * s.scale, WORLD_SCALE * s.scale), half);
	}

	auto subject = [&] {
		lua->drawTrajectories();
		lua->drawSimulationTrajectory();
		context->flush();
	};
	auto reference = [&] {
		gr::RenderState2D& rs = context->getRenderState2D();
		for (const Quad& q : quads)
		{
			rs.translation = q.translation;
			rs.scale = q.scale;
			rs.pivot = q.pivot;
			q.image->draw(context, q.x, q.y, q.w, q.h, q.uv);
		}
		rs.reset();
		context->flush();
	};
	subject();
	reference();
	double subjectNs = 0.0, referenceNs = 0.0;
	for (auto _ : state)
	{
		auto start = std::chrono::steady_clock::now();
		subject();
		subjectNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
		start = std::chrono::steady_clock::now();
		reference();
		referenceNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
	}
	const double n = double(state.iterations()) * double(quads.size());
	state.counters["quads"] = double(quads.size());
	state.counters["ns_per_quad"] = subjectNs / n;
	state.counters["reference_ns_per_quad"] = referenceNs / n;
	state.counters["ratio"] = subjectNs / referenceNs;
}
BENCHMARK(BM_StreamAndTrails);
}
