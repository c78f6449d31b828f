// Software mixer throughput: seconds of audio mixed per CPU second ("realtime") for 8192-byte
// buffers of 44.1 kHz 16-bit stereo (8-bit for Mix8), heap allocations per warm buffer ("allocs"),
// and the speed relative to a plain loop of the same algorithm run in this process ("vs_plain").
#include <audio/AudioClip.h>
#include <audio/AudioMixer.h>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "../support/AllocationCounter.h"

namespace
{
const unsigned BUFFER_BYTES = 8192;

double threadCpuSeconds()
{
	timespec t;
	clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
	return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Voice
{
	std::vector<uint8_t> pcm;
	size_t offset = 0;
};

/** Voices of a few hundred milliseconds each, different lengths so their wraps do not line up. */
std::vector<Voice> makeVoices(int count, int channels, int bits)
{
	std::vector<Voice> voices(static_cast<size_t>(count));
	for (int v = 0; v < count; ++v)
	{
		const int frames = 8000 + 977 * v;
		Voice& voice = voices[size_t(v)];
		for (int i = 0; i < frames; ++i)
			for (int c = 0; c < channels; ++c)
			{
				const double s = std::sin(i * (0.01 + 0.001 * v)) * 0.3;
				if (bits == 16)
				{
					const int16_t x = int16_t(s * 32767);
					voice.pcm.push_back(uint8_t(x));
					voice.pcm.push_back(uint8_t(x >> 8));
				}
				else
					voice.pcm.push_back(uint8_t(128 + int(s * 127)));
			}
	}
	return voices;
}

/** The algorithm written plainly: read each looping voice, scale, sum, clamp. */
class PlainMixer
{
public:
	PlainMixer(std::vector<Voice> voices, int outChannels, int voiceChannels, int bits) :
		m_voices(voices), m_mono(outChannels == 2 && voiceChannels == 1), m_bits(bits)
	{
	}

	void mix(uint8_t* out, unsigned bytes)
	{
		const unsigned entries = m_bits == 16 ? bytes / 2 : bytes;
		m_acc.assign(entries, 0);
		m_scratch.resize(bytes);
		const unsigned want = m_mono ? bytes / 2 : bytes;
		for (Voice& v : m_voices)
		{
			for (unsigned got = 0; got < want;)
			{
				const size_t n = std::min<size_t>(want - got, v.pcm.size() - v.offset);
				std::memcpy(&m_scratch[got], &v.pcm[v.offset], n);
				got += unsigned(n);
				v.offset = (v.offset + n) % v.pcm.size();
			}
			if (m_bits == 16)
			{
				const int gain = int(0.5f * 1.f * 4096.0f);
				for (unsigned i = 0; i < want / 2; ++i)
				{
					const int16_t s = int16_t(m_scratch[2 * i] | m_scratch[2 * i + 1] << 8);
					const int a = (s * gain) >> 12;
					if (m_mono)
					{
						m_acc[2 * i] += a;
						m_acc[2 * i + 1] += a;
					}
					else
						m_acc[i] += a;
				}
			}
			else
			{
				const int gain = int(0.5f * 1.f * 256.0f);
				for (unsigned i = 0; i < want; ++i)
					m_acc[i] += ((int(m_scratch[i]) - 128) * gain) >> 8;
			}
		}
		for (unsigned i = 0; i < entries; ++i)
		{
			if (m_bits == 16)
			{
				const int16_t s = int16_t(std::min(32767, std::max(-32768, m_acc[i])));
				out[2 * i] = uint8_t(s);
				out[2 * i + 1] = uint8_t(s >> 8);
			}
			else
				out[i] = uint8_t(std::min(255, std::max(0, m_acc[i] + 128)));
		}
	}

private:
	std::vector<Voice> m_voices;
	bool m_mono;
	int m_bits;
	std::vector<int> m_acc;
	std::vector<uint8_t> m_scratch;
};

void mixBench(benchmark::State& state, int voiceChannels, int bits)
{
	const int count = int(state.range(0));
	const audio::AudioConfiguration out{2, bits, 44100};
	const std::vector<Voice> voices = makeVoices(count, voiceChannels, bits);

	std::vector<lang::Ptr<audio::AudioClip>> clips;
	audio::AudioMixer mixer;
	mixer.start();
	for (const Voice& v : voices)
	{
		clips.push_back(new audio::AudioClip(nullptr, v.pcm.data(), int(v.pcm.size()),
			audio::AudioConfiguration{voiceChannels, bits, 44100}));
		mixer.playClip(clips.back(), 0.5f, true, 0);
	}
	std::vector<uint8_t> buffer(BUFFER_BYTES);
	auto mixOnce = [&] {
		if (bits == 16)
			mixer.mixUnlimited16(out, buffer.data(), BUFFER_BYTES);
		else
			mixer.mixUnlimited8(out, buffer.data(), BUFFER_BYTES);
	};
	for (int i = 0; i < 4; ++i)
		mixOnce();

	const long allocsBefore = s_allocations;
	for (auto _ : state)
	{
		mixOnce();
		benchmark::DoNotOptimize(buffer.data());
	}
	const long allocs = s_allocations - allocsBefore;

	// The plain loop and the mixer again, timed alike on this thread.
	PlainMixer plain(voices, 2, voiceChannels, bits);
	const int rounds = 200;
	double t0 = threadCpuSeconds();
	for (int i = 0; i < rounds; ++i)
	{
		plain.mix(buffer.data(), BUFFER_BYTES);
		benchmark::DoNotOptimize(buffer.data());
	}
	const double plainTime = threadCpuSeconds() - t0;
	t0 = threadCpuSeconds();
	for (int i = 0; i < rounds; ++i)
	{
		mixOnce();
		benchmark::DoNotOptimize(buffer.data());
	}
	const double mixerTime = threadCpuSeconds() - t0;

	const double bufferSeconds = double(BUFFER_BYTES) / (2 * (bits / 8) * 44100.0);
	state.counters["realtime"] = benchmark::Counter(double(state.iterations()) * bufferSeconds, benchmark::Counter::kIsRate);
	state.counters["allocs"] = double(allocs) / double(state.iterations());
	state.counters["vs_plain"] = mixerTime > 0 ? plainTime / mixerTime : 0;
}

void BM_Mix16(benchmark::State& state) { mixBench(state, 2, 16); }
void BM_Mix16Mono(benchmark::State& state) { mixBench(state, 1, 16); }
void BM_Mix8(benchmark::State& state) { mixBench(state, 2, 8); }
}

BENCHMARK(BM_Mix16)->Arg(1)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_Mix16Mono)->Arg(32);
BENCHMARK(BM_Mix8)->Arg(32);
