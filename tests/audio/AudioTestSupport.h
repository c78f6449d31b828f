#ifndef AUDIO_TESTS_AUDIOTESTSUPPORT_H
#define AUDIO_TESTS_AUDIOTESTSUPPORT_H

#include <audio/AudioClip.h>
#include <io/ByteArrayInputStream.h>
#include <lang/Ptr.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace audiotest
{
#if defined(__SANITIZE_THREAD__)
/** ThreadSanitizer slows every thread several times over: real-time figures mean little there. */
const bool UNDER_TSAN = true;
#else
const bool UNDER_TSAN = false;
#endif

typedef std::vector<uint8_t> Bytes;

inline void put16(Bytes& b, unsigned v)
{
	b.push_back(uint8_t(v));
	b.push_back(uint8_t(v >> 8));
}

inline void put32(Bytes& b, unsigned v)
{
	put16(b, v & 0xffff);
	put16(b, v >> 16);
}

/** One RIFF chunk; the pad byte of an odd size is added when pad is true. */
inline void chunk(Bytes& b, const char* id, const Bytes& body, bool pad = true, long size = -1)
{
	b.insert(b.end(), id, id + 4);
	put32(b, unsigned(size >= 0 ? size : long(body.size())));
	b.insert(b.end(), body.begin(), body.end());
	if (pad && body.size() % 2)
		b.push_back(0);
}

inline Bytes fmtBody(unsigned tag, unsigned channels, unsigned rate, unsigned bits, size_t extra = 0)
{
	Bytes f;
	put16(f, tag);
	put16(f, channels);
	put32(f, rate);
	put32(f, rate * channels * bits / 8);
	put16(f, channels * bits / 8);
	put16(f, bits);
	f.resize(16 + extra, 0);
	return f;
}

/** "RIFF" size "WAVE" followed by the given chunks. */
inline Bytes riff(const Bytes& chunks)
{
	Bytes b = {'R', 'I', 'F', 'F'};
	put32(b, unsigned(4 + chunks.size()));
	b.insert(b.end(), {'W', 'A', 'V', 'E'});
	b.insert(b.end(), chunks.begin(), chunks.end());
	return b;
}

inline Bytes wav(unsigned channels, unsigned rate, unsigned bits, const Bytes& data)
{
	Bytes c;
	chunk(c, "fmt ", fmtBody(1, channels, rate, bits));
	chunk(c, "data", data);
	return riff(c);
}

inline lang::Ptr<io::InputStream> stream(const Bytes& b, const std::string& name = "test.wav")
{
	io::ByteArrayInputStream* s = new io::ByteArrayInputStream(b.data(), int(b.size()));
	s->setName(name);
	return s;
}

/** 16-bit little-endian samples. */
inline Bytes pcm16(const std::vector<int>& samples)
{
	Bytes b;
	for (int s : samples)
		put16(b, unsigned(s) & 0xffff);
	return b;
}

inline std::vector<int> samples16(const uint8_t* p, size_t bytes)
{
	std::vector<int> s;
	for (size_t i = 0; i + 1 < bytes; i += 2)
		s.push_back(int16_t(uint16_t(p[i] | p[i + 1] << 8)));
	return s;
}

/** A sine tone as interleaved 16-bit PCM. */
inline Bytes tone16(int channels, int rate, double hz, double level, int frames)
{
	std::vector<int> s;
	for (int i = 0; i < frames; ++i)
	{
		const int v = int(std::lround(std::sin(2 * M_PI * hz * i / rate) * level * 32767));
		for (int c = 0; c < channels; ++c)
			s.push_back(v);
	}
	return pcm16(s);
}

inline std::string fixture(const char* name)
{
	return std::string(AUDIO_FIXTURES_DIR) + "/" + name;
}
}

#endif
