#include "AimStream.h"
#include "RegistrySprite.h"

#include <gr/Context.h>
#include <lang/Debug.h>
#include <lua/LuaState.h>

#include <cmath>

using math::float2;

AimStream::AimStream(GameLua* owner) : m_owner(owner) {}

AimStream::~AimStream() {}

float2 AimStream::catmullRom(const float2& p0, const float2& p1, const float2& p2, const float2& p3, float t)
{
	const float t2 = t * t;
	const float t3 = t2 * t;
	float2 r;
	r.x = 0.5f * (2.f * p1.x + (p2.x - p0.x) * t + (2.f * p0.x - 5.f * p1.x + 4.f * p2.x - p3.x) * t2 +
		(-p0.x + 3.f * p1.x - 3.f * p2.x + p3.x) * t3);
	r.y = 0.5f * (2.f * p1.y + (p2.y - p0.y) * t + (2.f * p0.y - 5.f * p1.y + 4.f * p2.y - p3.y) * t2 +
		(-p0.y + 3.f * p1.y - 3.f * p2.y + p3.y) * t3);
	return r;
}

void AimStream::setStream(const std::vector<float2>& p, int kind)
{
	if (p.size() < 4)
	{
		lang::Debug::printf("Aiming stream requires at least 4 points on the trajectory. \n");
		return;
	}
	m_points.clear();
	m_kind = kind;
	if (kind == STREAM_SPRITES)
	{
		m_points.reserve(p.size() + 2);
		m_points.push_back(p.front());
		m_points.insert(m_points.end(), p.begin(), p.end());
		m_points.push_back(p.back());
		update(0.f);
		return;
	}

	std::vector<float2> left, right;
	const size_t n = p.size();
	for (size_t i = 0; i < n; ++i)
	{
		float2 d;
		if (i == 0)
			d = float2((p[1].x - p[0].x) * 0.5f, (p[1].y - p[0].y) * 0.5f);
		else if (i == n - 1)
			d = float2((p[i].x - p[i - 1].x) * 0.5f, (p[i].y - p[i - 1].y) * 0.5f);
		else
			d = float2((p[i + 1].x - p[i - 1].x) * 0.5f, (p[i + 1].y - p[i - 1].y) * 0.5f);
		const float len = std::sqrt(d.x * d.x + d.y * d.y);
		float2 normal = len > 0.f ? float2(-d.y / len, d.x / len) : float2(0.f, 0.f);
		const float h = m_spriteSize * 0.5f;
		left.push_back(float2(p[i].x + normal.x * h, p[i].y + normal.y * h));
		right.push_back(float2(p[i].x - normal.x * h, p[i].y - normal.y * h));
	}
	for (std::vector<float2>* edge : {&left, &right})
	{
		edge->insert(edge->begin(), edge->front());
		edge->push_back(edge->back());
	}
	for (size_t i = 1; i + 2 < left.size(); ++i)
	{
		for (int k = 0; k * m_ribbonStep <= 1.f + 1e-6f; ++k)
		{
			const float t = k * m_ribbonStep;
			m_points.push_back(catmullRom(left[i - 1], left[i], left[i + 1], left[i + 2], t));
			m_points.push_back(catmullRom(right[i - 1], right[i], right[i + 1], right[i + 2], t));
		}
	}
}

float2 AimStream::pointAt(float position) const
{
	const int n = segmentCount();
	if (n < 1)
		return m_points.empty() ? float2() : m_points.front();
	int i = lua::detail::numberToInt(std::floor(position));
	if (i < 0)
		i = 0;
	if (i > n - 1)
		i = n - 1;
	const float t = position - static_cast<float>(i);
	return catmullRom(m_points[i], m_points[i + 1], m_points[i + 2], m_points[i + 3], t);
}

void AimStream::update(float dt)
{
	if (m_kind != STREAM_SPRITES)
		return;
	const float n = static_cast<float>(segmentCount());
	for (size_t i = 0; i < m_particles.size();)
	{
		StreamParticle& s = m_particles[i];
		s.position += m_speed * dt;
		s.angle += m_angularSpeed * dt;
		s.scale = (1.f - s.position / n) + 0.2f;
		if (s.position >= n)
			m_particles.erase(m_particles.begin() + i);
		else
			++i;
	}
	m_spawnTimer -= dt;
	while (m_spawning && m_spawnTimer < 0.f)
	{
		m_spawnTimer += m_spawnInterval;
		m_particles.insert(m_particles.begin(), StreamParticle{0.f, 0.f, 1.2f});
	}
}

void AimStream::draw(gr::Context* context, game::Resources& resources, const float2& topLeft, float worldScale,
	float simulationScale) const
{
	if (m_kind != STREAM_SPRITES)
		return;
	if (m_spriteName.empty())
	{
		lang::Debug::printf("NO AIMSTREAMSPRITE SET!\n");
		return;
	}
	const RegistrySprite sprite(resources, m_spriteName);
	if (!sprite || segmentCount() < 1)
		return;

	gr::RenderState2D& rs = context->getRenderState2D();
	const gr::RenderState2D saved = rs;
	rs.pivot = float2(sprite.width() * 0.5f, sprite.height() * 0.5f);
	const game::Anchor anchor(game::Anchor::VPIVOT, game::Anchor::HPIVOT);
	for (const StreamParticle& s : m_particles)
	{
		// Drawn at point / scale under a transform scaled by scale, so the sprite's pivot stays
		// on the path while the sprite shrinks (and turns about its centre).
		const float2 p = pointAt(s.position);
		const float px = p.x * simulationScale, py = p.y * simulationScale;
		// Sprites only turn with an angular speed: spare the sine and cosine otherwise.
		const float c = s.angle == 0.f ? 1.f : std::cos(s.angle), sn = s.angle == 0.f ? 0.f : std::sin(s.angle);
		rs.rotation[0] = c;
		rs.rotation[1] = sn;
		rs.rotation[2] = -sn;
		rs.rotation[3] = c;
		rs.angle = s.angle;
		rs.translation = float2(-topLeft.x / s.scale, -topLeft.y / s.scale);
		rs.scale = float2(worldScale * s.scale, worldScale * s.scale);
		sprite.draw(context, px / s.scale, py / s.scale, anchor);
	}
	rs = saved;
}

void AimStream::populateStream()
{
	m_particles.clear();
	const float n = static_cast<float>(segmentCount());
	const int count = n > 0.f ? lua::detail::numberToInt(n / (m_spawnInterval * m_speed)) : 0;
	for (int i = 0; i < count; ++i)
	{
		const float position = i * m_speed * m_spawnInterval;
		m_particles.push_back(StreamParticle{position, i * m_angularSpeed * m_spawnInterval, (1.f - position / n) + 0.2f});
	}
	m_spawnTimer = m_spawnInterval;
}

void AimStream::clearParticlesFromStream(float fraction)
{
	const float n = static_cast<float>(segmentCount());
	while (!m_particles.empty() && n > 0.f && m_particles.front().position / n < fraction)
		m_particles.erase(m_particles.begin());
}

void AimStream::disableStream()
{
	m_points.clear();
	m_particles.clear();
	m_spawning = false;
}

void AimStream::setSpawningEnabled(bool enabled)
{
	if (enabled && !m_spawning)
		populateStream();
	m_spawning = enabled;
}

namespace
{
// A value that is not finite and above 0 would stall the stream or divide by 0.
bool positiveFinite(float value, const char* name)
{
	if (std::isfinite(value) && value > 0.f)
		return true;
	lang::Debug::printf("%s %g refused: it must be a finite number above 0\n", name, value);
	return false;
}
}

bool AimStream::setSpawnInterval(float seconds)
{
	if (!positiveFinite(seconds, "simulationAimSpawnTime"))
		return false;
	m_spawnInterval = seconds;
	return true;
}

bool AimStream::setSpeed(float segmentsPerSecond)
{
	if (!positiveFinite(segmentsPerSecond, "simulationAimSpeed"))
		return false;
	m_speed = segmentsPerSecond;
	return true;
}
