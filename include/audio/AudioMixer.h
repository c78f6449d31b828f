#ifndef AUDIO_AUDIOMIXER_H
#define AUDIO_AUDIOMIXER_H

#include <audio/AudioClip.h>
#include <audio/AudioClipCursor.h>
#include <audio/AudioConfiguration.h>
#include <lang/Mutex.h>
#include <lang/Object.h>
#include <lang/Ptr.h>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace audio
{
/**
 * One playing instance of a clip. Created and destroyed on the game thread
 * only; the mixing thread handles it by pointer, so it never takes or drops
 * a reference to the clip (the last release must not run a clip's
 * destructor there). Fields the game thread changes while it is mixed are
 * atomic.
 */
class AudioClipInstance
{
public:
	AudioClipInstance() : volume(0.f), id(0), track(0), loop(false), ended(false) {}
	AudioClipInstance(const AudioClipInstance&) = delete;
	AudioClipInstance& operator=(const AudioClipInstance&) = delete;

	/**
	 * Reads the clip at the cursor into buffer. A looping instance wraps to
	 * the start until the buffer is full; a non-looping one reads once and
	 * is ended when its clip has nothing left. A looping clip that gives
	 * nothing from its start ends too, rather than spinning.
	 */
	int fetchData(void* buffer, int bytes);

	lang::Ptr<AudioClip> clip;
	lang::Ptr<AudioClipCursor> cursor;
	std::atomic<float> volume;
	int id;
	int track;
	bool loop;
	std::atomic<bool> ended;
};

/**
 * Sums the playing clip instances of eight tracks into one buffer of the
 * output's format. The game thread queues, stops and re-volumes instances;
 * the mixing thread takes the queue over at the start of every buffer.
 */
class AudioMixer : public lang::Object
{
public:
	enum { TRACK_COUNT = 8 };
	/** Volumes given to playClip and setClipVolume count up to this factor. */
	static constexpr float MAX_CLIP_VOLUME = 16.f;

	AudioMixer();
	~AudioMixer() override;

	AudioMixer(const AudioMixer&) = delete;
	AudioMixer& operator=(const AudioMixer&) = delete;

	void start() { m_running.store(true, std::memory_order_relaxed); }
	void stop() { m_running.store(false, std::memory_order_relaxed); }
	bool isRunning() const { return m_running.load(std::memory_order_relaxed); }

	/** The new instance's id, or -1 when the mixer is not running or the track is at its limit. */
	int playClip(AudioClip* clip, float volume, bool loop, int track);
	/** Instances of the track that are queued or playing and not ended. */
	int getPlayingClipCount(int track);
	bool isClipPlaying(AudioClip* clip);
	bool isClipPlaying(int id);
	/** Marks every instance of the clip ended; they leave at the next buffer. */
	void stopClip(AudioClip* clip);
	void stopClips();
	/** Unknown ids are ignored. */
	void setClipVolume(int id, float volume);

	/** Stored clamped to 0..1. */
	void setTrackVolume(float volume, int track);
	float getTrackVolume(int track) const;
	/** A negative count means no limit; instances already playing go on. */
	void setClipCountLimit(int track, int count);

	/** Mixing thread: moves queued instances to the playing list and ended ones to the release list. */
	void flushQueueAndRemoveEndedClips();

	/** True when an instance is queued or playing and not ended: the next buffer has something to mix. */
	bool hasWork();
	/**
	 * Mixing thread: sleeps up to micros microseconds, or until woken when micros is negative.
	 * playClip and wake end the sleep at once; a wake that came while the thread was busy ends
	 * its next sleep at once, so none is lost.
	 */
	void waitForWork(int64_t micros);
	/** Ends the mixing thread's current or next waitForWork (the output calls it when it stops). */
	void wake();

	/** Fills bytes bytes of 16-bit signed samples. */
	void mixUnlimited16(const AudioConfiguration& config, void* out, unsigned bytes);
	/** Fills bytes bytes of 8-bit unsigned samples (128 is silence). */
	void mixUnlimited8(const AudioConfiguration& config, void* out, unsigned bytes);

private:
	lang::Mutex m_mutex;
	std::atomic<float> m_trackVolumes[TRACK_COUNT];
	std::atomic<int> m_clipCountLimits[TRACK_COUNT];
	std::vector<int16_t> m_scratch;
	std::vector<int> m_accumulator;
	std::vector<AudioClipInstance*> m_playing;
	std::vector<AudioClipInstance*> m_queue;
	// Ended instances the mixing thread has let go of; the game thread deletes them.
	std::vector<AudioClipInstance*> m_released;
	int m_nextId;
	std::atomic<bool> m_running;
	// The mixing thread's sleep; apart from m_mutex so that waking never waits for a mix.
	std::mutex m_wakeMutex;
	std::condition_variable m_wakeCondition;
	bool m_wakePending;

	static void checkTrack(int track);
	static float clipVolume(float volume);
	// Game thread, under the lock: deletes what the mixing thread let go of.
	void deleteReleased();
	// Flushes, then adds every playing instance to the accumulator.
	void mixInstances(const AudioConfiguration& config, unsigned bytes, bool sixteenBit);
	// Fetches one instance's PCM for an output buffer of bytes into the scratch buffer; bytes fetched.
	// Gives the instance's gain (unity = 1.0) and whether a mono clip feeds a stereo output.
	int fetch(AudioClipInstance* inst, const AudioConfiguration& config, unsigned bytes, float unity, int& gain,
		bool& monoOnStereo);
};
}

#endif
