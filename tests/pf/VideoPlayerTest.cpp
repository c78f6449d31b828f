#include "PfTestSupport.h"
#include <pf/MainThreadQueue.h>
#include <pf/VideoPlayer.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <memory>
#include <thread>

using namespace pf;

namespace
{
struct EndCounter : VideoPlayerObserver
{
	int ends = 0;
	void videoPlayEnded() override { ++ends; }
};

// A short Ogg Theora clip made with GStreamer itself.
// Clips come from the same tool that makes the demo's intro.
bool makeClip(const std::string& path, int frames)
{
	const std::string command = std::string("'") + MAKE_VIDEO_CLIP + "' '" + path + "' " + std::to_string(frames) + " 64x48";
	return std::system(command.c_str()) == 0;
}

// Turns of the host loop until the condition holds or twenty seconds pass.
template <class Condition> bool runLoopUntil(Condition condition)
{
	const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
	while (!condition() && std::chrono::steady_clock::now() < until)
	{
		MainThreadQueue::runPending();
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	return condition();
}
}

TEST_F(PfTest, VideoEndsThroughTheMainThreadQueue)
{
	const std::string clip = m_home / "clip.ogv";
	ASSERT_TRUE(makeClip(clip, 50));
	EndCounter observer;
	VideoPlayer player;
	const auto start = std::chrono::steady_clock::now();
	ASSERT_TRUE(player.playFullscreen(clip, &observer));
	EXPECT_EQ(observer.ends, 0) << "the end arrives on the queue, not inside the call";
	EXPECT_TRUE(runLoopUntil([&]() { return observer.ends == 1; }));
	// Two seconds of video decoded into fake sinks without waiting for the clock.
	EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
	EXPECT_EQ(player.playing(), 0);

	// Without an observer it still plays and ends.
	ASSERT_TRUE(player.playFullscreen(clip, nullptr));
	EXPECT_TRUE(runLoopUntil([&]() { return player.playing() == 0; }));
	EXPECT_EQ(observer.ends, 1);
}

TEST_F(PfTest, VideoFailuresReturnFalseOrEndThePlayback)
{
	EndCounter observer;
	VideoPlayer player;
	testing::internal::CaptureStdout();
	EXPECT_FALSE(player.playFullscreen(m_home / "missing.ogv", &observer));
	// Not a movie: the start or the stream fails, and the game goes on.
	writeFile(m_home / "broken.ogv", "this is no video at all");
	if (player.playFullscreen(m_home / "broken.ogv", &observer))
	{
		EXPECT_TRUE(runLoopUntil([&]() { return observer.ends == 1; }));
	}
	const std::string out = testing::internal::GetCapturedStdout();
	EXPECT_NE(out.find("missing.ogv cannot be read"), std::string::npos);
	EXPECT_EQ(player.playing(), 0);
}

TEST_F(PfTest, DestroyedPlayerStopsItsVideosAndTellsNobody)
{
	const std::string clip = m_home / "clip.ogv";
	ASSERT_TRUE(makeClip(clip, 250));
	EndCounter observer;
	{
		VideoPlayer player;
		ASSERT_TRUE(player.playFullscreen(clip, &observer));
	}
	// The same clip played twice over, one after the other, by a player started afterwards: by the
	// second end the first player's own end, had it been kept, would have come long before.
	EndCounter witness;
	VideoPlayer other;
	for (int round = 1; round <= 2; ++round)
	{
		ASSERT_TRUE(other.playFullscreen(clip, &witness));
		ASSERT_TRUE(runLoopUntil([&]() { return witness.ends == round; }));
	}
	EXPECT_EQ(observer.ends, 0);
}
