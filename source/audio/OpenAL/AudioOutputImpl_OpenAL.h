#ifndef AUDIO_AUDIOOUTPUTIMPL_OPENAL_H
#define AUDIO_AUDIOOUTPUTIMPL_OPENAL_H

#include <audio/AudioConfiguration.h>
#include <audio/AudioMixer.h>
#include <lang/Mutex.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <lang/Thread.h>
#include <AL/al.h>
#include <AL/alc.h>
#include <atomic>
#include <cstdint>
#include <vector>

namespace audio
{
/**
 * Streams the mixer through one OpenAL source fed by a ring of buffers
 * that a mixing thread refills, sleeping while nothing plays (threading
 * contract beside threadFunc). Without a sound device the mixing thread
 * consumes the mix at real-time pace, so clips still end on time.
 */
class AudioOutputImpl : public lang::Object
{
public:
	enum { BUFFER_COUNT = 6 };

	/** Throws lang::Exception for an unsupported configuration, before any OpenAL call. */
	explicit AudioOutputImpl(const AudioConfiguration& config);
	~AudioOutputImpl() override;

	AudioOutputImpl(const AudioOutputImpl&) = delete;
	AudioOutputImpl& operator=(const AudioOutputImpl&) = delete;

	bool startOutput();
	void stopOutput();
	bool isStarted() const { return m_started.load(std::memory_order_relaxed); }

	void setMasterVolume(float volume);
	float getMasterVolume() const { return m_masterVolume.load(std::memory_order_relaxed); }

	AudioMixer& mixer() { return m_mixer; }
	const AudioConfiguration& configuration() const { return m_config; }
	int bufferSize() const { return m_bufferSize; }
	/** False when no OpenAL device could be opened: the mix goes to a silent sink. */
	bool hasDevice() const { return m_context != nullptr; }

	/**
	 * Interruption entry of the platform: state 1 stops, state 0 starts the
	 * newest output still alive; the user data is not trusted, since the
	 * output it named may have been replaced and destroyed.
	 */
	static void interruptionListenerCallback(void* userData, unsigned long state);

	/** Outputs started and not stopped. */
	static std::atomic<int> s_outputStartedCount;

private:
	AudioConfiguration m_config;
	AudioMixer m_mixer;
	lang::Ptr<lang::Thread> m_thread;
	lang::Mutex m_mutex;
	ALCdevice* m_device;
	ALCcontext* m_context;
	ALuint m_buffers[BUFFER_COUNT];
	ALuint m_source;
	ALenum m_format;
	std::atomic<float> m_masterVolume;
	float m_minGain;
	float m_maxGain;
	int m_bufferSize;
	std::vector<unsigned char> m_staging;
	std::atomic<bool> m_started;
	// Mixing thread only: the ring was left to run dry because nothing played.
	bool m_drained = false;

	void threadFunc();
	// Refills what has played; the microseconds to sleep before the next turn, -1 until woken.
	int64_t fillBuffer();
	// One buffer's playing time.
	int64_t bufferMicros() const;
	void runSilentSink();
	void mixBuffer();
	void applyGain();
	bool checkAL(const char* what) const;
};
}

#endif
