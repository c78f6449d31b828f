#include <game/LuaResources.h>
#include <audio/AudioClip.h>
#include <audio/AudioOutput.h>
#include <lang/Exception.h>
#include <lang/throwError.h>
#include <lua/LuaStackRestore.h>
#include <vector>

namespace game
{
void LuaResources::createAudioOutput(int channels, int bitsPerSample, int samplesPerSecond)
{
	m_resources.createAudioOutput(audio::AudioConfiguration{channels, bitsPerSample, samplesPerSecond});
}

void LuaResources::createAudioInput(int channels, int bitsPerSample, int samplesPerSecond)
{
	m_resources.createAudioInput(audio::AudioConfiguration{channels, bitsPerSample, samplesPerSecond});
}

int LuaResources::createAudio(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 2, 3);
	const std::string file = state->toString(1);
	const std::string id = state->toString(2);
	const bool stream = count == 2 ? true : state->toBoolean(3);
	m_resources.createAudio(file, id, stream);
	return 0;
}

void LuaResources::createCompositeAudio(const std::string& id, const lua::LuaTable& ids)
{
	std::vector<lang::Ptr<audio::AudioClip>> clips;
	lua_State* lua = getState()->getLua();
	lua::LuaStackRestore restore(lua);
	lua::LuaState::pushTable(lua, &ids);
	// Entries 1, 2, ... up to the first that is not a string; a number is not a clip id.
	for (int i = 1;; ++i)
	{
		lua_rawgeti(lua, -1, i);
		if (lua_type(lua, -1) != LUA_TSTRING)
			break;
		if (audio::AudioClip* clip = m_resources.getAudioClip(lua_tostring(lua, -1)))
			clips.push_back(clip);
		lua_pop(lua, 1);
	}
	m_resources.createCompositeAudio(id, clips);
}

int LuaResources::playAudio(lua::LuaState* state)
{
	const int count = state->top();
	lua::checkArgumentCount(count, 1, 4);
	const std::string id = state->toString(1);
	const float volume = count >= 2 ? state->toNumber(2) : 1.f;
	const bool loop = count >= 3 ? state->toBoolean(3) : false;
	int track = 0;
	if (count >= 4)
	{
		state->toNumber(4);
		track = lua::detail::numberToInt(lua_tonumber(state->getLua(), 4));
	}
	lua_pushnumber(state->getLua(), m_resources.playAudio(id, volume, loop, track));
	return 1;
}

void LuaResources::stopAudio(const std::string& id)
{
	m_resources.stopAudio(id);
}

void LuaResources::stopAllAudio()
{
	m_resources.stopAllAudio();
}

int LuaResources::isAudioPlaying(lua::LuaState* state)
{
	lua::checkArgumentCount(state->top(), 1, 1);
	lua_State* lua = state->getLua();
	bool playing = false;
	// The interpreter's own types: a numeric string stays a clip id.
	if (lua_type(lua, 1) == LUA_TNUMBER)
		playing = m_resources.isAudioPlaying(lua::detail::numberToInt(lua_tonumber(lua, 1)));
	else if (lua_type(lua, 1) == LUA_TSTRING)
		playing = m_resources.isAudioPlaying(std::string(lua_tostring(lua, 1)));
	state->pushBoolean(playing);
	return 1;
}

void LuaResources::startAudioOutput()
{
	m_resources.startAudioOutput();
}

void LuaResources::stopAudioOutput()
{
	m_resources.stopAudioOutput();
}

void LuaResources::startAudioInput()
{
	m_resources.startAudioInput();
}

void LuaResources::stopAudioInput()
{
	m_resources.stopAudioInput();
}

void LuaResources::setMasterVolume(float volume)
{
	m_resources.setMasterVolume(volume);
}

void LuaResources::setTrackVolume(float volume, int track)
{
	if (audio::AudioOutput* output = m_resources.getAudioOutput())
		output->setTrackVolume(volume, track);
}

float LuaResources::getTrackVolume(int track)
{
	audio::AudioOutput* output = m_resources.getAudioOutput();
	return output ? output->getTrackVolume(track) : 0.f;
}
}
