#ifndef AUDIO_AUDIOINPUTIMPL_DUMMY_H
#define AUDIO_AUDIOINPUTIMPL_DUMMY_H

#include <audio/AudioConfiguration.h>
#include <lang/Mutex.h>
#include <lang/Object.h>

namespace audio
{
/** Recording back end of a platform without one: validates its layout and records nothing. */
class AudioInputImpl : public lang::Object
{
public:
	explicit AudioInputImpl(const AudioConfiguration& config);

	bool startInput() { return true; }
	void stopInput() {}

private:
	AudioConfiguration m_config;
	lang::Mutex m_bufferMutex;
	lang::Mutex m_stateMutex;
	bool m_started;
};
}

#endif
