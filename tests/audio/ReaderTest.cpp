// WAV, raw and MP3 readers and the clips over them.
#include "AudioTestSupport.h"
#include <audio/AudioClip.h>
#include <audio/AudioMixer.h>
#include <audio/AudioReader.h>
#include <audio/CompositeAudioClip.h>
#include <io/FileInputStream.h>
#include <io/IOException.h>
#include <support/TempDir.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>

using namespace audiotest;
using audio::AudioClip;
using audio::AudioClipCursor;
using audio::AudioReader;

namespace
{
std::string headerError(const Bytes& file, io::FileFormat format = io::FILEFORMAT_WAV, const std::string& name = "test.wav")
{
	try
	{
		AudioReader reader(stream(file, name), format);
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

lang::Ptr<AudioClip> fileClip(const char* name, io::FileFormat format)
{
	return new AudioClip(nullptr, new io::FileInputStream(fixture(name)), format);
}

/** "" when equal, else where 16-bit samples first differ, by how much, and in how many samples. */
std::string sampleDifference(const Bytes& expected, const Bytes& actual)
{
	if (expected == actual)
		return "";
	const std::vector<int> e = samples16(expected.data(), expected.size()), a = samples16(actual.data(), actual.size());
	size_t first = std::string::npos, count = 0;
	int worst = 0;
	for (size_t i = 0; i < std::min(e.size(), a.size()); ++i)
		if (e[i] != a[i])
		{
			first = std::min(first, i);
			++count;
			worst = std::max(worst, std::abs(e[i] - a[i]));
		}
	return "samples " + std::to_string(e.size()) + " vs " + std::to_string(a.size()) + ", first differing " +
		(first == std::string::npos ? std::string("none") : std::to_string(first)) + ", " + std::to_string(count) +
		" differ, by up to " + std::to_string(worst);
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
		{notRiff, "Only RIFF/WAVE sounds are currently supported; test.wav is neither RIFF/WAVE nor MP3"},
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
	for (const char* name : {"hit.wav", "pop.wav", "whoosh.wav", "break.wav", "lose.wav", "music.mp3", "jingle1.wav", "jingle2.wav", "jingle3.wav"})
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

TEST(AudioReader, Mp3InstancesReadAlternatelyEachHearTheWholeFile)
{
	// A low-bitrate mono file (lame resamples it to 22050 Hz) and a VBR one; two instances of one clip
	// read in turn at the mixer's call sizes, the second starting a few reads behind the first.
	for (const char* name : {"low-mono.mp3", "vbr.mp3"})
	{
		const Bytes straight = readAll(*fileClip(name, io::FILEFORMAT_MP3), 4096);
		lang::Ptr<AudioClip> probe = fileClip(name, io::FILEFORMAT_MP3);
		// Gapless: exactly the source's 2.5 s, without the encoder's delay and padding.
		EXPECT_EQ(size_t(probe->sampleRate()) * 5 / 2 * size_t(probe->channels()) * 2, straight.size()) << name;

		for (int step : {1024, 2048, 4096})
		{
			lang::Ptr<AudioClip> clip = fileClip(name, io::FILEFORMAT_MP3);
			lang::Ptr<AudioClipCursor> cursors[2] = {new AudioClipCursor, new AudioClipCursor};
			Bytes heard[2];
			bool done[2] = {false, false};
			std::vector<uint8_t> buf(static_cast<size_t>(step), 0);
			for (int turn = 0; !done[0] || !done[1]; ++turn)
				for (int i = 0; i < 2; ++i)
				{
					if (done[i] || (i == 1 && turn < 3))
						continue;
					const int n = clip->getData(buf.data(), step, cursors[i]);
					heard[i].insert(heard[i].end(), buf.begin(), buf.begin() + n);
					done[i] = n == 0;
				}
			EXPECT_EQ("", sampleDifference(straight, heard[0])) << name << " first instance, reads of " << step;
			EXPECT_EQ("", sampleDifference(straight, heard[1])) << name << " second instance, reads of " << step;

			// A loop starts the first instance again while the second one goes on from its middle.
			Bytes again, rest;
			cursors[0]->offset = 0;
			cursors[1]->offset = int(straight.size() / 2) / 4 * 4;
			for (bool more = true; more;)
			{
				const int n = clip->getData(buf.data(), step, cursors[0]);
				again.insert(again.end(), buf.begin(), buf.begin() + n);
				const int m = clip->getData(buf.data(), step, cursors[1]);
				rest.insert(rest.end(), buf.begin(), buf.begin() + m);
				more = n > 0 || m > 0;
			}
			EXPECT_EQ("", sampleDifference(straight, again)) << name << " looped, reads of " << step;
			EXPECT_EQ("", sampleDifference(Bytes(straight.begin() + long(straight.size() / 2) / 4 * 4, straight.end()), rest))
				<< name << " from the middle, reads of " << step;
		}
	}
}

TEST(AudioReader, Mp3SeeksAreSampleExactEverywhere)
{
	// Near the start (the decoder's gapless trim), inside the low bitrate's long bit reservoir, and back.
	const Bytes straight = readAll(*fileClip("low-mono.mp3", io::FILEFORMAT_MP3), 4096);
	AudioReader reader(new io::FileInputStream(fixture("low-mono.mp3")), io::FILEFORMAT_MP3);
	uint8_t buf[4000];
	for (int frame : {1, 37, 300, 577, 1000, 1105, 1152, 3784, 20000, 2960, 40000, 100, 54000, 0, 7})
	{
		const int offset = frame * 2;
		const int want = std::min<int>(4000, int(straight.size()) - offset);
		ASSERT_EQ(want, reader.readData(buf, offset, 4000)) << frame;
		EXPECT_EQ("", sampleDifference(Bytes(straight.begin() + offset, straight.begin() + offset + want), Bytes(buf, buf + want)))
			<< "at sample " << frame;
	}
}

TEST(AudioReader, LoopingWavCutInsideAFrameWrapsOnWholeFrames)
{
	// cut.wav is tone.wav without its last byte: the header still claims the whole data.
	lang::Ptr<AudioClip> whole = fileClip("tone.wav", io::FILEFORMAT_WAV);
	lang::Ptr<AudioClip> cut = fileClip("cut.wav", io::FILEFORMAT_WAV);
	EXPECT_EQ(whole->dataSize() - 4, cut->dataSize());
	const Bytes full = readAll(*whole, 4096);
	const Bytes frames(full.begin(), full.end() - 4);

	audio::AudioClipInstance looping;
	looping.clip = cut;
	looping.cursor = new AudioClipCursor;
	looping.loop = true;
	Bytes heard;
	uint8_t buf[4096];
	while (heard.size() < 3 * frames.size())
	{
		const int n = looping.fetchData(buf, 4096);
		ASSERT_EQ(4096, n);
		heard.insert(heard.end(), buf, buf + n);
	}
	Bytes expected;
	for (int i = 0; i < 4; ++i)
		expected.insert(expected.end(), frames.begin(), frames.end());
	expected.resize(heard.size());
	EXPECT_EQ("", sampleDifference(expected, heard));
}

TEST(AudioReader, TheContentNotTheNameChoosesTheReader)
{
	const Bytes wavPcm = readAll(*fileClip("tone.wav", io::FILEFORMAT_WAV), 4096);
	const Bytes mp3Pcm = readAll(*fileClip("tone.mp3", io::FILEFORMAT_MP3), 4096);
	const Bytes taggedPcm = readAll(*fileClip("tagged.mp3", io::FILEFORMAT_MP3), 4096);
	const Bytes sweepPcm = readAll(*fileClip("sweep.wav", io::FILEFORMAT_WAV), 4096);
	struct Case
	{
		const char* file;
		io::FileFormat named;
		const Bytes* pcm; // null: refused
	} cases[] = {
		{"tone.wav", io::FILEFORMAT_MP3, &wavPcm},
		{"tone.wav", io::FILEFORMAT_UNKNOWN, &wavPcm},
		{"tone.mp3", io::FILEFORMAT_WAV, &mp3Pcm},
		{"tagged.mp3", io::FILEFORMAT_WAV, &taggedPcm},
		{"tone.mp3", io::FILEFORMAT_UNKNOWN, &mp3Pcm},
		{"noise.pcm", io::FILEFORMAT_MP3, nullptr},
		{"noise.pcm", io::FILEFORMAT_WAV, nullptr},
		{"noise.pcm", io::FILEFORMAT_UNKNOWN, nullptr},
		{"tone.ogg", io::FILEFORMAT_UNKNOWN, nullptr},
		{"tone.ogg", io::FILEFORMAT_WAV, nullptr},
		{"sweep.wav", io::FILEFORMAT_MP3, &sweepPcm},
	};
	for (const Case& c : cases)
	{
		const std::string path = fixture(c.file);
		SCOPED_TRACE(std::string(c.file) + " read as " + io::toString(c.named));
		if (!c.pcm)
		{
			try
			{
				fileClip(c.file, c.named);
				ADD_FAILURE() << "accepted";
			}
			catch (const lang::Exception& e)
			{
				EXPECT_NE(std::string::npos, e.getMessage().format().find(path)) << e.getMessage().format();
			}
			continue;
		}
		lang::Ptr<AudioClip> clip;
		ASSERT_NO_THROW(clip = fileClip(c.file, c.named));
		EXPECT_EQ("", sampleDifference(*c.pcm, readAll(*clip, 4096)));
	}
	EXPECT_GT(taggedPcm.size(), 44100u * 4);

	// One frame header that promises a second frame where there is none is not an MP3.
	std::ifstream in(fixture("low-mono.mp3"), std::ios::binary);
	Bytes oneHeader(4);
	in.read(reinterpret_cast<char*>(oneHeader.data()), 4);
	oneHeader.resize(3000, 0x55);
	EXPECT_EQ("io:Failed to read MP3 header while reading one-header.mp3", headerError(oneHeader, io::FILEFORMAT_MP3, "one-header.mp3"));
	// A RIFF file that is not WAVE, named .wav.
	Bytes avi = riff(Bytes(40, 1));
	std::memcpy(avi.data() + 8, "AVI ", 4);
	EXPECT_EQ("Only RIFF/WAVE sounds are currently supported; clip.wav is neither RIFF/WAVE nor MP3",
		headerError(avi, io::FILEFORMAT_WAV, "clip.wav"));
}

TEST(AudioReader, WavFilesReadAlikeFromMemoryAndFromDisk)
{
	// Chunks that run past the end, and a last odd-sized chunk without its pad byte.
	const Bytes fmt = fmtBody(1, 2, 44100, 16);
	Bytes overrun, hugeOverrun, unpaddedList, unpaddedFmt, padded;
	chunk(overrun, "fmt ", fmt);
	chunk(overrun, "LIST", Bytes(4, 1), true, 1000);
	chunk(overrun, "data", pcm16({1, 2}));
	chunk(hugeOverrun, "fmt ", fmt);
	chunk(hugeOverrun, "LIST", Bytes(4, 1), true, 0xFFFFFFFFL);
	chunk(unpaddedList, "fmt ", fmt);
	chunk(unpaddedList, "LIST", Bytes{'a', 'b', 'c'}, false);
	chunk(unpaddedFmt, "fmt ", fmtBody(1, 2, 44100, 16, 1), false);
	chunk(padded, "fmt ", fmt);
	chunk(padded, "LIST", Bytes{'a', 'b', 'c'});
	chunk(padded, "data", pcm16({5, 6}));
	const struct
	{
		Bytes file;
		std::string outcome; // the error before the stream's name, or the data size
	} cases[] = {
		{riff(overrun), "The \"LIST\" chunk of 1000 bytes runs past the end of "},
		{riff(hugeOverrun), "The \"LIST\" chunk of 4294967295 bytes runs past the end of "},
		{riff(unpaddedList), "0 bytes"},
		{riff(unpaddedFmt), "0 bytes"},
		{riff(padded), "4 bytes"},
	};
	support::TempDir dir;
	int index = 0;
	for (const auto& c : cases)
	{
		const std::string path = dir / (std::to_string(index++) + ".wav");
		std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.file.data()), std::streamsize(c.file.size()));
		const lang::Ptr<io::InputStream> streams[] = {stream(c.file, "memory.wav"), new io::FileInputStream(path)};
		for (const lang::Ptr<io::InputStream>& in : streams)
		{
			std::string outcome;
			try
			{
				outcome = std::to_string(AudioReader(in, io::FILEFORMAT_WAV).dataSize()) + " bytes";
			}
			catch (const lang::Exception& e)
			{
				outcome = e.getMessage().format();
			}
			const bool error = c.outcome.find(" bytes") != c.outcome.size() - 6;
			EXPECT_EQ(error ? c.outcome + in->toString() : c.outcome, outcome) << "case " << index << " from " << in->toString();
		}
	}
}

TEST(AudioReader, WavBlockAlignMustMatchTheLayout)
{
	const struct
	{
		unsigned channels, bits, blockAlign;
		bool accepted;
	} cases[] = {
		{2, 16, 4, true},
		{1, 8, 1, true},
		{2, 24, 6, true}, // read, though the mixer takes 8 and 16 bits only
		{2, 16, 6, false},
		{2, 16, 2, false},
		{1, 16, 0, false},
		{0, 16, 0, false},
		{1, 0, 0, false},
	};
	for (const auto& c : cases)
	{
		Bytes fmt = fmtBody(1, c.channels, 22050, c.bits);
		fmt[12] = uint8_t(c.blockAlign);
		Bytes chunks;
		chunk(chunks, "fmt ", fmt);
		chunk(chunks, "data", Bytes(24, 0));
		const std::string error = headerError(riff(chunks));
		if (c.accepted)
			EXPECT_EQ("", error) << c.channels << " x " << c.bits << " bits, block align " << c.blockAlign;
		else
			EXPECT_EQ("io:Invalid WAV layout in test.wav: channels " + std::to_string(c.channels) + ", bits per sample " +
					std::to_string(c.bits) + ", block align " + std::to_string(c.blockAlign),
				error);
	}
}

TEST(AudioReader, Mp3EndsWhereItsFormatChanges)
{
	// The first part's sound, exactly, and nothing after it: not the second part under the first one's format.
	const struct
	{
		const char* file;
		const char* first;
	} cases[] = {{"stereo-then-mono.mp3", "tone.mp3"}, {"mono-then-stereo.mp3", "low-mono.mp3"}};
	for (const auto& c : cases)
	{
		const Bytes first = readAll(*fileClip(c.first, io::FILEFORMAT_MP3), 4096);
		lang::Ptr<AudioClip> clip = fileClip(c.file, io::FILEFORMAT_MP3);
		EXPECT_EQ(fileClip(c.first, io::FILEFORMAT_MP3)->channels(), clip->channels()) << c.file;
		testing::internal::CaptureStdout();
		for (int step : {4096, 1000, 2048})
			EXPECT_EQ("", sampleDifference(first, readAll(*clip, step))) << c.file << " in reads of " << step;
		// The reader's own decoder, seeking back and forth across the change.
		AudioReader reader(new io::FileInputStream(fixture(c.file)), io::FILEFORMAT_MP3);
		uint8_t buf[4000];
		const int end = int(first.size());
		for (int offset : {end - 1000, end, end + 4000, 0, end - 4000})
		{
			const int want = std::max(0, std::min(4000, end - offset));
			ASSERT_EQ(want, reader.readData(buf, offset, 4000)) << c.file << " at " << offset;
			const Bytes expected = want > 0 ? Bytes(first.begin() + offset, first.begin() + offset + want) : Bytes();
			EXPECT_EQ(expected, Bytes(buf, buf + want)) << c.file << " at " << offset;
		}
		EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find(fixture(c.file) + " changes")) << c.file;
	}
}
