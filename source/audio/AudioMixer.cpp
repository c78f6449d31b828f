#include <audio/AudioMixer.h>
#include "MutexLock.h"
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace audio
{
int AudioClipInstance::fetchData(void* buffer, int bytes)
{
	char* out = static_cast<char*>(buffer);
	int filled = 0;
	bool first = true;
	bool fromStart = false;
	for (;;)
	{
		const int n = clip->getData(out + filled, bytes - filled, cursor);
		filled += n;
		if (n == 0)
		{
			// Ends in the first buffer that gets nothing at all, whatever the clip gave before.
			if (!loop)
			{
				if (first)
					ended.store(true, std::memory_order_relaxed);
				return filled;
			}
			// A looping clip with nothing even from its start would wrap forever.
			if (fromStart)
			{
				ended.store(true, std::memory_order_relaxed);
				return filled;
			}
			cursor->offset = 0;
			cursor->part = 0;
			fromStart = true;
		}
		else
			fromStart = false;
		first = false;
		// A short read is a composite clip's part boundary or the clip's end: read on, so that
		// the next part follows without a gap.
		if (filled >= bytes)
			return filled;
	}
}

AudioMixer::AudioMixer() : m_nextId(0), m_running(false), m_wakePending(false)
{
	for (int i = 0; i < TRACK_COUNT; ++i)
	{
		m_trackVolumes[i].store(1.f, std::memory_order_relaxed);
		m_clipCountLimits[i].store(-1, std::memory_order_relaxed);
	}
}

AudioMixer::~AudioMixer()
{
	MutexLock lock(m_mutex);
	m_running.store(false, std::memory_order_relaxed);
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue, &m_released})
	{
		for (AudioClipInstance* inst : *list)
			delete inst;
		list->clear();
	}
}

void AudioMixer::checkTrack(int track)
{
	if (track < 0 || track >= TRACK_COUNT)
		lang::throwError(lang::Exception(lang::Format("Track {0} out of bounds! Range [0-{1}]", track, TRACK_COUNT - 1)));
}

float AudioMixer::clipVolume(float volume)
{
	// Keeps the fixed-point gain defined for any input.
	if (!(volume > 0.f))
		return 0.f;
	return std::min(volume, MAX_CLIP_VOLUME);
}

void AudioMixer::deleteReleased()
{
	for (AudioClipInstance* inst : m_released)
		delete inst;
	m_released.clear();
}

int AudioMixer::playClip(AudioClip* clip, float volume, bool loop, int track)
{
	if (!clip || !isRunning())
		return -1;
	const int playing = getPlayingClipCount(track);
	const unsigned limit = unsigned(m_clipCountLimits[track].load(std::memory_order_relaxed));
	if (unsigned(playing) >= limit)
		return -1;

	AudioClipInstance* inst = new AudioClipInstance;
	inst->clip = clip;
	inst->cursor = new AudioClipCursor;
	inst->volume.store(clipVolume(volume), std::memory_order_relaxed);
	inst->track = track;
	inst->loop = loop;

	int id;
	{
		MutexLock lock(m_mutex);
		deleteReleased();
		id = inst->id = m_nextId++;
		m_queue.push_back(inst);
	}
	wake();
	return id;
}

bool AudioMixer::hasWork()
{
	MutexLock lock(m_mutex);
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (!inst->ended.load(std::memory_order_relaxed))
				return true;
	return false;
}

void AudioMixer::waitForWork(int64_t micros)
{
	std::unique_lock<std::mutex> lock(m_wakeMutex);
	if (micros < 0)
		m_wakeCondition.wait(lock, [this] { return m_wakePending; });
	else if (micros > 0)
		m_wakeCondition.wait_for(lock, std::chrono::microseconds(micros), [this] { return m_wakePending; });
	m_wakePending = false;
}

void AudioMixer::wake()
{
	{
		std::lock_guard<std::mutex> lock(m_wakeMutex);
		m_wakePending = true;
	}
	m_wakeCondition.notify_one();
}

int AudioMixer::getPlayingClipCount(int track)
{
	checkTrack(track);
	MutexLock lock(m_mutex);
	deleteReleased();
	int count = 0;
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (inst->track == track && !inst->ended.load(std::memory_order_relaxed))
				++count;
	return count;
}

bool AudioMixer::isClipPlaying(AudioClip* clip)
{
	MutexLock lock(m_mutex);
	deleteReleased();
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (inst->clip.ptr() == clip && !inst->ended.load(std::memory_order_relaxed))
				return true;
	return false;
}

bool AudioMixer::isClipPlaying(int id)
{
	MutexLock lock(m_mutex);
	deleteReleased();
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (inst->id == id && !inst->ended.load(std::memory_order_relaxed))
				return true;
	return false;
}

void AudioMixer::stopClip(AudioClip* clip)
{
	MutexLock lock(m_mutex);
	deleteReleased();
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (AudioClipInstance* inst : *list)
			if (inst->clip.ptr() == clip)
				inst->ended.store(true, std::memory_order_relaxed);
}

void AudioMixer::stopClips()
{
	MutexLock lock(m_mutex);
	deleteReleased();
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (AudioClipInstance* inst : *list)
			inst->ended.store(true, std::memory_order_relaxed);
}

void AudioMixer::setClipVolume(int id, float volume)
{
	const float v = clipVolume(volume);
	MutexLock lock(m_mutex);
	deleteReleased();
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (AudioClipInstance* inst : *list)
			if (inst->id == id)
				inst->volume.store(v, std::memory_order_relaxed);
}

void AudioMixer::setTrackVolume(float volume, int track)
{
	checkTrack(track);
	const float v = volume > 1.f ? 1.f : (volume > 0.f ? volume : 0.f);
	m_trackVolumes[track].store(v, std::memory_order_relaxed);
}

float AudioMixer::getTrackVolume(int track) const
{
	checkTrack(track);
	return m_trackVolumes[track].load(std::memory_order_relaxed);
}

void AudioMixer::setClipCountLimit(int track, int count)
{
	checkTrack(track);
	m_clipCountLimits[track].store(count < 0 ? -1 : count, std::memory_order_relaxed);
}

void AudioMixer::flushQueueAndRemoveEndedClips()
{
	MutexLock lock(m_mutex);
	m_playing.insert(m_playing.end(), m_queue.begin(), m_queue.end());
	m_queue.clear();
	// Ended instances keep their clip's last reference: only the game thread may drop it.
	size_t kept = 0;
	for (AudioClipInstance* inst : m_playing)
	{
		if (inst->ended.load(std::memory_order_relaxed))
			m_released.push_back(inst);
		else
			m_playing[kept++] = inst;
	}
	m_playing.resize(kept);
}

int AudioMixer::fetch(AudioClipInstance* inst, const AudioConfiguration& config, unsigned bytes, float unity, int& gain,
	bool& monoOnStereo)
{
	const float volume =
		inst->volume.load(std::memory_order_relaxed) * m_trackVolumes[inst->track].load(std::memory_order_relaxed);
	gain = int(volume * unity);
	monoOnStereo = config.channels == 2 && inst->clip->channels() == 1;
	if (monoOnStereo)
		bytes /= 2;
	if (m_scratch.size() * 2 < bytes)
		m_scratch.resize((bytes + 1) / 2);
	return inst->fetchData(m_scratch.data(), int(bytes));
}

namespace
{
// Adds one instance's samples, scaled by a fixed-point gain, to the accumulator.
template <class Sample, int SHIFT, int BIAS>
void accumulate(const Sample* __restrict s, int count, int gain, bool monoOnStereo, int* __restrict acc)
{
	if (monoOnStereo)
	{
		for (int i = 0; i < count; ++i)
		{
			const int v = ((int(s[i]) - BIAS) * gain) >> SHIFT;
			acc[2 * i] += v;
			acc[2 * i + 1] += v;
		}
	}
	else
	{
		for (int i = 0; i < count; ++i)
			acc[i] += ((int(s[i]) - BIAS) * gain) >> SHIFT;
	}
}
}

void AudioMixer::mixInstances(const AudioConfiguration& config, unsigned bytes, bool sixteenBit)
{
	flushQueueAndRemoveEndedClips();
	for (AudioClipInstance* inst : m_playing)
	{
		if (inst->ended.load(std::memory_order_relaxed))
			continue;
		int gain = 0;
		bool monoOnStereo = false;
		// The cursor advances even when nothing is heard.
		const int got = fetch(inst, config, bytes, sixteenBit ? 4096.0f : 256.0f, gain, monoOnStereo);
		if (gain < 1)
			continue;
		if (sixteenBit)
			accumulate<int16_t, 12, 0>(m_scratch.data(), got / 2, gain, monoOnStereo, m_accumulator.data());
		else
			accumulate<uint8_t, 8, 128>(reinterpret_cast<const uint8_t*>(m_scratch.data()), got, gain, monoOnStereo,
				m_accumulator.data());
	}
}

void AudioMixer::mixUnlimited16(const AudioConfiguration& config, void* out, unsigned bytes)
{
	const unsigned samples = bytes / 2;
	m_accumulator.resize(samples);
	std::fill(m_accumulator.begin(), m_accumulator.end(), 0);
	mixInstances(config, bytes, true);

	const int* acc = m_accumulator.data();
	unsigned char* o = static_cast<unsigned char*>(out);
	for (unsigned i = 0; i < samples; ++i)
	{
		const int16_t v = int16_t(std::min(32767, std::max(-32768, acc[i])));
		std::memcpy(o + 2 * i, &v, 2);
	}
}

void AudioMixer::mixUnlimited8(const AudioConfiguration& config, void* out, unsigned bytes)
{
	if (m_accumulator.size() < bytes)
		m_accumulator.resize(bytes);
	std::fill(m_accumulator.begin(), m_accumulator.begin() + bytes, 0);
	mixInstances(config, bytes, false);

	const int* acc = m_accumulator.data();
	unsigned char* o = static_cast<unsigned char*>(out);
	for (unsigned i = 0; i < bytes; ++i)
		o[i] = static_cast<unsigned char>(std::min(255, std::max(0, acc[i] + 128)));
}
}
