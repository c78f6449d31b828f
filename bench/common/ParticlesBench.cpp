// The particle update at the burst cap (225 live, two sensors, animation by lifetime), 10,000 live
// particles that ignore the limits, and the drawing of 225, each against its plain reference in the
// same process: a bare loop over a plain struct array doing the same arithmetic, and direct sprite
// draws under the same render state.
#include "BenchGame.h"
#include <game/Resources.h>
#include <game/Sprite.h>
#include <gr/RenderState2D.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace
{
const char* const SCENE =
	"function update(a, b) end function draw() end\n"
	"_G.res.createSpriteSheet(imagePath .. '/level.sheet')\n"
	"particleTable = { particles = {\n"
	"  spark = { sprites = { 'level_ball', 'level_target', 'level_block' }, animation = 'lifeTime',\n"
	"    lifeTime = 2, minVel = 20, maxVel = 80, minAngleEmitter = 0, maxAngleEmitter = 360,\n"
	"    minAngleVel = -3, maxAngleVel = 3, minScaleBegin = 0.5, maxScaleBegin = 1, minScaleEnd = 0.1,\n"
	"    maxScaleEnd = 0.2, gravityY = 30, minAngle = 0, maxAngle = 360 },\n"
	"  bulk = { sprites = { 'level_ball' }, ignoreLimits = true, lifeTime = 1000, minVel = 20, maxVel = 80,\n"
	"    minAngleEmitter = 0, maxAngleEmitter = 360, minScaleBegin = 1, maxScaleBegin = 1, minScaleEnd = 1,\n"
	"    maxScaleEnd = 1, gravityY = 30 },\n"
	"} }\n"
	"enableInGameParticlesNative(true) setPhysicsEnabled(false)\n";

// A pusher everywhere and an attractor far from the burst.
const char* const SENSORS =
	"_G.particles.addGravitySensor(0, 0, 1, false, 1, 0, 0.5, -1)\n"
	"_G.particles.addGravitySensor(2000, 2000, 40, true, 5000, 0, 0, 0)\n";

/** The plain reference's particle: the same numbers, no strings, sprites or definitions. */
struct PlainParticle
{
	float x, y, vx, vy, angle, angularVelocity, scaleBegin, scaleEnd, scale, age, lifeTime;
	int frame;
};

struct PlainSensor
{
	float x, y, strength;
	bool attractor;
	float radius, pushX, pushY;
};

void plainUpdate(std::vector<PlainParticle>& particles, const std::vector<PlainSensor>& sensors, float dt, float gx,
	float gy, int frames)
{
	size_t kept = 0;
	for (size_t i = 0; i < particles.size(); ++i)
	{
		PlainParticle& p = particles[i];
		p.age += dt;
		if (p.age > p.lifeTime)
			continue;
		p.vx += gx * dt;
		p.vy += gy * dt;
		bool absorbed = false;
		for (const PlainSensor& g : sensors)
		{
			if (!g.attractor)
			{
				p.vx += g.pushX * g.strength * dt;
				p.vy += g.pushY * g.strength * dt;
				continue;
			}
			float dx = g.x - p.x, dy = g.y - p.y;
			const float d = std::sqrt(dx * dx + dy * dy);
			if (!(d < g.radius))
				continue;
			if (d < 0.5f * std::sqrt(p.vx * p.vx + p.vy * p.vy))
			{
				absorbed = true;
				break;
			}
			p.vx += dx / d * g.strength * dt;
			p.vy += dy / d * g.strength * dt;
		}
		if (absorbed)
			continue;
		p.x += p.vx * dt;
		p.y += p.vy * dt;
		p.angle += p.angularVelocity * dt;
		const float t = p.age / p.lifeTime;
		p.scale = p.scaleBegin + (p.scaleEnd - p.scaleBegin) * t;
		if (frames > 0)
		{
			int frame = static_cast<int>(std::ceil(float(frames) * t));
			p.frame = frame < 1 ? 1 : frame > frames ? frames : frame;
		}
		particles[kept++] = p;
	}
	particles.resize(kept);
}

/** A plain copy of the engine's live particles, with the sensors. */
void copyPlain(const Particles& system, std::vector<PlainParticle>& particles, std::vector<PlainSensor>& sensors)
{
	particles.clear();
	for (const Particles::ParticleData& p : system.particles())
		particles.push_back(PlainParticle{p.x, p.y, p.vx, p.vy, p.angle, p.angularVelocity, p.scaleBegin, p.scaleEnd,
			p.scale, p.age, p.lifeTime, p.frame});
	sensors.clear();
	for (const Particles::GravitySensorData& g : system.gravitySensors())
		sensors.push_back(PlainSensor{g.x, g.y, g.strength, g.attractor, g.radius, g.pushX, g.pushY});
}

/** Bursts until the target count lives: a burst past 60 live is halved. */
void fill(Game& game, const char* burst, size_t target)
{
	const Particles& system = game.lua()->particles();
	for (size_t live = system.particles().size(); live < target; live = system.particles().size())
	{
		game.run("_G.particles.addParticles('" + std::string(burst) + "', " + std::to_string(target - live) +
			", 480, 320, 400, 300, 0)");
		if (system.particles().size() == live)
			break;
	}
}

double elapsedMs(std::chrono::steady_clock::time_point start)
{
	return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

/** Updates at a steady count: what dies or is absorbed is spawned again outside the timed part. */
void runUpdate(benchmark::State& state, const char* burst, size_t target, int frames)
{
	Game game(SCENE);
	game.run(SENSORS);
	Particles& system = game.lua()->particles();
	std::vector<PlainParticle> plain;
	std::vector<PlainSensor> sensors;
	auto topUp = [&] { fill(game, burst, target); };
	topUp();
	// Past the first frames the ages spread out, as in play.
	for (int i = 0; i < 90; ++i)
	{
		system.update(FRAME_DT, true, game.context());
		topUp();
	}
	double engineMs = 0.0, plainMs = 0.0;
	size_t liveSum = 0;
	for (auto _ : state)
	{
		topUp();
		liveSum += system.particles().size();
		copyPlain(system, plain, sensors);
		auto start = std::chrono::steady_clock::now();
		system.update(FRAME_DT, true, game.context());
		engineMs += elapsedMs(start);
		start = std::chrono::steady_clock::now();
		plainUpdate(plain, sensors, FRAME_DT, 0.f, 30.f, frames);
		plainMs += elapsedMs(start);
		benchmark::DoNotOptimize(plain.data());
	}
	state.counters["update_ms"] = engineMs / state.iterations();
	state.counters["plain_ms"] = plainMs / state.iterations();
	state.counters["ratio"] = engineMs / plainMs;
	state.counters["live"] = double(liveSum) / state.iterations();
}

void BM_ParticlesUpdateCap225TwoSensorsAnimated(benchmark::State& state)
{
	runUpdate(state, "spark", Particles::HardLimit, 3);
}
BENCHMARK(BM_ParticlesUpdateCap225TwoSensorsAnimated)->Unit(benchmark::kMicrosecond);

void BM_ParticlesUpdate10000IgnoreLimits(benchmark::State& state)
{
	runUpdate(state, "bulk", 10000, 0);
}
BENCHMARK(BM_ParticlesUpdate10000IgnoreLimits)->Unit(benchmark::kMicrosecond);

void BM_ParticlesDraw225(benchmark::State& state)
{
	Game game(SCENE);
	gr::Context* context = game.context();
	Particles& system = game.lua()->particles();
	for (int i = 0; i < 30; ++i)
	{
		fill(game, "spark", Particles::HardLimit);
		system.update(FRAME_DT, true, context);
	}
	fill(game, "spark", Particles::HardLimit);
	const std::vector<Particles::ParticleData>& live = system.particles();

	double engineMs = 0.0, plainMs = 0.0;
	const game::Anchor anchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT);
	for (auto _ : state)
	{
		auto start = std::chrono::steady_clock::now();
		game.lua()->drawGameParticles(false);
		context->flush();
		engineMs += elapsedMs(start);

		// The same sprites and placements drawn by hand.
		start = std::chrono::steady_clock::now();
		gr::RenderState2D& rs = context->getRenderState2D();
		for (const Particles::ParticleData& p : live)
		{
			const float s = p.scale;
			rs.scale = math::float2(s, s);
			const float c = std::cos(p.angle), sn = std::sin(p.angle);
			rs.rotation[0] = c, rs.rotation[1] = sn, rs.rotation[2] = -sn, rs.rotation[3] = c;
			rs.angle = p.angle;
			rs.pivot = math::float2(float(p.sprite->getPivotX()), float(p.sprite->getPivotY()));
			p.sprite->draw(context, p.x / s, p.y / s, anchor);
		}
		rs.reset();
		context->flush();
		plainMs += elapsedMs(start);
	}
	state.counters["draw_ms"] = engineMs / state.iterations();
	state.counters["plain_ms"] = plainMs / state.iterations();
	state.counters["ratio"] = engineMs / plainMs;
	state.counters["live"] = double(live.size());
}
BENCHMARK(BM_ParticlesDraw225)->Unit(benchmark::kMicrosecond);
}
