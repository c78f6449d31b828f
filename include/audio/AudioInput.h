#ifndef AUDIO_AUDIOINPUT_H
#define AUDIO_AUDIOINPUT_H

#include <audio/AudioConfiguration.h>
#include <lang/Object.h>
#include <lang/Ptr.h>

namespace audio
{
class AudioInputImpl;

/** Sound input; this platform has no recording back end, so it validates and records nothing. */
class AudioInput : public lang::Object
{
public:
	/** Throws lang::Exception for an unsupported channel count, sample width or rate. */
	explicit AudioInput(const AudioConfiguration& config);
	~AudioInput() override;

	bool startInput();
	void stopInput();

private:
	lang::Ptr<AudioInputImpl> m_this;
};
}

#endif
