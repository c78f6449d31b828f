#include <audio/AudioOutput.h>
#include "OpenAL/AudioOutputImpl_OpenAL.h"

namespace audio
{
AudioOutput::AudioOutput(const AudioConfiguration& config) : m_this(new AudioOutputImpl(config)) {}

AudioOutput::~AudioOutput() {}

bool AudioOutput::startOutput() { return m_this->startOutput(); }
void AudioOutput::stopOutput() { m_this->stopOutput(); }
bool AudioOutput::isStarted() const { return m_this->isStarted(); }
void AudioOutput::setMasterVolume(float volume) { m_this->setMasterVolume(volume); }
float AudioOutput::getMasterVolume() const { return m_this->getMasterVolume(); }

int AudioOutput::playClip(AudioClip* clip, float volume, bool loop, int track)
{
	// The mixer converts neither sample width nor channel layout.
	const AudioConfiguration& config = m_this->configuration();
	if (!clip || clip->bitsPerSample() != config.bitsPerSample || clip->channels() > config.channels)
		return -1;
	return m_this->mixer().playClip(clip, volume, loop, track);
}

void AudioOutput::stopClip(AudioClip* clip) { m_this->mixer().stopClip(clip); }
void AudioOutput::stopClips() { m_this->mixer().stopClips(); }
bool AudioOutput::isClipPlaying(AudioClip* clip) { return m_this->mixer().isClipPlaying(clip); }
bool AudioOutput::isClipPlaying(int id) { return m_this->mixer().isClipPlaying(id); }
void AudioOutput::setClipVolume(int id, float volume) { m_this->mixer().setClipVolume(id, volume); }
void AudioOutput::setTrackVolume(float volume, int track) { m_this->mixer().setTrackVolume(volume, track); }
float AudioOutput::getTrackVolume(int track) const { return m_this->mixer().getTrackVolume(track); }
void AudioOutput::setClipCountLimit(int track, int count) { m_this->mixer().setClipCountLimit(track, count); }
}
