#pragma once
#include <lang/Object.h>
#include <math/float2.h>
#include <string>
#include <vector>

class GameLua;
namespace gr
{
class Context;
}
namespace game
{
class Resources;
}

// Sprites flowing along a Catmull-Rom spline through the predicted flight path.
class AimStream : public lang::Object
{
public:
	enum STREAMTYPE { STREAM_SPRITES = 0, STREAM_RIBBON = 1 };

	struct StreamParticle
	{
		float position; // in spline segments from the start
		float angle;
		float scale;
	};

	explicit AimStream(GameLua* owner);
	~AimStream();

	void setStream(const std::vector<math::float2>& points, int kind);
	void update(float dt);
	/**
	 * Draws the sprites along the spline; the points are multiplied by simulationScale into
	 * world pixels, seen from the camera's top-left corner at the world scale. The 2-D render
	 * state is left as it was found.
	 */
	void draw(gr::Context* context, game::Resources& resources, const math::float2& topLeft, float worldScale,
		float simulationScale) const;
	void populateStream();
	void clearParticlesFromStream(float fraction);
	void setStreamSprite(const std::string& name) { m_spriteName = name; }
	void disableStream();
	void setSpawningEnabled(bool enabled);
	bool isStreamReady() const { return m_points.size() > 3; }

	// Refuses values that are not finite and above 0; returns whether taken.
	bool setSpawnInterval(float seconds);
	bool setSpeed(float segmentsPerSecond);

	// The spline point at a position along the stream (in segments).
	math::float2 pointAt(float position) const;
	int segmentCount() const { return static_cast<int>(m_points.size()) - 3; }

	const std::vector<math::float2>& points() const { return m_points; }
	const std::vector<StreamParticle>& particles() const { return m_particles; }
	const std::string& spriteName() const { return m_spriteName; }
	int kind() const { return m_kind; }
	bool spawning() const { return m_spawning; }
	float spawnInterval() const { return m_spawnInterval; }
	float speed() const { return m_speed; }
	float spawnTimer() const { return m_spawnTimer; }

	static math::float2 catmullRom(const math::float2& p0, const math::float2& p1,
		const math::float2& p2, const math::float2& p3, float t);

private:
	GameLua* m_owner;
	float m_spriteSize = 20.f;
	int m_kind = STREAM_SPRITES;
	std::vector<math::float2> m_points;
	float m_ribbonStep = 0.08f;
	float m_spawnInterval = 0.6f;
	float m_spawnTimer = 0.f;
	float m_speed = 4.f;
	float m_angularSpeed = 0.f;
	bool m_spawning = false;
	std::string m_spriteName;
	std::vector<StreamParticle> m_particles;
};
