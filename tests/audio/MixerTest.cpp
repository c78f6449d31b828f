// The software mixer, driven directly: exact samples, tracks, limits and ids.
#include "AudioTestSupport.h"
#include <audio/AudioMixer.h>
#include <audio/CompositeAudioClip.h>
#include <io/FileInputStream.h>
#include <lang/Exception.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <limits>
#include <thread>

using namespace audiotest;
using audio::AudioClip;
using audio::AudioConfiguration;
using audio::AudioMixer;

namespace
{
const AudioConfiguration STEREO16{2, 16, 44100};

lang::Ptr<AudioClip> clip16(const std::vector<int>& samples, int channels)
{
	const Bytes b = pcm16(samples);
	return new AudioClip(nullptr, b.data(), int(b.size()), AudioConfiguration{channels, 16, 44100});
}

std::vector<int> mix16(AudioMixer& mixer, unsigned bytes, const AudioConfiguration& config = STEREO16)
{
	Bytes out(bytes, 0xAB);
	mixer.mixUnlimited16(config, out.data(), bytes);
	return samples16(out.data(), bytes);
}

std::string trackError(void (*call)(AudioMixer&))
{
	AudioMixer mixer;
	try
	{
		call(mixer);
	}
	catch (const lang::Exception& e)
	{
		return e.getMessage().format();
	}
	return "";
}
}

TEST(AudioMixer, MixesWithQ12GainsAndClamps)
{
	AudioMixer mixer;
	mixer.start();
	lang::Ptr<AudioClip> loud = clip16({32767, -32768, 32767, -32768}, 2);
	lang::Ptr<AudioClip> quiet = clip16({1000, -1000, 3, -3}, 2);
	mixer.playClip(loud, 1.f, false, 0);
	mixer.playClip(loud, 1.f, false, 0);
	mixer.playClip(quiet, 0.5f, false, 1);
	mixer.setTrackVolume(0.5f, 1);
	// Beyond what the clips give the buffer is silent.
	EXPECT_EQ((std::vector<int>{32767, -32768, 32767, -32768, 0, 0}), mix16(mixer, 12));

	AudioMixer quietOnly;
	quietOnly.start();
	quietOnly.setTrackVolume(0.5f, 1);
	quietOnly.playClip(quiet, 0.5f, false, 1);
	// 0.25 is a gain of 1024: (s * 1024) >> 12, rounding toward minus infinity.
	EXPECT_EQ((std::vector<int>{250, -250, 0, -1}), mix16(quietOnly, 8));
}

TEST(AudioMixer, MonoClipsReachBothChannels)
{
	AudioMixer mixer;
	mixer.start();
	lang::Ptr<AudioClip> mono = clip16({100, -200, 300}, 1);
	mixer.playClip(mono, 1.f, false, 0);
	EXPECT_EQ((std::vector<int>{100, 100, -200, -200, 300, 300, 0, 0}), mix16(mixer, 16));

	// 8-bit: Q8 gain around 128, mono spread over the frame.
	AudioMixer mixer8;
	mixer8.start();
	const Bytes pcm8 = {228, 28, 128};
	lang::Ptr<AudioClip> mono8 = new AudioClip(nullptr, pcm8.data(), 3, AudioConfiguration{1, 8, 22050});
	mixer8.playClip(mono8, 0.5f, false, 0);
	mixer8.playClip(mono8, 4.f, false, 1);
	Bytes out(8);
	mixer8.mixUnlimited8(AudioConfiguration{2, 8, 22050}, out.data(), 8);
	EXPECT_EQ((Bytes{255, 255, 0, 0, 128, 128, 128, 128}), out);
	mixer8.stopClips();
	mixer8.playClip(mono8, 0.5f, false, 0);
	mixer8.mixUnlimited8(AudioConfiguration{1, 8, 22050}, out.data(), 4);
	EXPECT_EQ((Bytes{178, 78, 128, 128}), Bytes(out.begin(), out.begin() + 4));
}

TEST(AudioMixer, LoopingWrapsAndSilentInstancesKeepTime)
{
	AudioMixer mixer;
	mixer.start();
	lang::Ptr<AudioClip> shortClip = clip16({1, 2, 3}, 1);
	mixer.playClip(shortClip, 1.f, true, 0);
	EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 2, 3, 1}), mix16(mixer, 14, AudioConfiguration{1, 16, 44100}));
	EXPECT_EQ((std::vector<int>{2, 3, 1}), mix16(mixer, 6, AudioConfiguration{1, 16, 44100}));

	// A volume of 0 advances the cursor like any other, so both end in the same buffer.
	lang::Ptr<AudioClip> clip = clip16(std::vector<int>(10, 500), 2);
	const int muted = mixer.playClip(clip, 0.f, false, 1);
	const int heard = mixer.playClip(clip, 1.f, false, 1);
	mixer.stopClip(shortClip);
	mix16(mixer, 12, STEREO16);
	mix16(mixer, 12, STEREO16);
	EXPECT_TRUE(mixer.isClipPlaying(muted));
	EXPECT_TRUE(mixer.isClipPlaying(heard));
	EXPECT_EQ((std::vector<int>{0, 0, 0}), mix16(mixer, 6, STEREO16));
	EXPECT_FALSE(mixer.isClipPlaying(muted));
	EXPECT_FALSE(mixer.isClipPlaying(heard));

	// A looping clip with nothing to give ends instead of spinning.
	lang::Ptr<AudioClip> empty = clip16({}, 2);
	const int id = mixer.playClip(empty, 1.f, true, 2);
	EXPECT_EQ((std::vector<int>{0, 0}), mix16(mixer, 4));
	EXPECT_FALSE(mixer.isClipPlaying(id));
}

TEST(AudioMixer, CompositeClipsPlayTheirPartsWithoutAGap)
{
	// A part ends inside a buffer: the next part fills the rest of it, looping or not.
	const AudioConfiguration mono{1, 16, 44100};
	for (bool loop : {false, true})
	{
		AudioMixer mixer;
		mixer.start();
		lang::Ptr<AudioClip> pair = new audio::CompositeAudioClip(nullptr, {clip16({1, 2, 3}, 1), clip16({4, 5}, 1)});
		const int id = mixer.playClip(pair, 1.f, loop, 0);
		EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), mix16(mixer, 8, mono)) << loop;
		if (loop)
		{
			EXPECT_EQ((std::vector<int>{5, 1, 2, 3}), mix16(mixer, 8, mono));
			continue;
		}
		EXPECT_EQ((std::vector<int>{5, 0, 0, 0}), mix16(mixer, 8, mono));
		// Ended by the first buffer that gets nothing, as a plain clip is.
		EXPECT_TRUE(mixer.isClipPlaying(id));
		EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), mix16(mixer, 8, mono));
		EXPECT_FALSE(mixer.isClipPlaying(id));
	}
}

TEST(AudioMixer, TracksAreCheckedAndClamped)
{
	EXPECT_EQ("Track 8 out of bounds! Range [0-7]", trackError([](AudioMixer& m) { m.setTrackVolume(0.5f, 8); }));
	EXPECT_EQ("Track -1 out of bounds! Range [0-7]", trackError([](AudioMixer& m) { m.getTrackVolume(-1); }));
	EXPECT_EQ("Track 8 out of bounds! Range [0-7]", trackError([](AudioMixer& m) { m.setClipCountLimit(8, 1); }));
	EXPECT_EQ("Track 9 out of bounds! Range [0-7]", trackError([](AudioMixer& m) { m.getPlayingClipCount(9); }));

	AudioMixer mixer;
	EXPECT_EQ(1.f, mixer.getTrackVolume(7));
	const float nan = std::numeric_limits<float>::quiet_NaN();
	const float cases[][2] = {{1.5f, 1.f}, {-0.5f, 0.f}, {0.25f, 0.25f}, {nan, 0.f}};
	for (const auto& c : cases)
	{
		mixer.setTrackVolume(c[0], 0);
		EXPECT_EQ(c[1], mixer.getTrackVolume(0)) << c[0];
	}
}

TEST(AudioMixer, ClipVolumesOutsideTheGainRangeAreBounded)
{
	// Huge, negative and NaN volumes must give a defined gain: at most 16, else 0.
	const float inf = std::numeric_limits<float>::infinity();
	const float nan = std::numeric_limits<float>::quiet_NaN();
	const float cases[][2] = {{1e30f, 16 * 100.f}, {inf, 16 * 100.f}, {-2.f, 0.f}, {nan, 0.f}, {2.f, 200.f}};
	lang::Ptr<AudioClip> clip = clip16({100}, 1);
	for (const auto& c : cases)
	{
		AudioMixer mixer;
		mixer.start();
		const int id = mixer.playClip(clip, 1.f, false, 0);
		mixer.setClipVolume(id, c[0]);
		EXPECT_EQ(int(c[1]), mix16(mixer, 2, AudioConfiguration{1, 16, 44100})[0]) << c[0];
	}
}

TEST(AudioMixer, PlayingNeedsTheMixerRunningAndRespectsLimits)
{
	AudioMixer mixer;
	lang::Ptr<AudioClip> clip = clip16(std::vector<int>(100, 1), 2);
	EXPECT_EQ(-1, mixer.playClip(clip, 1.f, false, 0));
	EXPECT_EQ(0, mixer.getPlayingClipCount(0));
	mixer.start();

	mixer.setClipCountLimit(2, 1);
	const int first = mixer.playClip(clip, 1.f, false, 2);
	EXPECT_EQ(0, first);
	EXPECT_EQ(-1, mixer.playClip(clip, 1.f, false, 2)); // queued
	mix16(mixer, 8);
	EXPECT_EQ(-1, mixer.playClip(clip, 1.f, false, 2)); // playing
	EXPECT_EQ(1, mixer.playClip(clip, 1.f, false, 3));  // other tracks are free
	mixer.stopClip(clip);
	EXPECT_FALSE(mixer.isClipPlaying(clip));
	// Ended counts at once, before the next buffer takes it away.
	EXPECT_EQ(2, mixer.playClip(clip, 1.f, false, 2));
	mixer.setClipCountLimit(2, -5);
	EXPECT_EQ(3, mixer.playClip(clip, 1.f, false, 2));
	EXPECT_EQ(2, mixer.getPlayingClipCount(2));
	mixer.stopClips();
	mix16(mixer, 8);
	// Ids are never reused.
	EXPECT_EQ(4, mixer.playClip(clip, 1.f, false, 2));
	EXPECT_FALSE(mixer.isClipPlaying(3));
	EXPECT_TRUE(mixer.isClipPlaying(4));
}

namespace
{
class ThreadRecordingClip : public AudioClip
{
public:
	ThreadRecordingClip(const Bytes& pcm, std::thread::id* died) :
		AudioClip(nullptr, pcm.data(), int(pcm.size()), AudioConfiguration{2, 16, 44100}), m_died(died)
	{
	}
	~ThreadRecordingClip() override { *m_died = std::this_thread::get_id(); }

private:
	std::thread::id* m_died;
};
}

TEST(AudioMixer, EndedClipsDieOnTheGameThread)
{
	AudioMixer mixer;
	mixer.start();
	std::thread::id died;
	mixer.playClip(new ThreadRecordingClip(pcm16({1, 2}), &died), 1.f, false, 0);
	// The mixing thread sees the clip end and lets go of it, but must not drop the last reference.
	std::thread mixing([&] {
		for (int i = 0; i < 3; ++i)
			mix16(mixer, 8);
	});
	mixing.join();
	EXPECT_EQ(std::thread::id(), died);
	EXPECT_EQ(0, mixer.getPlayingClipCount(0));
	EXPECT_EQ(std::this_thread::get_id(), died);
}

TEST(AudioMixer, LoopingMp3WrapsSampleExactly)
{
	// Music loops: the decoder goes back to the first sample at the wrap.
	lang::Ptr<AudioClip> mp3 = new AudioClip(nullptr, new io::FileInputStream(fixture("tone.mp3")), io::FILEFORMAT_MP3);
	Bytes whole;
	{
		lang::Ptr<audio::AudioClipCursor> cursor = new audio::AudioClipCursor;
		uint8_t buf[4096];
		for (int n; (n = mp3->getData(buf, 4096, cursor)) > 0;)
			whole.insert(whole.end(), buf, buf + n);
	}
	ASSERT_EQ(176400u, whole.size());
	AudioMixer mixer;
	mixer.start();
	mixer.playClip(mp3, 1.f, true, 0);
	Bytes mixed;
	for (int i = 0; i < 25; ++i)
	{
		Bytes out(8192);
		mixer.mixUnlimited16(STEREO16, out.data(), 8192);
		mixed.insert(mixed.end(), out.begin(), out.end());
	}
	Bytes expected = whole;
	expected.insert(expected.end(), whole.begin(), whole.begin() + (25 * 8192 - 176400));
	ASSERT_EQ(expected.size(), mixed.size());
	const size_t firstDifference = size_t(std::mismatch(expected.begin(), expected.end(), mixed.begin()).first - expected.begin());
	EXPECT_EQ(expected.size(), firstDifference);
}
