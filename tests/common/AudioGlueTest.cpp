// The game's side of audio: activation, the frame's restart of a stopped output and the rolling sounds.
// Without a sound card the output mixes into a silent sink at real-time pace, so clips still end on time.
#include "PhysicsFixture.h"
#include <audio/AudioClip.h>
#include <audio/AudioOutput.h>
#include <game/Resources.h>
#include <lang/System.h>
#include <lang/Thread.h>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
/** A 16-bit stereo 1 kHz tone of that length. */
lang::Ptr<audio::AudioClip> tone(double seconds)
{
	const int frames = static_cast<int>(seconds * 44100);
	std::vector<int16_t> pcm;
	for (int i = 0; i < frames; ++i)
	{
		const int16_t v = static_cast<int16_t>(std::lround(std::sin(2 * M_PI * 1000.0 * i / 44100) * 16000));
		pcm.push_back(v);
		pcm.push_back(v);
	}
	return new audio::AudioClip(nullptr, pcm.data(), static_cast<int>(pcm.size() * sizeof(int16_t)),
		audio::AudioConfiguration{2, 16, 44100});
}

class AudioGlue : public PhysicsTest
{
protected:
	game::Resources* resources() { return app()->luaResources()->getResources(); }
	audio::AudioOutput* output() { return resources()->getAudioOutput(); }

	/** Keeps a clip under the id in the registry, as a script's createAudio would. */
	void addClip(const std::string& id, double seconds)
	{
		resources()->createCompositeAudio(id, {tone(seconds)});
	}

	/** Waits up to the bound for the instance to end; true when it did. */
	bool endsWithin(int id, double seconds)
	{
		const int64_t end = lang::System::realTimeMicros() + static_cast<int64_t>(seconds * 1e6);
		while (output()->isClipPlaying(id))
		{
			if (lang::System::realTimeMicros() > end)
				return false;
			lang::Thread::sleep(5);
		}
		return true;
	}

	/** A wooden ball that spins freely in a world without gravity. */
	void makeBall(const char* name = "ball", const char* material = "wood", float x = 0.f, float density = 1.f)
	{
		run(std::string("createCircle('") + name + "', '', " + std::to_string(x) + ", 0, 1, " + std::to_string(density) +
			", 0.5, 0, true, false, 0)\n"
			"setAngularDamping('" + name + "', 0) setMaterial('" + name + "', '" + material + "')");
		object(name)->rollingSound = true;
	}

	void spin(const char* name, float w)
	{
		run(std::string("setAngularVelocity('") + name + "', " + std::to_string(w) + ")");
	}
};
}

TEST_F(AudioGlue, ActivationStopsAndStartsTheOutput)
{
	ASSERT_TRUE(output());
	EXPECT_FALSE(output()->isStarted());
	run("_G.res.createAudioInput(1, 16, 8000)");

	struct Case
	{
		bool active;
		const char* settings;
		bool started;
	};
	const Case cases[] = {
		{true, "settings.root = nil", true}, // enabled unless the settings say otherwise
		{false, "settings.root = nil", false},
		{true, "settings.root = {audioEnabled = false}", false},
		{true, "settings.root = {audioEnabled = 'no'}", true}, // not a boolean: enabled
		{false, "settings.root = {audioEnabled = true}", false},
		{true, "settings.root = {audioEnabled = true}", true},
	};
	for (const Case& c : cases)
	{
		run(c.settings);
		EXPECT_TRUE(app()->activateAudio(c.active)) << c.settings;
		EXPECT_EQ(c.active, app()->audioActive()) << c.settings;
		EXPECT_EQ(c.started, output()->isStarted()) << c.active << " " << c.settings;
	}

	// Inactive, the sink is silent: a playing clip does not advance until the game is active again.
	// Long enough that a stalled test thread cannot miss the moment before the clip would end.
	addClip("beep", 1.0);
	const int id = output()->playClip(resources()->getAudioClip("beep"), 1.f, false, 1);
	ASSERT_GE(id, 0);
	app()->activateAudio(false);
	EXPECT_FALSE(endsWithin(id, 0.5)) << "the clip was played while the game was inactive";
	app()->activateAudio(true);
	EXPECT_TRUE(endsWithin(id, 5.0));
}

TEST_F(AudioGlue, TheFrameRestartsAStoppedOutputOnlyWhenActiveAndEnabled)
{
	struct Case
	{
		bool active;
		const char* settings;
		bool restarted;
	};
	const Case cases[] = {
		{true, "settings.root = {audioEnabled = true}", true},
		{true, "settings.root = {audioEnabled = false}", false},
		{true, "settings.root = {}", false}, // only an explicit true restarts
		{true, "settings.root = nil", false},
		{true, "settings = nil", false},
		{false, "settings.root = {audioEnabled = true}", false},
	};
	for (const Case& c : cases)
	{
		start();
		run(c.settings);
		app()->activateAudio(c.active);
		run("_G.res.stopAudioOutput()");
		ASSERT_FALSE(output()->isStarted());
		frame();
		EXPECT_EQ(c.restarted, output()->isStarted()) << c.active << " " << c.settings;
		stop();
	}
}

TEST_F(AudioGlue, RollingSoundsFollowTheSpinOfRollingObjects)
{
	addClip("wood_rolling", 0.5);
	addClip("rock_rolling", 0.5);
	app()->activateAudio(true);
	makeBall();
	run("createBox('crate', '', 5, 0, 1, 1, 1, 0.5, 0, true, false, 0) setMaterial('crate', 'wood')");
	object("crate")->rollingSound = true; // not round: no rolling radius
	run("setAngularVelocity('crate', 50)");
	enable();
	const float mass = body("ball")->GetMass();

	spin("ball", 10.f);
	frame(1.f / 30.f);
	const float slow = lua()->rollingVolume(1);
	EXPECT_NEAR(std::fabs(body("ball")->GetAngularVelocity()) / 400.f * mass, slow, 1e-5f);
	EXPECT_GT(slow, 0.f);
	EXPECT_TRUE(resources()->isAudioPlaying("wood_rolling"));
	EXPECT_FALSE(resources()->isAudioPlaying("rock_rolling"));
	const int handle = lua()->rollingSoundHandle(1);
	EXPECT_TRUE(output()->isClipPlaying(handle));

	spin("ball", 20.f);
	frame(1.f / 30.f);
	EXPECT_NEAR(2.f * slow, lua()->rollingVolume(1), 1e-4f);
	EXPECT_EQ(handle, lua()->rollingSoundHandle(1)) << "a playing sound is re-volumed, not started again";
	EXPECT_TRUE(output()->isClipPlaying(handle));

	// A heavy fast ball is at full volume, never above.
	makeBall("heavy", "wood", -10.f, 100.f);
	spin("heavy", 20.f);
	frame(1.f / 30.f);
	EXPECT_FLOAT_EQ(1.f, lua()->rollingVolume(1));
	run("removeObject('heavy')");

	// At rest the sound stops; spinning again starts it again.
	spin("ball", 0.f);
	frame(1.f / 30.f);
	EXPECT_FLOAT_EQ(0.f, lua()->rollingVolume(1));
	EXPECT_FALSE(resources()->isAudioPlaying("wood_rolling"));
	spin("ball", 10.f);
	frame(1.f / 30.f);
	EXPECT_TRUE(resources()->isAudioPlaying("wood_rolling"));

	// Physics off: every rolling sound stops.
	run("setPhysicsEnabled(false)");
	frame(1.f / 30.f);
	EXPECT_FLOAT_EQ(0.f, lua()->rollingVolume(1));
	EXPECT_FALSE(resources()->isAudioPlaying("wood_rolling"));
	run("setPhysicsEnabled(true)");

	// The loudest object of a material sets its volume; each material has its own sound.
	makeBall("stone", "rock", 10.f);
	spin("ball", 10.f);
	spin("stone", 30.f);
	frame(1.f / 30.f);
	EXPECT_NEAR(slow, lua()->rollingVolume(1), 1e-4f);
	EXPECT_NEAR(3.f * slow, lua()->rollingVolume(2), 1e-4f);
	EXPECT_TRUE(resources()->isAudioPlaying("rock_rolling"));
}

TEST_F(AudioGlue, RollingSoundsNeedNeitherAnOutputNorTheirClips)
{
	// An output without the clips: nothing plays and nothing is thrown.
	app()->activateAudio(true);
	makeBall();
	enable();
	for (int i = 0; i < 5; ++i)
	{
		spin("ball", 20.f);
		frame(1.f / 30.f);
	}
	EXPECT_GT(lua()->rollingVolume(1), 0.f);
	EXPECT_FALSE(resources()->isAudioPlaying("wood_rolling"));

	// A game without an output at all.
	run("settings.testWithoutAudioOutput = true");
	stop();
	SetUp();
	ASSERT_FALSE(output());
	EXPECT_TRUE(app()->activateAudio(true));
	makeBall();
	enable();
	spin("ball", 20.f);
	frame(1.f / 30.f);
	EXPECT_GT(lua()->rollingVolume(1), 0.f);
	run("setPhysicsEnabled(false)");
	frame(1.f / 30.f);
	EXPECT_TRUE(app()->activateAudio(false));
}

namespace
{
/** The left channel of a 16-bit stereo WAVE file; empty when it cannot be read. */
std::vector<int> leftChannel(const std::string& path)
{
	const std::vector<unsigned char> b = GameTest::readBytes(path);
	std::vector<int> left;
	size_t pos = 12;
	while (b.size() >= 12 && pos + 8 <= b.size())
	{
		const size_t size = b[pos + 4] | b[pos + 5] << 8 | b[pos + 6] << 16 | static_cast<size_t>(b[pos + 7]) << 24;
		if (std::string(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos) + 4) == "data")
		{
			const size_t end = std::min(b.size(), pos + 8 + size);
			for (size_t i = pos + 8; i + 3 < end; i += 4)
				left.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
			break;
		}
		pos += 8 + size + (size & 1);
	}
	return left;
}

const char* const WAVE_CHILD = "ENGINE_TEST_AUDIO_WAVE";
}

// OpenAL Soft reads its configuration once per process, so the recording runs in a fresh
// copy of this program whose environment points it at the wave writer.
TEST_F(AudioGlue, TheRecordedOutputIsSilentWhileTheGameIsInactive)
{
	if (getenv(WAVE_CHILD))
	{
		ASSERT_TRUE(output());
		app()->activateAudio(true);
		addClip("hum", 0.25);
		ASSERT_GE(output()->playClip(resources()->getAudioClip("hum"), 1.f, true, 0), 0);
		// Three phases whose lengths the recording shows: playing (after the ~0.3 s of silence
		// already queued at the start), inactive, playing again.
		lang::Thread::sleep(800);
		app()->activateAudio(false);
		lang::Thread::sleep(500);
		app()->activateAudio(true);
		lang::Thread::sleep(500);
		stop(); // closes the device, which completes the file
		return;
	}

	const std::string wav = m_dir.path() + "/out.wav", conf = m_dir.path() + "/alsoft.conf";
	{
		std::string text = "[general]\ndrivers = wave\nsample-type = int16\nfrequency = 44100\nchannels = stereo\n[wave]\nfile = " + wav + "\n";
		writeBytes(conf, std::vector<unsigned char>(text.begin(), text.end()));
	}
	// Everything the child needs is made before the fork: only exec runs in it.
	std::vector<std::string> env = {"ALSOFT_CONF=" + conf, std::string(WAVE_CHILD) + "=1"};
	for (char** e = environ; *e; ++e)
	{
		const std::string entry(*e);
		if (entry.rfind("ALSOFT_", 0) != 0 && entry.rfind(WAVE_CHILD, 0) != 0)
			env.push_back(entry);
	}
	std::vector<char*> envp;
	for (std::string& e : env)
		envp.push_back(&e[0]);
	envp.push_back(nullptr);
	std::string self = "/proc/self/exe", filter = "--gtest_filter=AudioGlue.TheRecordedOutputIsSilentWhileTheGameIsInactive";
	char* argv[] = {&self[0], &filter[0], nullptr};
	const pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0)
	{
		execve(self.c_str(), argv, envp.data());
		_exit(127);
	}
	int status = 0;
	const int64_t deadline = lang::System::realTimeMicros() + 120 * 1000000LL;
	pid_t done = 0;
	while ((done = waitpid(child, &status, WNOHANG)) == 0 && lang::System::realTimeMicros() < deadline)
		lang::Thread::sleep(20);
	if (done == 0)
	{
		kill(child, SIGKILL);
		waitpid(child, &status, 0);
		FAIL() << "the recording did not end within two minutes";
	}
	ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the recording failed: " << status;

	// 10 ms windows: loud while playing, silent while inactive.
	const std::vector<int> left = leftChannel(wav);
	ASSERT_GT(left.size(), size_t(44100)) << "too short a recording";
	const size_t window = 441;
	std::vector<char> loud;
	for (size_t at = 0; at + window <= left.size(); at += window)
	{
		int peak = 0;
		for (size_t i = at; i < at + window; ++i)
			peak = std::max(peak, std::abs(left[i]));
		loud.push_back(peak > 4000 ? 'L' : peak < 50 ? 's' : '?');
	}
	// Runs of at least 200 ms.
	std::string runs;
	for (size_t i = 0; i < loud.size();)
	{
		size_t j = i;
		while (j < loud.size() && loud[j] == loud[i])
			++j;
		if (j - i >= 20 && loud[i] != '?')
			runs += loud[i];
		i = j;
	}
	const std::string shape(loud.begin(), loud.end());
	EXPECT_NE(std::string::npos, runs.find("LsL")) << runs << "\n" << shape;
}
