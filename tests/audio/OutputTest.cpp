// The OpenAL output and its mixing thread, on OpenAL Soft's null device (set by CTest),
// its wave-file writer, or no device at all. Tests that need a configuration of their own
// run first in their process (CTest runs each test alone).
#include "AudioTestSupport.h"
#include <audio/AudioInput.h>
#include <audio/AudioOutput.h>
#include <io/FileInputStream.h>
#include <lang/Exception.h>
#include <lang/System.h>
#include <lang/Thread.h>
#include "OpenAL/AudioOutputImpl_OpenAL.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <mutex>
#include <random>
#include <thread>
#include <dirent.h>
#include <unistd.h>

using namespace audiotest;
using audio::AudioClip;
using audio::AudioConfiguration;
using audio::AudioOutput;
using audio::AudioOutputImpl;

namespace
{
const AudioConfiguration STEREO16{2, 16, 44100};
bool s_openALUsed = false;

lang::Ptr<AudioOutput> newOutput(const AudioConfiguration& config = STEREO16)
{
	s_openALUsed = true;
	return new AudioOutput(config);
}

lang::Ptr<AudioClip> toneClip(int channels, double seconds, double level = 0.5, double hz = 1000)
{
	const Bytes pcm = tone16(channels, 44100, hz, level, int(seconds * 44100));
	return new AudioClip(nullptr, pcm.data(), int(pcm.size()), AudioConfiguration{channels, 16, 44100});
}

double nowMs()
{
	return double(lang::System::currentTimeMicros()) / 1000.0;
}

/** Milliseconds from now until the instance has ended. */
double msUntilEnded(AudioOutput& out, int id, double limitMs = 5000)
{
	const double start = nowMs();
	while (out.isClipPlaying(id) && nowMs() - start < limitMs)
		lang::Thread::sleep(2);
	return nowMs() - start;
}

std::string configError(const AudioConfiguration& config, bool input)
{
	try
	{
		if (input)
			audio::AudioInput in(config);
		else
			audio::AudioOutput out(config);
	}
	catch (const lang::Exception& e)
	{
		return e.getMessage().format();
	}
	return "";
}

/** Remembers where every read started, from any thread. */
class WatchedClip : public AudioClip
{
public:
	explicit WatchedClip(const Bytes& pcm) : AudioClip(nullptr, pcm.data(), int(pcm.size()), AudioConfiguration{2, 16, 44100}) {}
	int getData(void* buffer, int bytes, audio::AudioClipCursor* cursor) override
	{
		{
			std::lock_guard<std::mutex> lock(mutex);
			offsets.push_back(cursor->offset);
		}
		return AudioClip::getData(buffer, bytes, cursor);
	}
	std::vector<int> reads()
	{
		std::lock_guard<std::mutex> lock(mutex);
		return offsets;
	}

private:
	std::mutex mutex;
	std::vector<int> offsets;
};
}

TEST(AudioOutput, ConfigurationsAreChecked)
{
	const struct
	{
		AudioConfiguration config;
		const char* what;
	} cases[] = {
		{{3, 16, 44100}, "Unsupported count of channels"},
		{{0, 16, 8000}, "Unsupported count of channels"},
		{{2, 24, 44100}, "Unsupported bits per sample"},
		{{2, 16, 44000}, "Unsupported samples per second"},
	};
	for (const auto& c : cases)
	{
		EXPECT_EQ(std::string(c.what) + " while creating AudioOutput", configError(c.config, false));
		EXPECT_EQ(std::string(c.what) + " while creating AudioInput", configError(c.config, true));
	}
	audio::AudioInput input(AudioConfiguration{1, 16, 8000});
	EXPECT_TRUE(input.startInput());
	input.stopInput();
}

TEST(AudioOutput, BufferIsAbout25msRoundedToAPowerOfTwo)
{
	s_openALUsed = true;
	EXPECT_EQ(8192, AudioOutputImpl(STEREO16).bufferSize());
	EXPECT_EQ(1024, AudioOutputImpl(AudioConfiguration{1, 8, 22050}).bufferSize());
	EXPECT_EQ(512, AudioOutputImpl(AudioConfiguration{1, 16, 8000}).bufferSize());
}

TEST(AudioOutput, StartsOnceAndKeepsTheMasterVolume)
{
	lang::Ptr<AudioOutput> out = newOutput();
	EXPECT_EQ(-1.f, out->getMasterVolume());
	EXPECT_FALSE(out->isStarted());
	const int before = AudioOutputImpl::s_outputStartedCount;
	EXPECT_TRUE(out->startOutput());
	EXPECT_TRUE(out->startOutput());
	EXPECT_EQ(before + 1, AudioOutputImpl::s_outputStartedCount);
	EXPECT_TRUE(out->isStarted());
	EXPECT_EQ(1.f, out->getMasterVolume());
	// Values OpenAL would refuse are stored as given and clamped for the source only.
	fflush(stdout);
	testing::internal::CaptureStdout();
	for (float v : {2.f, -1.f, std::numeric_limits<float>::quiet_NaN(), 0.25f})
	{
		out->setMasterVolume(v);
		if (!std::isnan(v))
		{
			EXPECT_EQ(v, out->getMasterVolume());
		}
	}
	fflush(stdout);
	EXPECT_EQ(std::string::npos, testing::internal::GetCapturedStdout().find("OpenAL error"));
	out->stopOutput();
	out->stopOutput();
	EXPECT_EQ(before, AudioOutputImpl::s_outputStartedCount);
	EXPECT_FALSE(out->isStarted());

	lang::Ptr<AudioOutput> preset = newOutput();
	preset->setMasterVolume(0.5f);
	preset->startOutput();
	EXPECT_EQ(0.5f, preset->getMasterVolume());
}

TEST(AudioOutput, RefusesClipsItCannotMix)
{
	lang::Ptr<AudioOutput> mono = newOutput(AudioConfiguration{1, 16, 44100});
	mono->startOutput();
	const Bytes pcm8(100, 128);
	lang::Ptr<AudioClip> clip8 = new AudioClip(nullptr, pcm8.data(), 100, AudioConfiguration{1, 8, 44100});
	EXPECT_EQ(-1, mono->playClip(clip8, 1.f, false, 0));
	EXPECT_EQ(-1, mono->playClip(toneClip(2, 0.1), 1.f, false, 0));
	EXPECT_EQ(-1, mono->playClip(nullptr, 1.f, false, 0));
	EXPECT_EQ(0, mono->playClip(toneClip(1, 0.1), 1.f, false, 0));
	EXPECT_THROW(mono->playClip(toneClip(1, 0.1), 1.f, false, 8), lang::Exception);
}

TEST(AudioOutput, ClipEndsOnTimeAndResumesAfterARestart)
{
	lang::Ptr<AudioOutput> out = newOutput();
	out->startOutput();
	// The ring runs ahead of the device by up to six buffers (280 ms), so "on time" allows for that.
	const int id = out->playClip(toneClip(2, 0.2), 1.f, false, 0);
	const double ms = msUntilEnded(*out, id);
	EXPECT_GT(ms, 90);
	EXPECT_LT(ms, 500);

	lang::Ptr<WatchedClip> clip = new WatchedClip(tone16(2, 44100, 440, 0.3, 44100 * 3));
	const int long_ = out->playClip(clip, 1.f, false, 1);
	// Stopped once the mixing thread has read from it twice.
	const double start = nowMs();
	while (clip->reads().size() < 2 && nowMs() - start < 5000)
		lang::Thread::sleep(2);
	out->stopOutput();
	const size_t readsBeforeStop = clip->reads().size();
	ASSERT_GT(readsBeforeStop, 1u);
	// A stopped output reads nothing more: a running ring would have read twice in this time.
	lang::Thread::sleep(300);
	EXPECT_EQ(readsBeforeStop, clip->reads().size());
	EXPECT_TRUE(out->isClipPlaying(long_));
	out->startOutput();
	// The first read after the restart goes on from where the last one ended.
	const std::vector<int> reads = clip->reads();
	ASSERT_GT(reads.size(), readsBeforeStop);
	EXPECT_EQ(reads[readsBeforeStop - 1] + 8192, reads[readsBeforeStop]);
}

TEST(AudioOutput, PlaybackTakesLittleOfOneCore)
{
	lang::Ptr<AudioOutput> out = newOutput();
	out->startOutput();
	for (int track = 0; track < 4; ++track)
		out->playClip(toneClip(2, 0.1), 0.2f, true, track);
	timespec t0, t1;
	clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
	lang::Thread::sleep(1000);
	clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
	const double cpu = double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) / 1e9;
	EXPECT_LT(cpu, 0.2);
}

TEST(AudioOutput, InterruptionsReachTheNewestLiveOutput)
{
	lang::Ptr<AudioOutput> first = newOutput();
	first->startOutput();
	lang::Ptr<AudioOutput> second = newOutput();
	AudioOutputImpl::interruptionListenerCallback(nullptr, 0);
	EXPECT_TRUE(second->isStarted());
	AudioOutputImpl::interruptionListenerCallback(nullptr, 1);
	EXPECT_FALSE(second->isStarted());
	EXPECT_TRUE(first->isStarted());
	// The end of an interruption starts the output even when it was stopped before.
	AudioOutputImpl::interruptionListenerCallback(nullptr, 0);
	EXPECT_TRUE(second->isStarted());
	AudioOutputImpl::interruptionListenerCallback(nullptr, 7);
	EXPECT_TRUE(second->isStarted());
	second = nullptr;
	// The replaced output is gone; interruptions must not reach it.
	AudioOutputImpl::interruptionListenerCallback(nullptr, 1);
	EXPECT_TRUE(first->isStarted());
}

TEST(AudioOutput, WithoutADeviceClipsStillEndOnTime)
{
	if (s_openALUsed)
		GTEST_SKIP() << "OpenAL was configured earlier in this process";
	setenv("ALSOFT_DRIVERS", "none", 1);
	s_openALUsed = true;
	AudioOutputImpl impl(STEREO16);
	EXPECT_FALSE(impl.hasDevice());
	EXPECT_TRUE(impl.startOutput());
	EXPECT_EQ(1.f, impl.getMasterVolume());
	const int id = impl.mixer().playClip(toneClip(2, 0.2), 1.f, false, 0);
	const double start = nowMs();
	while (impl.mixer().isClipPlaying(id) && nowMs() - start < 5000)
		lang::Thread::sleep(2);
	const double ms = nowMs() - start;
	EXPECT_GT(ms, 90);
	EXPECT_LT(ms, 500);
	impl.setMasterVolume(0.3f);
	impl.stopOutput();
}

namespace
{
struct WaveFile
{
	int channels = 0, rate = 0, bits = 0;
	std::vector<int> samples;
};

// OpenAL Soft writes WAVE_FORMAT_EXTENSIBLE, which the clip reader refuses; read it here.
WaveFile readWave(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	WaveFile w;
	size_t pos = 12;
	while (pos + 8 <= b.size())
	{
		const unsigned size = b[pos + 4] | b[pos + 5] << 8 | b[pos + 6] << 16 | unsigned(b[pos + 7]) << 24;
		const uint8_t* body = b.data() + pos + 8;
		if (std::memcmp(b.data() + pos, "fmt ", 4) == 0)
		{
			w.channels = body[2] | body[3] << 8;
			w.rate = body[4] | body[5] << 8 | body[6] << 16;
			w.bits = body[14] | body[15] << 8;
		}
		else if (std::memcmp(b.data() + pos, "data", 4) == 0)
		{
			const size_t n = std::min<size_t>(size, b.size() - pos - 8);
			w.samples = samples16(body, n);
			break;
		}
		pos += 8 + size + (size & 1);
	}
	return w;
}
}

namespace
{
// Points OpenAL Soft's wave writer at a new file (44.1 kHz stereo, 16-bit) and returns its path;
// empty when no temporary folder could be made. OpenAL reads its configuration once per process.
std::string useWaveWriter()
{
	char dir[] = "/tmp/audio-wave-XXXXXX";
	if (!mkdtemp(dir))
		return std::string();
	const std::string conf = std::string(dir) + "/alsoft.conf", wav = std::string(dir) + "/out.wav";
	std::ofstream(conf) << "[general]\ndrivers = wave\nsample-type = int16\nfrequency = 44100\nchannels = stereo\n[wave]\nfile = "
						<< wav << "\n";
	setenv("ALSOFT_CONF", conf.c_str(), 1);
	unsetenv("ALSOFT_DRIVERS");
	s_openALUsed = true;
	return wav;
}

// Removes what useWaveWriter made: the recording, the configuration and their folder.
void removeWaveWriterFiles(const std::string& wav)
{
	const std::string dir = wav.substr(0, wav.rfind('/'));
	std::remove(wav.c_str());
	std::remove((dir + "/alsoft.conf").c_str());
	rmdir(dir.c_str());
}
}

TEST(AudioOutput, WholePathWritesTheToneAtMasterVolume)
{
	if (s_openALUsed)
		GTEST_SKIP() << "OpenAL was configured earlier in this process";
	const std::string wav = useWaveWriter();
	ASSERT_FALSE(wav.empty());
	{
		AudioOutput out(STEREO16);
		out.startOutput();
		out.setMasterVolume(0.5f);
		out.playClip(toneClip(2, 0.6, 0.5, 1000), 1.f, false, 0);
		lang::Thread::sleep(1300);
	}
	const WaveFile w = readWave(wav);
	removeWaveWriterFiles(wav);
	ASSERT_EQ(2, w.channels);
	ASSERT_EQ(44100, w.rate);
	ASSERT_EQ(16, w.bits);
	ASSERT_GT(w.samples.size(), size_t(44100));

	// Left channel: peak level and rising zero crossings over the tone's loud part.
	std::vector<int> left;
	for (size_t i = 0; i < w.samples.size(); i += 2)
		left.push_back(w.samples[i]);
	size_t first = 0;
	while (first < left.size() && std::abs(left[first]) < 4000)
		++first;
	ASSERT_LT(first + 22050, left.size());
	int peak = 0, crossings = 0, firstCross = -1, lastCross = -1;
	for (size_t i = first + 1000; i < first + 22050; ++i)
	{
		peak = std::max(peak, std::abs(left[i]));
		if (left[i - 1] < 0 && left[i] >= 0)
		{
			if (firstCross < 0)
				firstCross = int(i);
			lastCross = int(i);
			++crossings;
		}
	}
	const double hz = double(crossings - 1) * 44100 / (lastCross - firstCross);
	EXPECT_NEAR(1000, hz, 10);
	EXPECT_NEAR(0.25 * 32767, peak, 0.01 * 0.25 * 32767);
}

TEST(AudioOutput, StressFromTheGameThreadEndsCleanly)
{
	lang::Ptr<AudioOutput> out = newOutput();
	out->startOutput();
	out->setClipCountLimit(1, 4);
	std::thread::id gameThread = std::this_thread::get_id();
	std::atomic<int> wrongThread{0};
	struct CountingClip : AudioClip
	{
		CountingClip(const Bytes& pcm, std::thread::id game, std::atomic<int>& wrong) :
			AudioClip(nullptr, pcm.data(), int(pcm.size()), AudioConfiguration{2, 16, 44100}), game(game), wrong(wrong)
		{
		}
		~CountingClip() override
		{
			if (std::this_thread::get_id() != game)
				++wrong;
		}
		std::thread::id game;
		std::atomic<int>& wrong;
	};
	std::mt19937 rng(7);
	const Bytes pcm = tone16(2, 44100, 500, 0.2, 2000);
	std::vector<int> ids;
	const double start = nowMs();
	while (nowMs() - start < 2000)
	{
		lang::Ptr<AudioClip> clip = new CountingClip(pcm, gameThread, wrongThread);
		const int id = out->playClip(clip, 0.5f, rng() % 3 == 0, int(rng() % 3));
		if (id >= 0)
			ids.push_back(id);
		switch (rng() % 5)
		{
		case 0: out->stopClip(clip); break;
		case 1: if (!ids.empty()) out->setClipVolume(ids[rng() % ids.size()], float(rng() % 200) / 100.f); break;
		case 2: out->setTrackVolume(float(rng() % 100) / 100.f, int(rng() % 8)); break;
		case 3: if (rng() % 50 == 0) out->stopClips(); break;
		default: break;
		}
		// The clip's last outside reference goes here, often while it plays.
		clip = nullptr;
		lang::Thread::sleep(rng() % 3);
	}
	out->stopClips();
	EXPECT_LT(msUntilEnded(*out, ids.back()), 5000) << "the last instance still plays";
	out = nullptr;
	EXPECT_EQ(0, wrongThread.load());
}

TEST(AudioOutput, TwoLiveOutputsKeepTheirOwnSources)
{
	// Each output must drive its own OpenAL context, whichever was made current last.
	lang::Ptr<AudioOutput> first = newOutput();
	lang::Ptr<AudioOutput> second = newOutput();
	first->startOutput();
	second->startOutput();
	first->setMasterVolume(0.5f);
	const int a = first->playClip(toneClip(2, 0.4), 1.f, false, 0);
	const int b = second->playClip(toneClip(2, 0.4), 1.f, false, 0);
	const double start = nowMs();
	double endA = 0, endB = 0;
	while ((!endA || !endB) && nowMs() - start < 3000)
	{
		if (!endA && !first->isClipPlaying(a))
			endA = nowMs() - start;
		if (!endB && !second->isClipPlaying(b))
			endB = nowMs() - start;
		lang::Thread::sleep(2);
	}
	for (double ms : {endA, endB})
	{
		EXPECT_GT(ms, 250);
		EXPECT_LT(ms, 750);
	}
	second->stopOutput();
	first->setMasterVolume(0.7f);
	EXPECT_TRUE(first->isStarted());
}

namespace
{
// CPU seconds the output's mixing thread (named "audio mixer") has run so far; -1 while there is none.
double mixingThreadCpuSeconds()
{
	double seconds = -1;
	DIR* dir = opendir("/proc/self/task");
	if (!dir)
		return seconds;
	while (dirent* e = readdir(dir))
	{
		const std::string task = std::string("/proc/self/task/") + e->d_name;
		std::string name;
		std::getline(std::ifstream(task + "/comm"), name);
		if (name != "audio mixer")
			continue;
		// Nanoseconds on a CPU, the first field.
		long long ns = 0;
		if (std::ifstream(task + "/schedstat") >> ns)
			seconds = double(ns) / 1e9;
	}
	closedir(dir);
	return seconds;
}

// The mixing thread's CPU seconds per 10 s of real time, measured over windowMs.
double mixingThreadCpuPer10s(int windowMs)
{
	const double cpu0 = mixingThreadCpuSeconds(), t0 = nowMs();
	lang::Thread::sleep(unsigned(windowMs));
	const double cpu1 = mixingThreadCpuSeconds(), t1 = nowMs();
	return (cpu1 - cpu0) * 10000.0 / (t1 - t0);
}
}

TEST(AudioOutput, MixingThreadSleepsWhileNothingPlays)
{
	// Figures for 10 s, measured over shorter windows: nothing playing, then four looping clips.
	lang::Ptr<AudioOutput> out = newOutput();
	out->startOutput();
	const double start = nowMs();
	while (mixingThreadCpuSeconds() < 0 && nowMs() - start < 2000)
		lang::Thread::sleep(1);
	ASSERT_GE(mixingThreadCpuSeconds(), 0) << "no thread named \"audio mixer\"";
	// The start's ring of silence plays out first.
	lang::Thread::sleep(400);
	const double idle = mixingThreadCpuPer10s(2000);
	std::vector<int> ids;
	for (int track = 0; track < 4; ++track)
		ids.push_back(out->playClip(toneClip(2, 0.3 + 0.1 * track), 0.2f, true, track));
	const double playing = mixingThreadCpuPer10s(2000);
	std::printf("mixing thread CPU per 10 s: idle %.4f s, four clips playing %.4f s\n", idle, playing);
	RecordProperty("idle_cpu_ms_per_10s", int(idle * 1000));
	RecordProperty("playing_cpu_ms_per_10s", int(playing * 1000));
	EXPECT_LT(idle, 0.05);
	if (!UNDER_TSAN)
	{
		EXPECT_LT(playing, 0.25);
	}
	for (int id : ids)
		EXPECT_TRUE(out->isClipPlaying(id));
}

TEST(AudioOutput, WaveWriterHearsWholeTonesAfterTheRingRanDry)
{
	// While nothing plays the ring runs dry and the mixing thread sleeps; a clip must then start at
	// once and sound without a gap, and so must a second one started while the first still plays.
	if (s_openALUsed)
		GTEST_SKIP() << "OpenAL was configured earlier in this process";
	const std::string wav = useWaveWriter();
	ASSERT_FALSE(wav.empty());
	{
		AudioOutput out(STEREO16);
		out.startOutput();
		// Longer than the start's ring of silence (about 280 ms).
		lang::Thread::sleep(600);
		const int first = out.playClip(toneClip(2, 0.5, 0.5, 1000), 1.f, false, 0);
		lang::Thread::sleep(250);
		const int second = out.playClip(toneClip(2, 0.5, 0.25, 1000), 1.f, false, 1);
		EXPECT_LT(msUntilEnded(out, first), 2000);
		EXPECT_LT(msUntilEnded(out, second), 2000);
		// The ring still holds the ends of both.
		lang::Thread::sleep(400);
	}
	const WaveFile w = readWave(wav);
	removeWaveWriterFiles(wav);
	ASSERT_EQ(2, w.channels);
	std::vector<int> left;
	for (size_t i = 0; i < w.samples.size(); i += 2)
		left.push_back(w.samples[i]);
	size_t begin = 0, end = left.size();
	while (begin < end && std::abs(left[begin]) < 2000)
		++begin;
	while (end > begin && std::abs(left[end - 1]) < 2000)
		--end;
	// From the first tone's start to the second one's end: 0.25 s apart, give or take the two buffers
	// between refills (93 ms) and a late game thread on a loaded machine, then 0.5 s, with every
	// millisecond sounding.
	const double seconds = double(end - begin) / 44100;
	if (UNDER_TSAN)
		GTEST_SKIP() << "the device and the mixing thread do not keep real time under ThreadSanitizer";
	EXPECT_GT(seconds, 0.75 - 0.12);
	EXPECT_LT(seconds, 0.75 + 0.25);
	int quietWindows = 0;
	for (size_t at = begin; at + 44 <= end; at += 44)
	{
		int peak = 0;
		for (size_t i = at; i < at + 44; ++i)
			peak = std::max(peak, std::abs(left[i]));
		if (peak < 2000)
			++quietWindows;
	}
	EXPECT_EQ(0, quietWindows);
}
