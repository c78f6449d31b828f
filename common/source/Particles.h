#ifndef PARTICLES_H
#define PARTICLES_H

#include <game/Sprite.h>
#include <lang/Ptr.h>
#include <lua/LuaObject.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

class GameLua;

namespace game
{
class Resources;
}

namespace gr
{
class Context;
}

/**
 * Sprite particles spawned by the scripts from the named definitions of
 * `particleTable.particles`, in one flat list, pulled or pushed by gravity
 * sensors and drawn in a background and a foreground pass, in world space
 * (in game) or screen space (menus). Main thread only.
 */
class Particles : public lua::LuaObject
{
public:
	/** Bursts beyond this many live particles are halved. */
	static const int SoftLimit = 60;
	/** No burst takes the live count past this. */
	static const int HardLimit = 225;
	/** No single burst adds more than this, even a definition that ignores the limits. */
	static const int MaxBurst = 100000;

	/** One definition; angles in radians. */
	struct ParticleSystemData
	{
		std::string name;
		std::vector<std::string> spriteNames;
		bool animationByLifeTime = false;
		bool background = false;
		float minVel = 0.f, maxVel = 0.f;
		bool useAngleFromSpawner = false;
		float minAngleVel = 0.f, maxAngleVel = 0.f;
		float minScaleBegin = 0.f, maxScaleBegin = 0.f;
		float minScaleEnd = 0.f, maxScaleEnd = 0.f;
		float lifeTime = 0.f;
		float gravityX = 0.f, gravityY = 0.f;
		float minAngleEmitter = 0.f, maxAngleEmitter = 0.f;
		float minAngle = 0.f, maxAngle = 0.f;
		bool ignoreLimits = false;
		float emitAreaScaleX = 1.f, emitAreaScaleY = 1.f;
	};

	/** One live particle. The definition is shared so that clearing the cache leaves live particles intact. */
	struct ParticleData
	{
		std::shared_ptr<const ParticleSystemData> definition;
		/** Index into the definition's sprite names. */
		int spriteIndex = 0;
		float x = 0.f, y = 0.f;
		float vx = 0.f, vy = 0.f;
		float angle = 0.f;
		float angularVelocity = 0.f;
		float scaleBegin = 0.f, scaleEnd = 0.f, scale = 0.f;
		/** Null when the definition names no sprite or the registry lacks it: not drawn. */
		lang::Ptr<game::Sprite> sprite;
		float age = 0.f;
		float lifeTime = 0.f;
		int frame = 1;
		bool animationByLifeTime = false;
		bool background = false;
	};

	struct GravitySensorData
	{
		float x, y;
		float strength;
		bool attractor;
		float radius;
		float pushX, pushY;
	};

	/** Registers the four script operations and publishes the table as the global `name` of the game table. */
	Particles(lua::LuaState* state, GameLua* game, game::Resources* resources, const std::string& name);
	~Particles() override;

	// Script operations.
	void addParticles(const std::string& name, float count, float x, float y, float areaWidth, float areaHeight,
		float angle);
	void addParticlesWithScale(const std::string& name, float count, float x, float y, float areaWidth,
		float areaHeight, float angle, float scaleBegin, float scaleEnd);
	void addParticlesWithProperties(const std::string& name, float count, float x, float y, float areaWidth,
		float areaHeight, float angle, float minVel, float maxVel, float minAngleEmitter, float maxAngleEmitter,
		const std::string& suffix);
	void addGravitySensor(float x, float y, float strength, bool attract, float radius, float extra, float pushX,
		float pushY);

	/** Ages, moves and animates every particle, removing the dead ones; menus move by screen height / 768. */
	void update(float dt, bool inGame, gr::Context* context);
	/** Draws the particles of one pass in list order, then resets the context's 2-D render state. */
	void draw(gr::Context* context, bool inGame, bool background);
	/** Throws, leaving the scale as it was, unless 0 < scale < 100. */
	void setMenuScale(float scale);
	float menuScale() const { return m_menuScale; }
	void clearAll();
	void clearParticleCache() { m_definitions.clear(); }

	const std::vector<ParticleData>& particles() const { return m_particles; }
	const std::vector<GravitySensorData>& gravitySensors() const { return m_sensors; }
	/** The cached definition of that name, or null before its first use. */
	const ParticleSystemData* cachedDefinition(const std::string& name) const;

private:
	GameLua* m_game;
	game::Resources* m_resources;
	float m_menuScale;
	std::vector<ParticleData> m_particles;
	std::map<std::string, std::shared_ptr<ParticleSystemData>> m_definitions;
	std::vector<GravitySensorData> m_sensors;

	/** The cached definition, read from the scripts' table on first use. */
	std::shared_ptr<ParticleSystemData>& definition(const std::string& name);
	/** Reads the entry `entry` of particleTable.particles into a new definition called `name`. */
	std::shared_ptr<ParticleSystemData> readDefinition(const std::string& entry, const std::string& name) const;
	void spawn(const std::shared_ptr<ParticleSystemData>& definition, float count, float x, float y, float areaWidth,
		float areaHeight, float angle);
	lang::Ptr<game::Sprite> resolve(const ParticleSystemData& definition, int index) const;
};

#endif
