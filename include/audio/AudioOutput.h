#ifndef AUDIO_AUDIOOUTPUT_H
#define AUDIO_AUDIOOUTPUT_H

#include <audio/AudioClip.h>
#include <audio/AudioConfiguration.h>
#include <lang/Object.h>
#include <lang/Ptr.h>

namespace audio
{
class AudioOutputImpl;

/** The engine's sound output: a software mixer streamed through OpenAL by a mixing thread. */
class AudioOutput : public lang::Object
{
public:
	/** Throws lang::Exception for an unsupported channel count, sample width or rate. */
	explicit AudioOutput(const AudioConfiguration& config);
	~AudioOutput() override;

	/** Always true; without a sound device the mix goes to a silent sink at real-time pace. */
	bool startOutput();
	void stopOutput();
	bool isStarted() const;

	void setMasterVolume(float volume);
	/** What was set; -1 before the first set or start. */
	float getMasterVolume() const;

	/** The instance id, or -1 when refused (stopped, track limit, or a clip of another sample width or more channels). */
	int playClip(AudioClip* clip, float volume, bool loop, int track);
	void stopClip(AudioClip* clip);
	void stopClips();
	bool isClipPlaying(AudioClip* clip);
	bool isClipPlaying(int id);
	void setClipVolume(int id, float volume);

	void setTrackVolume(float volume, int track);
	float getTrackVolume(int track) const;
	void setClipCountLimit(int track, int count);

private:
	lang::Ptr<AudioOutputImpl> m_this;
};
}

#endif
