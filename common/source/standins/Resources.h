#ifndef STANDINS_RESOURCES_H
#define STANDINS_RESOURCES_H

#include <lua/LuaObject.h>
#include <string>

namespace gr
{
class Context;
}

namespace audio
{
class AudioOutput;
}

namespace game
{
/** Stand-in of the content registry: no content, no audio output, only the master volume. */
class Resources
{
public:
	void loadLocale(const std::string&, const std::string&) {}
	void useLocale(const std::string&) {}
	void setMasterVolume(float volume) { m_masterVolume = volume; }
	float masterVolume() const { return m_masterVolume; }
	/** There is no audio output yet. */
	bool hasAudioOutput() const { return false; }
	audio::AudioOutput* getAudioOutput() const { return nullptr; }

private:
	float m_masterVolume = 1.f;
};

/** Stand-in of the script table res over the registry; published as the global "res". */
class LuaResources : public lua::LuaObject
{
public:
	LuaResources(lua::LuaState* state, gr::Context* context) : lua::LuaObject(state), m_context(context)
	{
		state->globals().setTable("res", this);
	}

	void setPath(const std::string& path) { m_path = path; }
	const std::string& path() const { return m_path; }
	Resources* getResources() { return &m_resources; }
	void setMasterVolume(float volume) { m_resources.setMasterVolume(volume); }
	float getMasterVolume() const { return m_resources.masterVolume(); }

private:
	gr::Context* m_context;
	Resources m_resources;
	std::string m_path;
};
}

#endif
