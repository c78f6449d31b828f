#include <audio/AudioMixer.h>
#include <lang/Exception.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio
{
class AudioMixer::Lock
{
public:
	explicit Lock(lang::Mutex& m) : m_mutex(m) { m_mutex.lock(); }
	~Lock() { m_mutex.unlock(); }
	Lock(const Lock&) = delete;
	Lock& operator=(const Lock&) = delete;

private:
	lang::Mutex& m_mutex;
};

int AudioClipInstance::fetchData(void* buffer, int bytes)
{
	char* out = static_cast<char*>(buffer);
	int filled = 0;
	bool fromStart = false;
	for (;;)
	{
		const int n = clip->getData(out + filled, bytes - filled, cursor);
		filled += n;
		if (n == 0)
		{
			// A looping clip with nothing even from its start would wrap forever.
			if (!loop || fromStart)
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
		if (!loop || filled >= bytes)
			return filled;
	}
}

AudioMixer::AudioMixer() : m_nextId(0), m_running(false)
{
	for (int i = 0; i < TRACK_COUNT; ++i)
	{
		m_trackVolumes[i].store(1.f, std::memory_order_relaxed);
		m_clipCountLimits[i].store(-1, std::memory_order_relaxed);
	}
}

AudioMixer::~AudioMixer()
{
	Lock lock(m_mutex);
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

	Lock lock(m_mutex);
	deleteReleased();
	inst->id = m_nextId++;
	m_queue.push_back(inst);
	return inst->id;
}

int AudioMixer::getPlayingClipCount(int track)
{
	checkTrack(track);
	Lock lock(m_mutex);
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
	Lock lock(m_mutex);
	deleteReleased();
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (inst->clip.ptr() == clip && !inst->ended.load(std::memory_order_relaxed))
				return true;
	return false;
}

bool AudioMixer::isClipPlaying(int id)
{
	Lock lock(m_mutex);
	deleteReleased();
	for (const std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (const AudioClipInstance* inst : *list)
			if (inst->id == id && !inst->ended.load(std::memory_order_relaxed))
				return true;
	return false;
}

void AudioMixer::stopClip(AudioClip* clip)
{
	Lock lock(m_mutex);
	deleteReleased();
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (AudioClipInstance* inst : *list)
			if (inst->clip.ptr() == clip)
				inst->ended.store(true, std::memory_order_relaxed);
}

void AudioMixer::stopClips()
{
	Lock lock(m_mutex);
	deleteReleased();
	for (std::vector<AudioClipInstance*>* list : {&m_playing, &m_queue})
		for (AudioClipInstance* inst : *list)
			inst->ended.store(true, std::memory_order_relaxed);
}

void AudioMixer::setClipVolume(int id, float volume)
{
	const float v = clipVolume(volume);
	Lock lock(m_mutex);
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
	Lock lock(m_mutex);
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

int AudioMixer::fetch(AudioClipInstance* inst, unsigned bytes)
{
	if (m_scratch.size() * 2 < bytes)
		m_scratch.resize((bytes + 1) / 2);
	return inst->fetchData(m_scratch.data(), int(bytes));
}

void AudioMixer::mixUnlimited16(const AudioConfiguration& config, void* out, unsigned bytes)
{
	const unsigned samples = bytes / 2;
	m_accumulator.resize(samples);
	std::fill(m_accumulator.begin(), m_accumulator.end(), 0);
	flushQueueAndRemoveEndedClips();

	int* acc = m_accumulator.data();
	for (AudioClipInstance* inst : m_playing)
	{
		if (inst->ended.load(std::memory_order_relaxed))
			continue;
		const float volume = inst->volume.load(std::memory_order_relaxed) *
			m_trackVolumes[inst->track].load(std::memory_order_relaxed);
		const int gain = int(volume * 4096.0f);
		const bool monoOnStereo = config.channels == 2 && inst->clip->channels() == 1;
		const int got = fetch(inst, monoOnStereo ? bytes / 2 : bytes);
		if (gain < 1)
			continue;
		const int16_t* s = m_scratch.data();
		const int count = got / 2;
		if (monoOnStereo)
		{
			for (int i = 0; i < count; ++i)
			{
				const int v = (s[i] * gain) >> 12;
				acc[2 * i] += v;
				acc[2 * i + 1] += v;
			}
		}
		else
		{
			for (int i = 0; i < count; ++i)
				acc[i] += (s[i] * gain) >> 12;
		}
	}

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
	flushQueueAndRemoveEndedClips();

	int* acc = m_accumulator.data();
	for (AudioClipInstance* inst : m_playing)
	{
		if (inst->ended.load(std::memory_order_relaxed))
			continue;
		const float volume = inst->volume.load(std::memory_order_relaxed) *
			m_trackVolumes[inst->track].load(std::memory_order_relaxed);
		const int gain = int(volume * 256.0f);
		const bool monoOnStereo = config.channels == 2 && inst->clip->channels() == 1;
		const int got = fetch(inst, monoOnStereo ? bytes / 2 : bytes);
		if (gain < 1)
			continue;
		// Byte pointers may alias anything: promise they do not, so the loops vectorise.
		const unsigned char* __restrict s = reinterpret_cast<const unsigned char*>(m_scratch.data());
		int* __restrict a = acc;
		if (monoOnStereo)
		{
			for (int i = 0; i < got; ++i)
			{
				const int v = ((int(s[i]) - 128) * gain) >> 8;
				a[2 * i] += v;
				a[2 * i + 1] += v;
			}
		}
		else
		{
			for (int i = 0; i < got; ++i)
				a[i] += ((int(s[i]) - 128) * gain) >> 8;
		}
	}

	unsigned char* o = static_cast<unsigned char*>(out);
	for (unsigned i = 0; i < bytes; ++i)
		o[i] = static_cast<unsigned char>(std::min(255, std::max(0, acc[i] + 128)));
}
}
