// WAV, raw and MP3 readers and the clips over them.
#include "AudioTestSupport.h"
#include <audio/AudioClip.h>
#include <audio/AudioReader.h>
#include <audio/CompositeAudioClip.h>
#include <io/FileInputStream.h>
#include <io/IOException.h>
#include <gtest/gtest.h>

using namespace audiotest;
using audio::AudioClip;
using audio::AudioClipCursor;
using audio::AudioReader;

namespace
{
std::string headerError(const Bytes& file, io::FileFormat format = io::FILEFORMAT_WAV)
{
	try
	{
		AudioReader reader(stream(file), format);
	}
	catch (const io::IOException& e)
	{
		return "io:" + e.getMessage().format();
	}
	catch (const lang::Exception& e)
	{
		return e.getMessage().format();
	}
	return "";
}

Bytes readAll(AudioClip& clip, int step)
{
	lang::Ptr<AudioClipCursor> cursor = new AudioClipCursor;
	Bytes out;
	uint8_t buf[4096];
	for (int n; (n = clip.getData(buf, step, cursor)) > 0;)
		out.insert(out.end(), buf, buf + n);
	return out;
}
}

TEST(AudioReader, WavHeaderErrorsNameTheCause)
{
	const Bytes data = pcm16({1, 2, 3, 4});
	Bytes dataFirst, tag3, shortFmt, longFmt, cutHeader, notRiff;
	chunk(dataFirst, "data", data);
	chunk(dataFirst, "fmt ", fmtBody(1, 2, 44100, 16));
	chunk(tag3, "fmt ", fmtBody(3, 2, 44100, 32));
	chunk(shortFmt, "fmt ", Bytes(14, 0));
	chunk(longFmt, "fmt ", fmtBody(1, 2, 44100, 16, 130 - 16));
	chunk(cutHeader, "fmt ", fmtBody(1, 2, 44100, 16));
	cutHeader.insert(cutHeader.end(), {'d', 'a', 't', 'a', 4});
	notRiff = riff(tag3);
	notRiff[8] = 'X';

	struct Case
	{
		Bytes file;
		std::string message;
	} cases[] = {
		{riff(dataFirst), "Missing fmt chunk before data chunk in wav file"},
		{riff(tag3), "WAV was not PCM! RIFF AudioEncoding TwoCC value: 0x3"},
		{riff(cutHeader), "io:Failed to read 8 bytes from test.wav"},
		{notRiff, "Only RIFF/WAVE sounds are currently supported"},
		{Bytes{'R', 'I', 'F'}, "io:Failed to read 12 bytes from test.wav"},
		{riff(shortFmt), "io:Invalid fmt chunk size 14 while reading test.wav"},
		{riff(longFmt), "io:Invalid fmt chunk size 130 while reading test.wav"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(c.message, headerError(c.file));
	EXPECT_EQ("io:Unsupported audio file format while reading test.wav", headerError(wav(2, 44100, 16, data), io::FILEFORMAT_PNG));
}

TEST(AudioReader, WavChunksAreWalkedBySizeWithPadBytes)
{
	const Bytes data = pcm16({100, -100, 200, -200, 300, -300});
	Bytes chunks;
	chunk(chunks, "LIST", Bytes{'a', 'b', 'c'}); // odd: one pad byte follows
	chunk(chunks, "fmt ", fmtBody(1, 2, 22050, 16, 2));
	chunk(chunks, "junk", Bytes(7, 0xEE));
	chunk(chunks, "data", data);
	AudioReader reader(stream(riff(chunks)), io::FILEFORMAT_WAV);
	EXPECT_EQ(1, reader.audioFormat());
	EXPECT_EQ(2, reader.channels());
	EXPECT_EQ(22050, reader.sampleRate());
	EXPECT_EQ(22050 * 4, reader.byteRate());
	EXPECT_EQ(4, reader.blockAlign());
	EXPECT_EQ(16, reader.bitsPerSample());
	EXPECT_EQ(12, reader.dataSize());

	uint8_t buf[64];
	ASSERT_EQ(12, reader.readData(buf, 0, 64));
	EXPECT_EQ(data, Bytes(buf, buf + 12));
	// Near the end only the bytes up to the data size; at or past it nothing.
	ASSERT_EQ(4, reader.readData(buf, 8, 64));
	EXPECT_EQ(Bytes(data.begin() + 8, data.end()), Bytes(buf, buf + 4));
	EXPECT_EQ(0, reader.readData(buf, 12, 64));
	EXPECT_EQ(0, reader.readData(buf, 1000, 64));
}

TEST(AudioReader, WavDataSizeIsCutToTheFileAndMissingDataIsSilence)
{
	Bytes chunks;
	chunk(chunks, "fmt ", fmtBody(1, 1, 8000, 8));
	chunk(chunks, "data", Bytes{1, 2, 3, 4, 5}, false, 0xFFFFFFF0L);
	AudioReader cut(stream(riff(chunks)), io::FILEFORMAT_WAV);
	EXPECT_EQ(5, cut.dataSize());

	Bytes noData;
	chunk(noData, "fmt ", fmtBody(1, 1, 8000, 8));
	AudioClip silent(nullptr, stream(riff(noData)), io::FILEFORMAT_WAV);
	EXPECT_EQ(0, silent.dataSize());
	lang::Ptr<AudioClipCursor> cursor = new AudioClipCursor;
	uint8_t buf[16];
	EXPECT_EQ(0, silent.getData(buf, 16, cursor));
}

TEST(AudioReader, RawClipIsItsBytesInTheGivenLayout)
{
	const Bytes data = pcm16({1, -1, 2, -2, 3});
	AudioClip clip(nullptr, data.data(), int(data.size()), audio::AudioConfiguration{1, 16, 11025});
	EXPECT_EQ(1, clip.audioFormat());
	EXPECT_EQ(1, clip.channels());
	EXPECT_EQ(11025, clip.sampleRate());
	EXPECT_EQ(2, clip.blockAlign());
	EXPECT_EQ(22050, clip.byteRate());
	EXPECT_EQ(10, clip.dataSize());
	// Read in odd steps, the cursor carries the position.
	EXPECT_EQ(data, readAll(clip, 3));
}

TEST(CompositeAudioClip, ReadsStopAtPartEndsAndGoOnFromThere)
{
	Bytes a(1000), b(1000);
	for (size_t i = 0; i < 1000; ++i)
	{
		a[i] = uint8_t(i);
		b[i] = uint8_t(i * 7 + 1);
	}
	const audio::AudioConfiguration config{1, 8, 8000};
	lang::Ptr<AudioClip> pa = new AudioClip(nullptr, a.data(), 1000, config);
	lang::Ptr<AudioClip> pb = new AudioClip(nullptr, b.data(), 1000, config);
	audio::CompositeAudioClip clip(nullptr, {pa, pb});
	EXPECT_EQ(2000, clip.dataSize());
	EXPECT_EQ(8000, clip.sampleRate());

	lang::Ptr<AudioClipCursor> cursor = new AudioClipCursor;
	uint8_t buf[1500];
	EXPECT_EQ(1000, clip.getData(buf, 1500, cursor));
	EXPECT_EQ(a, Bytes(buf, buf + 1000));
	EXPECT_EQ(1000, clip.getData(buf, 1500, cursor));
	EXPECT_EQ(b, Bytes(buf, buf + 1000));
	EXPECT_EQ(0, clip.getData(buf, 1500, cursor));

	// A read that ends exactly on a part boundary does not end the clip.
	lang::Ptr<AudioClipCursor> aligned = new AudioClipCursor;
	EXPECT_EQ(1000, clip.getData(buf, 1000, aligned));
	EXPECT_EQ(500, clip.getData(buf, 500, aligned));
	EXPECT_EQ(Bytes(b.begin(), b.begin() + 500), Bytes(buf, buf + 500));

	EXPECT_THROW(audio::CompositeAudioClip(nullptr, {}), lang::Exception);
}

TEST(CompositeAudioClip, UnknownPartSizeMakesTheWholeUnknown)
{
	lang::Ptr<AudioClip> mp3 = new AudioClip(nullptr, new io::FileInputStream(fixture("tone.mp3")), io::FILEFORMAT_MP3);
	const Bytes raw(10);
	lang::Ptr<AudioClip> pcm = new AudioClip(nullptr, raw.data(), 10, audio::AudioConfiguration{2, 16, 44100});
	EXPECT_EQ(-1, audio::CompositeAudioClip(nullptr, {pcm, mp3}).dataSize());
}

TEST(AudioReader, Mp3DecodesToTheSourceLengthAndSeeksExactly)
{
	// tone.mp3 is lame's encoding of tone.wav.
	AudioClip source(nullptr, new io::FileInputStream(fixture("tone.wav")), io::FILEFORMAT_WAV);
	AudioClip mp3(nullptr, new io::FileInputStream(fixture("tone.mp3")), io::FILEFORMAT_MP3);
	EXPECT_EQ(2, mp3.channels());
	EXPECT_EQ(44100, mp3.sampleRate());
	EXPECT_EQ(16, mp3.bitsPerSample());
	EXPECT_EQ(-1, mp3.dataSize());

	const Bytes whole = readAll(mp3, 4096);
	EXPECT_EQ(size_t(source.dataSize()), whole.size());

	// A second instance at another offset re-positions the shared decoder sample-exactly.
	AudioReader reader(new io::FileInputStream(fixture("tone.mp3")), io::FILEFORMAT_MP3);
	uint8_t buf[4000];
	for (int offset : {40000, 4, 12000, 0, 80000})
	{
		ASSERT_EQ(4000, reader.readData(buf, offset, 4000)) << offset;
		EXPECT_EQ(Bytes(whole.begin() + offset, whole.begin() + offset + 4000), Bytes(buf, buf + 4000)) << offset;
	}
	// Past the end the seek gives up instead of spinning.
	EXPECT_EQ(0, reader.readData(buf, int(whole.size()) + 40000, 4000));
}

TEST(AudioReader, Mp3HeaderErrorsNameTheStream)
{
	EXPECT_EQ("io:Failed to read MP3 header while reading junk.mp3", [] {
		try
		{
			AudioReader reader(stream(Bytes(100, 0), "junk.mp3"), io::FILEFORMAT_MP3);
		}
		catch (const io::IOException& e)
		{
			return "io:" + e.getMessage().format();
		}
		return std::string();
	}());
	// The failed reader released the library, so a good one still works afterwards.
	AudioReader reader(new io::FileInputStream(fixture("tone.mp3")), io::FILEFORMAT_MP3);
	EXPECT_EQ(44100, reader.sampleRate());
}

TEST(AudioReader, DemoSoundsAreClipsTheDemoOutputPlays)
{
	const std::string dir = std::string(ENGINE_BINARY_DIR) + "/demo/data_iphone/audio/";
	std::vector<lang::Ptr<AudioClip>> jingle;
	for (const char* name : {"hit.wav", "pop.wav", "whoosh.wav", "break.wav", "music.mp3", "jingle1.wav", "jingle2.wav", "jingle3.wav"})
	{
		const std::string path = dir + name;
		lang::Ptr<AudioClip> clip = new AudioClip(nullptr, new io::FileInputStream(path), io::guessFileFormat(path));
		EXPECT_EQ(44100, clip->sampleRate()) << name;
		EXPECT_EQ(16, clip->bitsPerSample()) << name;
		EXPECT_LE(clip->channels(), 2) << name;
		EXPECT_GT(readAll(*clip, 4096).size(), 4096u) << name;
		if (std::string(name).rfind("jingle", 0) == 0)
			jingle.push_back(clip);
	}
	audio::CompositeAudioClip whole(nullptr, jingle);
	EXPECT_EQ(jingle[0]->dataSize() + jingle[1]->dataSize() + jingle[2]->dataSize(), int(readAll(whole, 4096).size()));
}
