#include "AudioOutputImpl_OpenAL.h"
#include "../ConfigurationCheck.h"
#include "../MutexLock.h"
#include <lang/Debug.h>
#include <lang/Func1.h>
#include <lang/Functor.h>
#include <lang/System.h>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <vector>

namespace audio
{
std::atomic<int> AudioOutputImpl::s_outputStartedCount{0};

namespace
{
// The output interruptions go to: the newest one alive.
std::mutex s_newestMutex;
AudioOutputImpl* s_newest = nullptr;

// OpenAL's current context is one per process; a thread context lets several outputs live side by side.
typedef ALCboolean(ALC_APIENTRY* SetThreadContext)(ALCcontext*);
typedef ALCcontext*(ALC_APIENTRY* GetThreadContext)();
SetThreadContext s_setThreadContext = nullptr;
GetThreadContext s_getThreadContext = nullptr;

void loadThreadContextCalls()
{
	static std::once_flag once;
	std::call_once(once, [] {
		if (!alcIsExtensionPresent(nullptr, "ALC_EXT_thread_local_context"))
			return;
		s_setThreadContext = reinterpret_cast<SetThreadContext>(alcGetProcAddress(nullptr, "alcSetThreadContext"));
		s_getThreadContext = reinterpret_cast<GetThreadContext>(alcGetProcAddress(nullptr, "alcGetThreadContext"));
		if (!s_setThreadContext || !s_getThreadContext)
			s_setThreadContext = nullptr;
	});
}

void setThreadContext(ALCcontext* context)
{
	if (s_setThreadContext)
		s_setThreadContext(context);
}

// alsa-lib, reached at run time: the engine does not link it, OpenAL Soft loads it when it tries ALSA.
typedef void (*AlsaErrorHandler)(const char* file, int line, const char* function, int err, const char* fmt, ...);
typedef int (*AlsaSetErrorHandler)(AlsaErrorHandler handler);
typedef int (*AlsaCardNext)(int* card);

void* alsaCall(const char* name)
{
	static void* const library = dlopen("libasound.so.2", RTLD_LAZY);
	return library ? dlsym(library, name) : nullptr;
}

thread_local std::vector<std::string>* t_alsaLines = nullptr;

// As alsa-lib's own handler words it, kept back until the open has shown whether it matters.
void collectAlsaError(const char* file, int line, const char* function, int err, const char* fmt, ...)
{
	char text[512];
	va_list args;
	va_start(args, fmt);
	std::vsnprintf(text, sizeof(text), fmt, args);
	va_end(args);
	std::string entry = std::string("ALSA lib ") + file + ":" + std::to_string(line) + ":(" + function + ") " + text;
	if (err)
		entry += std::string(": ") + std::strerror(err < 0 ? -err : err);
	if (t_alsaLines)
		t_alsaLines->push_back(entry);
}

/**
 * Opens the default device. Without a sound card the open fails with alsa-lib's and OpenAL Soft's
 * complaints on the terminal before the engine's own line about its silent sink: alsa-lib's lines
 * are held back and shown only when a device opened after all, and OpenAL Soft's log is quiet on a
 * machine without a card unless the user chose a level.
 */
ALCdevice* openDefaultDevice()
{
	static std::once_flag once;
	std::call_once(once, [] {
		const AlsaCardNext cardNext = reinterpret_cast<AlsaCardNext>(alsaCall("snd_card_next"));
		int card = -1;
		if (cardNext && cardNext(&card) == 0 && card < 0 && !std::getenv("ALSOFT_LOGLEVEL"))
			setenv("ALSOFT_LOGLEVEL", "0", 0);
	});
	const AlsaSetErrorHandler setHandler = reinterpret_cast<AlsaSetErrorHandler>(alsaCall("snd_lib_error_set_handler"));
	std::vector<std::string> lines;
	if (setHandler)
	{
		t_alsaLines = &lines;
		setHandler(&collectAlsaError);
	}
	ALCdevice* device = alcOpenDevice(nullptr);
	if (setHandler)
	{
		// Back to alsa-lib's own.
		setHandler(nullptr);
		t_alsaLines = nullptr;
	}
	if (device)
	{
		for (const std::string& line : lines)
			std::fprintf(stderr, "%s\n", line.c_str());
	}
	return device;
}
}

AudioOutputImpl::AudioOutputImpl(const AudioConfiguration& config) :
	m_config(config), m_device(nullptr), m_context(nullptr), m_buffers(), m_source(0), m_format(0), m_masterVolume(-1.f),
	m_minGain(0.f), m_maxGain(1.f), m_bufferSize(0), m_started(false)
{
	checkConfiguration(config, "AudioOutput");

	m_device = openDefaultDevice();
	loadThreadContextCalls();
	if (m_device)
	{
		m_context = alcCreateContext(m_device, nullptr);
		if (!m_context)
			lang::Debug::printf("AudioOutput: creating the OpenAL context failed (0x%x)\n", unsigned(alcGetError(m_device)));
	}
	if (!m_context)
		lang::Debug::printf("AudioOutput: no OpenAL device; mixing into a silent sink\n");

	if (config.channels == 1)
		m_format = config.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
	else
		m_format = config.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;

	// About 25 ms of whole frames, rounded up to a power of two.
	const int blockAlign = config.bitsPerSample / 8 * config.channels;
	int size = blockAlign * config.samplesPerSecond / 40;
	size = (size + blockAlign - 1) / blockAlign * blockAlign;
	int pow2 = 1;
	while (pow2 < size)
		pow2 <<= 1;
	m_bufferSize = pow2;
	m_staging.resize(size_t(m_bufferSize));

	std::lock_guard<std::mutex> lock(s_newestMutex);
	s_newest = this;
}

AudioOutputImpl::~AudioOutputImpl()
{
	{
		std::lock_guard<std::mutex> lock(s_newestMutex);
		if (s_newest == this)
			s_newest = nullptr;
	}
	stopOutput();
	if (m_context)
	{
		if (s_setThreadContext && s_getThreadContext() == m_context)
			s_setThreadContext(nullptr);
		if (alcGetCurrentContext() == m_context)
			alcMakeContextCurrent(nullptr);
		alcDestroyContext(m_context);
	}
	if (m_device)
		alcCloseDevice(m_device);
}

bool AudioOutputImpl::checkAL(const char* what) const
{
	const ALenum err = alGetError();
	if (err == AL_NO_ERROR)
		return true;
	lang::Debug::printf("AudioOutput: OpenAL error 0x%x after %s\n", unsigned(err), what);
	return false;
}

void AudioOutputImpl::mixBuffer()
{
	if (m_config.bitsPerSample == 16)
		m_mixer.mixUnlimited16(m_config, m_staging.data(), unsigned(m_bufferSize));
	else
		m_mixer.mixUnlimited8(m_config, m_staging.data(), unsigned(m_bufferSize));
}

void AudioOutputImpl::applyGain()
{
	// OpenAL refuses a gain outside the source's range, and NaN.
	float gain = m_masterVolume.load(std::memory_order_relaxed);
	if (!(gain >= m_minGain))
		gain = m_minGain;
	if (gain > m_maxGain)
		gain = m_maxGain;
	alSourcef(m_source, AL_GAIN, gain);
	checkAL("alSourcef(AL_GAIN)");
}

bool AudioOutputImpl::startOutput()
{
	MutexLock lock(m_mutex);
	if (isStarted())
		return true;
	m_started.store(true, std::memory_order_relaxed);
	++s_outputStartedCount;
	m_drained = false;
	m_mixer.start();

	if (m_context)
	{
		alcMakeContextCurrent(m_context);
		setThreadContext(m_context);
		alcProcessContext(m_context);
		alGenBuffers(BUFFER_COUNT, m_buffers);
		checkAL("alGenBuffers");
		alGenSources(1, &m_source);
		checkAL("alGenSources");
		alGetSourcef(m_source, AL_MIN_GAIN, &m_minGain);
		alGetSourcef(m_source, AL_MAX_GAIN, &m_maxGain);
		checkAL("alGetSourcef");
	}
	if (getMasterVolume() == -1.f)
		m_masterVolume.store(m_maxGain, std::memory_order_relaxed);

	if (m_context)
	{
		alSource3f(m_source, AL_POSITION, 0.f, 0.f, 0.f);
		alSource3f(m_source, AL_VELOCITY, 0.f, 0.f, 0.f);
		alSource3f(m_source, AL_DIRECTION, 0.f, 0.f, 0.f);
		alSourcef(m_source, AL_ROLLOFF_FACTOR, 0.f);
		alSourcei(m_source, AL_SOURCE_RELATIVE, AL_TRUE);
		checkAL("alSource setup");
		applyGain();
		for (ALuint buffer : m_buffers)
		{
			mixBuffer();
			alBufferData(buffer, m_format, m_staging.data(), m_bufferSize, m_config.samplesPerSecond);
			checkAL("alBufferData");
		}
		ALint queued = 0, processed = 0;
		alGetSourcei(m_source, AL_BUFFERS_QUEUED, &queued);
		alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
		if (queued != 0 || processed != 0)
			lang::Debug::printf("AudioOutput: new source reports %d queued, %d processed buffers\n", int(queued), int(processed));
		alSourceQueueBuffers(m_source, BUFFER_COUNT, m_buffers);
		checkAL("alSourceQueueBuffers");
		alSourcePlay(m_source);
		checkAL("alSourcePlay");
	}
	else
	{
		// The silent sink starts with a full ring too, so clips keep the same timing.
		for (int i = 0; i < BUFFER_COUNT; ++i)
			mixBuffer();
	}

	m_thread = new lang::Thread(
		lang::Functor(new lang::Func1<void, void (AudioOutputImpl::*)(), AudioOutputImpl*>(&AudioOutputImpl::threadFunc, this)),
		true);
	m_thread->setPriority(m_thread->priority() + 5);
	return true;
}

void AudioOutputImpl::stopOutput()
{
	MutexLock lock(m_mutex);
	if (!isStarted())
		return;
	m_started.store(false, std::memory_order_relaxed);
	--s_outputStartedCount;
	// Wakes the mixing thread and joins it; it ends at its next turn.
	m_mixer.wake();
	m_thread = nullptr;

	if (m_context)
	{
		setThreadContext(m_context);
		alSourceStop(m_source);
		checkAL("alSourceStop");
		ALint state = AL_PLAYING;
		for (int i = 0; i < 1000; ++i)
		{
			alGetSourcei(m_source, AL_SOURCE_STATE, &state);
			if (state != AL_PLAYING || !checkAL("alGetSourcei(AL_SOURCE_STATE)"))
				break;
			lang::Thread::sleep(1);
		}
		alSourcei(m_source, AL_BUFFER, 0);
		alDeleteSources(1, &m_source);
		alDeleteBuffers(BUFFER_COUNT, m_buffers);
		checkAL("deleting the source and buffers");
		m_source = 0;
	}
	m_mixer.stop();
	if (m_context)
	{
		setThreadContext(nullptr);
		if (alcGetCurrentContext() == m_context)
			alcMakeContextCurrent(nullptr);
		alcSuspendContext(m_context);
	}
}

void AudioOutputImpl::setMasterVolume(float volume)
{
	m_masterVolume.store(volume, std::memory_order_relaxed);
	if (isStarted() && m_context)
	{
		setThreadContext(m_context);
		applyGain();
	}
}

/*
 * The mixing thread. It is the only thread that mixes, uploads and queues
 * buffers once the output has started; the game thread (and the
 * interruption callback) only start and stop it, under m_mutex, and reach
 * the mixer through its own lock. The thread reads m_started without a lock
 * and ends at the first turn after stopOutput cleared it; stopOutput wakes it
 * and joins it before touching the source.
 *
 * It sleeps between turns instead of polling. While nothing plays (no
 * instance queued or playing) it refills nothing: the queued buffers play
 * out, the source stops, and the thread waits on the mixer until playClip
 * queues an instance or stopOutput wakes it. The first refill after that
 * mixes two buffers behind silence for the ones that played out, as a
 * running ring would have them, and plays the source again if it stopped.
 * While something plays it refills as soon as two buffers have played and
 * then sleeps until two more will have played, by the source's position in
 * its queue, leaving four buffers (about 190 ms at 44.1 kHz stereo) between
 * the device and a late wake. Without a device, runSilentSink keeps the same
 * ring by the clock.
 */
void AudioOutputImpl::threadFunc()
{
	// Named for profilers and for the tests that measure its cost.
	pthread_setname_np(pthread_self(), "audio mixer");
	if (!m_context)
	{
		runSilentSink();
		return;
	}
	setThreadContext(m_context);
	while (isStarted())
		m_mixer.waitForWork(fillBuffer());
	setThreadContext(nullptr);
}

int64_t AudioOutputImpl::bufferMicros() const
{
	return int64_t(m_bufferSize) * 1000000 / (int64_t(m_config.bitsPerSample / 8 * m_config.channels) * m_config.samplesPerSecond);
}

int64_t AudioOutputImpl::fillBuffer()
{
	if (!m_mixer.hasWork())
	{
		m_drained = true;
		return -1;
	}
	const bool wasDrained = m_drained;
	m_drained = false;
	ALint processed = 0;
	alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
	if (!checkAL("alGetSourcei(AL_BUFFERS_PROCESSED)"))
		return bufferMicros();
	if (processed > BUFFER_COUNT)
		processed = BUFFER_COUNT;
	if (processed >= 2)
	{
		// A ring left to run (partly) dry while nothing played goes on as a running ring does when it
		// refills: two buffers of new mix behind the four still queued, silence standing in for the ones
		// that played out. Clips keep the timing they have in a running ring, and isClipPlaying turns
		// false when it did.
		const ALint silent = wasDrained ? processed - 2 : 0;
		ALuint buffers[BUFFER_COUNT];
		alSourceUnqueueBuffers(m_source, processed, buffers);
		checkAL("alSourceUnqueueBuffers");
		for (ALint i = 0; i < processed; ++i)
		{
			if (i < silent)
				std::fill(m_staging.begin(), m_staging.end(), m_config.bitsPerSample == 8 ? 128 : 0);
			else
				mixBuffer();
			alBufferData(buffers[i], m_format, m_staging.data(), m_bufferSize, m_config.samplesPerSecond);
			checkAL("alBufferData");
		}
		alSourceQueueBuffers(m_source, processed, buffers);
		checkAL("alSourceQueueBuffers");
		ALint state = AL_PLAYING;
		alGetSourcei(m_source, AL_SOURCE_STATE, &state);
		if (state != AL_PLAYING)
		{
			// The ring ran dry (nothing played, or the thread was late): it starts again full.
			alSourcePlay(m_source);
			checkAL("alSourcePlay");
		}
		alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
	}

	// Until two buffers will have played. The position counts from the first buffer still queued
	// (processed ones included); an implementation counting from the current buffer is allowed for.
	ALint offset = 0;
	alGetSourcei(m_source, AL_SAMPLE_OFFSET, &offset);
	if (!checkAL("alGetSourcei(AL_SAMPLE_OFFSET)"))
		return bufferMicros() / 4;
	const int64_t frames = m_bufferSize / (m_config.bitsPerSample / 8 * m_config.channels);
	int64_t played = offset;
	if (played < int64_t(processed) * frames)
		played += int64_t(processed) * frames;
	const int64_t left = 2 * frames - played;
	// The device reports its position a period at a time: come back a little later rather than spin.
	if (left <= 0)
		return bufferMicros() / 8;
	return left * 1000000 / m_config.samplesPerSecond + 1000;
}

void AudioOutputImpl::runSilentSink()
{
	// Plays the ring as a device would, in real time, with the refills of the device path: two
	// buffers at a time, none while nothing plays. The start queued a full ring.
	const int64_t bufferTime = bufferMicros();
	int64_t start = lang::System::currentTimeMicros();
	int64_t refilled = 0; // buffers taken back and queued again since start
	bool drained = false;
	while (isStarted())
	{
		int64_t wait = -1;
		if (!m_mixer.hasWork())
			drained = true;
		else
		{
			const int64_t now = lang::System::currentTimeMicros();
			const int64_t queued = BUFFER_COUNT + refilled;
			const int64_t played = std::min(queued, (now - start) / bufferTime);
			if (played == queued)
			{
				// Ran dry: a full ring starts again now, the new mix behind four buffers of silence.
				start = now;
				refilled = 0;
				for (int i = 0; i < 2; ++i)
					mixBuffer();
			}
			else if (played - refilled >= 2)
			{
				// After nothing played, only the last two are mixed; silence stands in for the rest.
				for (int64_t i = drained ? played - 2 : refilled; i < played; ++i)
					mixBuffer();
				refilled = played;
			}
			drained = false;
			wait = std::max<int64_t>(start + (refilled + 2) * bufferTime - lang::System::currentTimeMicros(), bufferTime / 8);
		}
		m_mixer.waitForWork(wait);
	}
}

void AudioOutputImpl::interruptionListenerCallback(void*, unsigned long state)
{
	std::lock_guard<std::mutex> lock(s_newestMutex);
	if (!s_newest)
		return;
	if (state == 1)
		s_newest->stopOutput();
	else if (state == 0)
		s_newest->startOutput();
}
}
