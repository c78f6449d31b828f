#include <audio/AudioReader.h>
#include <io/IOException.h>
#include <lang/Format.h>
#include <lang/throwError.h>
#include <cstring>

namespace audio
{
namespace
{
// Enough for the longest MPEG audio frame (about 2,900 bytes) and the header after it.
const int SNIFF_BYTES = 4096;

struct FrameHeader
{
	int version; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
	int layer; // 1 layer III, 2 layer II, 3 layer I (the header's coding)
	int rateIndex;
	int length; // bytes, header included
};

// An MPEG audio frame header whose fields are all allowed; free-format frames (no length) are not accepted.
bool parseFrameHeader(const unsigned char* p, FrameHeader& h)
{
	static const short kbps[2][3][15] = {
		// MPEG-1: layer III, II, I
		{{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
			{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
			{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}},
		// MPEG-2 and 2.5: layer III, II, I
		{{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
			{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
			{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}}};
	static const int rates[3] = {44100, 48000, 32000};
	if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
		return false;
	h.version = (p[1] >> 3) & 3;
	h.layer = (p[1] >> 1) & 3;
	const int bitrateIndex = p[2] >> 4;
	h.rateIndex = (p[2] >> 2) & 3;
	const int padding = (p[2] >> 1) & 1;
	if (h.version == 1 || h.layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || h.rateIndex == 3 || (p[3] & 3) == 2)
		return false;
	const int mpeg1 = h.version == 3;
	const int rate = rates[h.rateIndex] >> (h.version == 3 ? 0 : h.version == 2 ? 1 : 2);
	const int bitrate = kbps[mpeg1 ? 0 : 1][h.layer - 1][bitrateIndex] * 1000;
	if (h.layer == 3)
		h.length = (12 * bitrate / rate + padding) * 4;
	else if (h.layer == 1 && !mpeg1)
		h.length = 72 * bitrate / rate + padding;
	else
		h.length = 144 * bitrate / rate + padding;
	return h.length > 4;
}

// What the first bytes are, whatever the stream's name; the stream is back at its start afterwards.
io::FileFormat sniffFormat(const lang::Ptr<io::InputStream>& stream)
{
	unsigned char head[SNIFF_BYTES];
	int got = 0;
	while (got < SNIFF_BYTES)
	{
		const int n = stream->read(head + got, SNIFF_BYTES - got);
		if (n <= 0)
			break;
		got += n;
	}
	if (!stream->seek(0, io::InputStream::SEEK_BEGIN))
		lang::throwError(io::IOException(lang::Format("Failed to rewind {0} after reading its first bytes", stream->toString())));
	if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
		return io::FILEFORMAT_WAV;
	if (got >= 10 && std::memcmp(head, "ID3", 3) == 0)
		return io::FILEFORMAT_MP3;
	FrameHeader first, second;
	if (got >= 4 && parseFrameHeader(head, first) && first.length + 4 <= got && parseFrameHeader(head + first.length, second) &&
		second.version == first.version && second.layer == first.layer && second.rateIndex == first.rateIndex)
		return io::FILEFORMAT_MP3;
	return io::FILEFORMAT_UNKNOWN;
}

io::FileFormat chooseFormat(const lang::Ptr<io::InputStream>& stream, io::FileFormat named)
{
	if (named != io::FILEFORMAT_WAV && named != io::FILEFORMAT_MP3 && named != io::FILEFORMAT_UNKNOWN)
		return named;
	const io::FileFormat seen = sniffFormat(stream);
	if (seen != io::FILEFORMAT_UNKNOWN)
		return seen;
	// PCM read as MP3 would be noise: the decoder finds frame syncs in anything.
	if (named == io::FILEFORMAT_MP3)
		lang::throwError(io::IOException(lang::Format("Failed to read MP3 header while reading {0}", stream->toString())));
	// Headerless PCM has no layout in a file: read as anything it would be a clip that never plays.
	if (named == io::FILEFORMAT_UNKNOWN)
		lang::throwError(io::IOException(
			lang::Format("Unsupported audio file format while reading {0}: neither RIFF/WAVE nor MP3", stream->toString())));
	return named;
}
}

AudioReader::AudioReader(lang::Ptr<io::InputStream> stream, io::FileFormat format) :
	m_format(io::FILEFORMAT_UNKNOWN), m_audioFormat(0), m_channels(0), m_sampleRate(0), m_byteRate(0), m_blockAlign(0),
	m_bitsPerSample(0), m_dataSize(0), m_dataOffset(0)
{
	reset(stream, chooseFormat(stream, format), AudioConfiguration{0, 0, 0});
}

AudioReader::AudioReader(lang::Ptr<io::InputStream> stream, const AudioConfiguration& config) :
	m_format(io::FILEFORMAT_UNKNOWN), m_audioFormat(0), m_channels(0), m_sampleRate(0), m_byteRate(0), m_blockAlign(0),
	m_bitsPerSample(0), m_dataSize(0), m_dataOffset(0)
{
	reset(stream, io::FILEFORMAT_UNKNOWN, config);
}

// The MP3 decoder, if any, stops the library when it goes (Mp3Decoder).
AudioReader::~AudioReader() {}

void AudioReader::reset(lang::Ptr<io::InputStream> stream, io::FileFormat format, const AudioConfiguration& config)
{
	m_stream = stream;
	m_dataOffset = 0;
	m_mpg123 = nullptr;
	m_format = format;
	m_audioFormat = m_channels = m_sampleRate = m_byteRate = m_blockAlign = m_bitsPerSample = m_dataSize = 0;
	switch (format)
	{
	case io::FILEFORMAT_UNKNOWN: readHeader_raw(config); break;
	case io::FILEFORMAT_WAV: readHeader_wav(); break;
	case io::FILEFORMAT_MP3: readHeader_mp3(); break;
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported audio file format while reading {0}", m_stream->toString())));
	}
}

void AudioReader::readHeader_raw(const AudioConfiguration& config)
{
	m_audioFormat = 1;
	m_channels = config.channels;
	m_bitsPerSample = config.bitsPerSample;
	m_sampleRate = config.samplesPerSecond;
	m_blockAlign = m_bitsPerSample * m_channels / 8;
	m_byteRate = m_sampleRate * m_blockAlign;
	const int available = m_stream->available();
	m_dataSize = available > 0 ? available : 0;
	// Whole frames only: a partial last one would shift every frame after a loop's wrap.
	if (m_blockAlign > 0)
		m_dataSize -= m_dataSize % m_blockAlign;
	m_dataOffset = 0;
	// Raw PCM is read exactly like a WAV file's data chunk.
	m_format = io::FILEFORMAT_WAV;
}

int AudioReader::readData(void* buffer, int offset, int bytes)
{
	switch (m_format)
	{
	case io::FILEFORMAT_WAV: return readData_wav(buffer, offset, bytes);
	case io::FILEFORMAT_MP3: return readData_mp3(buffer, offset, bytes);
	default:
		lang::throwError(io::IOException(lang::Format("Unsupported audio file format while reading {0}", m_stream->toString())));
	}
}

int AudioReader::readUpTo(io::InputStream& stream, void* buffer, int bytes)
{
	int got = 0;
	while (got < bytes)
	{
		const int n = stream.read(static_cast<char*>(buffer) + got, bytes - got);
		if (n <= 0)
			break;
		got += n;
	}
	return got;
}

void AudioReader::readFully(lang::Ptr<io::InputStream> stream, void* buffer, int bytes)
{
	if (readUpTo(*stream, buffer, bytes) != bytes)
		lang::throwError(io::IOException(lang::Format("Failed to read {0} bytes from {1}", bytes, stream->toString())));
}

unsigned AudioReader::getUInt16LE(const void* data, int offset)
{
	const unsigned char* p = static_cast<const unsigned char*>(data) + offset;
	return unsigned(p[0]) | unsigned(p[1]) << 8;
}

unsigned AudioReader::getUInt32LE(const void* data, int offset)
{
	const unsigned char* p = static_cast<const unsigned char*>(data) + offset;
	return unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
}
}
