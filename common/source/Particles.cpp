#include "Particles.h"
#include "GameLua.h"
#include <game/Resources.h>
#include <gr/Context.h>
#include <gr/RenderState2D.h>
#include <lang/Debug.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <math/RandomUtil.h>
#include <cfloat>
#include <cmath>

namespace
{
const float DEGREES = 0.017453292f;

float random01()
{
	return static_cast<float>(math::RandomUtil::random());
}

float between(float low, float high)
{
	return low + (high - low) * random01();
}

void checkCount(float count)
{
	// A burst past this (or an infinite one) would exhaust memory or never end.
	if (!(count <= float(Particles::MaxBurst)))
		lang::throwError(lang::Exception(lang::Format("Particle count {0} is too large", count)));
}
}

Particles::Particles(lua::LuaState* state, GameLua* game, game::Resources* resources, const std::string& name) :
	lua::LuaObject(state), m_game(game), m_resources(resources), m_menuScale(1.f)
{
	nameOperationsInErrors();
	lua::OperationCatalogue::section("particles", "particles");
	registerMethod<&Particles::addParticles>("addParticles", this);
	registerMethod<&Particles::addParticlesWithScale>("addParticlesWithScale", this);
	registerMethod<&Particles::addParticlesWithProperties>("addParticlesWithProperties", this);
	registerMethod<&Particles::addGravitySensor>("addGravitySensor", this);
	state->globals().setTable(name, *this);
}

Particles::~Particles() = default;

std::shared_ptr<Particles::ParticleSystemData> Particles::readDefinition(const std::string& entry,
	const std::string& name) const
{
	std::shared_ptr<ParticleSystemData> d = std::make_shared<ParticleSystemData>();
	d->name = name;
	// Anything missing on the way reads as an empty entry: zero ranges and no sprites.
	if (!m_game->isTable("particleTable"))
		return d;
	const lua::LuaTable table = m_game->getTable("particleTable");
	if (!table.isTable("particles"))
		return d;
	const lua::LuaTable particles = table.getTable("particles");
	if (!particles.isTable(entry))
		return d;
	const lua::LuaTable t = particles.getTable(entry);

	if (t.isTable("sprites"))
	{
		const lua::LuaTable sprites = t.getTable("sprites");
		const int n = sprites.size();
		for (int i = 1; i <= n; ++i)
			d->spriteNames.push_back(sprites.getString(i));
	}
	d->animationByLifeTime = t.isString("animation") && t.getString("animation") == "lifeTime";
	d->background = t.getBoolean("background");
	d->minVel = t.getNumber("minVel");
	d->maxVel = t.getNumber("maxVel");
	d->useAngleFromSpawner = t.getBoolean("useAngleFromSpawner");
	d->minAngleVel = t.getNumber("minAngleVel");
	d->maxAngleVel = t.getNumber("maxAngleVel");
	d->minScaleBegin = t.getNumber("minScaleBegin");
	d->maxScaleBegin = t.getNumber("maxScaleBegin");
	d->minScaleEnd = t.getNumber("minScaleEnd");
	d->maxScaleEnd = t.getNumber("maxScaleEnd");
	d->lifeTime = t.getNumber("lifeTime");
	d->gravityX = t.getNumber("gravityX");
	d->gravityY = t.getNumber("gravityY");
	d->minAngleEmitter = t.getNumber("minAngleEmitter") * DEGREES;
	d->maxAngleEmitter = t.getNumber("maxAngleEmitter") * DEGREES;
	d->minAngle = t.getNumber("minAngle") * DEGREES;
	d->maxAngle = t.getNumber("maxAngle") * DEGREES;
	d->ignoreLimits = t.getBoolean("ignoreLimits");
	if (t.isNumber("emitAreaScaleX"))
		d->emitAreaScaleX = t.getNumber("emitAreaScaleX");
	if (t.isNumber("emitAreaScaleY"))
		d->emitAreaScaleY = t.getNumber("emitAreaScaleY");
	if (d->ignoreLimits)
		lang::Debug::printf("**** particles: ignoreLimits = true\n");
	return d;
}

std::shared_ptr<Particles::ParticleSystemData>& Particles::definition(const std::string& name)
{
	std::shared_ptr<ParticleSystemData>& d = m_definitions[name];
	if (!d)
		d = readDefinition(name, name);
	return d;
}

const Particles::ParticleSystemData* Particles::cachedDefinition(const std::string& name) const
{
	auto it = m_definitions.find(name);
	return it == m_definitions.end() ? nullptr : it->second.get();
}

lang::Ptr<game::Sprite> Particles::resolve(const ParticleSystemData& definition, int index) const
{
	if (index < 0 || index >= static_cast<int>(definition.spriteNames.size()))
		return nullptr;
	return m_resources->getSprite(definition.spriteNames[index]);
}

void Particles::addParticles(const std::string& name, float count, float x, float y, float areaWidth,
	float areaHeight, float angle)
{
	checkCount(count);
	spawn(definition(name), count, x, y, areaWidth, areaHeight, angle);
}

void Particles::addParticlesWithScale(const std::string& name, float count, float x, float y, float areaWidth,
	float areaHeight, float angle, float scaleBegin, float scaleEnd)
{
	checkCount(count);
	const std::shared_ptr<ParticleSystemData>& d = definition(name);
	d->minScaleBegin = d->maxScaleBegin = scaleBegin;
	d->minScaleEnd = d->maxScaleEnd = scaleEnd;
	spawn(d, count, x, y, areaWidth, areaHeight, angle);
}

void Particles::addParticlesWithProperties(const std::string& name, float count, float x, float y, float areaWidth,
	float areaHeight, float angle, float minVel, float maxVel, float minAngleEmitter, float maxAngleEmitter,
	const std::string& suffix)
{
	checkCount(count);
	const std::string key = name + suffix;
	std::shared_ptr<ParticleSystemData>& d = m_definitions[key];
	if (!d)
	{
		d = readDefinition(name, key);
		if (!d->ignoreLimits)
			lang::Debug::printf("**** particles: ignoreLimits = false\n");
	}
	d->minVel = minVel;
	d->maxVel = maxVel;
	d->minAngleEmitter = minAngleEmitter * DEGREES;
	d->maxAngleEmitter = maxAngleEmitter * DEGREES;
	spawn(d, count, x, y, areaWidth, areaHeight, angle);
}

void Particles::addGravitySensor(float x, float y, float strength, bool attract, float radius, float, float pushX,
	float pushY)
{
	m_sensors.push_back(GravitySensorData{x, y, strength, attract, radius, pushX, pushY});
}

void Particles::spawn(const std::shared_ptr<ParticleSystemData>& definition, float count, float x, float y,
	float areaWidth, float areaHeight, float angle)
{
	const ParticleSystemData& d = *definition;
	const float live = static_cast<float>(m_particles.size());
	float n = count;
	if (!d.ignoreLimits)
	{
		if (live + n > float(SoftLimit))
			n *= 0.5f;
		if (live + n > float(HardLimit))
			n = float(HardLimit) - live;
	}
	if (!(n > 0.f))
		return;

	const float c = std::cos(angle), s = std::sin(angle);
	const float spawnerAngle = d.useAngleFromSpawner ? angle : 0.f;
	const int names = static_cast<int>(d.spriteNames.size());
	// One lookup for the burst when every particle shows the first sprite.
	const lang::Ptr<game::Sprite> first = resolve(d, 0);
	bool missing = false;
	m_particles.reserve(m_particles.size() + static_cast<size_t>(std::ceil(n)));
	for (float i = 0.f; i < n; i += 1.f)
	{
		ParticleData p;
		p.definition = definition;
		const float ox = (random01() - 0.5f) * areaWidth * d.emitAreaScaleX;
		const float oy = (random01() - 0.5f) * areaHeight * d.emitAreaScaleY;
		p.x = x + ox * c - oy * s;
		p.y = y + ox * s + oy * c;
		const float e = between(d.minAngleEmitter, d.maxAngleEmitter) + spawnerAngle;
		const float speed = between(d.minVel, d.maxVel);
		p.vx = speed * std::cos(e);
		p.vy = speed * std::sin(e);
		p.angle = between(d.minAngle, d.maxAngle) + spawnerAngle;
		p.angularVelocity = between(d.minAngleVel, d.maxAngleVel);
		p.scaleBegin = between(d.minScaleBegin, d.maxScaleBegin);
		p.scaleEnd = between(d.minScaleEnd, d.maxScaleEnd);
		p.scale = p.scaleBegin;
		p.lifeTime = d.lifeTime;
		p.background = d.background;
		p.animationByLifeTime = d.animationByLifeTime;
		if (d.animationByLifeTime)
		{
			p.spriteIndex = 0;
			p.sprite = first;
		}
		else
		{
			const int index = static_cast<int>(random01() * float(names));
			p.spriteIndex = index < names ? index : 0;
			p.sprite = p.spriteIndex == 0 ? first : resolve(d, p.spriteIndex);
		}
		missing = missing || !p.sprite;
		m_particles.push_back(std::move(p));
	}
	if (missing)
		lang::Debug::printf("Particle sprite is missing for %s\n", d.name.c_str());
}

void Particles::update(float dt, bool inGame, gr::Context* context)
{
	const float f = inGame ? 1.f : static_cast<float>(context->height()) / 768.f;
	const size_t count = m_particles.size();
	size_t kept = 0;
	for (size_t i = 0; i < count; ++i)
	{
		ParticleData& p = m_particles[i];
		p.age += dt;
		if (p.age > p.lifeTime)
			continue;
		const ParticleSystemData& d = *p.definition;
		p.vx += d.gravityX * dt;
		p.vy += d.gravityY * dt;
		bool absorbed = false;
		for (const GravitySensorData& g : m_sensors)
		{
			if (!g.attractor)
			{
				p.vx += g.pushX * g.strength * dt;
				p.vy += g.pushY * g.strength * dt;
				continue;
			}
			float dx = g.x - p.x, dy = g.y - p.y;
			const float distance = std::sqrt(dx * dx + dy * dy);
			if (!(distance < g.radius))
				continue;
			const float speed = std::sqrt(p.vx * p.vx + p.vy * p.vy);
			if (distance < 0.5f * speed)
			{
				absorbed = true;
				break;
			}
			if (distance >= FLT_EPSILON)
			{
				dx /= distance;
				dy /= distance;
			}
			p.vx += dx * g.strength * dt;
			p.vy += dy * g.strength * dt;
		}
		if (absorbed)
			continue;
		p.x += p.vx * dt * f;
		p.y += p.vy * dt * f;
		p.angle += p.angularVelocity * dt;
		const float t = p.lifeTime > 0.f ? p.age / p.lifeTime : 1.f;
		p.scale = p.scaleBegin + (p.scaleEnd - p.scaleBegin) * t;
		if (p.animationByLifeTime)
		{
			const int k = static_cast<int>(d.spriteNames.size());
			int frame = lua::detail::numberToInt(std::ceil(float(k) * t));
			frame = frame < 1 ? 1 : frame > k ? k : frame;
			if (frame != p.frame && k > 0)
			{
				p.frame = frame;
				p.spriteIndex = frame - 1;
				p.sprite = resolve(d, p.spriteIndex);
				if (!p.sprite)
					lang::Debug::printf("Particle sprite is missing for %s\n", d.name.c_str());
			}
		}
		// Survivors slide down over the dead in the same pass.
		if (kept != i)
			m_particles[kept] = std::move(p);
		++kept;
	}
	m_particles.erase(m_particles.begin() + static_cast<std::ptrdiff_t>(kept), m_particles.end());
}

void Particles::draw(gr::Context* context, bool inGame, bool background)
{
	gr::RenderState2D& rs = context->getRenderState2D();
	float worldScale = 1.f, cameraX = 0.f, cameraY = 0.f;
	if (inGame)
	{
		worldScale = m_game->worldScale();
		cameraX = m_game->cameraX();
		cameraY = m_game->cameraY();
	}
	const game::Anchor pivotAnchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT);
	for (const ParticleData& p : m_particles)
	{
		if (p.background != background || !p.sprite)
			continue;
		const float s = inGame ? p.scale : p.scale * m_menuScale;
		// A particle shrunk to nothing draws nothing (and would divide by zero).
		if (s == 0.f)
			continue;
		if (inGame)
		{
			rs.translation = math::float2(-cameraX / s, -cameraY / s);
			rs.scale = math::float2(s * worldScale, s * worldScale);
		}
		else
			rs.scale = math::float2(s, s);
		const float c = std::cos(p.angle), sn = std::sin(p.angle);
		rs.rotation[0] = c;
		rs.rotation[1] = sn;
		rs.rotation[2] = -sn;
		rs.rotation[3] = c;
		rs.angle = p.angle;
		rs.pivot = math::float2(float(p.sprite->getPivotX()), float(p.sprite->getPivotY()));
		p.sprite->draw(context, p.x / s, p.y / s, pivotAnchor);
	}
	context->setRenderState2D(gr::RenderState2D());
}

void Particles::setMenuScale(float scale)
{
	if (!(scale > 0.f && scale < 100.f))
		lang::throwError(lang::Exception(lang::Format("Menu particle scale {0} is outside 0 < scale < 100", scale)));
	m_menuScale = scale;
}

void Particles::clearAll()
{
	m_particles.clear();
	m_sensors.clear();
}
